// Decodes a file's bytes a piece at a time into exactly the text that
// cFileResder::DecodeBytes makes of them whole.
//
// A piece of UTF-8 may end anywhere except inside the bytes of one character:
// a well-formed sequence, and the broken start of one that a lenient decode
// turns into a single U+FFFD, are a lead byte and continuation bytes, so a
// piece that ends before a lead byte or after three continuation bytes in a
// row decodes exactly as the same bytes do inside the whole.
#include "TextDecoder.h"

#include "Utf8Kernel.h"

#include <cstring>

namespace {

const unsigned char *bytes(const char *data)
{
    return reinterpret_cast<const unsigned char *>(data);
}

char16_t *units(QString &s)
{
    return reinterpret_cast<char16_t *>(s.data());
}

} // namespace

qsizetype TextDecoder::Utf8PieceEnd(const char *data, qsizetype size)
{
    const unsigned char *b = bytes(data);
    for (qsizetype i = size - 1; i >= 0 && i >= size - 3; --i) {
        if (b[i] < 0x80)
            return size;
        if (b[i] >= 0xC0)
            return i;
    }
    return size;
}

bool TextDecoder::HasMark(const char *data, qsizetype size, TextEncoding &encoding)
{
    const unsigned char *b = bytes(data);
    if (size >= 2 && b[0] == 0xFF && b[1] == 0xFE)
        encoding = TextEncoding::Utf16LE;
    else if (size >= 2 && b[0] == 0xFE && b[1] == 0xFF)
        encoding = TextEncoding::Utf16BE;
    else if (size >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
        encoding = TextEncoding::Utf8Bom;
    else
        return false;
    return true;
}

TextEncoding TextDecoder::Detect(const char *data, qsizetype size)
{
    TextEncoding encoding;
    if (HasMark(data, size, encoding))
        return encoding;
    return size > 0 && Utf8Kernel::IsWellFormed(data, static_cast<std::size_t>(size)) ? TextEncoding::Utf8
                                                                                      : TextEncoding::Ansi;
}

int TextDecoder::MarkSize(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8Bom:
        return 3;
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE:
        return 2;
    default:
        return 0;
    }
}

qsizetype TextDecoder::Decode(TextEncoding encoding, const char *data, qsizetype size, bool last, QString &out)
{
    const qsizetype base = out.size();
    switch (encoding) {
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        const qsizetype n = size / 2; // an odd last byte is dropped
        out.resize(base + n);
        char16_t *o = units(out) + base;
        const unsigned char *in = bytes(data);
        if (encoding == TextEncoding::Utf16BE) {
            for (qsizetype i = 0; i < n; ++i)
                o[i] = static_cast<char16_t>((in[2 * i] << 8) | in[2 * i + 1]);
        } else if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
            std::memcpy(o, in, static_cast<std::size_t>(n) * 2);
        } else {
            for (qsizetype i = 0; i < n; ++i)
                o[i] = static_cast<char16_t>(in[2 * i] | (in[2 * i + 1] << 8));
        }
        return last ? size : 2 * n;
    }
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom: {
        const qsizetype take = last ? size : Utf8PieceEnd(data, size);
        out.resize(base + take);
        const std::size_t n = Utf8Kernel::Decode(data, static_cast<std::size_t>(take), units(out) + base,
                                                 encoding == TextEncoding::Utf8 ? Utf8Kernel::IllFormed::Fail
                                                                                : Utf8Kernel::IllFormed::Replace);
        if (n == Utf8Kernel::Failed)
            return -1;
        out.resize(base + static_cast<qsizetype>(n));
        return take;
    }
    default:
        out.resize(base + size);
        Utf8Kernel::WidenLatin1(data, static_cast<std::size_t>(size), units(out) + base);
        return size;
    }
}

bool TextDecoder::ComesBack(TextEncoding encoding, const char *data, qsizetype size)
{
    const int mark = MarkSize(encoding);
    switch (encoding) {
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom:
        return Utf8Kernel::IsWellFormed(data + mark, static_cast<std::size_t>(size - mark));
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE:
        return (size - mark) % 2 == 0;
    default:
        return true;
    }
}
