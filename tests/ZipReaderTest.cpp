// The archive reader on what the project's writers make, plain and ZIP64, and on damaged archives: every damage is
// reported as what it is, never a crash, a read past the file or data handed on as good.
#include "ZipReader.h"

#include "TestSupport.h"
#include "ZipStreamWriter.h"
#include "cMemoryStream.h"

#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>
#include <zlib.h>

namespace {

using Error = ZipReader::Error;

struct Input
{
    std::string name;
    ByteArray data;
    ByteArray extra;
};

// An archive of the inputs by ZipStreamWriter, as bytes.
std::string streamArchive(const std::vector<Input> &inputs, int level = 7, const std::string &comment = {})
{
    const TempFolder dir;
    const std::string path = dir.file("a.zip");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    {
        ZipStreamWriter w(fd, level);
        for (const Input &in : inputs) {
            ZipStreamWriter::Entry e;
            e.name = in.name;
            e.extra = in.extra;
            e.modified.tm_year = 124; // 2024-03-05 06:07:08
            e.modified.tm_mon = 2;
            e.modified.tm_mday = 5;
            e.modified.tm_hour = 6;
            e.modified.tm_min = 7;
            e.modified.tm_sec = 8;
            EXPECT_EQ(w.Add(e, in.data.data(), in.data.size()), 0) << in.name;
        }
        EXPECT_EQ(w.Finish(comment), 0);
    }
    ::close(fd);
    return FileBytes(path);
}

// Archive bytes in a file, opened for a reader.
class Archive
{
public:
    explicit Archive(const std::string &bytes)
    {
        PutFile(m_dir.file("a.zip"), bytes);
        m_fd = ::open(m_dir.file("a.zip").c_str(), O_RDONLY | O_CLOEXEC);
        m_opened = m_reader.Open(m_fd);
    }
    ~Archive() { ::close(m_fd); }

    // The data of an entry, or "<error n>".
    std::string data(const ZipReader::Entry &e, std::size_t *largestPiece = nullptr)
    {
        std::string out;
        const Error err = m_reader.Extract(e, [&](const std::uint8_t *p, std::size_t n) {
            out.append(reinterpret_cast<const char *>(p), n);
            if (largestPiece)
                *largestPiece = std::max(*largestPiece, n);
            return 0;
        });
        return err == Error::None ? out : "<error " + std::to_string(int(err)) + ">";
    }
    // Open's error, else the first extraction's that fails.
    Error firstError()
    {
        if (m_opened != Error::None)
            return m_opened;
        for (const ZipReader::Entry &e : m_reader.Entries()) {
            std::uint64_t delivered = 0;
            const Error err = m_reader.Extract(e, [&](const std::uint8_t *, std::size_t n) {
                delivered += n;
                return 0;
            });
            EXPECT_LE(delivered, e.size) << "more data handed on than recorded";
            if (err != Error::None)
                return err;
        }
        return Error::None;
    }

    TempFolder m_dir;
    int m_fd = -1;
    ZipReader m_reader;
    Error m_opened;
};

std::string text(const ByteArray &b)
{
    return std::string(b.begin(), b.end());
}

std::uint32_t le32(const std::string &b, std::size_t at)
{
    return std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8 | std::uint8_t(b[at + 2]) << 16 |
           std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}

void put32(std::string &b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char(v >> (8 * i));
}

} // namespace

TEST(ZipReader, ReadsWhatZipStreamWriterWrites)
{
    const ByteArray extra = {0x55, 0x54, 0x05, 0x00, 0x01, 0x11, 0x22, 0x33, 0x44};
    const std::vector<Input> inputs = {
        {"leer.txt", {}, {}},
        {"zufall.bin", RandomBytes(70000, 1), {}},
        {"ordner\\Größe.txt", Prose(600000, 2), {}},
        {"Привет.txt", Prose(1000, 3), {}},
        {"mit-extra.txt", Prose(100, 4), extra},
        {"leerer ordner/", {}, {}},
    };
    const struct
    {
        const char *name;
        std::uint16_t method;
        bool utf8Flag;
        bool folder;
    } expected[] = {
        {"leer.txt", 0, false, false},  {"zufall.bin", 0, false, false},    {"ordner/Größe.txt", 8, false, false},
        {"Привет.txt", 8, true, false}, {"mit-extra.txt", 8, false, false}, {"leerer ordner/", 0, false, true},
    };
    Archive a(streamArchive(inputs));
    ASSERT_EQ(a.m_opened, Error::None);
    const auto &entries = a.m_reader.Entries();
    ASSERT_EQ(entries.size(), inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const ZipReader::Entry &e = entries[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.name, expected[i].name);
        EXPECT_EQ(e.method, expected[i].method);
        EXPECT_EQ((e.flags & 0x0800) != 0, expected[i].utf8Flag);
        EXPECT_EQ(e.isFolder(), expected[i].folder);
        EXPECT_EQ(e.size, inputs[i].data.size());
        EXPECT_EQ(e.crc, crc32(0, inputs[i].data.data(), uInt(inputs[i].data.size())));
        EXPECT_EQ(e.extra, text(inputs[i].extra));
        EXPECT_EQ(e.externalAttributes, 32u);
        EXPECT_EQ(std::make_tuple(e.modified.tm_year, e.modified.tm_mon, e.modified.tm_mday, e.modified.tm_hour,
                                  e.modified.tm_min, e.modified.tm_sec, e.modified.tm_isdst),
                  std::make_tuple(124, 2, 5, 6, 7, 8, -1));
        std::size_t largestPiece = 0;
        EXPECT_EQ(a.data(e, &largestPiece), text(inputs[i].data));
        EXPECT_LE(largestPiece, 256u * 1024);
    }
    EXPECT_EQ(ZipReader::ExtraBlock(entries[4].extra, 0x5455), std::string("\x01\x11\x22\x33\x44", 5));
}

