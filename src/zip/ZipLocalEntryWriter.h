// Writes the entries of an archive one after another: local header, data deflated or stored, header patched in place.
#pragma once

#include "DeflateCompressor.h"
#include "VfsHandle.h"
#include "ZipRecords.h"

#include <cstdint>
#include <functional>

struct ZipFileInfo;

// The local header goes out first with CRC 0xFFFFFFFF and sizes 0 and is
// written again in place once the entry is done, so no data descriptor is
// needed. Level 0, and data that deflates to more bytes than it has, are
// stored instead. One writer serves every entry of one archive; its buffers
// and block description are reused from entry to entry.
class ZipLocalEntryWriter
{
public:
    // Told the bytes read so far and the size the entry was added with;
    // returns true to cancel, which fails the entry with "User cancelled".
    using ProgressHandler = std::function<bool(std::int64_t current, std::int64_t total)>;

    explicit ZipLocalEntryWriter(VfsHandle &target);
    ~ZipLocalEntryWriter();
    ZipLocalEntryWriter(const ZipLocalEntryWriter &) = delete;
    ZipLocalEntryWriter &operator=(const ZipLocalEntryWriter &) = delete;

    // Writes the entry from info.Offset on, where the target stands, and
    // leaves the target at its end. Sets info's Flags, Crc32, Size,
    // CompressedSize and Method; the sizes follow every chunk, so a failed
    // entry shows how far it got. Throws ZipError or the source's errors.
    void Write(ZipFileInfo &info, const ByteArray &extra, const VfsItem &data, int level, int useUtf8,
               const ProgressHandler &progress);
    // After a failed Write: frees the compressor and closes the source.
    void Abandon();

    // The highest version needed to extract among the entries written so far;
    // the central directory gives it to every entry.
    std::uint16_t VersionNeeded() const { return m_versionNeeded; }

private:
    void writeProvisionalHeader(ZipFileInfo &info, const ByteArray &extra, int useUtf8);
    void deflate(ZipFileInfo &info, int level, const ProgressHandler &progress);
    // Deflates the length bytes in m_b and appends the block to the target.
    void deflateChunk(std::int32_t length, bool final, int level);
    void store(ZipFileInfo &info, const ProgressHandler &progress);
    void patchHeader(ZipFileInfo &info);
    void markStored();
    void writeHeader();
    void recordSizes(ZipFileInfo &info) const;
    void reportProgress(const ProgressHandler &progress) const;
    void releaseContext();

    VfsHandle &m_target;
    VfsHandle m_source;
    DeflateContext *m_context = nullptr;
    DeflateBlockDescription m_block;
    // Two chunk buffers: the next chunk is read ahead to know whether the
    // current one is the last.
    ByteArray m_a, m_b;
    std::uint16_t m_versionNeeded = ZipRecords::kVersionStored;

    // The entry being written: its header as it stands, the CRC register
    // (preset, not yet complemented), where its data starts and the size it
    // was added with.
    ZipRecords::EntryHeader m_header;
    std::uint32_t m_crc = 0xFFFFFFFF;
    std::int64_t m_dataStart = 0;
    std::int32_t m_recorded = 0;
};
