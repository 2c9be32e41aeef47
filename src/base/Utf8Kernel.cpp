// UTF-8 and Latin-1 conversions between bytes and UTF-16 code units.
#include "Utf8Kernel.h"

#include "VectorWidth.h"

#include <cstring>

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

// Whether the bytes are well-formed, one sequence at a time after each run
// of 7-bit bytes.
bool wellFormedBytewise(const u8 *data, std::size_t size)
{
    std::size_t i = 0;
    while (i < size) {
        i += asciiPrefix16(data + i, size - i);
        if (i >= size)
            break;
        char32_t cp = 0;
        const int len = sequenceLength(data + i, size - i, cp);
        if (len < 0)
            return false;
        i += static_cast<std::size_t>(len);
    }
    return true;
}

#if VELMORA_VECTORS
// Validation 32 bytes at a time. Every rule of well-formed UTF-8 but one is a
// rule about two neighbouring bytes, and each such rule depends only on the
// high and low nibble of the first byte and the high nibble of the second.
// Three 16-entry tables, looked up with those nibbles, give each pair the set
// of rules it would break if the other two nibbles fit; their AND is the set
// it breaks. The one other rule, that the third and fourth byte of a sequence
// are continuation bytes, is checked on the bytes two and three places back.
//
// One bit per broken rule, for a pair (first byte, second byte):
constexpr u8 TooShort = 1 << 0;     // a lead byte (C0..FF), then no continuation byte
constexpr u8 TooLong = 1 << 1;      // a 7-bit byte, then a continuation byte
constexpr u8 Overlong3 = 1 << 2;    // E0 80..9F
constexpr u8 TooLarge = 1 << 3;     // F4..FF 90..BF
constexpr u8 Surrogate = 1 << 4;    // ED A0..BF
constexpr u8 Overlong2 = 1 << 5;    // C0..C1 80..BF
constexpr u8 TooLarge1000 = 1 << 6; // F5..FF 80..8F
constexpr u8 Overlong4 = 1 << 6;    // F0 80..8F: shares the bit, as both need F_ then 8_
constexpr u8 TwoConts = 1 << 7;     // continuation, continuation: fine only as 3rd or 4th byte
// (F5..FF 90..BF counts as TooLarge, F5..FF then no continuation as TooShort,
// C0..C1 likewise: such a byte is wrong whatever follows.)

// The rules each nibble allows to be broken; a rule that does not look at a
// nibble has its bit in every entry of that nibble's table.
constexpr u8 AnyLow = TooShort | TooLong | TwoConts;
constexpr u8 Above4 = AnyLow | TooLarge | TooLarge1000;
constexpr u8 AnyCont = TooLong | TwoConts | Overlong2;
// clang-format off
alignas(16) constexpr u8 FirstHigh[16] = {
    TooLong, TooLong, TooLong, TooLong, TooLong, TooLong, TooLong, TooLong, // 7-bit
    TwoConts, TwoConts, TwoConts, TwoConts,                                 // continuation
    TooShort | Overlong2,                                                   // C_
    TooShort,                                                               // D_
    TooShort | Overlong3 | Surrogate,                                       // E_
    TooShort | TooLarge | TooLarge1000 | Overlong4,                         // F_
};
alignas(16) constexpr u8 FirstLow[16] = {
    AnyLow | Overlong2 | Overlong3 | Overlong4, // C0, E0, F0
    AnyLow | Overlong2,                         // C1
    AnyLow, AnyLow,
    AnyLow | TooLarge,                          // F4
    Above4, Above4, Above4, Above4, Above4, Above4, Above4, Above4,
    Above4 | Surrogate,                         // ED
    Above4, Above4,
};
alignas(16) constexpr u8 SecondHigh[16] = {
    TooShort, TooShort, TooShort, TooShort, TooShort, TooShort, TooShort, TooShort, // 7-bit
    AnyCont | Overlong3 | TooLarge1000 | Overlong4,                                 // 8_
    AnyCont | Overlong3 | TooLarge,                                                 // 9_
    AnyCont | TooLarge | Surrogate,                                                 // A_
    AnyCont | TooLarge | Surrogate,                                                 // B_
    TooShort, TooShort, TooShort, TooShort,                                         // lead
};
// clang-format on

