// Reads a ZIP archive from a file descriptor: its central directory, then any entry's data checked against its CRC-32.
#include "ZipReader.h"

#include "Cp437.h"
#include "Crc32.h"
#include "ZipRecords.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagStrongEncryption = 0x0040;

constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCentralRecordSize = 46;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kZip64EndRecordSize = 56;
constexpr std::size_t kMaxComment = 0xFFFF;
// The most data in memory at a time, and the largest piece a sink gets.
constexpr std::size_t kPiece = 256 * 1024;

std::uint16_t get16(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t get32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(get16(p)) | (static_cast<std::uint32_t>(get16(p + 2)) << 16);
}

std::uint64_t get64(const std::uint8_t *p)
{
    return static_cast<std::uint64_t>(get32(p)) | (static_cast<std::uint64_t>(get32(p + 4)) << 32);
}

// Whether [offset, offset + size) lies within [0, limit), without overflow.
bool fits(std::uint64_t offset, std::uint64_t size, std::uint64_t limit)
{
    return offset <= limit && size <= limit - offset;
}

std::tm fromDos(std::uint16_t time, std::uint16_t date)
{
    std::tm t{};
    t.tm_year = (date >> 9) + 80;
    t.tm_mon = ((date >> 5) & 0x0F) - 1;
    t.tm_mday = date & 0x1F;
    t.tm_hour = time >> 11;
    t.tm_min = (time >> 5) & 0x3F;
    t.tm_sec = (time & 0x1F) * 2;
    t.tm_isdst = -1;
    return t;
}

std::string nameOf(const std::uint8_t *stored, std::size_t length, std::uint16_t flags)
{
    const std::string raw(reinterpret_cast<const char *>(stored), length);
    return (flags & ZipRecords::kFlagUtf8) ? raw : Cp437::ToUtf8(raw);
}

} // namespace

bool ZipReader::Entry::isFolder() const
{
    return !name.empty() && name.back() == '/';
}

int ZipReader::SystemError() const
{
    return m_systemError;
}

ZipReader::Error ZipReader::Open(int fd)
{
    m_fd = fd;
    m_entries.clear();
    m_fileSize = 0;
    m_directoryOffset = 0;
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0) {
        m_systemError = errno;
        return Error::Io;
    }
    m_fileSize = static_cast<std::uint64_t>(st.st_size);
    Directory dir;
    Error err = findDirectory(dir);
    if (err == Error::None)
        err = readDirectory(dir);
    if (err != Error::None)
        m_entries.clear();
    return err;
}

ZipReader::Error ZipReader::findDirectory(Directory &dir)
{
    if (m_fileSize < kEndRecordSize)
        return Error::NotZip;
    const auto tailSize = static_cast<std::size_t>(std::min<std::uint64_t>(m_fileSize, kEndRecordSize + kMaxComment));
    const std::uint64_t tailStart = m_fileSize - tailSize;
    std::vector<std::uint8_t> tail(tailSize);
    if (Error err = readAt(tail.data(), tail.size(), tailStart); err != Error::None)
        return err;

    // The end record whose comment ends with the file. Failing that, the
    // last signature decides: a record cut short is a truncated archive, a
    // whole one followed by stray bytes is taken as it is.
    std::optional<std::size_t> found;
    std::optional<std::size_t> last;
    for (std::size_t pos = tailSize - 4 + 1; pos-- > 0;) {
        if (get32(&tail[pos]) != ZipRecords::kEndSignature)
            continue;
        const bool whole = pos + kEndRecordSize <= tailSize;
        const std::size_t end = whole ? pos + kEndRecordSize + get16(&tail[pos + 20]) : tailSize + 1;
        if (end == tailSize) {
            found = pos;
            break;
        }
        if (!last) {
            if (end > tailSize)
                return Error::Truncated;
            last = pos;
        }
    }
    if (!found)
        found = last;
    if (!found)
        return Error::NotZip;
    const std::uint8_t *e = &tail[*found];
    const std::uint64_t endRecord = tailStart + *found;
    dir.entries = get16(e + 10);
    dir.size = get32(e + 12);
    dir.offset = get32(e + 16);
    dir.end = endRecord;

    // A ZIP64 locator right before the end record has the real values.
    if (endRecord >= kZip64LocatorSize) {
        std::uint8_t locator[kZip64LocatorSize];
        if (Error err = readAt(locator, sizeof locator, endRecord - kZip64LocatorSize); err != Error::None)
            return err;
        if (get32(locator) == ZipRecords::kZip64LocatorSignature) {
            if (Error err = readZip64Directory(get64(locator + 8), dir); err != Error::None)
                return err;
        }
    }
    if (!fits(dir.offset, dir.size, dir.end))
        return Error::BadDirectory;
    // Every record takes at least its fixed part: this bounds the count
    // before anything is reserved for it.
    if (dir.entries > dir.size / kCentralRecordSize)
        return Error::BadDirectory;
    return Error::None;
}

