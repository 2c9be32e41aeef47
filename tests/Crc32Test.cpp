// CRC-32 of the archive entries: known values, and the sliced form equal to
// the bytewise one at every length around a slice and every alignment.
#include "Crc32.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(Crc32, KnownValuesAndSlicingEqualsBytewise)
{
    const std::pair<std::string, std::uint32_t> cases[] = {{"", 0u}, {"abc", 0x352441C2u}, {"123456789", 0xCBF43926u}};
    for (const auto &[text, expected] : cases) {
        EXPECT_EQ(Crc32Update(0xFFFFFFFFu, text.data(), text.size()) ^ 0xFFFFFFFFu, expected) << text;
        EXPECT_EQ(Crc32UpdateBytewise(0xFFFFFFFFu, text.data(), text.size()) ^ 0xFFFFFFFFu, expected) << text;
    }
    // Every length around the 8-byte slices, at every alignment, from a non-trivial start value.
    const std::vector<std::uint8_t> data = RandomBytes(5000, 7);
    for (std::size_t offset = 0; offset < 8; ++offset)
        for (std::size_t length : {0, 1, 3, 4, 7, 8, 9, 15, 16, 17, 33, 255, 4992})
            ASSERT_EQ(Crc32Update(std::uint32_t(length * 2654435761u), data.data() + offset, length),
                      Crc32UpdateBytewise(std::uint32_t(length * 2654435761u), data.data() + offset, length))
                << "offset " << offset << " length " << length;
}

} // namespace
