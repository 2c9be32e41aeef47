// What a backup entry records of its file beyond the ZIP entry.
#include "BackupRecord.h"

#include "ZipReader.h"

namespace {

constexpr std::size_t kFixed = 1 + 1 + 4 + 8 + 4 + 2;

void put(std::string &out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t get(const std::string &in, std::size_t at, int bytes)
{
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= std::uint64_t(static_cast<unsigned char>(in[at + std::size_t(i)])) << (8 * i);
    return value;
}

} // namespace

std::string BackupRecord::Encode() const
{
    const std::size_t length = kFixed + std::size_t(path.size());
    if (length > 0xFFFF - 4)
        return {};
    std::string out;
    put(out, kId, 2);
    put(out, length, 2);
    put(out, kVersion, 1);
    put(out, written ? 1 : 0, 1);
    put(out, mode, 4);
    put(out, written ? writtenSize : 0, 8);
    put(out, written ? writtenCrc : 0, 4);
    put(out, startLength, 2);
    out.append(path.constData(), std::size_t(path.size()));
    return out;
}

std::optional<BackupRecord> BackupRecord::Decode(const std::string &extraField)
{
    const std::optional<std::string> block = ZipReader::ExtraBlock(extraField, kId);
    if (!block || block->size() < kFixed || get(*block, 0, 1) != kVersion)
        return std::nullopt;
    BackupRecord r;
    r.written = (get(*block, 1, 1) & 1) != 0;
    r.mode = static_cast<std::uint32_t>(get(*block, 2, 4));
    r.writtenSize = get(*block, 6, 8);
    r.writtenCrc = static_cast<std::uint32_t>(get(*block, 14, 4));
    r.startLength = static_cast<std::uint16_t>(get(*block, 18, 2));
    r.path = QByteArray(block->data() + kFixed, qsizetype(block->size() - kFixed));
    if (r.startLength == 0 || r.startLength > r.path.size())
        return std::nullopt;
    return r;
}
