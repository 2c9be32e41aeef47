// Writes a list of byte sources as one ZIP archive (classic layout, no ZIP64),
// deflated by the archive's own compressor or stored.
#include "cZipArchive.h"

#include "Cp437.h"
#include "Crc32.h"
#include "DeflateCompressor.h"
#include "DeflateConstants.h"
#include "Utf8Kernel.h"
#include "ZipError.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <limits>
#include <sys/stat.h>

namespace {

constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint16_t kVersionMadeBy = 45; // 4.5, host 0 (MS-DOS attributes)
constexpr std::uint16_t kVersionStored = 10;
constexpr std::uint16_t kVersionDeflated = 20;
constexpr std::uint32_t kFlagUtf8 = 0x0800;
constexpr std::uint32_t kAttrDirectory = 16;
constexpr std::uint32_t kAttrVolume = 8;

const std::string kOverflow = "Overflow";

// Sizes, offsets and counts are 32-bit signed, lengths and counts in the
// headers 16-bit signed: anything larger fails instead of wrapping.
std::int32_t to32(std::int64_t v, const char *source)
{
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        throw ZipError(kOverflow, source);
    return static_cast<std::int32_t>(v);
}

std::uint16_t to16(std::int64_t v, const char *source)
{
    if (v < 0 || v > 32767)
        throw ZipError(kOverflow, source);
    return static_cast<std::uint16_t>(v);
}

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

struct DosDateTime
{
    std::uint16_t date;
    std::uint16_t time;
};

// MS-DOS date and time of a local time, unchanged by any time zone; years
// outside 1980..2107 cannot be written and give 1 January 1980.
DosDateTime toDos(const std::tm &t)
{
    const int year = t.tm_year + 1900;
    if (year < 1980 || year > 2107)
        return {static_cast<std::uint16_t>((1 << 5) | 1), 0};
    return {static_cast<std::uint16_t>(((year - 1980) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday),
            static_cast<std::uint16_t>((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2))};
}

std::string zipName(const std::string &fileName)
{
    std::string name = fileName;
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

std::uint32_t nameFlags(const std::string &fileName, int useUtf8)
{
    if (useUtf8 == -2) {
        std::string oem;
        return Cp437::FromUtf8(fileName, oem) ? 0 : kFlagUtf8;
    }
    return useUtf8 == -1 ? kFlagUtf8 : 0;
}

std::string textBytes(const std::string &utf8, std::uint32_t flags)
{
    if (flags & kFlagUtf8)
        return utf8;
    std::string oem;
    Cp437::FromUtf8(utf8, oem);
    return oem;
}

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

// What one CompressArchive pass holds; released however the pass ends.
struct cZipArchive::Pass
{
    VfsHandle target;
    VfsHandle source;
    DeflateContext *context = nullptr;
    DeflateBlockDescription block;
    ByteArray a = ByteArray(kDeflateChunk), b = ByteArray(kDeflateChunk);
    std::uint16_t centralVersion = kVersionStored;
    int useUtf8 = -2;

    void releaseContext()
    {
        if (context)
            DeflateFree(context);
        context = nullptr;
    }
    ~Pass() { releaseContext(); }
};

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

bool cZipArchive::AddFile(const VfsItem &File, const std::string &Name, const std::string &Comment,
                          const std::string &, int, int Level)
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
        const bool folder = !e.info.FileName.empty() && (e.info.FileName.back() == '\\' || e.info.FileName.back() == '/');
        e.info.Size = folder ? 0 : to32(source.Size(), "AddFile");
        e.info.Attributes = folder ? kAttrDirectory : source.Attributes();
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

void cZipArchive::writeEntry(Pass &pass, ArchiveEntry &e, int level)
{
    VfsHandle &target = pass.target;
    pass.source.Open(e.Data);
    const DosDateTime dos = toDos(e.info.LastModified);
    e.info.Flags = nameFlags(e.info.FileName, pass.useUtf8);
    const std::string name = textBytes(zipName(e.info.FileName), e.info.Flags);
    const std::uint16_t nameLength = to16(static_cast<std::int64_t>(name.size()), "CompressArchive");

    std::uint16_t version = kVersionDeflated;
    std::uint32_t method = 8;
    std::uint32_t crc = 0xFFFFFFFF;
    std::int64_t size = 0, compressed = 0;
    auto localHeader = [&](std::uint32_t crcValue) {
        std::string h;
        put32(h, kLocalSignature);
        put16(h, version);
        put16(h, e.info.Flags);
        put16(h, method);
        put16(h, dos.time);
        put16(h, dos.date);
        put32(h, crcValue);
        put32(h, static_cast<std::uint32_t>(compressed));
        put32(h, static_cast<std::uint32_t>(size));
        put16(h, nameLength);
        put16(h, static_cast<std::uint32_t>(e.Extra.size()));
        h += name;
        h.append(e.Extra.begin(), e.Extra.end());
        return h;
    };
    // The provisional header says CRC 0xFFFFFFFF and sizes 0; it is written
    // again in place once the entry is done, so no data descriptor is needed.
    const std::string provisional = localHeader(0xFFFFFFFF);
    target.Write(provisional.data(), static_cast<std::int32_t>(provisional.size()));
    const std::int64_t dataStart = target.Seek(0, 1);

    const std::int32_t recorded = e.info.Size;
    if (e.info.Attributes & (kAttrDirectory | kAttrVolume)) {
        // A folder has no data: stored, as unpackers expect for folders.
        method = 0;
        version = kVersionStored;
    } else {
        bool cancel = false;
        if (level > 0) {
            pass.context = DeflateInit();
            if (!pass.context)
                throw ZipError("Cannot init deflate compressor", "DeflateInit");
            const DeflateLevel &tuning = kDeflateLevels[level];
            std::int32_t inA = pass.source.Read(pass.a.data(), kDeflateChunk);
            for (;;) {
                std::swap(pass.a, pass.b);
                const std::int32_t inB = inA;
                inA = pass.source.Read(pass.a.data(), kDeflateChunk);
                pass.block.input = pass.b.data();
                pass.block.inputLength = inB;
                pass.block.final = inA == 0 ? 1 : 0;
                pass.block.greedy = tuning.greedy ? 1 : 0;
                pass.block.candidateLimit = tuning.candidateLimit;
                pass.block.narrowingLength = tuning.narrowingLength;
                if (!DeflateBlock(pass.context, pass.block, crc, level) || pass.block.output.empty())
                    throw ZipError("Error compressing", "DeflateBlock");
                target.Write(pass.block.output.data(), static_cast<std::int32_t>(pass.block.output.size()));
                size += inB;
                compressed += static_cast<std::int64_t>(pass.block.output.size());
                e.info.Size = to32(size, "CompressArchive");
                e.info.CompressedSize = to32(compressed, "CompressArchive");
                if (Progress)
                    Progress(m_currentIndex, size, recorded, cancel);
                if (cancel) {
                    m_cancel = true;
                    throw ZipError("User cancelled", "Progress");
                }
                if (inA == 0)
                    break;
            }
            pass.releaseContext();
            if (size == 0 && compressed == 0) {
                method = 0;
                version = kVersionStored;
            }
        }
        if (level == 0 || compressed > size) {
            // Stored: the data overwrites the deflated bytes from the data
            // start on; whatever lies beyond is overwritten by what follows
            // or cut off at the end of the archive.
            pass.source.Seek(0, 0);
            target.Seek(dataStart, 0);
            method = 0;
            version = kVersionStored;
            crc = 0xFFFFFFFF;
            size = compressed = 0;
            for (;;) {
                if (Progress)
                    Progress(m_currentIndex, size, recorded, cancel);
                if (cancel) {
                    m_cancel = true;
                    throw ZipError("User cancelled", "Progress");
                }
                const std::int32_t n = pass.source.Read(pass.a.data(), kDeflateChunk);
                if (n <= 0)
                    break;
                crc = Crc32Update(crc, pass.a.data(), static_cast<std::size_t>(n));
                target.Write(pass.a.data(), n);
                size += n;
                compressed += n;
                e.info.Size = to32(size, "CompressArchive");
                e.info.CompressedSize = to32(compressed, "CompressArchive");
            }
        }
    }

    pass.source.Close();
    e.info.Crc32 = ~crc; // 0 for no data: the register was never advanced
    e.info.Size = to32(size, "CompressArchive");
    e.info.CompressedSize = to32(compressed, "CompressArchive");
    e.info.Method = method;
    pass.centralVersion = std::max(pass.centralVersion, version);
    const std::int64_t end = target.Seek(0, 1);
    to32(end, "CompressArchive");
    target.Seek(e.info.Offset, 0);
    const std::string final = localHeader(e.info.Crc32);
    target.Write(final.data(), static_cast<std::int32_t>(final.size()));
    target.Seek(end, 0);
}

void cZipArchive::writeCentralDirectory(Pass &pass, const std::string &comment)
{
    VfsHandle &target = pass.target;
    const std::int64_t directoryOffset = target.Seek(0, 1);
    std::int64_t written = 0;
    for (const ArchiveEntry &e : m_entries) {
        if (e.info.Offset < 0)
            continue;
        const DosDateTime dos = toDos(e.info.LastModified);
        const std::string name = textBytes(zipName(e.info.FileName), e.info.Flags);
        const std::string entryComment = textBytes(e.info.Comment, e.info.Flags);
        std::string h;
        put32(h, kCentralSignature);
        put16(h, kVersionMadeBy);
        put16(h, pass.centralVersion);
        put16(h, e.info.Flags);
        put16(h, e.info.Method);
        put16(h, dos.time);
        put16(h, dos.date);
        put32(h, e.info.Crc32);
        put32(h, static_cast<std::uint32_t>(e.info.CompressedSize));
        put32(h, static_cast<std::uint32_t>(e.info.Size));
        put16(h, to16(static_cast<std::int64_t>(name.size()), "CompressArchive"));
        put16(h, to16(static_cast<std::int64_t>(e.Extra.size()), "CompressArchive"));
        put16(h, to16(static_cast<std::int64_t>(entryComment.size()), "CompressArchive"));
        put16(h, 0); // disk number start
        put16(h, 0); // internal attributes
        put32(h, e.info.Attributes);
        put32(h, static_cast<std::uint32_t>(e.info.Offset));
        h += name;
        h.append(e.Extra.begin(), e.Extra.end());
        h += entryComment;
        target.Write(h.data(), static_cast<std::int32_t>(h.size()));
        ++written;
    }
    if (written == 0)
        throw ZipError("Empty archive", "CompressArchive");
    const std::int64_t directoryEnd = target.Seek(0, 1);
    std::string oemComment;
    Cp437::FromUtf8(comment, oemComment);
    std::string r;
    put32(r, kEndSignature);
    put16(r, 0);
    put16(r, 0);
    put16(r, to16(written, "CompressArchive"));
    put16(r, to16(written, "CompressArchive"));
    put32(r, static_cast<std::uint32_t>(to32(directoryEnd - directoryOffset, "CompressArchive")));
    put32(r, static_cast<std::uint32_t>(to32(directoryOffset, "CompressArchive")));
    put16(r, to16(static_cast<std::int64_t>(oemComment.size()), "CompressArchive"));
    r += oemComment;
    target.Write(r.data(), static_cast<std::int32_t>(r.size()));
    target.SetEof("[output_archive]");
}

bool cZipArchive::CompressArchive(const VfsItem &ArchiveFile, const std::string &Comment, int Level, int UseUtf8)
{
    m_lastError.clear();
    m_cancel = false;
    m_currentIndex = -1;
    bool ok = false;
    try {
        Pass pass;
        pass.useUtf8 = UseUtf8;
        pass.target.Create(ArchiveFile);
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
            e.info.Offset = to32(pass.target.Seek(0, 1), "CompressArchive");
            try {
                writeEntry(pass, e, level);
            } catch (const std::bad_alloc &) {
                throw;
            } catch (const std::exception &failure) {
                const auto *err = dynamic_cast<const ZipError *>(&failure);
                if (m_cancel) { // a handler cancelled through Progress
                    m_lastError = failure.what();
                    m_currentIndex = -1;
                    return false;
                }
                // Only this entry is lost: the next one overwrites its
                // partial data, and the pass goes on.
                if (raiseError("CompressArchive", failure.what(), err ? err->Source : std::string("[stream]"))) {
                    m_currentIndex = -1;
                    return false;
                }
                pass.releaseContext();
                pass.source.Close();
                pass.target.Seek(e.info.Offset, 0);
                e.info.Offset = -1;
            }
        }
        m_currentIndex = -1;
        const std::string keptError = m_lastError;
        writeCentralDirectory(pass, Comment);
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
