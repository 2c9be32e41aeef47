// Whether the user running the program may write a file: the answer of
// faccessat(W_OK, AT_EACCESS), mostly without asking the kernel once more
// for each file of a folder.
#pragma once

#include "PosixFile.h"

#include <cstdint>
#include <sys/stat.h>
#include <unistd.h>

class WriteAccess
{
public:
    // The folder the following files are in (open as folderFd).
    void SetFolder(int folderFd);

    // Whether name in the folder may be written by the user, given the
    // status of the open file.
    bool Writable(const char *name, const struct stat &st, const PosixFile::MoreStatus &more) const;

private:
    // Whether the owner's bits decide for this file.
    bool decidedByBits(const struct stat &st, const PosixFile::MoreStatus &more) const;

    int m_folderFd = -1;
    bool m_trusted = false; // a local, writable file system whose bits tell
    std::uint64_t m_mountId = 0;
    uid_t m_user = ::geteuid();
};
