// What a backup entry records of its file beyond the ZIP entry: where the file lives and what the run wrote there.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>
#include <string>

// Stored as an extra block of the program's own ID in the local header and
// the central record of each entry; unpackers skip blocks they do not know.
// The local header is written before the file changes and so never knows
// what the run wrote; the central record, written at the end, does.
// Layout, little-endian: version (1 byte, 1), flags (1 byte: bit 0 = the
// run wrote the file), mode (4), written size (8), written CRC-32 (4), the
// length of the path's start folder (2), then the path's bytes.
struct BackupRecord
{
    static constexpr std::uint16_t kId = 0x4D56; // "VM"
    static constexpr std::uint8_t kVersion = 1;

    // Absolute, as the file system names it (bytes, not text).
    QByteArray path;
    // The leading bytes of path that name the folder the run was started
    // from (or the file's own folder, for a file outside it): opened as
    // given, while the rest is walked without following any link.
    std::uint16_t startLength = 0;
    std::uint32_t mode = 0;
    bool written = false;
    std::uint64_t writtenSize = 0;
    std::uint32_t writtenCrc = 0;

    // The whole extra block, header included; empty when the path is too
    // long for one.
    std::string Encode() const;
    // The record in an entry's extra field, or none when it holds no block
    // of ours that makes sense.
    static std::optional<BackupRecord> Decode(const std::string &extraField);
};
