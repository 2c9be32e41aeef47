// UTF-8 and 8-bit conversion kernels between bytes and UTF-16 code units.
#include "Utf8.h"

#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using u8 = unsigned char;

// Length of the longest run of 7-bit bytes at the start of data, checked in
// blocks of 16 (the tail is left to the caller's byte loop).
inline std::size_t asciiPrefix16(const u8 *data, std::size_t size)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    while (i + 16 <= size) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        const int mask = _mm_movemask_epi8(v);
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

inline void widen(const u8 *in, std::size_t n, char16_t *out)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i + 8), _mm_unpackhi_epi8(v, zero));
    }
#endif
    for (; i < n; ++i)
        out[i] = in[i];
}

// Length of the well-formed sequence that starts at data[0] (1 to 4), or the
// negated length of its maximal ill-formed subpart (-1 to -3). size > 0.
// The ranges are those of well-formed UTF-8: the second byte's range depends
// on the lead byte, which excludes overlong forms, surrogates and values above
// U+10FFFF.
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

// Decodes one sequence at data[i] that is not 7-bit (or 7-bit in the tail);
// false when strict and it is ill-formed.
inline bool decodeOne(const u8 *data, std::size_t size, std::size_t &i, char16_t *&out, bool strict)
{
    char32_t cp = 0;
    const int len = sequenceLength(data + i, size - i, cp);
    if (len > 0) {
        out = putCodePoint(cp, out);
        i += static_cast<std::size_t>(len);
        return true;
    }
    if (strict)
        return false;
    *out++ = u'\xFFFD';
    i += static_cast<std::size_t>(-len);
    return true;
}

// Decodes into out (room for size code units is guaranteed by the callers:
// UTF-8 never needs more code units than bytes). Returns the end, or nullptr
// at the first ill-formed byte when strict.
//
// Blocks of bytes are widened whole; a block with a high byte is widened up
// to that byte (the units stored past it are overwritten later, and they fit:
// output never runs ahead of input), then one sequence is decoded.
char16_t *decodeSse2(const u8 *data, std::size_t size, char16_t *out, bool strict)
{
    std::size_t i = 0;
    for (;;) {
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        while (i + 16 <= size) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 8), _mm_unpackhi_epi8(v, zero));
            const int mask = _mm_movemask_epi8(v);
            if (mask == 0) {
                i += 16;
                out += 16;
                continue;
            }
            const unsigned k = static_cast<unsigned>(__builtin_ctz(static_cast<unsigned>(mask)));
            i += k;
            out += k;
            break;
        }
#endif
        if (i >= size)
            return out;
        if (!decodeOne(data, size, i, out, strict))
            return nullptr;
    }
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) char16_t *decodeAvx2(const u8 *data, std::size_t size, char16_t *out, bool strict)
{
    std::size_t i = 0;
    for (;;) {
        while (i + 16 <= size) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(out), _mm256_cvtepu8_epi16(v));
            const int mask = _mm_movemask_epi8(v);
            if (mask == 0) {
                i += 16;
                out += 16;
                continue;
            }
            const unsigned k = static_cast<unsigned>(__builtin_ctz(static_cast<unsigned>(mask)));
            i += k;
            out += k;
            break;
        }
        if (i >= size)
            return out;
        if (!decodeOne(data, size, i, out, strict))
            return nullptr;
    }
}

bool g_useAvx2 = __builtin_cpu_supports("avx2");

char16_t *decode(const u8 *data, std::size_t size, char16_t *out, bool strict)
{
    return g_useAvx2 ? decodeAvx2(data, size, out, strict) : decodeSse2(data, size, out, strict);
}
#else
char16_t *decode(const u8 *data, std::size_t size, char16_t *out, bool strict)
{
    return decodeSse2(data, size, out, strict);
}
#endif

} // namespace

bool Utf8::IsWellFormed(const char *data, std::size_t size)
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

bool Utf8::DecodeStrict(const char *data, std::size_t size, QString &out)
{
    const qsizetype base = out.size();
    out.resize(base + static_cast<qsizetype>(size));
    char16_t *begin = reinterpret_cast<char16_t *>(out.data()) + base;
    char16_t *end = decode(reinterpret_cast<const u8 *>(data), size, begin, true);
    if (!end)
        return false;
    out.resize(base + (end - begin));
    return true;
}

QString Utf8::DecodeLenient(const char *data, std::size_t size)
{
    QString out(static_cast<qsizetype>(size), Qt::Uninitialized);
    char16_t *begin = reinterpret_cast<char16_t *>(out.data());
    char16_t *end = decode(reinterpret_cast<const u8 *>(data), size, begin, false);
    out.resize(end - begin);
    return out;
}

QByteArray Utf8::Encode(QStringView text)
{
    const char16_t *s = reinterpret_cast<const char16_t *>(text.data());
    const std::size_t n = static_cast<std::size_t>(text.size());
    QByteArray out(static_cast<qsizetype>(n * 3), Qt::Uninitialized);
    u8 *o = reinterpret_cast<u8 *>(out.data());
    std::size_t i = 0;
    while (i < n) {
        char32_t c = s[i];
        if (c < 0x80) {
            *o++ = static_cast<u8>(c);
            ++i;
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            i += 2;
        } else {
            if (c >= 0xD800 && c <= 0xDFFF)
                c = 0xFFFD;
            ++i;
        }
        if (c < 0x800) {
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
    }
    out.resize(reinterpret_cast<char *>(o) - out.data());
    return out;
}

bool Utf8::EncodesLosslessly(QStringView text)
{
    const char16_t *s = reinterpret_cast<const char16_t *>(text.data());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c < 0xD800 || c > 0xDFFF)
            continue;
        if (c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            ++i;
            continue;
        }
        return false;
    }
    return true;
}

void Utf8::WidenLatin1(const char *data, std::size_t size, char16_t *out)
{
    widen(reinterpret_cast<const u8 *>(data), size, out);
}

QByteArray Utf8::NarrowLatin1(QStringView text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    const char16_t *s = reinterpret_cast<const char16_t *>(text.data());
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = static_cast<char>(s[i] & 0xFF);
    return out;
}

void Utf8::UseWideVectors(bool on)
{
#if defined(__x86_64__)
    g_useAvx2 = on && __builtin_cpu_supports("avx2");
#else
    (void)on;
#endif
}
