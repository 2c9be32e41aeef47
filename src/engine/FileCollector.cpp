// Builds the list of files a pass works on.
#include "FileCollector.h"

#include "BeneathOpener.h"
#include "FileNames.h"
#include "NativePath.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Entry
{
    QString name;
    std::size_t native; // where its bytes start in the folder's names, ended by a 0
    std::size_t size;
    ino_t inode;
    unsigned char type;
    bool ascii; // its name is ASCII only
};

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// Errors that mean the entry is not there to be read: it vanished, it is a
// link in the way, or a link leading nowhere.
bool gone(int error)
{
    return error == ENOENT || error == ENOTDIR || error == ELOOP;
}

// The folder's entries without "." and ".." that keep(name, type) wants,
// sorted by name ignoring case, their names as bytes one after the other in
// names; 0 or errno (the entries listed before a failure are kept). Read
// straight from the folder's descriptor (fd is fresh, so its listing starts
// at the first entry), and the names of the entries not wanted are never
// decoded nor sorted.
template <class Keep> int listFolder(int fd, const Keep &keep, std::vector<Entry> &out, std::string &names)
{
    alignas(8) char buffer[32768];
    int err = 0;
    for (;;) {
        const ssize_t got = ::getdents64(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            err = got < 0 ? errno : 0;
            break;
        }
        for (ssize_t at = 0; at < got;) {
            const auto *d = reinterpret_cast<const dirent64 *>(buffer + at);
            at += d->d_reclen;
            const char *n = d->d_name;
            if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
                continue;
            if (keep(n, d->d_type)) {
                const std::size_t size = std::strlen(n);
                const bool ascii =
                    std::all_of(n, n + size, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
                out.push_back({NativePath::Decode(n, static_cast<qsizetype>(size)), names.size(), size, d->d_ino,
                               d->d_type, ascii});
                names.append(n, size + 1);
            }
        }
    }
    std::sort(out.begin(), out.end(), [&names](const Entry &a, const Entry &b) {
        if (a.ascii && b.ascii) {
            // Two ASCII names compare as their bytes in lower case, then as
            // their bytes: what the general comparison gives, many times
            // faster in a folder of many files.
            const char *x = names.data() + a.native, *y = names.data() + b.native;
            const auto unequal =
                std::mismatch(x, x + std::min(a.size, b.size), y, [](char p, char q) { return lower(p) == lower(q); });
            if (unequal.first != x + std::min(a.size, b.size))
                return lower(*unequal.first) < lower(*unequal.second);
            return a.size != b.size ? a.size < b.size : std::memcmp(x, y, a.size) < 0;
        }
        const int c = a.name.compare(b.name, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    return err;
}

QString withoutSeparator(const QString &folder)
{
    return folder.size() > 1 ? folder.chopped(1) : folder;
}

void store(std::vector<FileCollector::Found> &files, int &nextIndex, FileCollector::Found entry)
{
    files.push_back(std::move(entry));
    ++nextIndex;
}

} // namespace

FileCollector::FileCollector(const int &abortFlag, std::function<void()> yield)
    : m_abortFlag(abortFlag), m_yield(std::move(yield))
{}

void FileCollector::ExcludeFolder(const QString &folder)
{
    struct stat st;
    m_excludes = !folder.isEmpty() && ::stat(NativePath::Encode(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode);
    if (m_excludes)
        m_excluded = {st.st_dev, st.st_ino};
}

bool FileCollector::matches(const QByteArray &native) const
{
    QString upper;
    for (const WildcardPattern &p : m_patterns) {
        const QByteArray &suffix = p.AsciiSuffix();
        if (!suffix.isEmpty()) {
            // Fewer bytes than the suffix means fewer characters; and an
            // ASCII tail upper-cases as ASCII: the bytes decide.
            if (native.size() < suffix.size())
                continue;
            const char *tail = native.constData() + native.size() - suffix.size();
            if (std::all_of(tail, tail + suffix.size(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
                if (std::equal(suffix.begin(), suffix.end(), tail,
                               [](char s, char c) { return s == (c >= 'a' && c <= 'z' ? char(c - 32) : c); }))
                    return true;
                continue;
            }
        }
        if (upper.isNull())
            upper = WildcardPattern::Upper(NativePath::Decode(native));
        if (p.MatchesUpper(upper))
            return true;
    }
    return false;
}

int FileCollector::CollectFiles(QString Folder, const QString &Filter, std::vector<Found> &Files, bool Recurse,
                                int &NextIndex)
{
    m_seen.Clear();
    m_refusals.clear();
    m_patterns.clear();
    for (const QString &part : Filter.split(QLatin1Char(';')))
        m_patterns.emplace_back(part);
    Folder = FileNames::AddBackslash(Folder);
    int fd;
    do
        fd = ::open(NativePath::Encode(Folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int err = errno;
        m_refusals.push_back({withoutSeparator(Folder), err, true});
        return 0;
    }
    return walk(fd, Folder, Files, Recurse, NextIndex);
}

int FileCollector::walk(int fd, const QString &folder, std::vector<Found> &files, bool recurse, int &nextIndex)
{
    if (m_yield)
        m_yield();
    struct stat self;
    const bool selfKnown = ::fstat(fd, &self) == 0;
    std::vector<Entry> entries;
    std::string names;
    // Folders and entries of unknown type are looked at; files only when
    // their names match.
    const auto wanted = [&](const char *name, unsigned char type) {
        if (type == DT_DIR || type == DT_UNKNOWN)
            return true;
        return (type == DT_REG || type == DT_LNK) && matches(QByteArray::fromRawData(name, qstrlen(name)));
    };
    if (const int err = listFolder(fd, wanted, entries, names))
        m_refusals.push_back({withoutSeparator(folder), err, true});

    // A regular file's entry names its inode, which saves a status call per
    // file; it is trusted once a status call has confirmed it in this folder
    // (some layered file systems give other numbers there).
    bool inodeProbed = false, inodeTrusted = false;
    int added = 0;
    for (const Entry &e : entries) {
        if (m_abortFlag == 1)
            break;
        const char *native = names.data() + e.native;
        const QByteArray bytes = QByteArray::fromRawData(native, static_cast<qsizetype>(e.size));
        struct stat st;
        unsigned char type = e.type;
        bool haveStatus = false;
        if (type == DT_UNKNOWN) {
            if (::fstatat(fd, native, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                const int err = errno;
                if (!gone(err) && (recurse || matches(bytes)))
                    m_refusals.push_back({folder + e.name, err, false});
                continue;
            }
            type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_FIFO;
            haveStatus = type == DT_REG;
        }

        if (type == DT_DIR) {
            if (!recurse) {
                store(files, nextIndex, {Marker + folder + e.name});
                ++added;
                continue;
            }
            const int sub = BeneathOpener::OpenFolderIn(fd, native);
            if (sub < 0) {
                if (!gone(-sub))
                    m_refusals.push_back({folder + e.name, -sub, true});
                continue;
            }
            struct stat subStatus;
            if (m_excludes && ::fstat(sub, &subStatus) == 0 &&
                Identity{subStatus.st_dev, subStatus.st_ino} == m_excluded) {
                ::close(sub);
                continue;
            }
            added += walk(sub, folder + e.name + QLatin1Char('/'), files, recurse, nextIndex);
            continue;
        }
        if ((type != DT_REG && type != DT_LNK) || (e.type == DT_UNKNOWN && !matches(bytes)))
            continue; // an entry of known type was matched when listed

        if (type == DT_LNK) {
            // A link counts only when it leads to a regular file: a link to a
            // folder could lead in a circle or out of the start folder.
            if (::fstatat(fd, native, &st, 0) != 0) {
                const int err = errno;
                if (!gone(err))
                    m_refusals.push_back({folder + e.name, err, false});
                continue;
            }
            if (!S_ISREG(st.st_mode))
                continue;
            haveStatus = true;
        } else if (!haveStatus && !(inodeTrusted && selfKnown)) {
            if (::fstatat(fd, native, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                const int err = errno;
                if (!gone(err))
                    m_refusals.push_back({folder + e.name, err, false});
                continue;
            }
            if (!S_ISREG(st.st_mode))
                continue; // replaced since the listing
            haveStatus = true;
            if (!inodeProbed) {
                inodeProbed = true;
                inodeTrusted = selfKnown && st.st_dev == self.st_dev && st.st_ino == e.inode;
            }
        }
        const Identity id = haveStatus ? Identity{st.st_dev, st.st_ino} : Identity{self.st_dev, e.inode};
        if (!m_seen.Insert(id.device, id.inode))
            continue; // another path to a file already collected
        store(files, nextIndex, {folder + e.name, id.device, id.inode, type == DT_REG});
        ++added;
    }
    ::close(fd);
    return added;
}
