// Archives as independent readers see them: every entry inflated by zlib and
// compared with its input, the whole archive tested by Python's zipfile and
// by unzip, and the header fields read back byte by byte.
#include "ZipError.h"
#include "cMemoryStream.h"
#include "cZipArchive.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

namespace {

std::uint32_t rd16(const ByteArray &b, std::size_t at) { return b[at] | (b[at + 1] << 8); }
std::uint32_t rd32(const ByteArray &b, std::size_t at) { return rd16(b, at) | (rd16(b, at + 2) << 16); }

struct ReadEntry
{
    std::uint32_t localVersion, centralVersion, madeBy, flags, method, crc, compressed, size, attributes, offset;
    std::string name;
    ByteArray data; // inflated or stored bytes
};

ByteArray inflateRaw(const std::uint8_t *data, std::size_t size, std::size_t expected)
{
    ByteArray out(expected + 1);
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
    z.next_in = const_cast<Bytef *>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&z, Z_FINISH);
    EXPECT_EQ(rc, Z_STREAM_END);
    EXPECT_EQ(z.avail_in, 0u) << "the stream ends exactly at the entry's end";
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

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
        const std::uint32_t nameLen = rd16(zip, at + 28), extraLen = rd16(zip, at + 30), commentLen = rd16(zip, at + 32);
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
        if (e.method == 8)
            e.data = inflateRaw(zip.data() + data, e.compressed, e.size);
        else
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
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("velmora-zip-" + std::to_string(::getpid()) + ".zip"))
                                 .string();
    {
        std::ofstream f(path, std::ios::binary);
        f.write(reinterpret_cast<const char *>(zip.data()), static_cast<std::streamsize>(zip.size()));
    }
    EXPECT_EQ(std::system(("python3 -m zipfile -t " + path + " >/dev/null").c_str()), 0);
    if (std::system("command -v unzip >/dev/null") == 0) {
        EXPECT_EQ(std::system(("unzip -tqq " + path + " >/dev/null").c_str()), 0);
    }
    std::filesystem::remove(path);
}

std::shared_ptr<cMemoryStream> streamOf(const ByteArray &bytes)
{
    auto s = std::make_shared<cMemoryStream>();
    s->SetContents(bytes);
    return s;
}

ByteArray randomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    ByteArray b(n);
    for (auto &x : b)
        x = static_cast<std::uint8_t>(rng());
    return b;
}

ByteArray text(std::size_t n)
{
    static const char *words[] = {"Suchwort ", "und ", "Größe ", "über ", "Wort, ", "<div class=\"x\">", "\r\n"};
    std::mt19937 rng(5);
    std::string s;
    while (s.size() < n)
        s += words[rng() % 7];
    s.resize(n);
    return ByteArray(s.begin(), s.end());
}

ByteArray compress(cZipArchive &zip, int level = 7, int useUtf8 = -2)
{
    auto target = std::make_shared<cMemoryStream>();
    EXPECT_TRUE(zip.CompressArchive(target, {}, level, useUtf8)) << zip.LastError();
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
        {"zufall.bin", randomBytes(70000, 1), 0, 10},
        {"text.txt", text(200000), 8, 20},
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
    const auto info = zip.FileInfo(2);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->Method, 8u);
    EXPECT_EQ(info->Size, 200000);
    EXPECT_FALSE(zip.FileInfo(-1));
    EXPECT_FALSE(zip.FileInfo(zip.FileCount()));
}

TEST(cZipArchive, LevelZeroStoresEverythingWithProgressBeforeEachChunk)
{
    cZipArchive zip;
    zip.AddFile(streamOf(text(100000)), "a.txt");
    zip.AddFile(streamOf(text(10)), "b.txt");
    std::vector<std::int64_t> progress;
    zip.Progress = [&](int idx, std::int64_t current, std::int64_t, bool &) {
        if (idx == 0)
            progress.push_back(current);
    };
    const auto read = readArchive(compress(zip, 0));
    ASSERT_EQ(read.size(), 2u);
    for (const auto &e : read) {
        EXPECT_EQ(e.method, 0u);
        EXPECT_EQ(e.centralVersion, 10u);
    }
    EXPECT_EQ(progress, (std::vector<std::int64_t>{0, 65536, 100000}));
}

TEST(cZipArchive, NamesInCodePage437OrUtf8)
{
    struct Case
    {
        const char *name;
        int useUtf8;
        std::uint32_t flags;
        std::string stored;
    } cases[] = {
        {"ordner\\Größe.txt", -2, 0, "ordner/Gr\x94\xE1" "e.txt"},
        {"Ελληνικά.txt", -2, 0x0800, "Ελληνικά.txt"},
        {"Привет.txt", -2, 0x0800, "Привет.txt"},
        {"plain.txt", -1, 0x0800, "plain.txt"},
        {"Ελ.txt", 0, 0, "??.txt"},
    };
    for (const auto &c : cases) {
        cZipArchive zip;
        zip.AddFile(streamOf(text(100)), c.name);
        const ByteArray archive = compress(zip, 7, c.useUtf8);
        const auto read = readArchive(archive);
        ASSERT_EQ(read.size(), 1u);
        EXPECT_EQ(read[0].flags, c.flags) << c.name;
        EXPECT_EQ(read[0].name, c.stored) << c.name;
        if (c.flags)
            externalReadersAccept(archive);
    }
}

