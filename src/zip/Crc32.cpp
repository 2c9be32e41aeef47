// CRC-32 by slicing four bytes per step, with its tables computed by the compiler.
#include "Crc32.h"

#include <array>

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

using CrcTables = std::array<std::array<std::uint32_t, 256>, 4>;

// Table 0 advances the register by one byte. Entry i of table k advances it by the byte i followed by k zero
// bytes: table k - 1 shifted by one more byte. XOR-ing one entry of each table for the four bytes of a word
// therefore advances the register by the whole word.
constexpr CrcTables MakeTables()
{
    CrcTables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t r = i;
        for (int bit = 0; bit < 8; ++bit)
            r = (r >> 1) ^ (kPolynomial & (0u - (r & 1u)));
        t[0][i] = r;
    }
    for (int k = 1; k < 4; ++k)
        for (int i = 0; i < 256; ++i)
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFFu];
    return t;
}

constexpr CrcTables kTables = MakeTables();

} // namespace

std::uint32_t Crc32Update(std::uint32_t crc, const void *data, std::size_t length)
{
    const auto *p = static_cast<const std::uint8_t *>(data);
    // The word is assembled from bytes, so the order is the same on every machine; compilers turn this into
    // one load where the machine is little-endian.
    for (; length >= 4; length -= 4, p += 4) {
        crc ^= std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
        crc = kTables[3][crc & 0xFFu] ^ kTables[2][(crc >> 8) & 0xFFu] ^ kTables[1][(crc >> 16) & 0xFFu] ^
              kTables[0][crc >> 24];
    }
    for (; length > 0; --length, ++p)
        crc = kTables[0][(crc ^ *p) & 0xFFu] ^ (crc >> 8);
    return crc;
}

std::uint32_t Crc32UpdateBytewise(std::uint32_t crc, const void *data, std::size_t length)
{
    const auto *p = static_cast<const std::uint8_t *>(data);
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (kPolynomial & (0u - (crc & 1u)));
    }
    return crc;
}
