// The fixed-layout records of a ZIP archive as bytes: local header, central directory record and end record.
#pragma once

#include "VfsHandle.h"

#include <cstdint>
#include <ctime>
#include <string>

// Every number goes out little-endian. Sizes and offsets are 32-bit, lengths
// and counts 16-bit and at most 32767: anything larger fails with "Overflow"
// instead of wrapping.
class ZipRecords
{
public:
    static constexpr std::uint16_t kVersionStored = 10;
    static constexpr std::uint16_t kVersionDeflated = 20;
    static constexpr std::uint32_t kMethodStored = 0;
    static constexpr std::uint32_t kMethodDeflated = 8;
    // The MS-DOS attributes of entries that hold no data.
    static constexpr std::uint32_t kAttrDirectory = 16;
    static constexpr std::uint32_t kAttrVolume = 8;

    // What the local header and the central directory record of an entry share.
    struct EntryHeader
    {
        std::uint16_t version = kVersionDeflated; // needed to extract
        std::uint32_t flags = 0;
        std::uint32_t method = kMethodDeflated;
        std::tm modified{}; // local time
        std::uint32_t crc = 0;
        std::int64_t compressedSize = 0;
        std::int64_t size = 0;
        std::string name; // as stored: see StoredName
        ByteArray extra;
    };

    static std::string LocalHeader(const EntryHeader &entry);
    // comment is stored as given (see StoredText).
    static std::string CentralRecord(const EntryHeader &entry, const std::string &comment, std::uint32_t attributes,
                                     std::int32_t offset);
    // The record after the central directory, which runs from directoryOffset
    // to directoryEnd; the UTF-8 comment goes out in code page 437.
    static std::string EndRecord(std::int64_t entries, std::int64_t directoryOffset, std::int64_t directoryEnd,
                                 const std::string &comment);

    // The general-purpose flags for a name: the UTF-8 flag for useUtf8 -1
    // always, for -2 when code page 437 cannot hold the name, else never.
    static std::uint32_t NameFlags(const std::string &fileName, int useUtf8);
    // An entry name as the records hold it: "/" between folders, in the code
    // page the flags say.
    static std::string StoredName(const std::string &fileName, std::uint32_t flags);
    // UTF-8 text in the code page the flags say.
    static std::string StoredText(const std::string &utf8, std::uint32_t flags);

    // Narrows to a 32-bit size or offset, or throws ZipError("Overflow", source).
    static std::int32_t To32(std::int64_t value, const char *source);
    // Narrows to a 16-bit length or count, or throws ZipError("Overflow", source).
    static std::uint16_t To16(std::int64_t value, const char *source);
};
