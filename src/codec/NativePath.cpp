// File names as the file system gives them.
#include "NativePath.h"

#include "Utf8.h"

#include <cstring>

namespace {

constexpr char16_t EscapeBase = 0xDC00;

bool isEscape(char16_t c)
{
    return c >= 0xDC80 && c <= 0xDCFF;
}

// Length of the well-formed UTF-8 sequence at p (1..4), or 0 when the byte
// there does not start one.
int sequenceLength(const unsigned char *p, const unsigned char *end)
{
    const unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    const qsizetype left = end - p;
    auto cont = [&](int k) { return k < left && (p[k] & 0xC0) == 0x80; };
    if (c >= 0xC2 && c <= 0xDF)
        return cont(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (!cont(1) || !cont(2))
            return 0;
        if (c == 0xE0 && p[1] < 0xA0)
            return 0; // overlong
        if (c == 0xED && p[1] >= 0xA0)
            return 0; // a surrogate
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (!cont(1) || !cont(2) || !cont(3))
            return 0;
        if (c == 0xF0 && p[1] < 0x90)
            return 0;
        if (c == 0xF4 && p[1] >= 0x90)
            return 0; // above U+10FFFF
        return 4;
    }
    return 0;
}

} // namespace

QString NativePath::Decode(const char *bytes)
{
    return bytes ? Decode(bytes, static_cast<qsizetype>(std::strlen(bytes))) : QString();
}

QString NativePath::Decode(const char *bytes, qsizetype size)
{
    if (size <= 0)
        return QString();
    if (Utf8::IsWellFormed(bytes, static_cast<std::size_t>(size)))
        return QString::fromUtf8(bytes, size);
    const unsigned char *p = reinterpret_cast<const unsigned char *>(bytes);
    const unsigned char *end = p + size;
    QString out;
    out.reserve(size);
    while (p < end) {
        const int n = sequenceLength(p, end);
        if (n == 0) {
            out += QChar(static_cast<char16_t>(EscapeBase + *p));
            ++p;
            continue;
        }
        out += QString::fromUtf8(reinterpret_cast<const char *>(p), n);
        p += n;
    }
    return out;
}

QByteArray NativePath::Encode(QStringView path)
{
    if (!HasEscapes(path))
        return path.toUtf8();
    QByteArray out;
    out.reserve(path.size() * 3);
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t c = path[i].unicode();
        if (!isEscape(c))
            continue;
        // A low surrogate right after a high one is a real character.
        if (i > 0 && QChar::isHighSurrogate(path[i - 1].unicode()) && i - 1 >= runStart)
            continue;
        out += path.mid(runStart, i - runStart).toUtf8();
        out += static_cast<char>(c - EscapeBase);
        runStart = i + 1;
    }
    out += path.mid(runStart).toUtf8();
    return out;
}

QString NativePath::Display(const QString &path)
{
    if (!HasEscapes(path))
        return path; // shares the text
    QString out = path;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (isEscape(out[i].unicode()) && !(i > 0 && QChar::isHighSurrogate(out[i - 1].unicode())))
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

bool NativePath::HasEscapes(QStringView path)
{
    for (qsizetype i = 0; i < path.size(); ++i)
        if (isEscape(path[i].unicode()) && !(i > 0 && QChar::isHighSurrogate(path[i - 1].unicode())))
            return true;
    return false;
}