#define VELMORA_AVX2 __attribute__((target("avx2"), always_inline)) inline

VELMORA_AVX2 __m256i lookup(const u8 (&table)[16], __m256i nibbles)
{
    const __m128i t = _mm_load_si128(reinterpret_cast<const __m128i *>(table));
    return _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(t), nibbles);
}

// The bytes N places before those of input: the last N of previous, then input.
template <int N> VELMORA_AVX2 __m256i before(__m256i input, __m256i previous)
{
    return _mm256_alignr_epi8(input, _mm256_permute2x128_si256(previous, input, 0x21), 16 - N);
}

// Nonzero where a byte of input breaks a rule, given the block before it.
VELMORA_AVX2 __m256i blockErrors(__m256i input, __m256i previous)
{
    const __m256i low = _mm256_set1_epi8(0x0F);
    const __m256i prev1 = before<1>(input, previous);
    const __m256i pairs =
        _mm256_and_si256(_mm256_and_si256(lookup(FirstHigh, _mm256_and_si256(_mm256_srli_epi16(prev1, 4), low)),
                                          lookup(FirstLow, _mm256_and_si256(prev1, low))),
                         lookup(SecondHigh, _mm256_and_si256(_mm256_srli_epi16(input, 4), low)));
    // Bit 7 where two places back is E0..FF or three places back F0..FF: the
    // byte must continue a sequence, so TwoConts there is no error, and its
    // absence (the byte is 7-bit or a lead) is one.
    const __m256i third = _mm256_subs_epu8(before<2>(input, previous), _mm256_set1_epi8(0xE0 - 0x80));
    const __m256i fourth = _mm256_subs_epu8(before<3>(input, previous), _mm256_set1_epi8(0xF0 - 0x80));
    const __m256i mustContinue = _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(-0x80));
    return _mm256_xor_si256(pairs, mustContinue);
}

// Nonzero where a lead byte in the last three places needs more bytes than
// the block has left.
VELMORA_AVX2 __m256i openAtEnd(__m256i input)
{
    const __m256i limits =
        _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                         -1, -1, -1, -1, -1, static_cast<char>(0xEF), static_cast<char>(0xDF), static_cast<char>(0xBF));
    return _mm256_subs_epu8(input, limits);
}

// Checks one block after previous; open says whether previous left a
// sequence open and is updated for the next block.
VELMORA_AVX2 bool blockFine(__m256i input, __m256i previous, __m256i &open)
{
    if (_mm256_movemask_epi8(input) == 0) {
        // 7-bit bytes break a rule only by ending a sequence too soon.
        if (!_mm256_testz_si256(open, open))
            return false;
    } else {
        const __m256i errors = blockErrors(input, previous);
        if (!_mm256_testz_si256(errors, errors))
            return false;
    }
    open = openAtEnd(input);
    return true;
}

// The tail shorter than a block is checked as a block padded with zero
// bytes (never read past the end): a sequence it leaves open meets a 7-bit
// byte there, which is TooShort.
__attribute__((target("avx2"))) bool wellFormedWide(const u8 *data, std::size_t size)
{
    __m256i previous = _mm256_setzero_si256(), open = _mm256_setzero_si256();
    std::size_t i = 0;
    for (; i + 32 <= size; i += 32) {
        const __m256i input = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + i));
        if (!blockFine(input, previous, open))
            return false;
        previous = input;
    }
    if (i < size) {
        alignas(32) u8 tail[32] = {};
        std::memcpy(tail, data + i, size - i);
        if (!blockFine(_mm256_load_si256(reinterpret_cast<const __m256i *>(tail)), previous, open))
            return false;
    }
    return _mm256_testz_si256(open, open);
}

#undef VELMORA_AVX2
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
#if VELMORA_VECTORS
    if (g_wide)
        return wellFormedWide(p, size);
#endif
    return wellFormedBytewise(p, size);
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
