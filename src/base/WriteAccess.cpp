// Whether the user running the program may write a file.
//
// For the owner of a file, the kernel's write permission is the owner's write
// bit (access control lists and groups only speak for others), unless the
// file is immutable or its mount or file system is read-only. On the local
// file systems below those are all that the kernel checks besides security
// modules, so for an owner's file with the bit set the status taken when it
// was opened answers; the folder's mount is looked at once. Everything else,
// and every file system whose server may decide otherwise, asks the kernel.
#include "WriteAccess.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

bool localFileSystem(long type)
{
    switch (static_cast<unsigned long>(type)) {
    case EXT4_SUPER_MAGIC: // also ext2 and ext3
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case F2FS_SUPER_MAGIC:
        return true;
    default:
        return false;
    }
}

} // namespace

void WriteAccess::SetFolder(int folderFd)
{
    m_folderFd = folderFd;
    m_trusted = false;
    struct statfs fs;
    struct statx x;
    if (folderFd < 0 || ::fstatfs(folderFd, &fs) != 0 || !localFileSystem(fs.f_type) || (fs.f_flags & ST_RDONLY) ||
        ::statx(folderFd, "", AT_EMPTY_PATH, STATX_MNT_ID, &x) != 0 || !(x.stx_mask & STATX_MNT_ID))
        return;
    m_mountId = x.stx_mnt_id;
    m_trusted = true;
}

bool WriteAccess::decidedByBits(const struct stat &st, const PosixFile::MoreStatus &more) const
{
    return m_trusted && more.mountKnown && more.mountId == m_mountId && (more.attributesKnown & STATX_ATTR_IMMUTABLE) &&
           !(more.attributes & STATX_ATTR_IMMUTABLE) && st.st_uid == m_user && (st.st_mode & S_IWUSR);
}

bool WriteAccess::Writable(const char *name, const struct stat &st, const PosixFile::MoreStatus &more) const
{
    if (decidedByBits(st, more))
        return true;
    return ::faccessat(m_folderFd, name, W_OK, AT_EACCESS) == 0;
}
