// Writes a list of byte sources as one ZIP archive (ZIP64 end records past 65,535 entries),
// deflated by the archive's own compressor or stored.
#include "cZipArchive.h"

#include "Crc32.h"
#include "DeflateConstants.h"
#include "Utf8Kernel.h"
#include "ZipError.h"
#include "ZipLocalEntryWriter.h"
#include "ZipRecords.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <sys/stat.h>

namespace {

// "*" and "?" against a name, ignoring ASCII case; ";" separates masks.
bool maskMatches(const std::string &mask, const std::string &name)
{
    std::size_t start = 0;
    while (start <= mask.size()) {
        std::size_t end = mask.find(';', start);
        if (end == std::string::npos)
            end = mask.size();
        const std::string m = mask.substr(start, end - start);
        std::size_t mi = 0, ni = 0, star = std::string::npos, mark = 0;
        const auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
        while (ni < name.size()) {
            if (mi < m.size() && (m[mi] == '?' || lower(m[mi]) == lower(name[ni]))) {
                ++mi;
                ++ni;
            } else if (mi < m.size() && m[mi] == '*') {
                star = mi++;
                mark = ni;
            } else if (star != std::string::npos) {
                mi = star + 1;
                ni = ++mark;
            } else {
                break;
            }
        }
        while (mi < m.size() && m[mi] == '*')
            ++mi;
        if (ni == name.size() && mi == m.size())
            return true;
        start = end + 1;
    }
    return false;
}

std::string joinName(const std::string &a, const std::string &b)
{
    if (a.empty() || b.empty())
        return a + b;
    if (a.back() == '\\' || a.back() == '/')
        return a + b;
    return a + "\\" + b;
}

} // namespace

std::optional<ZipFileInfo> cZipArchive::FileInfo(int FileIdx) const
{
    if (FileIdx < 0 || FileIdx >= FileCount())
        return std::nullopt;
    return m_entries[static_cast<std::size_t>(FileIdx)].info;
}

bool cZipArchive::raiseError(const std::string &operation, const std::string &description, const std::string &source)
{
    m_lastError = description;
    bool cancel = m_cancel;
    if (Error)
        Error(m_currentIndex, "cZipArchive." + operation + "\r\n" + source, m_lastError, cancel);
    m_cancel = cancel;
    return cancel;
}

bool cZipArchive::AddFile(const VfsItem &File, const std::string &Name, const std::string &Comment, const std::string &,
                          int, int Level)
{
    m_lastError.clear();
    m_cancel = false;
    try {
        if (m_entries.size() == m_entries.capacity())
            m_entries.reserve(m_entries.empty() ? 3 : (m_entries.size() - 1) * 2 + 1);
        VfsHandle source;
        source.Open(File);
        ArchiveEntry e;
        e.info.Offset = -1;
        if (!Name.empty()) {
            e.info.FileName = Name;
        } else {
            const std::string &n = source.Name();
            const std::size_t cut = n.find_last_of("\\/");
            e.info.FileName = cut == std::string::npos ? n : n.substr(cut + 1);
        }
        const bool folder =
            !e.info.FileName.empty() && (e.info.FileName.back() == '\\' || e.info.FileName.back() == '/');
        e.info.Size = folder ? 0 : ZipRecords::To32(source.Size(), "AddFile");
        e.info.Attributes = folder ? ZipRecords::kAttrDirectory : source.Attributes();
        e.info.Comment = Comment;
        e.info.LastModified = source.LastWrite();
        e.Data = File;
        e.Level = Level;
        m_entries.push_back(std::move(e));
        return true;
    } catch (const ZipError &err) {
        m_cancel = true;
        raiseError("AddFile", err.Description, err.Source);
    } catch (const std::bad_alloc &) {
        m_cancel = true;
        raiseError("AddFile", "Out of memory", "AddFile");
    }
    return false;
}

