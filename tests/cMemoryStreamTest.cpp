// The in-memory stream that holds the backup's sources and its archive.
#include "cMemoryStream.h"

#include <gtest/gtest.h>

namespace {

using ByteArray = std::vector<std::uint8_t>;

TEST(cMemoryStream, ContentsAndPositionRules)
{
    cMemoryStream s;
    EXPECT_TRUE(s.Contents().empty());
    const std::uint8_t one = 7;
    EXPECT_EQ(s.VfsWriteFile(&one, 1), 1);
    EXPECT_EQ(s.Contents(), ByteArray({7}));
    const ByteArray big(513, 1), more(2000, 2);
    s.VfsWriteFile(big.data(), 513);
    s.VfsWriteFile(more.data(), 2000);
    EXPECT_EQ(s.VfsSetFilePointer(0, 2), 2514);

    s.SetContents(ByteArray{1, 2, 3, 4});
    EXPECT_EQ(s.VfsSetFilePointer(0, 1), 0);
    EXPECT_EQ(s.VfsSetFilePointer(0, 2), 4);
    EXPECT_EQ(s.VfsSetFilePointer(-1, 2), 3);
    EXPECT_EQ(s.VfsSetFilePointer(9, 7), 3); // unknown method: unchanged

    std::uint8_t buf[8];
    s.VfsSetFilePointer(10, 0); // past the end: reads nothing
    EXPECT_EQ(s.VfsReadFile(buf, 8), 0);
    const std::uint8_t x = 9;
    s.VfsWriteFile(&x, 1); // writing there makes the size jump
    EXPECT_EQ(s.Size(), 11);
    EXPECT_EQ(s.Contents()[10], 9);

    s.VfsSetFilePointer(2, 0);
    s.VfsSetEndOfFile("[output_archive]");
    EXPECT_EQ(s.Contents(), ByteArray({1, 2}));
    s.VfsSetFilePointer(0, 0);
    EXPECT_EQ(s.VfsReadFile(buf, 8), 2);
}

} // namespace
