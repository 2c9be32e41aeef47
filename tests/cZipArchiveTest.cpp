// Archives as independent readers see them: every entry inflated by zlib and
// compared with its input, the whole archive tested by Python's zipfile and
// by unzip, and the header fields read back byte by byte.
#include "cZipArchive.h"

#include "InflateRaw.h"
#include "TestSupport.h"
#include "cMemoryStream.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <zlib.h>

namespace {

std::uint32_t rd16(const ByteArray &b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8);
}
std::uint32_t rd32(const ByteArray &b, std::size_t at)
{
    return rd16(b, at) | (rd16(b, at + 2) << 16);
}

struct ReadEntry
{
    std::uint32_t localVersion, centralVersion, madeBy, flags, method, crc, compressed, size, attributes, offset;
    std::string name;
    ByteArray data; // inflated or stored bytes
};

// Reads the archive through its end record and central directory, the way
// unpackers do, and cross-checks every local header.
std::vector<ReadEntry> readArchive(const ByteArray &zip)
{
    std::vector<ReadEntry> entries;
    EXPECT_GE(zip.size(), 22u);
    if (zip.size() < 22)
        return entries;
    const std::size_t end = zip.size() - 22; // no archive comment in these tests
    EXPECT_EQ(rd32(zip, end), 0x06054B50u);
    const std::uint32_t count = rd16(zip, end + 10);
    EXPECT_EQ(rd16(zip, end + 8), count);
    std::size_t at = rd32(zip, end + 16);
    EXPECT_EQ(at + rd32(zip, end + 12), end);
    for (std::uint32_t i = 0; i < count; ++i) {
        ReadEntry e{};
        EXPECT_EQ(rd32(zip, at), 0x02014B50u);
        e.madeBy = rd16(zip, at + 4);
        e.centralVersion = rd16(zip, at + 6);
        e.flags = rd16(zip, at + 8);
        e.method = rd16(zip, at + 10);
        e.crc = rd32(zip, at + 16);
        e.compressed = rd32(zip, at + 20);
        e.size = rd32(zip, at + 24);
        const std::uint32_t nameLen = rd16(zip, at + 28), extraLen = rd16(zip, at + 30),
                            commentLen = rd16(zip, at + 32);
        e.attributes = rd32(zip, at + 38);
        e.offset = rd32(zip, at + 42);
        e.name.assign(zip.begin() + static_cast<long>(at + 46), zip.begin() + static_cast<long>(at + 46 + nameLen));
        at += 46 + nameLen + extraLen + commentLen;

        const std::size_t l = e.offset;
        EXPECT_EQ(rd32(zip, l), 0x04034B50u);
        e.localVersion = rd16(zip, l + 4);
        EXPECT_EQ(rd16(zip, l + 6), e.flags);
        EXPECT_EQ(rd16(zip, l + 8), e.method);
        EXPECT_EQ(rd32(zip, l + 14), e.crc);
        EXPECT_EQ(rd32(zip, l + 18), e.compressed);
        EXPECT_EQ(rd32(zip, l + 22), e.size);
        const std::size_t data = l + 30 + rd16(zip, l + 26) + rd16(zip, l + 28);
        if (e.method == 8) {
            const Inflated inflated = InflateRaw(zip.data() + data, e.compressed, e.size);
            EXPECT_TRUE(inflated.ok) << e.name << ": the stream ends exactly at the entry's end";
            e.data = inflated.bytes;
        } else
            e.data.assign(zip.begin() + static_cast<long>(data), zip.begin() + static_cast<long>(data + e.compressed));
        EXPECT_EQ(e.data.size(), e.size) << e.name;
        EXPECT_EQ(crc32(0, e.data.data(), static_cast<uInt>(e.data.size())), e.crc) << e.name;
        entries.push_back(e);
    }
    return entries;
}

