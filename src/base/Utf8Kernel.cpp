// UTF-8 and Latin-1 conversions between bytes and UTF-16 code units.
#include "Utf8Kernel.h"

#include "VectorWidth.h"

namespace {

using u8 = unsigned char;
using Rule = Utf8Kernel::IllFormed;

// Length of the longest run of 7-bit bytes at the start of data, checked in
// blocks of 16 (the tail is left to the caller's byte loop).
inline std::size_t asciiPrefix16(const u8 *data, std::size_t size)
{
    std::size_t i = 0;
#if VELMORA_VECTORS
    while (i + 16 <= size) {
        const int mask = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i)));
        if (mask != 0)
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        i += 16;
    }
#else
    (void)data;
    (void)size;
#endif
    return i;
}

// Length of the well-formed sequence that starts at data[0] (1 to 4), or the
// negated length of its maximal ill-formed subpart (-1 to -3). size > 0.
// The second byte's range depends on the lead byte, which excludes overlong
// forms, surrogates and values above U+10FFFF.
inline int sequenceLength(const u8 *data, std::size_t size, char32_t &cp)
{
    const u8 b0 = data[0];
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    int need;
    u8 lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2;
        cp = b0 & 0x0F;
        if (b0 == 0xE0)
            lo = 0xA0;
        else if (b0 == 0xED)
            hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3;
        cp = b0 & 0x07;
        if (b0 == 0xF0)
            lo = 0x90;
        else if (b0 == 0xF4)
            hi = 0x8F;
    } else {
        return -1;
    }
    for (int k = 1; k <= need; ++k) {
        if (static_cast<std::size_t>(k) >= size)
            return -k;
        const u8 b = data[k];
        if (k == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF))
            return -k;
        cp = (cp << 6) | (b & 0x3F);
    }
    return need + 1;
}

