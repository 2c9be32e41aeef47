// Writes a ZIP archive to a file descriptor one entry at a time, each entry complete on disk before the next.
#include "ZipStreamWriter.h"

#include "Crc32.h"
#include "DeflateCompressor.h"
#include "DeflateConstants.h"
#include "ZipError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <unistd.h>

namespace {

// Directory records are gathered up to this size before they go out.
constexpr std::size_t kDirectoryBatch = 1 << 20;

// Deflates an entry one block per chunk, the last one final (an empty entry
// is one empty final block): next(done, length, chunk) points chunk at the
// entry's bytes from done on, put(output) takes each block's bytes. 0 or the
// first errno (or whatever else next or put returned).
template <class Next, class Put>
int deflateChunks(DeflateContext *context, int level, std::uint64_t size, std::uint32_t &crc, Next next, Put put)
{
    const DeflateLevel &tuning = kDeflateLevels[level];
    DeflateBlockDescription block;
    block.greedy = tuning.greedy ? 1 : 0;
    block.candidateLimit = tuning.candidateLimit;
    block.narrowingLength = tuning.narrowingLength;
    std::uint64_t done = 0;
    do {
        const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(kDeflateChunk, size - done));
        const std::uint8_t *chunk = nullptr;
        if (int err = next(done, length, chunk))
            return err;
        done += length;
        block.input = chunk;
        block.inputLength = static_cast<std::int32_t>(length);
        block.final = done == size ? 1 : 0;
        if (!DeflateBlock(context, block, crc, level) || block.output.empty())
            return EIO;
        if (int err = put(block.output))
            return err;
    } while (done < size);
    return 0;
}

} // namespace

ZipStreamWriter::ZipStreamWriter(int fd, int level, int useUtf8, bool syncEntries)
    : m_fd(fd), m_level(std::clamp(level, 0, 9)), m_useUtf8(useUtf8), m_syncEntries(syncEntries), m_chunk(kDeflateChunk)
{}

ZipStreamWriter::~ZipStreamWriter()
{
    releaseContext();
}

namespace {

ZipStreamWriter::Reader fromMemory(const std::uint8_t *data, std::size_t size)
{
    return [data, size](std::uint64_t offset, std::uint8_t *buffer, std::size_t capacity) {
        const std::size_t n = std::min<std::uint64_t>(capacity, size - offset);
        if (n > 0)
            std::memcpy(buffer, data + offset, n);
        return static_cast<std::int64_t>(n);
    };
}

} // namespace

int ZipStreamWriter::Add(const Entry &entry, const std::uint8_t *data, std::size_t size)
{
    return add(entry, size, fromMemory(data, size), nullptr);
}

int ZipStreamWriter::Add(const Entry &entry, const std::uint8_t *data, std::size_t size, const Deflated &ready)
{
    const bool fits = ready.level == m_level && ready.size == size;
    return add(entry, size, fromMemory(data, size), fits ? &ready : nullptr);
}

int ZipStreamWriter::Add(const Entry &entry, std::uint64_t size, const Reader &read)
{
    return add(entry, size, read, nullptr);
}

int ZipStreamWriter::Deflate(int level, const std::uint8_t *data, std::size_t size, Deflated &out)
{
    out = Deflated();
    out.level = std::clamp(level, 0, 9);
    out.size = size;
    if (out.level == 0) {
        out.stored = true;
        return 0;
    }
    constexpr int kTooLarge = -1;
    std::unique_ptr<DeflateContext, void (*)(DeflateContext *)> context(DeflateInit(), DeflateFree);
    if (!context)
        return ENOMEM;
    try {
        const int err = deflateChunks(
            context.get(), out.level, size, out.crc,
            [data](std::uint64_t done, std::size_t, const std::uint8_t *&chunk) {
                chunk = data + done;
                return 0;
            },
            [&out, size](const std::vector<std::uint8_t> &block) {
                // The output only grows: once it is larger, storing pays.
                if (out.data.size() + block.size() > size)
                    return kTooLarge;
                out.data.insert(out.data.end(), block.begin(), block.end());
                return 0;
            });
        if (err == kTooLarge) {
            out.stored = true;
            out.data = ByteArray();
            return 0;
        }
        return err;
    } catch (const std::bad_alloc &) {
        out.data = ByteArray();
        return ENOMEM;
    }
}

int ZipStreamWriter::add(const Entry &entry, std::uint64_t size, const Reader &read, const Deflated *ready)
{
    int err = 0;
    try {
        Record record;
        std::uint64_t end = 0;
        err = writeEntry(entry, size, read, ready, record, end);
        if (err == 0 && m_syncEntries && ::fdatasync(m_fd) != 0)
            err = errno;
        if (err == 0) {
            m_versionNeeded = std::max(m_versionNeeded, record.header.version);
            m_entries.push_back(std::move(record));
            m_end = end;
        }
    } catch (const ZipError &) {
        err = EOVERFLOW;
    } catch (const std::bad_alloc &) {
        err = ENOMEM;
    }
    releaseContext();
    if (err != 0)
        cutAt(m_end);
    return err;
}

