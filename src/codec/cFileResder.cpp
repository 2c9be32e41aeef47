// Reads a text file while recognising its encoding, and writes text back in
// any of the five encodings with its byte order mark.
#include "cFileResder.h"

#include "RaisedError.h"
#include "Utf8.h"

#include "NativePath.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The error number callers have always seen for a conversion of nothing.
constexpr int kInvalidParameter = 87;

QString utf16FromBytes(const char *data, qsizetype byteCount, bool bigEndian)
{
    const qsizetype units = byteCount / 2; // an odd last byte is dropped
    QString text(units, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    const unsigned char *in = reinterpret_cast<const unsigned char *>(data);
    if (bigEndian) {
        for (qsizetype i = 0; i < units; ++i)
            out[i] = static_cast<char16_t>((in[2 * i] << 8) | in[2 * i + 1]);
    } else if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        std::memcpy(out, in, static_cast<std::size_t>(units) * 2);
    } else {
        for (qsizetype i = 0; i < units; ++i)
            out[i] = static_cast<char16_t>(in[2 * i] | (in[2 * i + 1] << 8));
    }
    return text;
}

void appendUtf16(QByteArray &out, const QString &text, bool bigEndian)
{
    const qsizetype base = out.size();
    out.resize(base + text.size() * 2);
    unsigned char *o = reinterpret_cast<unsigned char *>(out.data()) + base;
    const char16_t *s = reinterpret_cast<const char16_t *>(text.constData());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = s[i];
        o[2 * i] = static_cast<unsigned char>(bigEndian ? c >> 8 : c & 0xFF);
        o[2 * i + 1] = static_cast<unsigned char>(bigEndian ? c & 0xFF : c >> 8);
    }
}

QString ensureWinLineEnds(const QString &text)
{
    if (text.contains(QLatin1String("\r\n")))
        return text;
    QString out = text;
    if (out.contains(QLatin1Char('\n')))
        out.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    else if (out.contains(QLatin1Char('\r')))
        out.replace(QLatin1Char('\r'), QLatin1String("\r\n"));
    return out;
}

} // namespace

bool cFileResder::ReadAllBytes(const QString &path, QByteArray &out)
{
    out.resize(0); // keeps the capacity of a reused buffer
    if (path.isEmpty())
        return false;
    const QByteArray native = NativePath::Encode(path);
    // O_NONBLOCK: opening a FIFO must not wait for a writer; the type check
    // below then turns it away.
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    bool ok = false;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        try {
            out.resize(static_cast<qsizetype>(st.st_size));
            qsizetype done = 0;
            ok = true;
            while (done < out.size()) {
                const ssize_t got = ::read(fd, out.data() + done, static_cast<size_t>(out.size() - done));
                if (got < 0 && errno == EINTR)
                    continue;
                if (got < 0) {
                    ok = false;
                    break;
                }
                if (got == 0) { // the file shrank since the size query
                    out.resize(done);
                    break;
                }
                done += got;
            }
        } catch (const std::bad_alloc &) {
            ok = false;
        }
    }
    ::close(fd);
    if (!ok)
        out.resize(0);
    return ok;
}

bool cFileResder::HasBOM(const QByteArray &bytes, TextEncoding encoding)
{
    const unsigned char *b = reinterpret_cast<const unsigned char *>(bytes.constData());
    switch (encoding) {
    case TextEncoding::Utf8Bom:
        return bytes.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF;
    case TextEncoding::Utf16LE:
        return bytes.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE;
    case TextEncoding::Utf16BE:
        return bytes.size() >= 2 && b[0] == 0xFE && b[1] == 0xFF;
    default:
        return false;
    }
}

QString cFileResder::DecodeBytes(const QByteArray &bytes, TextEncoding &encoding)
{
    if (HasBOM(bytes, TextEncoding::Utf16LE)) {
        encoding = TextEncoding::Utf16LE;
        return utf16FromBytes(bytes.constData() + 2, bytes.size() - 2, false);
    }
    if (HasBOM(bytes, TextEncoding::Utf16BE)) {
        encoding = TextEncoding::Utf16BE;
        return utf16FromBytes(bytes.constData() + 2, bytes.size() - 2, true);
    }
    if (HasBOM(bytes, TextEncoding::Utf8Bom)) {
        encoding = TextEncoding::Utf8Bom;
        return Utf8::DecodeLenient(bytes.constData() + 3, static_cast<std::size_t>(bytes.size() - 3));
    }
    // One pass decides and decodes: well-formed UTF-8 (plain 7-bit text
    // included) is UTF-8; anything else is 8-bit text, which keeps every byte.
    QString text;
    if (!bytes.isEmpty() && Utf8::DecodeStrict(bytes.constData(), static_cast<std::size_t>(bytes.size()), text)) {
        encoding = TextEncoding::Utf8;
        return text;
    }
    encoding = TextEncoding::Ansi;
    return ToUnicode(bytes);
}

QString cFileResder::FileRead(const QString &sFileName, bool EnsureWinLFs, QByteArray *rawBytes)
{
    if (rawBytes)
        rawBytes->clear();
    if (sFileName.isEmpty())
        return QString();
    // Without a caller that keeps the bytes, one buffer per thread serves
    // every read: it stays allocated (and warm in the cache) between files.
    thread_local QByteArray scratch;
    QByteArray &bytes = rawBytes ? *rawBytes : scratch;
    if (!ReadAllBytes(sFileName, bytes)) {
        Encoding = TextEncoding::Ansi;
        return QString();
    }
    QString text;
    try {
        text = DecodeBytes(bytes, Encoding);
    } catch (const std::bad_alloc &) {
        Encoding = TextEncoding::Ansi;
        bytes.resize(0);
        return QString();
    }
    if (!rawBytes && bytes.capacity() > (64 << 20))
        scratch = QByteArray(); // do not hold on to a huge file's buffer
    return EnsureWinLFs ? ensureWinLineEnds(text) : text;
}

