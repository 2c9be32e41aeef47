// Builds the list of files a pass works on: every regular file under a folder
// whose name matches the filter, optionally in all subfolders.
#pragma once

#include "FileIdentitySet.h"
#include "WildcardPattern.h"

#include <QString>
#include <functional>
#include <sys/types.h>
#include <vector>

class FileCollector
{
public:
    struct Found
    {
        QString path; // a file, or Marker + the path of a subfolder
        // The file's identity, and whether path is the file itself rather
        // than a link to it: the pass checks it still finds that file there.
        dev_t device = 0;
        ino_t inode = 0;
        bool plainFile = false;
    };

    // What the walk could not take in: a folder it could not open or list,
    // or an entry the system would not describe.
    struct Refusal
    {
        QString path;
        int error; // errno
        bool folder;
    };

    // abortFlag is polled before every directory entry (the walk stops when
    // it is 1); yield runs once per folder so a window can react meanwhile.
    FileCollector(const int &abortFlag, std::function<void()> yield);

    // A folder below the start folder whose files are never collected, in
    // whatever spelling it is given (it is known by its identity). A folder
    // that does not exist excludes nothing.
    void ExcludeFolder(const QString &folder);

    // Adds the matches in Folder (and below, with Recurse) to Files at
    // NextIndex and returns how many entries it added. Without Recurse each
    // subfolder adds a marker entry ">>" + folder + name instead. Entries of
    // each folder come sorted by name, case-insensitively; symbolic links to
    // folders are never followed, nothing but regular files (or links to
    // them) is collected, and a file reached by several paths only by the
    // first. The start folder is opened as given, every folder below it
    // from its parent without following a link.
    int CollectFiles(QString Folder, const QString &Filter, std::vector<Found> &Files, bool Recurse, int &NextIndex);

    // What the last CollectFiles could not take in, in walk order.
    const std::vector<Refusal> &Refusals() const { return m_refusals; }

    static constexpr QLatin1String Marker{">>"};

private:
    struct Identity
    {
        dev_t device;
        ino_t inode;
        bool operator==(const Identity &o) const { return device == o.device && inode == o.inode; }
    };
    // The folder fd (closed here) and what lies below it.
    int walk(int fd, const QString &folder, std::vector<Found> &files, bool recurse, int &nextIndex);
    bool matches(const QByteArray &native) const;

    const int &m_abortFlag;
    std::function<void()> m_yield;
    bool m_excludes = false;
    Identity m_excluded{};
    FileIdentitySet m_seen;
    std::vector<Refusal> m_refusals;
    std::vector<WildcardPattern> m_patterns;
};