void cZipArchive::writeCentralDirectory(VfsHandle &target, std::uint16_t versionNeeded, const std::string &comment)
{
    const std::int64_t directoryOffset = target.Seek(0, 1);
    std::int64_t written = 0;
    for (const ArchiveEntry &e : m_entries) {
        if (e.info.Offset < 0)
            continue;
        ZipRecords::EntryHeader header;
        header.version = versionNeeded;
        header.flags = e.info.Flags;
        header.method = e.info.Method;
        header.modified = e.info.LastModified;
        header.crc = e.info.Crc32;
        header.compressedSize = e.info.CompressedSize;
        header.size = e.info.Size;
        header.name = ZipRecords::StoredName(e.info.FileName, e.info.Flags);
        header.extra = e.Extra;
        const std::string record = ZipRecords::CentralRecord(
            header, ZipRecords::StoredText(e.info.Comment, e.info.Flags), e.info.Attributes, e.info.Offset);
        target.Write(record.data(), static_cast<std::int32_t>(record.size()));
        ++written;
    }
    if (written == 0)
        throw ZipError("Empty archive", "CompressArchive");
    const std::string end = ZipRecords::EndRecord(written, directoryOffset, target.Seek(0, 1), comment);
    target.Write(end.data(), static_cast<std::int32_t>(end.size()));
    target.SetEof("[output_archive]");
}

bool cZipArchive::progressCancels(std::int64_t current, std::int64_t total)
{
    bool cancel = false;
    if (Progress)
        Progress(m_currentIndex, current, total, cancel);
    if (cancel)
        m_cancel = true;
    return cancel;
}

bool cZipArchive::writeEntry(ZipLocalEntryWriter &writer, VfsHandle &target, ArchiveEntry &e, int level, int useUtf8)
{
    e.info.Offset = ZipRecords::To32(target.Seek(0, 1), "CompressArchive");
    try {
        writer.Write(e.info, e.Extra, e.Data, level, useUtf8,
                     [this](std::int64_t current, std::int64_t total) { return progressCancels(current, total); });
    } catch (const std::bad_alloc &) {
        throw;
    } catch (const std::exception &failure) {
        const auto *err = dynamic_cast<const ZipError *>(&failure);
        if (m_cancel) { // a handler cancelled through Progress
            m_lastError = failure.what();
            return false;
        }
        // Only this entry is lost: the next one overwrites its partial data,
        // and the pass goes on.
        if (raiseError("CompressArchive", failure.what(), err ? err->Source : std::string("[stream]")))
            return false;
        writer.Abandon();
        target.Seek(e.info.Offset, 0);
        e.info.Offset = -1;
    }
    return true;
}

bool cZipArchive::CompressArchive(const VfsItem &ArchiveFile, const std::string &Comment, int Level, int UseUtf8)
{
    m_lastError.clear();
    m_cancel = false;
    m_currentIndex = -1;
    bool ok = false;
    try {
        VfsHandle target;
        target.Create(ArchiveFile);
        ZipLocalEntryWriter writer(target);
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            ArchiveEntry &e = m_entries[i];
            m_currentIndex = static_cast<int>(i);
            int level = e.Level >= 0 ? e.Level : Level;
            bool skip = false, cancel = false;
            if (BeforeCompress)
                BeforeCompress(m_currentIndex, level, skip, cancel);
            if (cancel) {
                m_lastError = "User cancelled";
                m_cancel = true;
                m_currentIndex = -1;
                return false;
            }
            if (skip) {
                e.info.Offset = -1;
                continue;
            }
            level = std::clamp(level, 0, 9);
            if (!writeEntry(writer, target, e, level, UseUtf8)) {
                m_currentIndex = -1;
                return false;
            }
        }
        m_currentIndex = -1;
        const std::string keptError = m_lastError;
        writeCentralDirectory(target, writer.VersionNeeded(), Comment);
        m_lastError = keptError;
        ok = true;
    } catch (const ZipError &err) {
        m_cancel = true;
        m_currentIndex = -1;
        raiseError("CompressArchive", err.Description, err.Source);
    } catch (const std::bad_alloc &) {
        m_cancel = true;
        m_currentIndex = -1;
        raiseError("CompressArchive", "Out of memory", "CompressArchive");
    }
    m_currentIndex = -1;
    return ok;
}

