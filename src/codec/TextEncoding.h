// The five encodings a text file is read and written in. The numbers are the
// ones the program has always used (and shows nowhere but in its own code).
#pragma once

enum class TextEncoding : int {
    Ansi = 0,    // 8-bit text, every byte kept as U+0000..U+00FF
    Utf8Bom = 1, // UTF-8 with the mark EF BB BF
    Utf8 = 2,    // UTF-8 without a mark
    Utf16LE = 3, // UTF-16 little-endian with the mark FF FE
    Utf16BE = 4, // UTF-16 big-endian with the mark FE FF
};
