// The streaming archive writer as independent readers see it: the bytes cZipArchive writes from and into its memory
// streams within the classic limits, ZIP64 past them, the entries written before a crash readable and the one cut short
// not, and a failed entry or directory that leaves the entries before it intact.
#include "ZipStreamWriter.h"

#include "FileSizeLimit.h"
#include "TestSupport.h"
#include "cMemoryStream.h"
#include "cZipArchive.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

namespace {

// A new archive file and the descriptor the writer writes to.
struct ArchiveFile
{
    explicit ArchiveFile(const TempFolder &dir) : path(dir.file("a.zip"))
    {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }
    ~ArchiveFile() { ::close(fd); }
    std::uintmax_t size() const { return std::filesystem::file_size(path); }

    std::string path;
    int fd = -1;
};

// The archive passes Python's zipfile and unzip, both reading it through its central directory.
bool readersAccept(const std::string &path)
{
    return std::system(("python3 -m zipfile -t '" + path + "' >/dev/null").c_str()) == 0 &&
           std::system(("unzip -tqq '" + path + "' >/dev/null").c_str()) == 0;
}

// What Python's zipfile lists: the fields of each entry i, by default
// "name size offset", one entry a line.
std::string listing(const std::string &path, const std::string &fields = "i.filename, i.file_size, i.header_offset")
{
    const TempFolder dir;
    const std::string out = dir.file("list.txt");
    const std::string cmd = "PYTHONIOENCODING=utf-8 python3 -c 'import sys, zipfile\n"
                            "for i in zipfile.ZipFile(sys.argv[1]).infolist(): print(" +
                            fields + ")' '" + path + "' >" + out;
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return FileBytes(out);
}

ZipStreamWriter::Entry named(const std::string &name)
{
    ZipStreamWriter::Entry e;
    e.name = name;
    return e;
}

int add(ZipStreamWriter &w, const std::string &name, const ByteArray &data)
{
    return w.Add(named(name), data.data(), data.size());
}

std::shared_ptr<cMemoryStream> streamOf(const ByteArray &bytes)
{
    auto s = std::make_shared<cMemoryStream>();
    s->SetContents(bytes);
    return s;
}

// The same entries through cZipArchive (into memory) and through the writer
// (into a file), at the given level, with cZipArchive's times; with their
// data deflated before at readyLevel, unless that is negative.
std::string bothWriters(const std::vector<std::pair<std::string, ByteArray>> &entries, int level,
                        const ArchiveFile &file, int readyLevel = -1)
{
    cZipArchive zip;
    for (const auto &[name, data] : entries)
        EXPECT_TRUE(zip.AddFile(streamOf(data), name));
    auto memory = std::make_shared<cMemoryStream>();
    EXPECT_TRUE(zip.CompressArchive(memory, {}, level, -2)) << zip.LastError();
    ZipStreamWriter w(file.fd, level);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ZipStreamWriter::Entry e = named(entries[i].first);
        e.modified = zip.FileInfo(static_cast<int>(i))->LastModified;
        const ByteArray &data = entries[i].second;
        ZipStreamWriter::Deflated ready;
        if (readyLevel >= 0) {
            EXPECT_EQ(ZipStreamWriter::Deflate(readyLevel, data.data(), data.size(), ready), 0);
        }
        EXPECT_EQ(readyLevel < 0 ? w.Add(e, data.data(), data.size()) : w.Add(e, data.data(), data.size(), ready), 0);
    }
    EXPECT_EQ(w.Finish(), 0);
    const ByteArray bytes = memory->Contents();
    return std::string(bytes.begin(), bytes.end());
}

// Stored and deflated entries, one chunk exactly and more than one, names in
// code page 437 and UTF-8: the same bytes as cZipArchive's, in which readers
// find each entry's method, name flag and the CRC of its input.
TEST(ZipStreamWriter, WritesTheBytesOfCZipArchive)
{
    // 'a', a match of 4 at distance 1 (12 bits) and six 9-bit literals: 84
    // bits with the block's header and end code, so exactly 11 bytes; equal
    // sizes keep the deflated data.
    const ByteArray exact = {'a', 'a', 'a', 'a', 'a', 0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5};
    const struct
    {
        const char *name;
        ByteArray data;
        const char *read; // name, method, flags, sizes equal
    } cases[] = {
        {"leer.txt", {}, "leer.txt 0 0 True"},
        {"zufall.bin", RandomBytes(70000, 1), "zufall.bin 0 0 True"},
        {"ordner\\Größe.txt", Prose(200000, 5), "ordner/Größe.txt 8 0 False"},
        {"genau.bin", exact, "genau.bin 8 0 True"},
        {"Привет.txt", Prose(65536, 7), "Привет.txt 8 2048 False"},
        {"klein.txt", {'a', 'b', 'c'}, "klein.txt 0 0 True"},
    };
    std::vector<std::pair<std::string, ByteArray>> entries;
    std::string read;
    for (const auto &c : cases) {
        entries.push_back({c.name, c.data});
        read += std::string(c.read) + " " + std::to_string(crc32(0, c.data.data(), uInt(c.data.size()))) + "\n";
    }
    const TempFolder dir;
    const ArchiveFile file(dir);
    const std::string expected = bothWriters(entries, 7, file);
    EXPECT_EQ(FileBytes(file.path), expected);
    EXPECT_TRUE(readersAccept(file.path));
    // Deflated before the entry's turn, and at another level (passed over):
    // the same bytes.
    for (const int readyLevel : {7, 3}) {
        const TempFolder other;
        const ArchiveFile ahead(other);
        const std::string written = bothWriters(entries, 7, ahead, readyLevel);
        EXPECT_TRUE(FileBytes(ahead.path) == written) << readyLevel;
    }
    EXPECT_EQ(listing(file.path, "i.filename, i.compress_type, i.flag_bits, i.compress_size == i.file_size, i.CRC"),
              read);
}

