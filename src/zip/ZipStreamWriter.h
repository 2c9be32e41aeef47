// Writes a ZIP archive to a file descriptor one entry at a time, each entry complete on disk before the next.
#pragma once

#include "VfsHandle.h"
#include "ZipRecords.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

struct DeflateContext;

// Every entry goes out whole before Add returns: its local header with the
// exact CRC-32 and sizes (written first with placeholders and no signature,
// and again once the data is out, so no data descriptor is needed), then its
// data, deflated at the writer's level or stored where deflating does not
// make it smaller. So a file that was never finished still holds each added
// entry as a readable local entry, and an entry cut short is none. Only one chunk of an entry's data is in memory at a
// time; the central directory is kept as records until Finish writes it. Within the classic limits the bytes are those
// cZipArchive writes for the same entries; sizes and offsets from 0xFFFFFFFF on and more than 65,535 entries get ZIP64
// records. Errors come back as errno values (EOVERFLOW for a name or extra
// field longer than 65,535 bytes, EIO for a source that ends early).
class ZipStreamWriter
{
public:
    struct Entry
    {
        std::string name;              // UTF-8; "\" and "/" both separate folders
        std::tm modified{};            // local time
        std::uint32_t attributes = 32; // MS-DOS attributes: "archive"
        ByteArray extra;               // the caller's extra fields, in the local and the central record
    };
    // Copies up to capacity bytes of an entry's data from offset on into
    // buffer and returns how many: 0 at the end, -errno on failure.
    using Reader = std::function<std::int64_t(std::uint64_t offset, std::uint8_t *buffer, std::size_t capacity)>;

    // fd is open for writing and stays the caller's; the archive starts at
    // offset 0. level is clamped into 0..9 (0 stores); useUtf8 as in
    // cZipArchive::CompressArchive. With syncEntries every entry is flushed
    // to the disk (fdatasync) before Add reports it written.
    explicit ZipStreamWriter(int fd, int level = 7, int useUtf8 = -2, bool syncEntries = false);
    ~ZipStreamWriter();
    ZipStreamWriter(const ZipStreamWriter &) = delete;
    ZipStreamWriter &operator=(const ZipStreamWriter &) = delete;

    // Appends an entry; 0 or errno. After a failure the file is cut back to
    // where the entry began, so the entries before it stay intact, and the
    // writer takes further entries.
    int Add(const Entry &entry, const std::uint8_t *data, std::size_t size);
    // The same with the data read in chunks from a source of the given size;
    // it may be asked for the same bytes twice (when deflating did not pay).
    int Add(const Entry &entry, std::uint64_t size, const Reader &read);

    // An entry's data deflated before its Add, on any thread, so that the
    // Add itself only writes: the bytes Add would write for the same data
    // at the same level.
    struct Deflated
    {
        ByteArray data;                 // empty where storing pays
        std::uint32_t crc = 0xFFFFFFFF; // the CRC register after the data
        std::uint64_t size = 0;         // of the data before deflating
        int level = -1;
        bool stored = false; // deflating did not make it smaller
    };
    // 0 or errno (ENOMEM).
    static int Deflate(int level, const std::uint8_t *data, std::size_t size, Deflated &out);
    // Add with ready deflated from the same data; ready is passed over when
    // it was made for another size or level.
    int Add(const Entry &entry, const std::uint8_t *data, std::size_t size, const Deflated &ready);
    // Writes the central directory and the end records after the last entry
    // and cuts the file there; 0 or errno. A failure cuts the file back to
    // the entries, and Finish may be called again.
    int Finish(const std::string &comment = {});

    // Gives the central record of an entry already added another extra field
    // than its local header has: what became known only after the entry was
    // written. false for an index past the last entry or a field longer than
    // 65,535 bytes.
    bool SetCentralExtra(std::uint64_t index, ByteArray extra);

    std::uint64_t EntryCount() const { return m_entries.size(); }
    // Where the next entry starts: the size of the local entries so far.
    std::uint64_t End() const { return m_end; }

private:
    // What the central directory needs of an entry.
    struct Record
    {
        ZipRecords::EntryHeader header;
        std::uint32_t attributes = 0;
        std::uint64_t offset = 0;
    };

    // Writes the entry from End() on; end receives where it stops.
    int add(const Entry &entry, std::uint64_t size, const Reader &read, const Deflated *ready);
    int writeEntry(const Entry &entry, std::uint64_t size, const Reader &read, const Deflated *ready, Record &record,
                   std::uint64_t &end);
    // Deflates the source from dataStart on; compressed receives the bytes written.
    int deflate(std::uint64_t size, const Reader &read, std::uint64_t dataStart, std::uint32_t &crc,
                std::uint64_t &compressed);
    int store(std::uint64_t size, const Reader &read, std::uint64_t dataStart, std::uint32_t &crc);
    // Reads exactly length bytes from offset on into m_chunk.
    int readChunk(const Reader &read, std::uint64_t offset, std::size_t length);
    int writeAt(const void *data, std::size_t size, std::uint64_t offset);
    // Cuts the file at end when anything was written beyond it.
    int cutAt(std::uint64_t end);
    void releaseContext();

    int m_fd;
    int m_level;
    int m_useUtf8;
    bool m_syncEntries;
    DeflateContext *m_context = nullptr;
    ByteArray m_chunk;
    std::vector<Record> m_entries;
    std::uint64_t m_end = 0;     // end of the last entry written whole
    std::uint64_t m_fileEnd = 0; // end of everything ever written
    // The highest version needed among the entries; the central directory
    // gives it to every entry, as cZipArchive does.
    std::uint16_t m_versionNeeded = ZipRecords::kVersionStored;
};