ZipReader::Error ZipReader::readZip64Directory(std::uint64_t endRecord, Directory &dir)
{
    const std::uint64_t locator = dir.end - kZip64LocatorSize;
    if (!fits(endRecord, kZip64EndRecordSize, locator))
        return Error::BadDirectory;
    std::uint8_t r[kZip64EndRecordSize];
    if (Error err = readAt(r, sizeof r, endRecord); err != Error::None)
        return err;
    if (get32(r) != ZipRecords::kZip64EndSignature || get64(r + 4) < kZip64EndRecordSize - 12 ||
        !fits(endRecord, 12 + get64(r + 4), locator))
        return Error::BadDirectory;
    dir.entries = get64(r + 32);
    dir.size = get64(r + 40);
    dir.offset = get64(r + 48);
    dir.end = endRecord;
    return Error::None;
}

ZipReader::Error ZipReader::readDirectory(const Directory &dir)
{
    std::vector<std::uint8_t> records;
    try {
        records.resize(static_cast<std::size_t>(dir.size));
        m_entries.reserve(static_cast<std::size_t>(dir.entries));
    } catch (const std::bad_alloc &) {
        m_systemError = ENOMEM;
        return Error::Io;
    }
    if (Error err = readAt(records.data(), records.size(), dir.offset); err != Error::None)
        return err;
    m_directoryOffset = dir.offset;

    std::size_t pos = 0;
    for (std::uint64_t i = 0; i < dir.entries; ++i) {
        if (records.size() - pos < kCentralRecordSize)
            return Error::BadDirectory;
        const std::uint8_t *r = &records[pos];
        const std::size_t nameLength = get16(r + 28);
        const std::size_t extraLength = get16(r + 30);
        const std::size_t commentLength = get16(r + 32);
        const std::size_t recordSize = kCentralRecordSize + nameLength + extraLength + commentLength;
        if (get32(r) != ZipRecords::kCentralSignature || records.size() - pos < recordSize)
            return Error::BadDirectory;
        Entry e;
        e.flags = get16(r + 8);
        e.method = get16(r + 10);
        e.modified = fromDos(get16(r + 12), get16(r + 14));
        e.crc = get32(r + 16);
        e.compressedSize = get32(r + 20);
        e.size = get32(r + 24);
        e.externalAttributes = get32(r + 38);
        e.localOffset = get32(r + 42);
        e.name = nameOf(r + kCentralRecordSize, nameLength, e.flags);
        e.extra.assign(reinterpret_cast<const char *>(r + kCentralRecordSize + nameLength), extraLength);

        // The ZIP64 field holds, in this order, just the values whose
        // classic fields carry the marker.
        std::uint64_t *const wide[] = {&e.size, &e.compressedSize, &e.localOffset};
        if (std::any_of(std::begin(wide), std::end(wide),
                        [](const std::uint64_t *v) { return *v == ZipRecords::kMarker32; })) {
            const std::optional<std::string> zip64 = ExtraBlock(e.extra, ZipRecords::kZip64ExtraTag);
            if (!zip64)
                return Error::BadDirectory;
            std::size_t at = 0;
            for (std::uint64_t *v : wide) {
                if (*v != ZipRecords::kMarker32)
                    continue;
                if (zip64->size() - at < 8)
                    return Error::BadDirectory;
                *v = get64(reinterpret_cast<const std::uint8_t *>(zip64->data()) + at);
                at += 8;
            }
        }
        // The local header and data lie before the central directory.
        if (!fits(e.localOffset, kLocalHeaderSize, dir.offset) ||
            !fits(e.localOffset + kLocalHeaderSize, e.compressedSize, dir.offset))
            return Error::BadDirectory;
        m_entries.push_back(std::move(e));
        pos += recordSize;
    }
    if (pos != records.size())
        return Error::BadDirectory;
    return Error::None;
}

ZipReader::Error ZipReader::Extract(const Entry &entry, const Sink &sink)
{
    if ((entry.flags & (kFlagEncrypted | kFlagStrongEncryption)) ||
        (entry.method != ZipRecords::kMethodStored && entry.method != ZipRecords::kMethodDeflated))
        return Error::Unsupported;
    if (!fits(entry.localOffset, kLocalHeaderSize, m_fileSize))
        return Error::Truncated;
    std::uint8_t h[kLocalHeaderSize];
    if (Error err = readAt(h, sizeof h, entry.localOffset); err != Error::None)
        return err;
    if (get32(h) != ZipRecords::kLocalSignature)
        return Error::BadEntry;
    const std::size_t nameLength = get16(h + 26);
    const std::size_t extraLength = get16(h + 28);
    const std::uint64_t nameStart = entry.localOffset + kLocalHeaderSize;
    if (!fits(nameStart, nameLength + extraLength, m_fileSize))
        return Error::Truncated;
    std::vector<std::uint8_t> name(nameLength);
    if (Error err = readAt(name.data(), name.size(), nameStart); err != Error::None)
        return err;
    if (nameOf(name.data(), name.size(), entry.flags) != entry.name)
        return Error::BadEntry;
    const std::uint64_t dataStart = nameStart + nameLength + extraLength;
    if (!fits(dataStart, entry.compressedSize, m_fileSize))
        return Error::Truncated;
    // A local extra field long enough to push the data into the directory
    // contradicts it.
    if (!fits(dataStart, entry.compressedSize, m_directoryOffset))
        return Error::BadEntry;

    std::uint32_t crc = 0xFFFFFFFF;
    const Error err = entry.method == ZipRecords::kMethodStored ? extractStored(entry, dataStart, sink, crc)
                                                                : extractDeflated(entry, dataStart, sink, crc);
    if (err != Error::None)
        return err;
    return ~crc == entry.crc ? Error::None : Error::BadCrc;
}