TEST(ZipStreamWriter, PastTheClassicEntryCountTheEndRecordsAreZip64)
{
    struct Case
    {
        std::size_t entries;
        bool zip64;
    } cases[] = {{65535, false}, {70000, true}};
    for (const Case &c : cases) {
        std::vector<std::pair<std::string, ByteArray>> entries;
        for (std::size_t i = 0; i < c.entries; ++i)
            entries.push_back({"d/" + std::to_string(i), {std::uint8_t('a' + i % 26)}});
        const TempFolder dir;
        const ArchiveFile file(dir);
        const std::string expected = bothWriters(entries, 0, file);
        const std::string bytes = FileBytes(file.path);
        EXPECT_EQ(bytes, expected) << c.entries;
        EXPECT_EQ(bytes.find("PK\x06\x06") != std::string::npos, c.zip64) << c.entries;
        EXPECT_TRUE(readersAccept(file.path)) << c.entries;
        const std::string list = listing(file.path);
        EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), static_cast<long>(c.entries));
    }
}

TEST(ZipStreamWriter, AnEntryAndAnOffsetPast4GiBAreZip64)
{
    // Zeros from a source of chunks, stored, into memory where there is room
    // (no disk to wait for). Python's zipfile checks the whole archive, unzip
    // the entry behind the big one; the archive is removed at the end.
    const std::uint64_t big = 0x100000000ull + 12345;
    const ZipStreamWriter::Reader zeros = [](std::uint64_t, std::uint8_t *buffer, std::size_t capacity) {
        std::memset(buffer, 0, capacity);
        return static_cast<std::int64_t>(capacity);
    };
    struct statvfs shm
    {
    };
    const bool inMemory = ::statvfs("/dev/shm", &shm) == 0 && shm.f_bavail * shm.f_frsize > big + (1ull << 30);
    const TempFolder dir(inMemory ? "/dev/shm" : "");
    const ArchiveFile file(dir);
    ZipStreamWriter w(file.fd, 0);
    ASSERT_EQ(w.Add(named("null.bin"), big, zeros), 0);
    ASSERT_EQ(add(w, "danach.txt", {'a', 'b', 'c'}), 0);
    ASSERT_EQ(w.Finish(), 0);
    EXPECT_EQ(std::system(("python3 -m zipfile -t '" + file.path + "' >/dev/null").c_str()), 0);
    EXPECT_EQ(std::system(("unzip -tqq '" + file.path + "' danach.txt >/dev/null").c_str()), 0);
    const std::uint64_t secondOffset = 30 + 8 + 20 + big; // header, name, ZIP64 sizes, data
    EXPECT_EQ(listing(file.path),
              "null.bin " + std::to_string(big) + " 0\ndanach.txt 3 " + std::to_string(secondOffset) + "\n");
}

TEST(ZipStreamWriter, ACrashLeavesEveryWrittenEntryReadable)
{
    // The process dies in the middle of the third entry, after its first chunk.
    const std::vector<std::pair<std::string, ByteArray>> entries = {{"text.txt", Prose(150000, 3)},
                                                                    {"ordner/zufall.bin", RandomBytes(3000, 2)}};
    const TempFolder dir;
    const pid_t child = ::fork();
    if (child == 0) {
        const ArchiveFile file(dir);
        ZipStreamWriter w(file.fd);
        for (const auto &[name, data] : entries)
            add(w, name, data);
        const ByteArray third = Prose(300000, 4);
        w.Add(named("halb.txt"), third.size(), [&](std::uint64_t offset, std::uint8_t *buffer, std::size_t n) {
            if (offset > 0)
                ::raise(SIGKILL);
            std::memcpy(buffer, third.data(), n);
            return static_cast<std::int64_t>(n);
        });
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::string out = dir.file("aus");
    std::filesystem::create_directory(out);
    std::system(("bsdtar -xf '" + dir.file("a.zip") + "' -C '" + out + "' 2>/dev/null").c_str());
    for (const auto &[name, data] : entries)
        EXPECT_EQ(FileBytes(out + "/" + name), std::string(data.begin(), data.end())) << name;
    EXPECT_FALSE(std::filesystem::exists(out + "/halb.txt"));
}

TEST(ZipStreamWriter, AFailedWriteLeavesTheEntriesBeforeIt)
{
    const TempFolder dir;
    const ArchiveFile file(dir);
    ZipStreamWriter w(file.fd);
    ASSERT_EQ(add(w, "a.txt", Prose(1000, 1)), 0);
    const std::uint64_t end = w.End();
    {
        const FileSizeLimit full(end + 4000);
        EXPECT_EQ(add(w, "b.bin", RandomBytes(20000, 1)), EFBIG);
        EXPECT_EQ(file.size(), end) << "cut back to the entry's start";
        ASSERT_EQ(add(w, "c.txt", Prose(1000, 2)), 0);
        const FileSizeLimit noDirectory(w.End() + 10);
        EXPECT_EQ(w.Finish(), EFBIG);
        EXPECT_EQ(file.size(), w.End());
    }
    ASSERT_EQ(w.Finish(), 0);
    EXPECT_TRUE(readersAccept(file.path));
    EXPECT_EQ(listing(file.path), "a.txt 1000 0\nc.txt 1000 " + std::to_string(end) + "\n");
}

} // namespace
