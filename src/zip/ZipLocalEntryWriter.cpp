// Writes the entries of an archive one after another: local header, data deflated or stored, header patched in place.
#include "ZipLocalEntryWriter.h"

#include "Crc32.h"
#include "DeflateConstants.h"
#include "ZipError.h"
#include "cZipArchive.h"

#include <algorithm>

ZipLocalEntryWriter::ZipLocalEntryWriter(VfsHandle &target) : m_target(target), m_a(kDeflateChunk), m_b(kDeflateChunk)
{}

ZipLocalEntryWriter::~ZipLocalEntryWriter()
{
    releaseContext();
}

void ZipLocalEntryWriter::Write(ZipFileInfo &info, const ByteArray &extra, const VfsItem &data, int level, int useUtf8,
                                const ProgressHandler &progress)
{
    m_source.Open(data);
    writeProvisionalHeader(info, extra, useUtf8);
    if (info.Attributes & (ZipRecords::kAttrDirectory | ZipRecords::kAttrVolume)) {
        // A folder has no data: stored, as unpackers expect for folders.
        markStored();
    } else {
        if (level > 0)
            deflate(info, level, progress);
        if (level == 0 || m_header.compressedSize > m_header.size)
            store(info, progress);
    }
    m_source.Close();
    patchHeader(info);
}

void ZipLocalEntryWriter::Abandon()
{
    releaseContext();
    m_source.Close();
}

void ZipLocalEntryWriter::writeProvisionalHeader(ZipFileInfo &info, const ByteArray &extra, int useUtf8)
{
    info.Flags = ZipRecords::NameFlags(info.FileName, useUtf8);
    m_header = ZipRecords::EntryHeader{};
    m_header.flags = info.Flags;
    m_header.modified = info.LastModified;
    m_header.crc = 0xFFFFFFFF;
    m_header.name = ZipRecords::StoredName(info.FileName, info.Flags);
    m_header.extra = extra;
    m_crc = 0xFFFFFFFF;
    // A name too long for the header fails here, before anything is written.
    writeHeader();
    m_dataStart = m_target.Seek(0, 1);
    m_recorded = info.Size;
}

void ZipLocalEntryWriter::deflate(ZipFileInfo &info, int level, const ProgressHandler &progress)
{
    m_context = DeflateInit();
    if (!m_context)
        throw ZipError("Cannot init deflate compressor", "DeflateInit");
    std::int32_t inA = m_source.Read(m_a.data(), kDeflateChunk);
    for (;;) {
        std::swap(m_a, m_b);
        const std::int32_t inB = inA;
        inA = m_source.Read(m_a.data(), kDeflateChunk);
        deflateChunk(inB, inA == 0, level);
        m_header.size += inB;
        m_header.compressedSize += static_cast<std::int64_t>(m_block.output.size());
        recordSizes(info);
        reportProgress(progress);
        if (inA == 0)
            break;
    }
    releaseContext();
    if (m_header.size == 0 && m_header.compressedSize == 0)
        markStored();
}

void ZipLocalEntryWriter::deflateChunk(std::int32_t length, bool final, int level)
{
    const DeflateLevel &tuning = kDeflateLevels[level];
    m_block.input = m_b.data();
    m_block.inputLength = length;
    m_block.final = final ? 1 : 0;
    m_block.greedy = tuning.greedy ? 1 : 0;
    m_block.candidateLimit = tuning.candidateLimit;
    m_block.narrowingLength = tuning.narrowingLength;
    if (!DeflateBlock(m_context, m_block, m_crc, level) || m_block.output.empty())
        throw ZipError("Error compressing", "DeflateBlock");
    m_target.Write(m_block.output.data(), static_cast<std::int32_t>(m_block.output.size()));
}

void ZipLocalEntryWriter::store(ZipFileInfo &info, const ProgressHandler &progress)
{
    // The data overwrites the deflated bytes from the data start on; whatever
    // lies beyond is overwritten by what follows or cut off at the end of the
    // archive.
    m_source.Seek(0, 0);
    m_target.Seek(m_dataStart, 0);
    markStored();
    m_crc = 0xFFFFFFFF;
    m_header.size = m_header.compressedSize = 0;
    for (;;) {
        reportProgress(progress);
        const std::int32_t n = m_source.Read(m_a.data(), kDeflateChunk);
        if (n <= 0)
            break;
        m_crc = Crc32Update(m_crc, m_a.data(), static_cast<std::size_t>(n));
        m_target.Write(m_a.data(), n);
        m_header.size += n;
        m_header.compressedSize += n;
        recordSizes(info);
    }
}

void ZipLocalEntryWriter::patchHeader(ZipFileInfo &info)
{
    info.Crc32 = ~m_crc; // 0 for no data: the register was never advanced
    recordSizes(info);
    info.Method = m_header.method;
    m_versionNeeded = std::max(m_versionNeeded, m_header.version);
    const std::int64_t end = m_target.Seek(0, 1);
    ZipRecords::To32(end, "CompressArchive");
    m_target.Seek(info.Offset, 0);
    m_header.crc = info.Crc32;
    writeHeader();
    m_target.Seek(end, 0);
}

void ZipLocalEntryWriter::markStored()
{
    m_header.method = ZipRecords::kMethodStored;
    m_header.version = ZipRecords::kVersionStored;
}

void ZipLocalEntryWriter::writeHeader()
{
    const std::string header = ZipRecords::LocalHeader(m_header);
    m_target.Write(header.data(), static_cast<std::int32_t>(header.size()));
}

void ZipLocalEntryWriter::recordSizes(ZipFileInfo &info) const
{
    info.Size = ZipRecords::To32(m_header.size, "CompressArchive");
    info.CompressedSize = ZipRecords::To32(m_header.compressedSize, "CompressArchive");
}

void ZipLocalEntryWriter::reportProgress(const ProgressHandler &progress) const
{
    if (progress && progress(m_header.size, m_recorded))
        throw ZipError("User cancelled", "Progress");
}

void ZipLocalEntryWriter::releaseContext()
{
    if (m_context)
        DeflateFree(m_context);
    m_context = nullptr;
}
