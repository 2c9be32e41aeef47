// Archives as independent readers see them: Python's zipfile reads every
// entry's name, method and flags and checks its data against its CRC, which
// must be the input's; unzip tests the whole archive.
#include "cZipArchive.h"

#include "TestSupport.h"
#include "cMemoryStream.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <zlib.h>

namespace {

std::shared_ptr<cMemoryStream> streamOf(const ByteArray &bytes)
{
    auto s = std::make_shared<cMemoryStream>();
    s->SetContents(bytes);
    return s;
}

// "name method flags sizes-equal CRC" per entry, as Python's zipfile reads
// them once it and unzip have found every entry whole.
std::string readBack(const ByteArray &zip)
{
    const TempFolder dir;
    const std::string path = PutFile(dir.file("a.zip"), std::string(zip.begin(), zip.end()));
    const std::string list = dir.file("list.txt");
    EXPECT_EQ(std::system(("unzip -tqq '" + path + "' >/dev/null").c_str()), 0);
    const std::string cmd = "PYTHONIOENCODING=utf-8 python3 -c 'import sys, zipfile\n"
                            "z = zipfile.ZipFile(sys.argv[1])\n"
                            "assert z.testzip() is None\n"
                            "for i in z.infolist(): print(i.filename, i.compress_type, i.flag_bits, "
                            "i.compress_size == i.file_size, i.CRC)' '" +
                            path + "' >'" + list + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return FileBytes(list);
}

TEST(cZipArchive, EntriesAreStoredOrDeflatedWithTheirNames)
{
    // 'a', a match of 4 at distance 1 (12 bits) and six 9-bit literals: 84
    // bits with the block's header and end code, so exactly 11 bytes; equal
    // sizes keep the deflated data.
    const ByteArray exact = {'a', 'a', 'a', 'a', 'a', 0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5};
    const struct
    {
        const char *name;
        ByteArray data;
        const char *read;
    } cases[] = {
        {"leer.txt", {}, "leer.txt 0 0 True"},
        {"zufall.bin", RandomBytes(70000, 1), "zufall.bin 0 0 True"},
        {"text.txt", Prose(200000, 5), "text.txt 8 0 False"},
        {"genau.bin", exact, "genau.bin 8 0 True"},
        {"klein.txt", {'a', 'b', 'c'}, "klein.txt 0 0 True"},
        {"ordner\\Größe.txt", {'x'}, "ordner/Größe.txt 0 0 True"}, // in code page 437
        {"Привет.txt", {'x'}, "Привет.txt 0 2048 True"},           // in UTF-8
    };
    cZipArchive zip;
    std::string expected;
    for (const auto &c : cases) {
        ASSERT_TRUE(zip.AddFile(streamOf(c.data), c.name));
        expected += std::string(c.read) + " " +
                    std::to_string(crc32(0, c.data.data(), static_cast<uInt>(c.data.size()))) + "\n";
    }
    auto target = std::make_shared<cMemoryStream>();
    ASSERT_TRUE(zip.CompressArchive(target, {}, 7, -2)) << zip.LastError(); // as the backup writes
    EXPECT_EQ(readBack(target->Contents()), expected);
}

TEST(cZipArchive, AnArchiveWithoutEntriesIsRefused)
{
    cZipArchive none;
    EXPECT_FALSE(none.CompressArchive(std::make_shared<cMemoryStream>()));
    EXPECT_EQ(none.LastError(), "Empty archive");
}

} // namespace