// Python's zipfile and unzip must both accept the archive.
void externalReadersAccept(const ByteArray &zip)
{
    const TempFolder dir;
    const std::string path = PutFile(dir.file("a.zip"), std::string(zip.begin(), zip.end()));
    EXPECT_EQ(std::system(("python3 -m zipfile -t " + path + " >/dev/null").c_str()), 0);
    if (std::system("command -v unzip >/dev/null") == 0) {
        EXPECT_EQ(std::system(("unzip -tqq " + path + " >/dev/null").c_str()), 0);
    }
}

std::shared_ptr<cMemoryStream> streamOf(const ByteArray &bytes)
{
    auto s = std::make_shared<cMemoryStream>();
    s->SetContents(bytes);
    return s;
}

ByteArray compress(cZipArchive &zip)
{
    auto target = std::make_shared<cMemoryStream>();
    EXPECT_TRUE(zip.CompressArchive(target, {}, 7, -2)) << zip.LastError(); // as the backup writes
    EXPECT_EQ(target->Position(), target->Size());
    return target->Contents();
}

struct EntryCase
{
    const char *name;
    ByteArray data;
    std::uint32_t method;
    std::uint32_t localVersion;
};

TEST(cZipArchive, EntriesAreStoredOrDeflatedAsTheyShouldBe)
{
    // 'a', a match of 4 at distance 1 (12 bits) and six 9-bit literals: 84
    // bits with the block's header and end code, so exactly 11 bytes.
    const ByteArray exact = {'a', 'a', 'a', 'a', 'a', 0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5};
    const EntryCase cases[] = {
        {"leer.txt", {}, 0, 10},
        {"zufall.bin", RandomBytes(70000, 1), 0, 10},
        {"text.txt", Prose(200000, 5), 8, 20},
        {"genau.bin", exact, 8, 20},
        {"klein.txt", {'a', 'b', 'c'}, 0, 10},
    };
    cZipArchive zip;
    for (const auto &c : cases)
        ASSERT_TRUE(zip.AddFile(streamOf(c.data), c.name));
    const ByteArray archive = compress(zip);
    const auto read = readArchive(archive);
    ASSERT_EQ(read.size(), std::size(cases));
    for (std::size_t i = 0; i < read.size(); ++i) {
        const EntryCase &c = cases[i];
        EXPECT_EQ(read[i].name, c.name);
        EXPECT_EQ(read[i].method, c.method) << c.name;
        EXPECT_EQ(read[i].localVersion, c.localVersion) << c.name;
        EXPECT_EQ(read[i].centralVersion, 20u) << "mixed: every central header says 20";
        EXPECT_EQ(read[i].madeBy, 45u);
        EXPECT_EQ(read[i].attributes, 32u);
        EXPECT_EQ(read[i].data, c.data) << c.name;
    }
    EXPECT_EQ(read[0].crc, 0u);
    EXPECT_EQ(read[3].compressed, read[3].size) << "equal sizes keep the deflated data";
    externalReadersAccept(archive);
}

TEST(cZipArchive, NamesInCodePage437OrUtf8)
{
    struct Case
    {
        const char *name;
        std::uint32_t flags;
        std::string stored;
    } cases[] = {
        {"ordner\\Größe.txt", 0,
         "ordner/Gr\x94\xE1"
         "e.txt"},
        {"Привет.txt", 0x0800, "Привет.txt"},
    };
    for (const auto &c : cases) {
        cZipArchive zip;
        zip.AddFile(streamOf(Prose(100, 5)), c.name);
        const ByteArray archive = compress(zip);
        const auto read = readArchive(archive);
        ASSERT_EQ(read.size(), 1u);
        EXPECT_EQ(read[0].flags, c.flags) << c.name;
        EXPECT_EQ(read[0].name, c.stored) << c.name;
        if (c.flags)
            externalReadersAccept(archive);
    }
}

TEST(cZipArchive, AnArchiveWithoutEntriesIsRefused)
{
    cZipArchive none;
    EXPECT_FALSE(none.CompressArchive(std::make_shared<cMemoryStream>()));
    EXPECT_EQ(none.LastError(), "Empty archive");
}

} // namespace
