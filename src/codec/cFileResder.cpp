// Reads a text file while recognising its encoding, and writes text back in
// any of the five encodings with its byte order mark.
#include "cFileResder.h"

#include "NativePath.h"
#include "PosixFile.h"
#include "Utf8.h"

#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

namespace {

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
    return !path.isEmpty() && PosixFile::ReadAll(NativePath::Encode(path).constData(), out) == 0;
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
    return PosixFile::WriteInPlace(NativePath::Encode(fileName).constData(), bytes.constData(),
                                   static_cast<std::size_t>(bytes.size())) == 0;
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