inline char16_t *putCodePoint(char32_t cp, char16_t *out)
{
    if (cp < 0x10000) {
        *out++ = static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        *out++ = static_cast<char16_t>(0xD800 + (cp >> 10));
        *out++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
    return out;
}

// Decodes the sequence at data[i] (one that is not 7-bit, or any in the
// tail); false when it is ill-formed and the rule is to fail.
inline bool decodeOne(const u8 *data, std::size_t size, std::size_t &i, char16_t *&out, Rule rule)
{
    char32_t cp = 0;
    const int len = sequenceLength(data + i, size - i, cp);
    if (len > 0) {
        out = putCodePoint(cp, out);
        i += static_cast<std::size_t>(len);
        return true;
    }
    const std::size_t bad = static_cast<std::size_t>(-len);
    switch (rule) {
    case Rule::Fail:
        return false;
    case Rule::Replace:
        *out++ = u'\xFFFD';
        break;
    case Rule::ReplaceEachByte:
        for (std::size_t k = 0; k < bad; ++k)
            *out++ = u'\xFFFD';
        break;
    case Rule::Escape:
        for (std::size_t k = 0; k < bad; ++k)
            *out++ = static_cast<char16_t>(0xDC00 + data[i + k]);
        break;
    }
    i += bad;
    return true;
}

// Decodes into out; returns the end, or nullptr at the first ill-formed byte
// when the rule is to fail.
//
// Blocks of bytes are widened whole; a block with a high byte is widened up
// to that byte (the units stored past it are overwritten later, and they fit:
// output never runs ahead of input), then one sequence is decoded.
template <class V>
__attribute__((always_inline)) inline char16_t *decodeWith(const u8 *data, std::size_t size, char16_t *out, Rule rule)
{
    std::size_t i = 0;
    for (;;) {
#if VELMORA_VECTORS
        while (i + 16 <= size) {
            const unsigned high = V::Widen16(data + i, out);
            if (high == 0) {
                i += 16;
                out += 16;
                continue;
            }
            const unsigned k = static_cast<unsigned>(__builtin_ctz(high));
            i += k;
            out += k;
            break;
        }
#endif
        if (i >= size)
            return out;
        if (!decodeOne(data, size, i, out, rule))
            return nullptr;
    }
}

#if VELMORA_VECTORS
char16_t *decodeNarrow(const u8 *data, std::size_t size, char16_t *out, Rule rule)
{
    return decodeWith<VectorWidth<128>>(data, size, out, rule);
}

__attribute__((target("avx2"))) char16_t *decodeWide(const u8 *data, std::size_t size, char16_t *out, Rule rule)
{
    return decodeWith<VectorWidth<256>>(data, size, out, rule);
}

bool g_wide = VectorWidth<256>::Available();

char16_t *decode(const u8 *data, std::size_t size, char16_t *out, Rule rule)
{
    return g_wide ? decodeWide(data, size, out, rule) : decodeNarrow(data, size, out, rule);
}
#else
char16_t *decode(const u8 *data, std::size_t size, char16_t *out, Rule rule)
{
    return decodeWith<void>(data, size, out, rule);
}
#endif

inline bool isHigh(char32_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

inline bool isLow(char32_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

bool Utf8Kernel::IsWellFormed(const char *data, std::size_t size)
{
    const u8 *p = reinterpret_cast<const u8 *>(data);
    std::size_t i = 0;
    while (i < size) {
        i += asciiPrefix16(p + i, size - i);
        if (i >= size)
            break;
        char32_t cp = 0;
        const int len = sequenceLength(p + i, size - i, cp);
        if (len < 0)
            return false;
        i += static_cast<std::size_t>(len);
    }
    return true;
}

std::size_t Utf8Kernel::Decode(const char *data, std::size_t size, char16_t *out, IllFormed rule)
{
    const char16_t *end = decode(reinterpret_cast<const u8 *>(data), size, out, rule);
    return end ? static_cast<std::size_t>(end - out) : Failed;
}

int Utf8Kernel::Sequence(const char *data, std::size_t size, char32_t &cp)
{
    return sequenceLength(reinterpret_cast<const u8 *>(data), size, cp);
}

char *Utf8Kernel::Put(char32_t c, char *out)
{
    u8 *o = reinterpret_cast<u8 *>(out);
    if (c < 0x80) {
        *o++ = static_cast<u8>(c);
    } else if (c < 0x800) {
        *o++ = static_cast<u8>(0xC0 | (c >> 6));
        *o++ = static_cast<u8>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *o++ = static_cast<u8>(0xE0 | (c >> 12));
        *o++ = static_cast<u8>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<u8>(0x80 | (c & 0x3F));
    } else {
        *o++ = static_cast<u8>(0xF0 | (c >> 18));
        *o++ = static_cast<u8>(0x80 | ((c >> 12) & 0x3F));
        *o++ = static_cast<u8>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<u8>(0x80 | (c & 0x3F));
    }
    return reinterpret_cast<char *>(o);
}

std::size_t Utf8Kernel::Encode(const char16_t *s, std::size_t n, char *out, bool escapes)
{
    char *o = out;
    std::size_t i = 0;
    while (i < n) {
        char32_t c = s[i];
        if (c < 0x80) {
            *o++ = static_cast<char>(c);
            ++i;
            continue;
        }
        if (isHigh(c) && i + 1 < n && isLow(s[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            i += 2;
        } else {
            ++i;
            // A low surrogate reached here is unpaired: the pair test above
            // took every one that follows a high surrogate.
            if (escapes && c >= 0xDC80 && c <= 0xDCFF) {
                *o++ = static_cast<char>(c - 0xDC00);
                continue;
            }
            if (c >= 0xD800 && c <= 0xDFFF)
                c = 0xFFFD;
        }
        o = Put(c, o);
    }
    return static_cast<std::size_t>(o - out);
}

bool Utf8Kernel::EncodesLosslessly(const char16_t *s, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c < 0xD800 || c > 0xDFFF)
            continue;
        if (isHigh(c) && i + 1 < n && isLow(s[i + 1])) {
            ++i;
            continue;
        }
        return false;
    }
    return true;
}

void Utf8Kernel::WidenLatin1(const char *data, std::size_t size, char16_t *out)
{
    const u8 *in = reinterpret_cast<const u8 *>(data);
    std::size_t i = 0;
#if VELMORA_VECTORS
    for (; i + 16 <= size; i += 16)
        VectorWidth<128>::Widen16(in + i, out + i);
#endif
    for (; i < size; ++i)
        out[i] = in[i];
}

void Utf8Kernel::NarrowLatin1(const char16_t *text, std::size_t size, char *out)
{
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<char>(text[i] & 0xFF);
}

void Utf8Kernel::UseWideVectors(bool on)
{
#if VELMORA_VECTORS
    g_wide = on && VectorWidth<256>::Available();
#else
    (void)on;
#endif
}
