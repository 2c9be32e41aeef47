// Reads a ZIP archive from a file descriptor: its central directory, then any entry's data checked against its CRC-32.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Nothing in an archive is trusted: every count, size and offset is checked
// against the file before it is used, memory grows only with what the file
// really holds, and an entry's data is never handed on beyond its recorded
// size. The central directory is authoritative; a local header only has to
// agree with it in signature and name.
class ZipReader
{
public:
    enum class Error {
        None,
        Io,           // a read failed; SystemError() has the errno
        NotZip,       // no end record found
        Truncated,    // the archive ends before a record or an entry's data does
        BadDirectory, // the end records or central directory contradict themselves or the file
        Unsupported,  // encrypted, or a method other than stored (0) and deflated (8)
        BadEntry,     // the local header does not fit its central record (signature, name)
        BadData,      // inflate failed, or the data is longer/shorter than recorded
        BadCrc,       // the data does not have the recorded CRC-32
        Sink,         // the sink returned an error (SystemError() has it)
    };
    struct Entry
    {
        std::string
            name; // UTF-8: as stored when the UTF-8 flag (bit 11) is set, else from code page 437 (Cp437::ToUtf8)
        std::uint16_t flags = 0;
        std::uint16_t method = 0;
        std::uint32_t crc = 0;
        std::uint64_t compressedSize = 0;
        std::uint64_t size = 0;
        std::uint64_t localOffset = 0;
        std::tm modified{}; // from the DOS date and time, local time, tm_isdst = -1
        std::uint32_t externalAttributes = 0;
        std::string extra;     // the central record's extra field, raw
        bool isFolder() const; // name ends in '/'
    };

    // fd stays the caller's; it is read with pread only. Reads the end record (searching back over a comment of up
    // to 65,535 bytes), the ZIP64 end locator and record where present, and the whole central directory, with the
    // ZIP64 extra field (0x0001) of each record taking the place of 0xFFFFFFFF sizes/offset. Every entry's offset and
    // sizes must lie inside the file. None, or what is wrong.
    Error Open(int fd);
    const std::vector<Entry> &Entries() const { return m_entries; }
    // The errno of the last Io or Sink error.
    int SystemError() const;

    // Streams the entry's data to sink in pieces of at most 256 KiB, then checks size and CRC-32. Reading starts at
    // the local header, whose signature and name must match the central record. The sink returns 0 or an errno
    // (which ends the extraction with Error::Sink). A caller that must not act on damaged data collects the pieces
    // and acts only on None.
    using Sink = std::function<int(const std::uint8_t *data, std::size_t size)>;
    Error Extract(const Entry &entry, const Sink &sink);

    // The data of the extra block with the given header ID in an extra field (ID and length 16-bit little-endian
    // each, then the data), or nullopt when the field has none or is malformed.
    static std::optional<std::string> ExtraBlock(const std::string &extra, std::uint16_t id);

private:
    // Where the central directory and what follows it begin, from the end records.
    struct Directory
    {
        std::uint64_t entries = 0;
        std::uint64_t offset = 0;
        std::uint64_t size = 0;
        std::uint64_t end = 0; // where the end records begin: the directory may not run past it
    };

    Error findDirectory(Directory &dir);
    Error readZip64Directory(std::uint64_t endRecord, Directory &dir);
    Error readDirectory(const Directory &dir);
    Error extractStored(const Entry &entry, std::uint64_t dataStart, const Sink &sink, std::uint32_t &crc);
    Error extractDeflated(const Entry &entry, std::uint64_t dataStart, const Sink &sink, std::uint32_t &crc);
    // Reads exactly size bytes at offset: Truncated when the file ends first.
    Error readAt(void *data, std::size_t size, std::uint64_t offset);
    Error deliver(const Sink &sink, const std::uint8_t *data, std::size_t size);

    int m_fd = -1;
    std::uint64_t m_fileSize = 0;
    // The entries' local data must end where the central directory begins.
    std::uint64_t m_directoryOffset = 0;
    std::vector<Entry> m_entries;
    int m_systemError = 0;
};
