// Writes a list of byte sources as one ZIP archive (ZIP64 end records past 65,535 entries),
// deflated by the archive's own compressor or stored.
#pragma once

#include "VfsHandle.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Fields 1 to 10 of an entry, as FileInfo reports them.
struct ZipFileInfo
{
    std::string FileName;
    std::uint32_t Attributes = 0;
    std::uint32_t Crc32 = 0;
    std::int32_t Size = 0;
    std::int32_t CompressedSize = 0;
    std::string Comment;
    std::tm LastModified{};
    std::uint32_t Method = 0;
    std::int32_t Offset = 0;
    std::uint32_t Flags = 0;
};

class ZipLocalEntryWriter;

class cZipArchive
{
public:
    // Names, comments and paths are UTF-8; "\" and "/" both separate folders
    // in entry names, which are stored with "/".
    std::string SemVersion() const { return "0.2.8"; }
    std::string ThunkBuildDate() const { return "12.1.2018 17:15:52"; }
    const std::string &LastError() const { return m_lastError; }
    int FileCount() const { return static_cast<int>(m_entries.size()); }
    std::optional<ZipFileInfo> FileInfo(int FileIdx) const;
    // The comment of an archive that was read; empty when writing.
    const std::string &Comment() const { return m_comment; }

    // Appends an entry. Password and EncrStrength are accepted and ignored:
    // the writer never encrypts. A negative Level uses CompressArchive's.
    bool AddFile(const VfsItem &File, const std::string &Name = {}, const std::string &Comment = {},
                 const std::string &Password = {}, int EncrStrength = 0, int Level = -1);
    // Writes every entry into ArchiveFile. Level is clamped into 0..9 (0
    // stores); UseUtf8 -2 flags a name as UTF-8 only when code page 437
    // cannot hold it, -1 always, anything else never.
    bool CompressArchive(const VfsItem &ArchiveFile, const std::string &Comment = {}, int Level = 6, int UseUtf8 = -2);
    // Adds the files of a folder that match a mask ("folder/*.txt"),
    // breadth-first through subfolders when Recursive.
    bool AddFromFolder(const std::string &sFolderAndMask, bool Recursive = false, const std::string &TargetFolder = {},
                       bool IncludeEmptyFolders = false, const std::string &Password = {}, int EncrStrength = 0,
                       int Level = -1);

    // CRC-32 of all bytes (preset and final complement applied).
    static std::uint32_t CalcCrc32Array(const ByteArray &baData);
    // Advances a running CRC register; no preset, no complement.
    static std::uint32_t CalcCrc32Ptr(const void *lPtr, std::int32_t lSize, std::uint32_t lCrc32);
    static ByteArray ToUtf8Array(const std::u16string &sText);
    static std::u16string FromUtf8Array(const ByteArray &baText);

    // Events; a handler may change the arguments passed by reference.
    std::function<void(int FileIdx, int &Level, bool &SkipFile, bool &Cancel)> BeforeCompress;
    std::function<void(int FileIdx, std::int64_t Current, std::int64_t Total, bool &Cancel)> Progress;
    std::function<void(int FileIdx, const std::string &Source, std::string &Description, bool &Cancel)> Error;

private:
    struct ArchiveEntry
    {
        ZipFileInfo info; // Offset -1: skipped or dropped, not in the central directory
        ByteArray Extra;
        VfsItem Data;
        std::int32_t Level = -1;
    };

    // Writes one entry where the target stands. A failure loses only this
    // entry, unless a handler cancels through Progress or Error: then false.
    bool writeEntry(ZipLocalEntryWriter &writer, VfsHandle &target, ArchiveEntry &e, int level, int useUtf8);
    // Raises Progress for the current entry; true when the handler cancels.
    bool progressCancels(std::int64_t current, std::int64_t total);
    void writeCentralDirectory(VfsHandle &target, std::uint16_t versionNeeded, const std::string &comment);
    bool raiseError(const std::string &operation, const std::string &description, const std::string &source);

    std::vector<ArchiveEntry> m_entries;
    std::string m_lastError;
    std::string m_comment;
    bool m_cancel = false;
    int m_currentIndex = -1;
};
