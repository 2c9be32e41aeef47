// Code page 437, the code page of names in ZIP archives without the UTF-8
// flag.
#pragma once

#include <string>

class Cp437
{
public:
    // The name in code page 437; false when a character has no place in it
    // (it is then written as "?") or the UTF-8 is malformed.
    static bool FromUtf8(const std::string &utf8, std::string &out);
    // Code page 437 bytes as UTF-8.
    static std::string ToUtf8(const std::string &bytes);
};
