// Whole-file reads, writes and atomic replaces on native byte paths, with errno results.
#include "PosixFile.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

using Step = PosixFile::ReplaceResult::Step;

// A sizer that cannot make room (it threw or gave no memory) fails the read
// instead of the program.
char *sizeBuffer(PosixFile::Sizer sizer, void *buffer, std::size_t size)
{
    try {
        return sizer(buffer, size);
    } catch (const std::exception &) {
        return nullptr;
    }
}

int readOpenFile(int fd, const struct stat &st, PosixFile::Sizer sizer, void *buffer)
{
    if (static_cast<std::uintmax_t>(st.st_size) > static_cast<std::uintmax_t>(PTRDIFF_MAX))
        return EFBIG;
    const auto size = static_cast<std::size_t>(st.st_size);
    char *data = sizeBuffer(sizer, buffer, size);
    if (!data && size > 0)
        return ENOMEM;
    const ssize_t got = PosixFile::ReadFull(fd, data, size);
    if (got < 0)
        return static_cast<int>(-got);
    // The file shrank since the size query: what is left of it is the content.
    if (static_cast<std::size_t>(got) < size && !sizeBuffer(sizer, buffer, static_cast<std::size_t>(got)) && got > 0)
        return ENOMEM;
    return 0;
}

PosixFile::ReplaceResult replaceInPlace(const std::string &target, const void *data, std::size_t size)
{
    const int fd = PosixFile::OpenRegular(target.c_str(), O_WRONLY);
    if (fd < 0)
        return {Step::Write, -fd};
    // Write first and cut the tail afterwards, so a failure while writing
    // leaves as much of the file as possible.
    int err = PosixFile::WriteAll(fd, data, size);
    if (err == 0 && ::ftruncate(fd, static_cast<off_t>(size)) != 0)
        err = errno;
    if (err == 0 && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err != 0)
        return {Step::Write, err};
    return {};
}

} // namespace

int PosixFile::OpenRegular(const char *path, int flags, struct stat *st)
{
    int fd;
    do
        fd = ::open(path, flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -errno;
    struct stat own;
    struct stat &status = st ? *st : own;
    int err = 0;
    if (::fstat(fd, &status) != 0)
        err = errno;
    else if (!S_ISREG(status.st_mode))
        err = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
    if (err == 0)
        return fd;
    ::close(fd);
    return -err;
}

ssize_t PosixFile::ReadFull(int fd, void *data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, static_cast<char *>(data) + done, size - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -errno;
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

int PosixFile::WriteAll(int fd, const void *data, std::size_t size)
{
    const char *from = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t put = ::write(fd, from, size);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            return errno;
        if (put == 0)
            return ENOSPC;
        from += put;
        size -= static_cast<std::size_t>(put);
    }
    return 0;
}

int PosixFile::ReadAll(const char *path, Sizer sizer, void *buffer)
{
    struct stat st;
    const int fd = OpenRegular(path, O_RDONLY, &st);
    int err = fd < 0 ? -fd : 0;
    if (fd >= 0) {
        err = readOpenFile(fd, st, sizer, buffer);
        ::close(fd);
    }
    if (err != 0)
        sizeBuffer(sizer, buffer, 0);
    return err;
}

int PosixFile::WriteInPlace(const char *path, const void *data, std::size_t size)
{
    const int fd = OpenRegular(path, O_WRONLY | O_CREAT | O_TRUNC);
    if (fd < 0)
        return -fd;
    int err = WriteAll(fd, data, size);
    if (::close(fd) != 0 && err == 0)
        err = errno;
    return err;
}

PosixFile::ReplaceResult PosixFile::Replace(const char *path, const void *data, std::size_t size,
                                            const ReplaceOptions &options)
{
    // Through a symbolic link to the file it names: the link stays a link.
    std::string target;
    bool exists = true;
    if (char *resolved = ::realpath(path, nullptr)) {
        target = resolved;
        std::free(resolved);
    } else {
        const int err = errno;
        // Only a name that is not there at all becomes a new file: a link
        // that leads nowhere is refused rather than replaced by a file.
        struct stat link;
        if (err != ENOENT || !options.newFileMode || ::lstat(path, &link) == 0)
            return {Step::Resolve, err};
        target = path;
        exists = false;
    }

    if (options.check) {
        if (const int err = options.check(target.c_str()))
            return {Step::Check, err};
    }

    struct stat st
    {
    };
    if (exists) {
        if (::stat(target.c_str(), &st) != 0)
            return {Step::Write, errno};
        if (!S_ISREG(st.st_mode))
            return {Step::Write, S_ISDIR(st.st_mode) ? EISDIR : EINVAL};
        if (options.onlyWritable && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            return {Step::Write, errno};
    }

    const std::string::size_type slash = target.rfind('/');
    std::string temp = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + ".velmora-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (exists && options.inPlaceFallback && (err == EACCES || err == EPERM || err == EROFS))
            return replaceInPlace(target, data, size);
        return {Step::Write, err};
    }
    int err = WriteAll(fd, data, size);
    // Keeping the owner needs privileges; without them the new file is ours,
    // with the same permission bits. The owner goes first because a change
    // of owner clears the set-user-ID and set-group-ID bits.
    if (err == 0 && exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
        if (::fchown(fd, st.st_uid, st.st_gid) != 0)
            (void)!::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
    }
    const mode_t mode = exists ? st.st_mode & 07777 : *options.newFileMode;
    if (err == 0 && ::fchmod(fd, mode) != 0)
        err = errno;
    if (err == 0 && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && ::rename(temp.c_str(), target.c_str()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        return {Step::Write, err};
    }
    return {};
}

int PosixFile::CheckFolder(const char *folder)
{
    std::string probe = folder;
    if (!probe.empty() && probe.back() != '/')
        probe += '/';
    probe += ".velmora-probe-XXXXXX";
    const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    ::close(fd);
    ::unlink(probe.c_str());
    return 0;
}

mode_t PosixFile::Umask()
{
    // umask() can only be read by setting it, which would briefly change the
    // mask for files other threads create; the kernel also reports it here.
    mode_t mask = 022;
    if (std::FILE *status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned value = 0;
        while (std::fgets(line, sizeof line, status)) {
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value & 0777);
                break;
            }
        }
        std::fclose(status);
    }
    return mask;
}
