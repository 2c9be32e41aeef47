// UTF-8 and Latin-1 conversions between bytes and UTF-16 code units.
#pragma once

#include <cstddef>

// Works on caller-provided buffers, so a caller decodes straight into the
// storage of its own string type. Well-formed UTF-8 has no overlong forms,
// no surrogates, nothing above U+10FFFF and no truncated or stray
// continuation bytes.
class Utf8Kernel
{
public:
    // What a decode makes of a maximal ill-formed subpart: the longest start
    // of a well-formed sequence that breaks off, or else a single byte.
    enum class IllFormed {
        Fail,            // the decode stops and reports Failed
        Replace,         // one U+FFFD for the whole subpart
        ReplaceEachByte, // one U+FFFD for each of its bytes
        Escape,          // each byte b as the lone surrogate U+DC00 + b
    };

    static constexpr std::size_t Failed = static_cast<std::size_t>(-1);

    static bool IsWellFormed(const char *data, std::size_t size);

    // Decodes into out, which has room for size code units: no byte gives
    // more than one. Returns the number of units written, or Failed at the
    // first ill-formed byte under IllFormed::Fail (out then holds a part).
    static std::size_t Decode(const char *data, std::size_t size, char16_t *out, IllFormed rule);

    // The sequence at data[0] (size > 0): its length 1 to 4 with its code
    // point in cp, or the negated length of its maximal ill-formed subpart.
    static int Sequence(const char *data, std::size_t size, char32_t &cp);

    static constexpr std::size_t MaxEncodedSize(std::size_t units) { return 3 * units; }

    // Encodes into out (room for MaxEncodedSize(size) bytes) and returns the
    // number of bytes written. An unpaired surrogate is written as U+FFFD;
    // with escapes, an escaped byte (see IsEscape) as that byte instead.
    static std::size_t Encode(const char16_t *text, std::size_t size, char *out, bool escapes = false);

    // Writes a code point (not a surrogate, at most U+10FFFF); returns the end.
    static char *Put(char32_t cp, char *out);

    // True when the text has no unpaired surrogate, so Encode without
    // escapes gives back these exact code units on decoding.
    static bool EncodesLosslessly(const char16_t *text, std::size_t size);

    // Whether text[i] is a byte kept by IllFormed::Escape: U+DC80..U+DCFF
    // that is not the second half of a surrogate pair.
    static bool IsEscape(const char16_t *text, std::size_t i)
    {
        return text[i] >= 0xDC80 && text[i] <= 0xDCFF && !(i > 0 && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF);
    }

    // One code unit per byte, the byte's value as the code (U+0000..U+00FF).
    static void WidenLatin1(const char *data, std::size_t size, char16_t *out);

    // The low 8 bits of each code unit.
    static void NarrowLatin1(const char16_t *text, std::size_t size, char *out);

    // Lets tests run the narrower vector kernel on a machine with wider ones,
    // and IsWellFormed its byte loop instead of the AVX2 validator.
    static void UseWideVectors(bool on);
};
