// Writes to one file that run out of space as on a full disk, through the
// file layer's write hook: no root and no small file system needed.
#pragma once

#include "PosixFile.h"

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

class FullDisk
{
public:
    // From now on each write(2) to the file at path takes at most 4 bytes;
    // failCount calls from the failFrom-th (0-based) on fail with ENOSPC.
    FullDisk(const std::string &path, int failFrom, int failCount)
    {
        struct stat st
        {
        };
        ::stat(path.c_str(), &st);
        s_file = st;
        s_calls = 0;
        s_failFrom = failFrom;
        s_failCount = failCount;
        s_saved = PosixFile::WriteFunction;
        PosixFile::WriteFunction = &Write;
    }
    ~FullDisk() { PosixFile::WriteFunction = s_saved; }
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

private:
    static ssize_t Write(int fd, const void *data, std::size_t size)
    {
        struct stat st
        {
        };
        if (::fstat(fd, &st) != 0 || st.st_dev != s_file.st_dev || st.st_ino != s_file.st_ino)
            return s_saved(fd, data, size);
        const int call = s_calls++;
        if (call >= s_failFrom && call - s_failFrom < s_failCount) {
            errno = ENOSPC;
            return -1;
        }
        return s_saved(fd, data, size < 4 ? size : 4);
    }

    static inline ssize_t (*s_saved)(int, const void *, std::size_t) = nullptr;
    static inline struct stat s_file;
    static inline int s_calls, s_failFrom, s_failCount;
};