QByteArray cFileResder::EncodeText(const QString &text, TextEncoding encoding)
{
    QByteArray out;
    switch (encoding) {
    case TextEncoding::Ansi:
        return FromUnicode(text);
    case TextEncoding::Utf8Bom:
        out = QByteArray("\xEF\xBB\xBF", 3);
        out += Utf8::Encode(text);
        return out;
    case TextEncoding::Utf8:
        return Utf8::Encode(text);
    case TextEncoding::Utf16LE:
        out = QByteArray("\xFF\xFE", 2);
        appendUtf16(out, text, false);
        return out;
    case TextEncoding::Utf16BE:
        out = QByteArray("\xFE\xFF", 2);
        appendUtf16(out, text, true);
        return out;
    default:
        return out;
    }
}

bool cFileResder::CanEncodeLosslessly(const QString &text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Ansi:
        for (QChar c : text)
            if (c.unicode() > 0xFF)
                return false;
        return true;
    case TextEncoding::Utf8Bom:
    case TextEncoding::Utf8:
        return Utf8::EncodesLosslessly(text);
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE:
        return true;
    default:
        return false;
    }
}

bool cFileResder::FileWrite(const QString &fileName, const QString &text, TextEncoding encoding)
{
    if (fileName.isEmpty())
        return false;
    const QByteArray bytes = EncodeText(text, encoding);
    const QByteArray native = NativePath::Encode(fileName);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return false;
    qsizetype done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            ok = false;
            break;
        }
        done += put;
    }
    if (::close(fd) != 0)
        ok = false;
    return ok;
}

bool cFileResder::Kill(const QString &lpFileName)
{
    return !lpFileName.isEmpty() && ::unlink(NativePath::Encode(lpFileName).constData()) == 0;
}

bool cFileResder::IsUTF8Ex(const QByteArray &bytes)
{
    return !bytes.isEmpty() && Utf8::IsWellFormed(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool cFileResder::IsUTF8(const QByteArray &bytes, int maximumLength)
{
    if (maximumLength < 0)
        return false;
    const qsizetype max = std::min<qsizetype>(maximumLength, bytes.size());
    const unsigned char *b = reinterpret_cast<const unsigned char *>(bytes.constData());
    qsizetype pos = 0;
    int multiByte = 0;
    while (pos < max) {
        const unsigned char c = b[pos];
        if (c < 128 || c >= 254) {
            ++pos;
            continue;
        }
        if (c <= 191)
            return false;
        const int follow = c <= 223 ? 1 : c <= 239 ? 2 : c <= 247 ? 3 : c <= 251 ? 4 : 5;
        if (pos + follow >= max)
            break;
        for (int k = 1; k <= follow; ++k)
            if (b[pos + k] < 128 || b[pos + k] > 191)
                return false;
        ++multiByte;
        pos += follow + 1;
    }
    return multiByte > 0;
}

QByteArray cFileResder::ToUTF8(const QString &Text)
{
    if (Text.isEmpty())
        throw RaisedError(kInvalidParameter, QStringLiteral("WideCharToMultiByte"), QStringLiteral("ToUTF8"));
    return Utf8::Encode(Text);
}

QString cFileResder::FromUTF8(const QByteArray &bytes, int &start)
{
    if (start < 0)
        start = 0;
    if (start >= bytes.size())
        throw RaisedError(kInvalidParameter, QStringLiteral("MultiByteToWideChar"), QStringLiteral("FromUTF8"));
    return Utf8::DecodeLenient(bytes.constData() + start, static_cast<std::size_t>(bytes.size() - start));
}

QString cFileResder::ToUnicode(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    Utf8::WidenLatin1(bytes.constData(), static_cast<std::size_t>(bytes.size()),
                      reinterpret_cast<char16_t *>(text.data()));
    return text;
}

QByteArray cFileResder::FromUnicode(const QString &strText)
{
    return Utf8::NarrowLatin1(strText);
}

QString cFileResder::EncodingVerbose(TextEncoding Encoding)
{
    switch (Encoding) {
    case TextEncoding::Ansi:
        return QStringLiteral("ANSI");
    case TextEncoding::Utf8Bom:
        return QStringLiteral("UTF8 (BOM EF BB BF)");
    case TextEncoding::Utf8:
        return QStringLiteral("UTF8NoBOM");
    case TextEncoding::Utf16LE:
        return QStringLiteral("UTF16LE (BOM FF FE)");
    case TextEncoding::Utf16BE:
        return QStringLiteral("UTF16BE (BOM FE FF)");
    default:
        return QString();
    }
}

QString cFileResder::EncodingLabel(TextEncoding Encoding)
{
    switch (Encoding) {
    case TextEncoding::Ansi:
        return QStringLiteral("ANSI");
    case TextEncoding::Utf8Bom:
        return QStringLiteral("UTF-8B");
    case TextEncoding::Utf8:
        return QStringLiteral("UTF-8");
    case TextEncoding::Utf16LE:
        return QStringLiteral("UTF16L");
    case TextEncoding::Utf16BE:
        return QStringLiteral("UTF16B");
    default:
        return QString();
    }
}
