// The fixed-layout records of a ZIP archive as bytes: local header, central directory record and end record.
#include "ZipRecords.h"

#include "Cp437.h"
#include "ZipError.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint16_t kVersionMadeBy = 45; // 4.5, host 0 (MS-DOS attributes)
constexpr std::uint32_t kFlagUtf8 = 0x0800;

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

// From "version needed" to the name length: the part both records share.
void putEntryFields(std::string &out, const ZipRecords::EntryHeader &entry)
{
    put16(out, entry.version);
    put16(out, entry.flags);
    put16(out, entry.method);
    putDosTimeAndDate(out, entry.modified);
    put32(out, entry.crc);
    put32(out, static_cast<std::uint32_t>(entry.compressedSize));
    put32(out, static_cast<std::uint32_t>(entry.size));
}

} // namespace

std::string ZipRecords::LocalHeader(const EntryHeader &entry)
{
    const std::uint16_t nameLength = To16(static_cast<std::int64_t>(entry.name.size()), "CompressArchive");
    std::string h;
    put32(h, kLocalSignature);
    putEntryFields(h, entry);
    put16(h, nameLength);
    put16(h, static_cast<std::uint32_t>(entry.extra.size()));
    h += entry.name;
    h.append(entry.extra.begin(), entry.extra.end());
    return h;
}

std::string ZipRecords::CentralRecord(const EntryHeader &entry, const std::string &comment, std::uint32_t attributes,
                                      std::int32_t offset)
{
    std::string h;
    put32(h, kCentralSignature);
    put16(h, kVersionMadeBy);
    putEntryFields(h, entry);
    put16(h, To16(static_cast<std::int64_t>(entry.name.size()), "CompressArchive"));
    put16(h, To16(static_cast<std::int64_t>(entry.extra.size()), "CompressArchive"));
    put16(h, To16(static_cast<std::int64_t>(comment.size()), "CompressArchive"));
    put16(h, 0); // disk number start
    put16(h, 0); // internal attributes
    put32(h, attributes);
    put32(h, static_cast<std::uint32_t>(offset));
    h += entry.name;
    h.append(entry.extra.begin(), entry.extra.end());
    h += comment;
    return h;
}

std::string ZipRecords::EndRecord(std::int64_t entries, std::int64_t directoryOffset, std::int64_t directoryEnd,
                                  const std::string &comment)
{
    std::string oemComment;
    Cp437::FromUtf8(comment, oemComment);
    std::string r;
    put32(r, kEndSignature);
    put16(r, 0); // this disk
    put16(r, 0); // the disk the directory starts on
    put16(r, To16(entries, "CompressArchive"));
    put16(r, To16(entries, "CompressArchive"));
    put32(r, static_cast<std::uint32_t>(To32(directoryEnd - directoryOffset, "CompressArchive")));
    put32(r, static_cast<std::uint32_t>(To32(directoryOffset, "CompressArchive")));
    put16(r, To16(static_cast<std::int64_t>(oemComment.size()), "CompressArchive"));
    r += oemComment;
    return r;
}

std::uint32_t ZipRecords::NameFlags(const std::string &fileName, int useUtf8)
{
    if (useUtf8 == -2) {
        std::string oem;
        return Cp437::FromUtf8(fileName, oem) ? 0 : kFlagUtf8;
    }
    return useUtf8 == -1 ? kFlagUtf8 : 0;
}

std::string ZipRecords::StoredName(const std::string &fileName, std::uint32_t flags)
{
    std::string name = fileName;
    std::replace(name.begin(), name.end(), '\\', '/');
    return StoredText(name, flags);
}

std::string ZipRecords::StoredText(const std::string &utf8, std::uint32_t flags)
{
    if (flags & kFlagUtf8)
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
    if (value < 0 || value > 32767)
        throw ZipError(kOverflow, source);
    return static_cast<std::uint16_t>(value);
}
