// Opens folders below a start folder, and files in them, following no link.
#include "BeneathOpener.h"

#include "PosixFile.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#if __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#endif

namespace {

constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::string withoutTrailingSeparators(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

int openAsGiven(const std::string &folder)
{
    int fd;
    do
        fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd < 0 ? -errno : fd;
}

#if defined(SYS_openat2) && defined(RESOLVE_BENEATH)
// Set once the kernel (or a sandbox) has said it does not know openat2.
std::atomic<bool> noOpenat2{false};

// The descriptor, -errno, or -ENOSYS when openat2 cannot be used.
int openat2Beneath(int fd, const std::string &relative)
{
    if (noOpenat2.load(std::memory_order_relaxed))
        return -ENOSYS;
    open_how how{};
    how.flags = FolderFlags;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
    // EAGAIN: a rename elsewhere raced the lookup, which the kernel then
    // refuses to vouch for; a new lookup settles it.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const long r = ::syscall(SYS_openat2, fd, relative.c_str(), &how, sizeof how);
        if (r >= 0)
            return static_cast<int>(r);
        if (errno == EAGAIN || errno == EINTR)
            continue;
        // Sandboxes that filter the call answer EPERM rather than ENOSYS.
        if (errno == ENOSYS)
            noOpenat2.store(true, std::memory_order_relaxed);
        return errno == ENOSYS || errno == EPERM ? -ENOSYS : -errno;
    }
    return -EAGAIN;
}
#else
int openat2Beneath(int, const std::string &)
{
    return -ENOSYS;
}
#endif

int openStepByStep(int fd, const std::string &relative)
{
    int current = -1; // -1: still at fd, which is not ours to close
    std::string::size_type pos = 0;
    while (pos <= relative.size()) {
        std::string::size_type end = relative.find('/', pos);
        if (end == std::string::npos)
            end = relative.size();
        const std::string part = relative.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".")
            continue;
        const int next = part == ".." ? -EXDEV : BeneathOpener::OpenFolderIn(current < 0 ? fd : current, part.c_str());
        if (current >= 0)
            ::close(current);
        if (next < 0)
            return next;
        current = next;
    }
    if (current >= 0)
        return current;
    current = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    return current < 0 ? -errno : current;
}

} // namespace

BeneathOpener::~BeneathOpener()
{
    closeFolder();
    if (m_startFd >= 0)
        ::close(m_startFd);
}

void BeneathOpener::closeFolder()
{
    if (m_folderFd >= 0)
        ::close(m_folderFd);
    m_folderFd = -1;
    m_folder.clear();
}

int BeneathOpener::SetStart(const std::string &folder)
{
    closeFolder();
    if (m_startFd >= 0)
        ::close(m_startFd);
    m_startFd = -1;
    m_startError = 0;
    m_start = folder.empty() ? std::string() : withoutTrailingSeparators(folder);
    if (m_start.empty())
        return 0;
    const int fd = openAsGiven(m_start);
    if (fd < 0)
        m_startError = -fd;
    else
        m_startFd = fd;
    return m_startError;
}

int BeneathOpener::Enter(std::string_view given)
{
    while (given.size() > 1 && given.back() == '/')
        given.remove_suffix(1);
    // A pass enters the same folder for file after file: no copy for that.
    if (m_folderFd >= 0 && given == m_folder)
        return 0;
    const std::string folder(given);
    closeFolder();
    int fd;
    const bool below = !m_start.empty() && folder.compare(0, m_start.size(), m_start) == 0 &&
                       (folder.size() == m_start.size() || folder[m_start.size()] == '/' || m_start == "/");
    if (!below) {
        fd = openAsGiven(folder);
    } else if (m_startFd < 0) {
        fd = -m_startError;
    } else {
        std::string::size_type from = m_start.size();
        while (from < folder.size() && folder[from] == '/')
            ++from;
        fd = OpenFolderBeneath(m_startFd, folder.substr(from));
    }
    if (fd < 0)
        return -fd;
    m_folderFd = fd;
    m_folder = folder;
    ++m_opened;
    return 0;
}

int BeneathOpener::OpenFile(const char *name, bool followLink, struct stat &st, PosixFile::MoreStatus *more) const
{
    if (m_folderFd < 0)
        return -EBADF;
    return PosixFile::OpenRegularAt(m_folderFd, name, O_RDONLY | (followLink ? 0 : O_NOFOLLOW), &st, more);
}

int BeneathOpener::OpenFolderIn(int parentFd, const char *name)
{
    int fd;
    do
        fd = ::openat(parentFd, name, FolderFlags);
    while (fd < 0 && errno == EINTR);
    return fd < 0 ? -errno : fd;
}

int BeneathOpener::OpenFolderBeneath(int fd, const std::string &relative, Method method)
{
    if (method == Method::Best) {
        const int r = openat2Beneath(fd, relative.empty() ? std::string(".") : relative);
        if (r != -ENOSYS)
            return r;
    }
    return openStepByStep(fd, relative);
}
