// Replaces a file's content without ever leaving it missing, empty or
// half-written, and only when nobody changed it since it was read.
#include "SafeFileWriter.h"

#include "cFileResder.h"

#include "NativePath.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

SafeFileWriter::Result systemReason(int err)
{
    return {SafeFileWriter::Status::Failed, QString::fromLocal8Bit(std::strerror(err))};
}

bool writeAll(int fd, const QByteArray &bytes, int &err)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            err = put < 0 ? errno : ENOSPC;
            return false;
        }
        done += put;
    }
    return true;
}

SafeFileWriter::Result replaceInPlace(const QByteArray &target, const QByteArray &newBytes)
{
    const int fd = ::open(target.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return systemReason(errno);
    int err = 0;
    // Write first and cut the tail afterwards, so a failure while writing
    // leaves as much of the file as possible.
    bool ok = writeAll(fd, newBytes, err);
    if (ok && ::ftruncate(fd, static_cast<off_t>(newBytes.size())) != 0) {
        ok = false;
        err = errno;
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        err = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    return ok ? SafeFileWriter::Result{} : systemReason(err);
}

} // namespace

SafeFileWriter::Result SafeFileWriter::Replace(const QString &path, const QByteArray &expectedBytes, const QByteArray &newBytes)
{
    const QByteArray native = NativePath::Encode(path);
    // Through a symbolic link to the file it names: the link stays a link.
    char resolved[PATH_MAX];
    if (!::realpath(native.constData(), resolved))
        return {Status::Gone, {}};
    const QByteArray target(resolved);

    QByteArray current;
    if (!cFileResder::ReadAllBytes(NativePath::Decode(target), current) || current != expectedBytes)
        return {Status::ChangedOnDisk, {}};

    struct stat st;
    if (::stat(target.constData(), &st) != 0)
        return systemReason(errno);

    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = target.left(slash + 1);
    QByteArray temp = folder + ".velmora-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        if (errno == EACCES || errno == EPERM || errno == EROFS)
            return replaceInPlace(target, newBytes);
        return systemReason(errno);
    }
    int err = 0;
    bool ok = writeAll(fd, newBytes, err);
    if (ok && ::fchmod(fd, st.st_mode & 07777) != 0) {
        ok = false;
        err = errno;
    }
    if (ok && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
        // Keeping the owner needs privileges; without them the new file is
        // ours, with the same permission bits.
        if (::fchown(fd, st.st_uid, st.st_gid) != 0)
            (void)!::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        err = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.constData(), target.constData()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.constData());
        return systemReason(err);
    }
    return {};
}
