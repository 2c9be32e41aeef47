// The byte-array target of the archive writer.
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

} // namespace
