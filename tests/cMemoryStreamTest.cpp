// The in-memory stream and the byte-array and path kinds of virtual files.
#include "VfsHandle.h"
#include "ZipError.h"
#include "cMemoryStream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

TEST(cMemoryStream, GrowthAndContents)
{
    cMemoryStream s;
    EXPECT_TRUE(s.Contents().empty());
    const std::uint8_t one = 7;
    EXPECT_EQ(s.VfsWriteFile(&one, 1), 1);
    EXPECT_EQ(s.Contents(), ByteArray({7}));
    EXPECT_EQ(s.Capacity(), 512);

    cMemoryStream t;
    const ByteArray big(513, 1);
    t.VfsWriteFile(big.data(), 513);
    EXPECT_EQ(t.Capacity(), 1024);
    const ByteArray more(2000, 2);
    t.VfsWriteFile(more.data(), 2000);
    EXPECT_EQ(t.Capacity(), 4096);
    EXPECT_EQ(t.VfsSetFilePointer(0, 2), 2513);
}

TEST(cMemoryStream, PositionRules)
{
    cMemoryStream s;
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

TEST(VfsHandle, ByteArrayTargetGrowsAndIsCutAtTheEnd)
{
    ByteArray out;
    VfsHandle h;
    h.Create(&out);
    const ByteArray data(100, 5);
    h.Write(data.data(), 100);
    EXPECT_EQ(out.size(), 8192u);
    const ByteArray big(9000, 6);
    h.Write(big.data(), 9000);
    EXPECT_EQ(out.size(), 16384u); // smallest power of two above 9,100
    h.SetEof("[output_archive]");
    EXPECT_EQ(out.size(), 9100u);

    VfsHandle byValue;
    try {
        byValue.Create(ByteArray{});
        FAIL();
    } catch (const ZipError &e) {
        EXPECT_EQ(e.Description, "Invalid byte array");
    }
}

TEST(VfsHandle, PathsErrorsAndFolders)
{
    const auto dir = std::filesystem::temp_directory_path() / ("vfs-test-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    VfsHandle h;
    try {
        h.Open((dir / "missing.txt").string());
        FAIL();
    } catch (const ZipError &e) {
        EXPECT_EQ(e.Source, "pvVfsOpen");
        EXPECT_EQ(e.Description.rfind("[2] ", 0), 0u) << e.Description;
        EXPECT_NE(e.Description.find("(" + (dir / "missing.txt").string() + ")"), std::string::npos);
    }
    // The target's folders are made first.
    const std::string target = (dir / "a" / "b" / "out.bin").string();
    h.Create(target);
    h.Write("xyz", 3);
    h.Close();
    EXPECT_EQ(std::filesystem::file_size(target), 3u);
    // A folder of the path that exists as a file.
    try {
        h.Create(target + "/inner.bin");
        FAIL();
    } catch (const ZipError &e) {
        EXPECT_EQ(e.Description, "File already exists (" + target + ")");
    }
    std::filesystem::remove_all(dir);
}

} // namespace
