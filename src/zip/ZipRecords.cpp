// The fixed-layout records of a ZIP archive as bytes: local header, central directory record and end record.
#include "ZipRecords.h"

#include "Cp437.h"
#include "ZipError.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::uint16_t kVersionMadeBy = 45; // 4.5, host 0 (MS-DOS attributes)

const std::string kOverflow = "Overflow";

void put16(std::string &out, std::uint32_t v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string &out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void put64(std::string &out, std::uint64_t v)
{
    put32(out, static_cast<std::uint32_t>(v));
    put32(out, static_cast<std::uint32_t>(v >> 32));
}

// A size or offset as a classic field holds it: the marker when it does not fit.
std::uint32_t field32(std::uint64_t v)
{
    return v > ZipRecords::kMax32 ? ZipRecords::kMarker32 : static_cast<std::uint32_t>(v);
}

// The ZIP64 extra field with the given values (none: no field), followed by
// the caller's extra bytes.
std::string extraWithZip64(const std::string &zip64Values, const ByteArray &extra)
{
    std::string out;
    if (!zip64Values.empty()) {
        put16(out, ZipRecords::kZip64ExtraTag);
        put16(out, static_cast<std::uint32_t>(zip64Values.size()));
        out += zip64Values;
    }
    out.append(extra.begin(), extra.end());
    return out;
}

// MS-DOS time and date of a local time, unchanged by any time zone; years
// outside 1980..2107 cannot be written and give 1 January 1980.
void putDosTimeAndDate(std::string &out, const std::tm &t)
{
    const int year = t.tm_year + 1900;
    if (year < 1980 || year > 2107) {
        put16(out, 0);
        put16(out, (1 << 5) | 1);
        return;
    }
    put16(out, static_cast<std::uint16_t>((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2)));
    put16(out, static_cast<std::uint16_t>(((year - 1980) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday));
}

// From "version needed" to the sizes: the part both records share.
void putEntryFields(std::string &out, const ZipRecords::EntryHeader &entry, std::uint32_t compressedSize,
                    std::uint32_t size)
{
    put16(out, entry.version);
    put16(out, entry.flags);
    put16(out, entry.method);
    putDosTimeAndDate(out, entry.modified);
    put32(out, entry.crc);
    put32(out, compressedSize);
    put32(out, size);
}

} // namespace

std::string ZipRecords::LocalHeader(const EntryHeader &entry)
{
    const auto size = static_cast<std::uint64_t>(entry.size);
    const auto compressedSize = static_cast<std::uint64_t>(entry.compressedSize);
    std::string zip64;
    if (entry.zip64Sizes || size > kMax32 || compressedSize > kMax32) {
        put64(zip64, size);
        put64(zip64, compressedSize);
    }
    const std::string extra = extraWithZip64(zip64, entry.extra);
    std::string h;
    put32(h, ZipRecords::kLocalSignature);
    putEntryFields(h, entry, zip64.empty() ? field32(compressedSize) : ZipRecords::kMarker32,
                   zip64.empty() ? field32(size) : ZipRecords::kMarker32);
    put16(h, To16(static_cast<std::int64_t>(entry.name.size()), "CompressArchive"));
    put16(h, To16(static_cast<std::int64_t>(extra.size()), "CompressArchive"));
    h += entry.name;
    h += extra;
    return h;
}

std::string ZipRecords::CentralRecord(const EntryHeader &entry, const std::string &comment, std::uint32_t attributes,
                                      std::uint64_t offset)
{
    const auto size = static_cast<std::uint64_t>(entry.size);
    const auto compressedSize = static_cast<std::uint64_t>(entry.compressedSize);
    // Only the fields that do not fit, in this order.
    std::string zip64;
    for (const std::uint64_t v : {size, compressedSize, offset})
        if (v > kMax32)
            put64(zip64, v);
    const std::string extra = extraWithZip64(zip64, entry.extra);
    std::string h;
    put32(h, ZipRecords::kCentralSignature);
    put16(h, kVersionMadeBy);
    putEntryFields(h, entry, field32(compressedSize), field32(size));
    put16(h, To16(static_cast<std::int64_t>(entry.name.size()), "CompressArchive"));
    put16(h, To16(static_cast<std::int64_t>(extra.size()), "CompressArchive"));
    put16(h, To16(static_cast<std::int64_t>(comment.size()), "CompressArchive"));
    put16(h, 0); // disk number start
    put16(h, 0); // internal attributes
    put32(h, attributes);
    put32(h, field32(offset));
    h += entry.name;
    h += extra;
    h += comment;
    return h;
}

std::string ZipRecords::EndRecord(std::uint64_t entries, std::uint64_t directoryOffset, std::uint64_t directoryEnd,
                                  const std::string &comment)
{
    std::string oemComment;
    Cp437::FromUtf8(comment, oemComment);
    const std::uint64_t directorySize = directoryEnd - directoryOffset;
    std::string r;
    if (entries > kMaxEntries || directorySize > kMax32 || directoryOffset > kMax32) {
        put32(r, ZipRecords::kZip64EndSignature);
        put64(r, 44); // the size of the rest of this record
        put16(r, kVersionMadeBy);
        put16(r, kVersionZip64);
        put32(r, 0); // this disk
        put32(r, 0); // the disk the directory starts on
        put64(r, entries);
        put64(r, entries);
        put64(r, directorySize);
        put64(r, directoryOffset);
        put32(r, ZipRecords::kZip64LocatorSignature);
        put32(r, 0); // the disk of the ZIP64 end record
        put64(r, directoryEnd);
        put32(r, 1); // disks in all
    }
    put32(r, ZipRecords::kEndSignature);
    put16(r, 0); // this disk
    put16(r, 0); // the disk the directory starts on
    const std::uint32_t count = entries > kMaxEntries ? 0xFFFF : static_cast<std::uint32_t>(entries);
    put16(r, count);
    put16(r, count);
    put32(r, field32(directorySize));
    put32(r, field32(directoryOffset));
    put16(r, To16(static_cast<std::int64_t>(oemComment.size()), "CompressArchive"));
    r += oemComment;
    return r;
}

std::uint32_t ZipRecords::NameFlags(const std::string &fileName, int useUtf8)
{
    if (useUtf8 == -2) {
        std::string oem;
        return Cp437::FromUtf8(fileName, oem) ? 0 : ZipRecords::kFlagUtf8;
    }
    return useUtf8 == -1 ? ZipRecords::kFlagUtf8 : 0;
}

std::string ZipRecords::StoredName(const std::string &fileName, std::uint32_t flags)
{
    std::string name = fileName;
    std::replace(name.begin(), name.end(), '\\', '/');
    return StoredText(name, flags);
}

std::string ZipRecords::StoredText(const std::string &utf8, std::uint32_t flags)
{
    if (flags & ZipRecords::kFlagUtf8)
        return utf8;
    std::string oem;
    Cp437::FromUtf8(utf8, oem);
    return oem;
}

std::int32_t ZipRecords::To32(std::int64_t value, const char *source)
{
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        throw ZipError(kOverflow, source);
    return static_cast<std::int32_t>(value);
}

std::uint16_t ZipRecords::To16(std::int64_t value, const char *source)
{
    if (value < 0 || value > 0xFFFF)
        throw ZipError(kOverflow, source);
    return static_cast<std::uint16_t>(value);
}
