// The two x86 vector widths, so a kernel is written once and compiled for both.
#pragma once

#include <array>
#include <cstddef>

// A set of one value, or of two that differ only in bit 0x20 (a letter's two
// cases in ASCII and Latin-1), tested with one compare: (x | orBits) ==
// value. False for any other set.
template <class T, std::size_t N> bool CaseBitForm(const std::array<T, N> &set, T &value, T &orBits)
{
    T a = set[0], b = set[0];
    for (const T c : set) {
        if (c != a && c != b) {
            if (b != a)
                return false;
            b = c;
        }
    }
    if (a != b && (a ^ b) != 0x20)
        return false;
    orBits = static_cast<T>(a ^ b);
    value = static_cast<T>(a | orBits);
    return true;
}

#if defined(__SSE2__)
#define VELMORA_VECTORS 1

#include <immintrin.h>

// A kernel over VectorWidth<Bits> works on Units (16-bit code units as GCC
// vectors, whose operators compile to the instructions of the function they
// end up in) and calls the members below for what has no operator. It is
// inlined into two functions: a plain one for 128 bits (SSE2 is part of
// x86-64) and one with __attribute__((target("avx2"))) for 256 bits, called
// only when the processor has AVX2. No vector is passed or returned by value
// between functions: across targets its calling convention would differ.
template <int Bits> struct VectorWidth;

template <> struct VectorWidth<128>
{
    typedef short Units __attribute__((vector_size(16)));
    static constexpr int Count = 8; // code units in Units

    // Every unit set to c.
    static void Splat(Units &v, char16_t c) { v = Units(_mm_set1_epi16(static_cast<short>(c))); }

    // Two bits per code unit, both set where the unit is all ones.
    static unsigned Mask(const Units &v) { return static_cast<unsigned>(_mm_movemask_epi8(__m128i(v))); }

    // Widens 16 bytes to 16 code units; returns the mask of the bytes >= 0x80.
    static unsigned Widen16(const unsigned char *in, char16_t *out)
    {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in));
        const __m128i zero = _mm_setzero_si128();
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 8), _mm_unpackhi_epi8(v, zero));
        return static_cast<unsigned>(_mm_movemask_epi8(v));
    }

    // Bytes: 16 of them, and one mask bit per byte.
    typedef char Bytes __attribute__((vector_size(16)));
    static constexpr int ByteCount = 16;
    static void SplatByte(Bytes &v, unsigned char b) { v = Bytes(_mm_set1_epi8(static_cast<char>(b))); }
    static unsigned ByteMask(const Bytes &v) { return static_cast<unsigned>(_mm_movemask_epi8(__m128i(v))); }

    static bool Available() { return true; }
};

template <> struct VectorWidth<256>
{
    typedef short Units __attribute__((vector_size(32)));
    static constexpr int Count = 16;

    __attribute__((target("avx2"))) static void Splat(Units &v, char16_t c)
    {
        v = Units(_mm256_set1_epi16(static_cast<short>(c)));
    }

    __attribute__((target("avx2"))) static unsigned Mask(const Units &v)
    {
        return static_cast<unsigned>(_mm256_movemask_epi8(__m256i(v)));
    }

    __attribute__((target("avx2"))) static unsigned Widen16(const unsigned char *in, char16_t *out)
    {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out), _mm256_cvtepu8_epi16(v));
        return static_cast<unsigned>(_mm_movemask_epi8(v));
    }

    typedef char Bytes __attribute__((vector_size(32)));
    static constexpr int ByteCount = 32;
    __attribute__((target("avx2"))) static void SplatByte(Bytes &v, unsigned char b)
    {
        v = Bytes(_mm256_set1_epi8(static_cast<char>(b)));
    }
    __attribute__((target("avx2"))) static unsigned ByteMask(const Bytes &v)
    {
        return static_cast<unsigned>(_mm256_movemask_epi8(__m256i(v)));
    }

    static bool Available() { return __builtin_cpu_supports("avx2"); }
};

#endif
