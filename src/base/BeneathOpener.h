// Opens the folders below a start folder, and the files in them, without ever
// following a symbolic link that someone put in the way.
#pragma once

#include "PosixFile.h"

#include <string>
#include <string_view>
#include <sys/stat.h>

class BeneathOpener
{
public:
    BeneathOpener() = default;
    ~BeneathOpener();
    BeneathOpener(const BeneathOpener &) = delete;
    BeneathOpener &operator=(const BeneathOpener &) = delete;

    // The start folder, opened as given: links in its own path are the
    // user's choice. 0 or errno; after a failure every folder below it
    // fails with the same errno.
    int SetStart(const std::string &folder);

    // Makes folder the current one; 0 or errno. A folder below the start
    // folder is opened from it without following any link (ELOOP or ENOTDIR
    // when one is in the way); any other folder is opened as given. The
    // current folder stays open, so the files of one folder cost one open.
    int Enter(std::string_view folder);
    // Counts the folders opened: a change means another current folder.
    unsigned long long FoldersOpened() const { return m_opened; }
    // The current folder's descriptor, or -1.
    int FolderFd() const { return m_folderFd; }

    // Opens name in the current folder for reading, but only a regular file:
    // a FIFO or device must never block or be read as text. Without
    // followLink a link in name's place gives ELOOP. The descriptor, or
    // -errno (EISDIR for a folder, EINVAL for anything else that is not a
    // regular file); st receives the file's status.
    int OpenFile(const char *name, bool followLink, struct stat &st, PosixFile::MoreStatus *more = nullptr) const;

    // The subfolder name of the folder parentFd, never through a link. The
    // descriptor, or -errno.
    static int OpenFolderIn(int parentFd, const char *name);

    // relative (a path without "..") below the folder fd, following no link
    // on the way: with openat2 where the system has it, else one component
    // at a time. The descriptor, or -errno.
    enum class Method { Best, StepByStep };
    static int OpenFolderBeneath(int fd, const std::string &relative, Method method = Method::Best);

private:
    void closeFolder();

    std::string m_start; // without trailing separators ("/" stays)
    int m_startFd = -1;
    int m_startError = 0;
    std::string m_folder;
    int m_folderFd = -1;
    unsigned long long m_opened = 0;
};
