// Builds the list of files a pass works on.
#include "FileCollector.h"

#include "FileNames.h"
#include "NativePath.h"
#include "WildcardPattern.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace {

enum class EntryKind { File, Folder, Other };

struct Entry
{
    QString name;
    EntryKind kind;
};

EntryKind kindOf(const QByteArray &path, unsigned char dtype)
{
    struct stat st;
    if (dtype == DT_REG)
        return EntryKind::File;
    if (dtype == DT_DIR)
        return EntryKind::Folder;
    if (dtype != DT_LNK && dtype != DT_UNKNOWN)
        return EntryKind::Other;
    if (::lstat(path.constData(), &st) != 0)
        return EntryKind::Other;
    if (S_ISREG(st.st_mode))
        return EntryKind::File;
    if (S_ISDIR(st.st_mode))
        return EntryKind::Folder;
    // A link counts only when it leads to a regular file: a link to a
    // folder could lead in a circle or out of the start folder.
    if (S_ISLNK(st.st_mode) && ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode))
        return EntryKind::File;
    return EntryKind::Other;
}

// The folder's entries without "." and "..", sorted by name ignoring case.
bool listFolder(const QString &folder, std::vector<Entry> &out)
{
    const QByteArray native = NativePath::Encode(folder);
    DIR *dir = ::opendir(native.constData());
    if (!dir)
        return false;
    while (const dirent *d = ::readdir(dir)) {
        const char *n = d->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        out.push_back({NativePath::Decode(n), kindOf(native + n, d->d_type)});
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end(), [](const Entry &a, const Entry &b) {
        const int c = a.name.compare(b.name, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    return true;
}

void store(QStringList &files, int &nextIndex, QString entry)
{
    files.append(std::move(entry)); // grows geometrically: no copy per entry

    ++nextIndex;
}

} // namespace

FileCollector::FileCollector(const int &abortFlag, std::function<void()> yield)
    : m_abortFlag(abortFlag), m_yield(std::move(yield))
{}

int FileCollector::CollectFiles(QString Folder, const QString &Filter, QStringList &Files, bool Recurse, int &NextIndex)
{
    if (m_yield)
        m_yield();
    Folder = FileNames::AddBackslash(Folder);
    std::vector<Entry> entries;
    if (!listFolder(Folder, entries))
        return 0;

    std::vector<WildcardPattern> patterns;
    for (const QString &part : Filter.split(QLatin1Char(';')))
        patterns.emplace_back(part);

    int added = 0;
    for (const Entry &e : entries) {
        if (m_abortFlag == 1)
            break;
        if (e.kind == EntryKind::Folder) {
            if (Recurse) {
                added += CollectFiles(Folder + e.name, Filter, Files, Recurse, NextIndex);
            } else {
                store(Files, NextIndex, Marker + Folder + e.name);
                ++added;
            }
        } else if (e.kind == EntryKind::File) {
            const QString upper = e.name.toUpper();
            const bool match = std::any_of(patterns.begin(), patterns.end(),
                                           [&](const WildcardPattern &p) { return p.MatchesUpper(upper); });
            if (match) {
                store(Files, NextIndex, Folder + e.name);
                ++added;
            }
        }
    }
    return added;
}
