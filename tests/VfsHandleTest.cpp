// The byte-array and path kinds of the archive writer's sources and targets.
#include "VfsHandle.h"

#include "TestSupport.h"
#include "ZipError.h"

#include <gtest/gtest.h>

namespace {

TEST(VfsHandle, ByteArrayTargetIsCutAtTheEnd)
{
    ByteArray out;
    VfsHandle h;
    h.Create(&out);
    const ByteArray data(100, 5), big(9000, 6);
    h.Write(data.data(), 100);
    h.Write(big.data(), 9000);
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
    const TempFolder dir;
    VfsHandle h;
    try {
        h.Open(dir.file("missing.txt"));
        FAIL();
    } catch (const ZipError &e) {
        EXPECT_EQ(e.Source, "pvVfsOpen");
        EXPECT_EQ(e.Description.rfind("[2] ", 0), 0u) << e.Description;
        EXPECT_NE(e.Description.find("(" + dir.file("missing.txt") + ")"), std::string::npos);
    }
    // The target's folders are made first.
    const std::string target = dir.file("a/b/out.bin");
    h.Create(target);
    h.Write("xyz", 3);
    h.Close();
    EXPECT_EQ(FileBytes(target), "xyz");
    // A folder of the path that exists as a file.
    try {
        h.Create(target + "/inner.bin");
        FAIL();
    } catch (const ZipError &e) {
        EXPECT_EQ(e.Description, "File already exists (" + target + ")");
    }
}

} // namespace
