// Code page 437, the code page of names in ZIP archives without the UTF-8
// flag.
#include "Cp437.h"

#include "Utf8Kernel.h"

#include <array>
#include <cstdint>

namespace {

// Unicode code points of the bytes 0x80 to 0xFF; 0x00 to 0x7F are ASCII.
// Eight code points a line, as code page tables are printed.
// clang-format off
constexpr std::array<char16_t, 128> kHigh = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};
// clang-format on

} // namespace

bool Cp437::FromUtf8(const std::string &utf8, std::string &out)
{
    out.clear();
    bool exact = true;
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = 0;
        const int len = Utf8Kernel::Sequence(utf8.data() + i, utf8.size() - i, cp);
        if (len < 0) {
            // Each byte of malformed UTF-8 stands for one character.
            out.append(static_cast<std::size_t>(-len), '?');
            i += static_cast<std::size_t>(-len);
            exact = false;
            continue;
        }
        i += static_cast<std::size_t>(len);
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        int found = -1;
        for (int k = 0; k < 128 && found < 0; ++k)
            if (kHigh[static_cast<std::size_t>(k)] == cp)
                found = k;
        if (found < 0) {
            out += '?';
            exact = false;
        } else {
            out += static_cast<char>(0x80 + found);
        }
    }
    return exact;
}

std::string Cp437::ToUtf8(const std::string &bytes)
{
    std::string out(Utf8Kernel::MaxEncodedSize(bytes.size()), '\0');
    char *o = out.data();
    for (unsigned char b : bytes)
        o = Utf8Kernel::Put(b < 0x80 ? b : kHigh[b - 0x80], o);
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}