int ZipStreamWriter::writeEntry(const Entry &entry, std::uint64_t size, const Reader &read, const Deflated *ready,
                                Record &record, std::uint64_t &end)
{
    ZipRecords::EntryHeader &h = record.header;
    h.flags = ZipRecords::NameFlags(entry.name, m_useUtf8);
    h.name = ZipRecords::StoredName(entry.name, h.flags);
    h.modified = entry.modified;
    h.extra = entry.extra;
    h.zip64Sizes = ZipRecords::NeedsZip64(size);
    h.crc = 0xFFFFFFFF; // placeholders until the data is out
    record.attributes = entry.attributes;
    record.offset = m_end;
    // A name too long for the header fails here, before anything is written.
    // Until the data is out the header has no signature: an entry cut short
    // by a crash is no entry to a reader that scans the local headers, so
    // nothing half-written can be unpacked as if it were a file's original.
    std::string provisional = ZipRecords::LocalHeader(h);
    provisional.replace(0, 4, 4, '\0');
    if (int err = writeAt(provisional.data(), provisional.size(), record.offset))
        return err;
    const std::uint64_t dataStart = record.offset + provisional.size();

    std::uint32_t crc = 0xFFFFFFFF;
    std::uint64_t compressed = 0;
    if (ready && !ready->stored) {
        if (int err = writeAt(ready->data.data(), ready->data.size(), dataStart))
            return err;
        crc = ready->crc;
        compressed = ready->data.size();
    } else if (ready) {
        compressed = size + 1; // stored below
    } else if (m_level > 0) {
        if (int err = deflate(size, read, dataStart, crc, compressed))
            return err;
    }
    if (m_level == 0 || compressed > size) {
        // Stored over the deflated bytes; what lies beyond is cut off below.
        crc = 0xFFFFFFFF;
        compressed = size;
        if (int err = store(size, read, dataStart, crc))
            return err;
        h.method = ZipRecords::kMethodStored;
        h.version = ZipRecords::kVersionStored;
    } else {
        h.method = ZipRecords::kMethodDeflated;
        h.version = ZipRecords::kVersionDeflated;
    }
    if (h.zip64Sizes || record.offset > ZipRecords::kMax32)
        h.version = ZipRecords::kVersionZip64;
    h.crc = ~crc; // 0 for no data: the register was never advanced
    h.size = static_cast<std::int64_t>(size);
    h.compressedSize = static_cast<std::int64_t>(compressed);
    const std::string exact = ZipRecords::LocalHeader(h);
    if (exact.size() != provisional.size())
        return EOVERFLOW; // cannot happen: the ZIP64 decision was made before
    if (int err = writeAt(exact.data(), exact.size(), record.offset))
        return err;
    end = dataStart + compressed;
    return cutAt(end);
}

int ZipStreamWriter::deflate(std::uint64_t size, const Reader &read, std::uint64_t dataStart, std::uint32_t &crc,
                             std::uint64_t &compressed)
{
    m_context = DeflateInit();
    if (!m_context)
        return ENOMEM;
    const int err = deflateChunks(
        m_context, m_level, size, crc,
        [&](std::uint64_t done, std::size_t length, const std::uint8_t *&chunk) {
            chunk = m_chunk.data();
            return readChunk(read, done, length);
        },
        [&](const std::vector<std::uint8_t> &block) {
            const int failed = writeAt(block.data(), block.size(), dataStart + compressed);
            compressed += block.size();
            return failed;
        });
    releaseContext();
    return err;
}

int ZipStreamWriter::store(std::uint64_t size, const Reader &read, std::uint64_t dataStart, std::uint32_t &crc)
{
    for (std::uint64_t done = 0; done < size;) {
        const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(kDeflateChunk, size - done));
        if (int err = readChunk(read, done, length))
            return err;
        crc = Crc32Update(crc, m_chunk.data(), length);
        if (int err = writeAt(m_chunk.data(), length, dataStart + done))
            return err;
        done += length;
    }
    return 0;
}

int ZipStreamWriter::readChunk(const Reader &read, std::uint64_t offset, std::size_t length)
{
    for (std::size_t got = 0; got < length;) {
        const std::int64_t n = read(offset + got, m_chunk.data() + got, length - got);
        if (n < 0)
            return static_cast<int>(-n);
        if (n == 0)
            return EIO; // the source is shorter than it said
        got += static_cast<std::size_t>(n);
    }
    return 0;
}

int ZipStreamWriter::writeAt(const void *data, std::size_t size, std::uint64_t offset)
{
    const auto *p = static_cast<const std::uint8_t *>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(m_fd, p, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return ENOSPC;
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
        m_fileEnd = std::max(m_fileEnd, offset);
    }
    return 0;
}

int ZipStreamWriter::cutAt(std::uint64_t end)
{
    if (m_fileEnd <= end)
        return 0;
    if (::ftruncate(m_fd, static_cast<off_t>(end)) != 0)
        return errno;
    m_fileEnd = end;
    return 0;
}

bool ZipStreamWriter::SetCentralExtra(std::uint64_t index, ByteArray extra)
{
    if (index >= m_entries.size() || extra.size() > 0xFFFF)
        return false;
    m_entries[index].header.extra = std::move(extra);
    return true;
}

int ZipStreamWriter::Finish(const std::string &comment)
{
    int err = 0;
    try {
        std::string batch;
        std::uint64_t at = m_end;
        for (const Record &r : m_entries) {
            ZipRecords::EntryHeader header = r.header;
            header.version = m_versionNeeded;
            batch += ZipRecords::CentralRecord(header, {}, r.attributes, r.offset);
            if (batch.size() >= kDirectoryBatch || &r == &m_entries.back()) {
                if ((err = writeAt(batch.data(), batch.size(), at)) != 0)
                    break;
                at += batch.size();
                batch.clear();
            }
        }
        if (err == 0) {
            const std::string end = ZipRecords::EndRecord(m_entries.size(), m_end, at, comment);
            err = writeAt(end.data(), end.size(), at);
            if (err == 0)
                err = cutAt(at + end.size());
        }
    } catch (const ZipError &) {
        err = EOVERFLOW;
    } catch (const std::bad_alloc &) {
        err = ENOMEM;
    }
    if (err != 0)
        cutAt(m_end);
    return err;
}

void ZipStreamWriter::releaseContext()
{
    if (m_context)
        DeflateFree(m_context);
    m_context = nullptr;
}
