// UTF-8 and UTF-16 conversions of names and comments in the archive writer.
#pragma once

#include <string>

class Utf8Text
{
public:
    // Reads the code point at text[i] and advances i; false (i advanced by
    // one) at a malformed sequence.
    static bool Next(const std::string &text, std::size_t &i, char32_t &cp);
    static void Append(std::string &out, char32_t cp);
    // Unpaired surrogates become U+FFFD.
    static std::string FromUtf16(const std::u16string &text);
    // Malformed sequences become U+FFFD.
    static std::u16string ToUtf16(const std::string &text);
};