TEST(ZipReader, ReadsZip64EndRecords)
{
    std::vector<Input> inputs;
    for (int i = 0; i < 70000; ++i)
        inputs.push_back({"d/" + std::to_string(i), {std::uint8_t('a' + i % 26)}, {}});
    const std::string bytes = streamArchive(inputs, 0);
    ASSERT_NE(bytes.find("PK\x06\x06"), std::string::npos);
    {
        Archive a(bytes);
        ASSERT_EQ(a.m_opened, Error::None);
        ASSERT_EQ(a.m_reader.Entries().size(), 70000u);
        EXPECT_EQ(a.m_reader.Entries()[69999].name, "d/69999");
        EXPECT_EQ(a.data(a.m_reader.Entries()[69999]), std::string(1, 'a' + 69999 % 26));
    }
    // The ZIP64 end record is 56 bytes, then its 20-byte locator and the classic end record.
    const std::size_t record = bytes.size() - 22 - 20 - 56;
    const struct
    {
        const char *what;
        std::size_t at;
        std::uint32_t value;
    } damages[] = {
        {"locator points past the file", bytes.size() - 22 - 20 + 8, 0x7FFFFFFF},
        {"locator points at the directory", bytes.size() - 22 - 20 + 8, 0},
        {"directory size past the file", record + 40, 0x7FFFFFFF},
        {"entry count high", record + 32, 0x7FFFFFFF},
    };
    for (const auto &d : damages) {
        std::string damaged = bytes;
        put32(damaged, d.at, d.value);
        Archive a(damaged);
        EXPECT_EQ(a.m_opened, Error::BadDirectory) << d.what;
        EXPECT_TRUE(a.m_reader.Entries().empty()) << d.what;
    }
}

// Sizes and offset marked 0xFFFFFFFF come from the ZIP64 extra field, in its order; a field too short is damage.
TEST(ZipReader, MarkedFieldsComeFromTheZip64ExtraField)
{
    const ByteArray data = Prose(1000, 10);
    const struct
    {
        std::vector<std::size_t> marked; // central record offsets of the marked fields
        std::vector<std::uint64_t> values;
        Error expected;
    } cases[] = {
        {{24, 20, 42}, {1000, 1000, 0}, Error::None},
        {{42}, {0}, Error::None},
        {{24}, {1000, 77}, Error::None},
        {{24, 20, 42}, {1000, 1000}, Error::BadDirectory},
        {{42}, {}, Error::BadDirectory},
        {{42}, {5}, Error::BadEntry},
        {{20}, {999}, Error::BadData},
    };
    for (const auto &c : cases) {
        ByteArray extra;
        if (!c.values.empty()) {
            extra = {0x01, 0x00, std::uint8_t(8 * c.values.size()), 0x00};
            for (std::uint64_t v : c.values)
                for (int i = 0; i < 8; ++i)
                    extra.push_back(std::uint8_t(v >> (8 * i)));
        }
        std::string bytes = streamArchive({{"z.txt", data, extra}}, 0);
        const std::size_t directory = le32(bytes, bytes.size() - 22 + 16);
        for (std::size_t field : c.marked)
            put32(bytes, directory + field, 0xFFFFFFFF);
        Archive a(bytes);
        const Error err = a.firstError();
        EXPECT_EQ(err, c.expected) << c.marked.size() << " " << c.values.size();
        if (err == Error::None) {
            EXPECT_EQ(a.data(a.m_reader.Entries()[0]), text(data));
        }
    }
}