// A source that gives out after a few bytes, as a failing disk would.
class FailingStream : public VfsStream
{
public:
    std::int32_t VfsSetFilePointer(std::int32_t, std::int32_t m) override { return m == 2 ? 1000000 : 0; }
    std::int32_t VfsReadFile(void *, std::int32_t) override { throw ZipError("[5] Input/output error ([stream])", "pvVfsRead"); }
    std::int32_t VfsWriteFile(const void *, std::int32_t) override { return 0; }
    void VfsSetEndOfFile(const std::string &) override {}
};

TEST(cZipArchive, AFailingSourceDropsOnlyItsEntry)
{
    cZipArchive zip;
    zip.AddFile(streamOf(text(5000)), "eins.txt");
    zip.AddFile(std::make_shared<FailingStream>(), "kaputt.txt");
    zip.AddFile(streamOf(text(7000)), "drei.txt");
    std::string errorSource;
    int errorIndex = -2;
    zip.Error = [&](int idx, const std::string &source, std::string &, bool &) {
        errorIndex = idx;
        errorSource = source;
    };
    const ByteArray archive = compress(zip);
    const auto read = readArchive(archive);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].name, "eins.txt");
    EXPECT_EQ(read[1].name, "drei.txt");
    EXPECT_EQ(read[1].data, text(7000));
    EXPECT_EQ(zip.LastError(), "[5] Input/output error ([stream])");
    EXPECT_EQ(errorIndex, 1);
    EXPECT_EQ(errorSource, "cZipArchive.CompressArchive\r\npvVfsRead");
    EXPECT_EQ(zip.FileInfo(1)->Offset, -1);
    externalReadersAccept(archive);
}

TEST(cZipArchive, EmptySkippedAndCancelled)
{
    cZipArchive none;
    auto target = std::make_shared<cMemoryStream>();
    EXPECT_FALSE(none.CompressArchive(target));
    EXPECT_EQ(none.LastError(), "Empty archive");

    cZipArchive skipped;
    skipped.AddFile(streamOf(text(10)), "a.txt");
    skipped.BeforeCompress = [](int, int &, bool &skip, bool &) { skip = true; };
    EXPECT_FALSE(skipped.CompressArchive(target));
    EXPECT_EQ(skipped.LastError(), "Empty archive");
    EXPECT_EQ(skipped.FileInfo(0)->Offset, -1);

    cZipArchive cancelled;
    cancelled.AddFile(streamOf(text(10)), "a.txt");
    cancelled.Progress = [](int, std::int64_t, std::int64_t, bool &cancel) { cancel = true; };
    EXPECT_FALSE(cancelled.CompressArchive(target));
    EXPECT_EQ(cancelled.LastError(), "User cancelled");

    // A handler may change an entry's level: 0 stores it.
    cZipArchive relevelled;
    relevelled.AddFile(streamOf(text(5000)), "a.txt");
    relevelled.BeforeCompress = [](int, int &level, bool &, bool &) { level = 0; };
    EXPECT_EQ(readArchive(compress(relevelled))[0].method, 0u);
}

TEST(cZipArchive, PathSourcesAndTargets)
{
    const auto dir = std::filesystem::temp_directory_path() / ("velmora-zip-dir-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "sub");
    const ByteArray a = text(3000), b = text(40);
    std::ofstream(dir / "a.txt", std::ios::binary).write(reinterpret_cast<const char *>(a.data()), 3000);
    std::ofstream(dir / "sub" / "b.txt", std::ios::binary).write(reinterpret_cast<const char *>(b.data()), 40);
    std::ofstream(dir / "skip.bin", std::ios::binary) << "x";

    cZipArchive zip;
    ASSERT_TRUE(zip.AddFromFolder((dir / "*.txt").string(), true, "ziel"));
    ASSERT_EQ(zip.FileCount(), 2);
    const std::string out = (dir / "neu" / "archiv.zip").string();
    ASSERT_TRUE(zip.CompressArchive(out)) << zip.LastError();
    std::ifstream f(out, std::ios::binary);
    const ByteArray archive((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const auto read = readArchive(archive);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].name, "ziel/a.txt");
    EXPECT_EQ(read[1].name, "ziel/sub/b.txt");
    EXPECT_EQ(read[1].data, b);
    std::filesystem::remove_all(dir);

    cZipArchive missing;
    EXPECT_FALSE(missing.AddFile((dir / "nope.txt").string()));
    EXPECT_EQ(missing.FileCount(), 0);
    EXPECT_NE(missing.LastError().find("nope.txt)"), std::string::npos);
}

TEST(cZipArchive, CrcAndUtf8Helpers)
{
    EXPECT_EQ(cZipArchive::CalcCrc32Array(ByteArray{'a', 'b', 'c'}), 0x352441C2u);
    EXPECT_EQ(cZipArchive::CalcCrc32Array({}), 0u);
    const char abc[] = "abc";
    EXPECT_EQ(~cZipArchive::CalcCrc32Ptr(abc, 3, 0xFFFFFFFF), 0x352441C2u);
    EXPECT_EQ(cZipArchive::FromUtf8Array(cZipArchive::ToUtf8Array(u"Größe €")), u"Größe €");
    cZipArchive zip;
    EXPECT_EQ(zip.SemVersion(), "0.2.8");
    EXPECT_EQ(zip.ThunkBuildDate(), "12.1.2018 17:15:52");
}

} // namespace
