// The fixed-layout records of a ZIP archive as bytes: local header, central directory record and end record.
#pragma once

#include "VfsHandle.h"

#include <cstdint>
#include <ctime>
#include <string>

// Every number goes out little-endian. Lengths are 16-bit: a longer name,
// extra field or comment fails with "Overflow" instead of wrapping. Sizes and
// offsets from 0xFFFFFFFF on and more than 65,535 entries go into ZIP64
// records; within those limits the records are the classic ones, byte for
// byte.
class ZipRecords
{
public:
    static constexpr std::uint16_t kVersionStored = 10;
    static constexpr std::uint16_t kVersionDeflated = 20;
    static constexpr std::uint16_t kVersionZip64 = 45;
    // The largest size or offset a classic field holds: 0xFFFFFFFF there
    // means that the value is in the ZIP64 extra field.
    static constexpr std::uint64_t kMax32 = 0xFFFFFFFE;
    // The most entries a classic end record counts.
    static constexpr std::uint64_t kMaxEntries = 0xFFFF;
    static constexpr std::uint32_t kMethodStored = 0;
    static constexpr std::uint32_t kMethodDeflated = 8;
    // The records' signatures, the ZIP64 extra field's tag, the value that
    // points a classic field to it, and the flag of UTF-8 names.
    static constexpr std::uint32_t kLocalSignature = 0x04034B50;
    static constexpr std::uint32_t kCentralSignature = 0x02014B50;
    static constexpr std::uint32_t kEndSignature = 0x06054B50;
    static constexpr std::uint32_t kZip64EndSignature = 0x06064B50;
    static constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50;
    static constexpr std::uint16_t kZip64ExtraTag = 0x0001;
    static constexpr std::uint32_t kMarker32 = 0xFFFFFFFF;
    static constexpr std::uint32_t kFlagUtf8 = 0x0800;
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
        // The local header carries both sizes in a ZIP64 extra field (before
        // extra). Decided before the sizes are known, so that the header
        // keeps its length when it is written again with them.
        bool zip64Sizes = false;
    };

    // Whether an entry of this size needs ZIP64 sizes in its local header.
    static bool NeedsZip64(std::uint64_t size) { return size > kMax32; }

    static std::string LocalHeader(const EntryHeader &entry);
    // comment is stored as given (see StoredText). Sizes and an offset past
    // kMax32 go into a ZIP64 extra field (before entry.extra).
    static std::string CentralRecord(const EntryHeader &entry, const std::string &comment, std::uint32_t attributes,
                                     std::uint64_t offset);
    // What follows the central directory, which runs from directoryOffset to
    // directoryEnd: the ZIP64 end record and its locator where a count, size
    // or offset does not fit the classic end record, then that record; the
    // UTF-8 comment goes out in code page 437.
    static std::string EndRecord(std::uint64_t entries, std::uint64_t directoryOffset, std::uint64_t directoryEnd,
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
    // Narrows to a 16-bit length, or throws ZipError("Overflow", source).
    static std::uint16_t To16(std::int64_t value, const char *source);
};