ZipReader::Error ZipReader::extractStored(const Entry &entry, std::uint64_t dataStart, const Sink &sink,
                                          std::uint32_t &crc)
{
    if (entry.compressedSize != entry.size)
        return Error::BadData;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, entry.size)));
    for (std::uint64_t done = 0; done < entry.size;) {
        const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), entry.size - done));
        if (Error err = readAt(buffer.data(), length, dataStart + done); err != Error::None)
            return err;
        crc = Crc32Update(crc, buffer.data(), length);
        if (Error err = deliver(sink, buffer.data(), length); err != Error::None)
            return err;
        done += length;
    }
    return Error::None;
}

ZipReader::Error ZipReader::extractDeflated(const Entry &entry, std::uint64_t dataStart, const Sink &sink,
                                            std::uint32_t &crc)
{
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) {
        m_systemError = ENOMEM;
        return Error::Io;
    }
    struct End
    {
        z_stream &z;
        ~End() { inflateEnd(&z); }
    } end{z};

    std::vector<std::uint8_t> in(static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, entry.compressedSize)));
    std::vector<std::uint8_t> out(kPiece);
    std::uint64_t read = 0;
    std::uint64_t produced = 0;
    for (;;) {
        if (z.avail_in == 0 && read < entry.compressedSize) {
            const auto length =
                static_cast<std::size_t>(std::min<std::uint64_t>(in.size(), entry.compressedSize - read));
            if (Error err = readAt(in.data(), length, dataStart + read); err != Error::None)
                return err;
            read += length;
            z.next_in = in.data();
            z.avail_in = static_cast<uInt>(length);
        }
        // One byte more room than the recorded size leaves, so that longer
        // data shows without ever being handed on.
        const std::uint64_t room = entry.size - produced + 1;
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(std::min<std::uint64_t>(out.size(), room));
        const uInt before = z.avail_out;
        const int rc = inflate(&z, Z_NO_FLUSH);
        const std::size_t have = before - z.avail_out;
        if (rc == Z_MEM_ERROR) {
            m_systemError = ENOMEM;
            return Error::Io;
        }
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
            return Error::BadData;
        if (have > entry.size - produced)
            return Error::BadData;
        produced += have;
        crc = Crc32Update(crc, out.data(), have);
        if (Error err = deliver(sink, out.data(), have); err != Error::None)
            return err;
        if (rc == Z_STREAM_END) {
            // The stream must end with the recorded data, not before it.
            if (z.avail_in != 0 || read != entry.compressedSize || produced != entry.size)
                return Error::BadData;
            return Error::None;
        }
        // No progress with all input spent: the stream ends before its final block.
        if (rc == Z_BUF_ERROR || (have == 0 && z.avail_in == 0 && read == entry.compressedSize))
            return Error::BadData;
    }
}

ZipReader::Error ZipReader::readAt(void *data, std::size_t size, std::uint64_t offset)
{
    auto *p = static_cast<std::uint8_t *>(data);
    while (size > 0) {
        const ssize_t n = ::pread(m_fd, p, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_systemError = errno;
            return Error::Io;
        }
        if (n == 0)
            return Error::Truncated;
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return Error::None;
}

ZipReader::Error ZipReader::deliver(const Sink &sink, const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return Error::None;
    if (const int err = sink(data, size); err != 0) {
        m_systemError = err;
        return Error::Sink;
    }
    return Error::None;
}

std::optional<std::string> ZipReader::ExtraBlock(const std::string &extra, std::uint16_t id)
{
    const auto *p = reinterpret_cast<const std::uint8_t *>(extra.data());
    std::optional<std::string> found;
    std::size_t pos = 0;
    while (pos < extra.size()) {
        if (extra.size() - pos < 4)
            return std::nullopt;
        const std::size_t length = get16(p + pos + 2);
        if (extra.size() - pos - 4 < length)
            return std::nullopt;
        if (!found && get16(p + pos) == id)
            found = extra.substr(pos + 4, length);
        pos += 4 + length;
    }
    return found;
}