// Every cut of a small archive fails to open with a fitting error.
TEST(ZipReader, ACutArchiveDoesNotOpen)
{
    const std::string bytes =
        streamArchive({{"a.txt", Prose(3000, 8), {}}, {"b.txt", Prose(20, 9), {}}}, 7, "Sicherung vom Montag");
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        Archive a(bytes.substr(0, size));
        const std::set<Error> allowed = {Error::NotZip, Error::Truncated, Error::BadDirectory};
        EXPECT_TRUE(allowed.count(a.m_opened)) << size << ": " << int(a.m_opened);
    }
    EXPECT_EQ(Archive(bytes.substr(0, 20)).m_opened, Error::NotZip);
    EXPECT_EQ(Archive(bytes.substr(0, bytes.size() - 1)).m_opened, Error::Truncated);
    EXPECT_EQ(Archive(bytes.substr(0, bytes.size() - 30)).m_opened, Error::Truncated);
    EXPECT_EQ(Archive(bytes.substr(0, bytes.size() - 60)).m_opened, Error::NotZip);
}

TEST(ZipReader, DamageIsReportedAsWhatItIs)
{
    // Entry 0 deflated at offset 0, entry 1 stored; no comment.
    const std::string bytes = streamArchive({{"a.txt", Prose(3000, 8), {}}, {"b.bin", RandomBytes(500, 9), {}}});
    const std::size_t end = bytes.size() - 22;
    const std::size_t directory = le32(bytes, end + 16);
    const std::size_t data0 = 30 + 5;
    const std::size_t local1 = le32(bytes, directory + 46 + 5 + 42);
    const auto flip = [](std::size_t at, int bits = 0xFF) {
        return [at, bits](std::string &b) { b[at] = char(b[at] ^ bits); };
    };
    const auto set32 = [](std::size_t at, std::uint32_t v) { return [at, v](std::string &b) { put32(b, at, v); }; };
    const struct
    {
        const char *what;
        std::function<void(std::string &)> damage;
        std::set<Error> expected;
    } cases[] = {
        {"deflated data", flip(data0 + 500), {Error::BadCrc, Error::BadData}},
        {"stored data", flip(local1 + 30 + 5 + 100), {Error::BadCrc}},
        {"central offset, low byte", flip(directory + 42), {Error::BadEntry}},
        {"central offset, high byte", flip(directory + 45), {Error::BadDirectory}},
        {"directory size past the file", set32(end + 12, 0x7FFFFFFF), {Error::BadDirectory}},
        {"directory offset past the file", set32(end + 16, 0xFFFFFF00), {Error::BadDirectory}},
        {"entry count high", flip(end + 10), {Error::BadDirectory}},
        {"entry count low", flip(end + 10, 0x03), {Error::BadDirectory}},
        {"central signature", flip(directory), {Error::BadDirectory}},
        {"local signature", flip(0), {Error::BadEntry}},
        {"local name", flip(30), {Error::BadEntry}},
        {"local extra field into the directory", set32(26, 0xFFFF0005), {Error::Truncated, Error::BadEntry}},
        {"method", set32(directory + 10, (le32(bytes, directory + 10) & 0xFFFF0000) | 12), {Error::Unsupported}},
        {"encrypted", flip(directory + 8, 0x01), {Error::Unsupported}},
        {"size one short", set32(directory + 24, 2999), {Error::BadData}},
        {"size one long", set32(directory + 24, 3001), {Error::BadData}},
        {"compressed size short", set32(directory + 20, le32(bytes, directory + 20) - 1), {Error::BadData}},
        {"crc", flip(directory + 16), {Error::BadCrc}},
    };
    ASSERT_EQ(Archive(bytes).firstError(), Error::None);
    for (const auto &c : cases) {
        std::string damaged = bytes;
        c.damage(damaged);
        const Error err = Archive(damaged).firstError();
        EXPECT_TRUE(c.expected.count(err)) << c.what << ": " << int(err);
    }
}

TEST(ZipReader, ExtraBlocks)
{
    const std::string two("\x01\x00\x02\x00xy\x55\x54\x01\x00z", 11);
    const struct
    {
        std::string extra;
        std::uint16_t id;
        std::optional<std::string> block;
    } cases[] = {
        {two, 0x0001, "xy"},
        {two, 0x5455, "z"},
        {two, 0x7875, std::nullopt},
        {"", 0x0001, std::nullopt},
        {two.substr(0, 10), 0x0001, std::nullopt}, // the second block runs past the field
        {two + "\x01", 0x0001, std::nullopt},      // a stray byte after the last block
    };
    for (const auto &c : cases)
        EXPECT_EQ(ZipReader::ExtraBlock(c.extra, c.id), c.block) << c.extra.size() << " " << c.id;
}