bool cZipArchive::AddFromFolder(const std::string &sFolderAndMask, bool Recursive, const std::string &TargetFolder,
                                bool IncludeEmptyFolders, const std::string &Password, int EncrStrength, int Level)
{
    m_lastError.clear();
    m_cancel = false;
    const std::size_t cut = sFolderAndMask.find_last_of("\\/");
    std::string base = cut == std::string::npos ? std::string() : sFolderAndMask.substr(0, cut);
    const std::string mask = cut == std::string::npos ? sFolderAndMask : sFolderAndMask.substr(cut + 1);
    if (base.empty())
        base = ".";
    int added = 0;
    std::deque<std::string> work{""}; // folders relative to base
    while (!work.empty()) {
        const std::string relative = work.front();
        work.pop_front();
        const std::string folder = relative.empty() ? base : base + "/" + relative;
        DIR *dir = ::opendir(folder.c_str());
        if (!dir)
            continue;
        std::vector<std::string> files, folders;
        while (const dirent *d = ::readdir(dir)) {
            const std::string n = d->d_name;
            if (n == "." || n == "..")
                continue;
            struct stat st;
            if (::lstat((folder + "/" + n).c_str(), &st) != 0)
                continue;
            if (S_ISDIR(st.st_mode))
                folders.push_back(n);
            else if (S_ISREG(st.st_mode))
                files.push_back(n);
        }
        ::closedir(dir);
        std::sort(files.begin(), files.end());
        std::sort(folders.begin(), folders.end());
        const std::string joined = joinName(TargetFolder, relative);
        int here = 0;
        for (const std::string &f : files) {
            if (!maskMatches(mask, f))
                continue;
            if (AddFile(folder + "/" + f, joinName(joined, f), {}, Password, EncrStrength, Level))
                ++here;
        }
        if (IncludeEmptyFolders && here == 0 && !joined.empty())
            here += AddFile(folder + "/", joined + "\\", {}, Password, EncrStrength, Level) ? 1 : 0;
        added += here;
        if (Recursive)
            for (const std::string &sub : folders)
                work.push_back(relative.empty() ? sub : relative + "/" + sub);
    }
    return added > 0;
}

std::uint32_t cZipArchive::CalcCrc32Array(const ByteArray &baData)
{
    return ~Crc32Update(0xFFFFFFFF, baData.data(), baData.size());
}

std::uint32_t cZipArchive::CalcCrc32Ptr(const void *lPtr, std::int32_t lSize, std::uint32_t lCrc32)
{
    return lSize > 0 ? Crc32Update(lCrc32, lPtr, static_cast<std::size_t>(lSize)) : lCrc32;
}

ByteArray cZipArchive::ToUtf8Array(const std::u16string &sText)
{
    ByteArray out(Utf8Kernel::MaxEncodedSize(sText.size()));
    out.resize(Utf8Kernel::Encode(sText.data(), sText.size(), reinterpret_cast<char *>(out.data())));
    return out;
}

std::u16string cZipArchive::FromUtf8Array(const ByteArray &baText)
{
    // Each byte of malformed UTF-8 becomes its own U+FFFD, as it becomes its
    // own "?" in the code page 437 form of a name.
    std::u16string out(baText.size(), u'\0');
    out.resize(Utf8Kernel::Decode(reinterpret_cast<const char *>(baText.data()), baText.size(), out.data(),
                                  Utf8Kernel::IllFormed::ReplaceEachByte));
    return out;
}
