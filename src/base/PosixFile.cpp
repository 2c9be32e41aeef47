// Whole-file reads, writes and atomic replaces on native byte paths, with errno results.
#include "PosixFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <fcntl.h>
#include <string>
#include <sys/random.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

// Reads until size bytes are in or the file ends, from offset on (pread) or,
// with a negative offset, from where the file stands; interrupted reads are
// resumed. The count read, or -errno.
ssize_t readFull(int fd, char *data, std::size_t size, off_t offset)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = offset < 0 ? ::read(fd, data + done, size - done)
                                       : ::pread(fd, data + done, size - done, offset + static_cast<off_t>(done));
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

// fstat that also fills more, from one statx query.
int statusOf(int fd, struct stat &st, PosixFile::MoreStatus *more)
{
    if (!more)
        return ::fstat(fd, &st) == 0 ? 0 : errno;
    struct statx x;
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_MNT_ID, &x) != 0)
        return errno;
    st = {};
    st.st_dev = makedev(x.stx_dev_major, x.stx_dev_minor);
    st.st_ino = x.stx_ino;
    st.st_mode = x.stx_mode;
    st.st_nlink = x.stx_nlink;
    st.st_uid = x.stx_uid;
    st.st_gid = x.stx_gid;
    st.st_rdev = makedev(x.stx_rdev_major, x.stx_rdev_minor);
    st.st_size = static_cast<off_t>(x.stx_size);
    st.st_blksize = static_cast<blksize_t>(x.stx_blksize);
    st.st_blocks = static_cast<blkcnt_t>(x.stx_blocks);
    st.st_atim = {x.stx_atime.tv_sec, x.stx_atime.tv_nsec};
    st.st_mtim = {x.stx_mtime.tv_sec, x.stx_mtime.tv_nsec};
    st.st_ctim = {x.stx_ctime.tv_sec, x.stx_ctime.tv_nsec};
    more->attributes = x.stx_attributes;
    more->attributesKnown = x.stx_attributes_mask;
    more->mountKnown = (x.stx_mask & STATX_MNT_ID) != 0;
    more->mountId = more->mountKnown ? x.stx_mnt_id : 0;
    return 0;
}

int openRegularAt(int folder, const char *name, int flags, struct stat *st, PosixFile::MoreStatus *more)
{
    int fd;
    do
        fd = ::openat(folder, name, flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -errno;
    struct stat own;
    struct stat &status = st ? *st : own;
    int err = statusOf(fd, status, more);
    if (err == 0 && !S_ISREG(status.st_mode))
        err = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
    if (err == 0)
        return fd;
    ::close(fd);
    return -err;
}

} // namespace

ssize_t (*PosixFile::WriteFunction)(int, const void *, std::size_t) = [](int fd, const void *data, std::size_t size) {
    return ::write(fd, data, size);
};

int PosixFile::OpenRegular(const char *path, int flags, struct stat *st)
{
    return openRegularAt(AT_FDCWD, path, flags, st, nullptr);
}

int PosixFile::OpenRegularAt(int folder, const char *name, int flags, struct stat *st, MoreStatus *more)
{
    return openRegularAt(folder, name, flags, st, more);
}

ssize_t PosixFile::ReadFull(int fd, void *data, std::size_t size)
{
    return readFull(fd, static_cast<char *>(data), size, -1);
}

int PosixFile::WriteAll(int fd, const void *data, std::size_t size)
{
    const char *from = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t put = WriteFunction(fd, from, size);
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

namespace {

using Result = PosixFile::ReplaceResult;

// The content of a replace, with its length where known beforehand.
struct Content
{
    const PosixFile::Producer &produce;
    std::optional<std::size_t> size;
};

// Closes a descriptor however a replace ends.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

ssize_t readAt(int fd, char *data, std::size_t size, off_t offset)
{
    return readFull(fd, data, size, offset);
}

constexpr std::size_t ChunkSize = 64 * 1024;

} // namespace

int PosixFile::Holds(int fd, std::string_view expected)
{
    std::vector<char> chunk(ChunkSize);
    std::size_t offset = 0;
    for (;;) {
        const ssize_t got = readAt(fd, chunk.data(), chunk.size(), static_cast<off_t>(offset));
        if (got < 0)
            return static_cast<int>(-got);
        const auto n = static_cast<std::size_t>(got);
        if (n > expected.size() - offset || std::memcmp(chunk.data(), expected.data() + offset, n) != 0)
            return ESTALE;
        offset += n;
        if (n < chunk.size())
            return offset == expected.size() ? 0 : ESTALE;
    }
}

namespace {

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool sameTime(const struct timespec &a, const struct timespec &b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Whether name still leads to the file open as original, and that file
// still holds expected. Run as the last step before the rename: the
// comparison reads the file, and the status queries around it catch a write
// that lands while it reads.
Result unchanged(int folder, const char *name, int original, std::string_view expected)
{
    struct stat before, named, after;
    if (::fstat(original, &before) != 0)
        return {Step::Write, errno};
    if (static_cast<std::uintmax_t>(before.st_size) != expected.size())
        return {Step::Changed, ESTALE};
    if (const int err = PosixFile::Holds(original, expected))
        return {err == ESTALE ? Step::Changed : Step::Write, err};
    if (::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) != 0)
        return {errno == ENOENT ? Step::Resolve : Step::Write, errno};
    if (::fstat(original, &after) != 0)
        return {Step::Write, errno};
    if (!sameFile(named, after) || after.st_size != before.st_size || !sameTime(after.st_mtim, before.st_mtim) ||
        !sameTime(after.st_ctim, before.st_ctim))
        return {Step::Changed, ESTALE};
    return {};
}

// --- The temporary files being written, for RemovePendingTemporaries ---

enum SlotState : int { SlotFree, SlotFilling, SlotArmed, SlotRemoving, SlotRemoved };

constexpr std::size_t TempNameSize = 32;

// A signal handler reads the slots: plain static storage, filled before the
// slot is armed and only read while it is.
struct PendingSlot
{
    std::atomic<int> state{SlotFree};
    int folder = -1;
    char name[TempNameSize] = {};
};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only use lock-free atomics");

// Replaces running at once are few: one per thread that writes files.
constexpr int PendingSlots = 64;
PendingSlot pendingSlots[PendingSlots];

int registerPending(int folder, const char *name)
{
    for (int i = 0; i < PendingSlots; ++i) {
        PendingSlot &slot = pendingSlots[i];
        int expected = SlotFree;
        if (!slot.state.compare_exchange_strong(expected, SlotFilling, std::memory_order_acquire))
            continue;
        slot.folder = folder;
        std::memcpy(slot.name, name, TempNameSize);
        slot.state.store(SlotArmed, std::memory_order_release);
        return i;
    }
    // All slots taken: the file is written all the same, only a signal
    // would leave it behind.
    return -1;
}

void releasePending(int index)
{
    if (index < 0)
        return;
    // A slot a handler is still working on stays taken: its process is
    // about to end anyway.
    std::atomic<int> &state = pendingSlots[index].state;
    int expected = SlotArmed;
    if (!state.compare_exchange_strong(expected, SlotFree, std::memory_order_acq_rel) && expected == SlotRemoved)
        state.store(SlotFree, std::memory_order_release);
}

// ".velmora-" and 12 random letters and digits.
void temporaryName(char (&name)[TempNameSize])
{
    static std::atomic<std::uint64_t> counter{0};
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    struct timespec now
    {
    };
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::uint64_t x = static_cast<std::uint64_t>(now.tv_nsec) ^ (static_cast<std::uint64_t>(now.tv_sec) << 30) ^
                      (static_cast<std::uint64_t>(::getpid()) << 42) ^ (++counter * 0x9E3779B97F4A7C15u);
    std::uint64_t seed = 0;
    if (::getrandom(&seed, sizeof seed, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof seed))
        x ^= seed;
    std::memcpy(name, ".velmora-", 9);
    for (int i = 0; i < 12; ++i) {
        // splitmix64: every step a well-mixed value.
        std::uint64_t z = (x += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        name[9 + i] = alphabet[(z ^ (z >> 31)) % 62];
    }
    name[21] = '\0';
}

// A new file under a random name in folder, registered for removal by a
// signal handler until it is renamed or removed.
class Temporary
{
public:
    explicit Temporary(int folder) : m_folder(folder)
    {
        for (int attempt = 0; attempt < 100 && m_fd == -EEXIST; ++attempt) {
            temporaryName(m_name);
            do
                m_fd = ::openat(folder, m_name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
            while (m_fd < 0 && errno == EINTR);
            if (m_fd < 0)
                m_fd = -errno;
        }
        if (m_fd >= 0)
            m_slot = registerPending(folder, m_name);
    }
    ~Temporary()
    {
        if (m_fd < 0)
            return;
        if (!m_renamed)
            ::unlinkat(m_folder, m_name, 0);
        releasePending(m_slot);
        ::close(m_fd);
    }
    Temporary(const Temporary &) = delete;
    Temporary &operator=(const Temporary &) = delete;

    int fd() const { return m_fd; } // -errno when it could not be made
    const char *name() const { return m_name; }
    void Renamed() { m_renamed = true; }

private:
    int m_folder;
    int m_fd = -EEXIST;
    int m_slot = -1;
    bool m_renamed = false;
    char m_name[TempNameSize] = {};
};

// --- Keeping what a new file must keep of the original ---

// The names of fd's extended attributes, each ending in a zero byte.
int attributeNames(int fd, std::vector<char> &names)
{
    for (;;) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size < 0)
            return errno == ENOTSUP ? (names.clear(), 0) : errno;
        names.resize(static_cast<std::size_t>(size));
        if (size == 0) // the usual case: no second call
            return 0;
        const ssize_t got = ::flistxattr(fd, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<std::size_t>(got));
            return 0;
        }
        if (errno != ERANGE) // ERANGE: one was added meanwhile
            return errno;
    }
}

int attributeValue(int fd, const char *name, std::vector<char> &value)
{
    for (;;) {
        const ssize_t size = ::fgetxattr(fd, name, nullptr, 0);
        if (size < 0)
            return errno;
        value.resize(static_cast<std::size_t>(size));
        const ssize_t got = ::fgetxattr(fd, name, value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return 0;
        }
        if (errno != ERANGE)
            return errno;
    }
}

bool listed(const std::vector<char> &names, const char *name)
{
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.data() + at) + 1)
        if (std::strcmp(names.data() + at, name) == 0)
            return true;
    return false;
}

// Gives to exactly the extended attributes of from, POSIX ACLs
// (system.posix_acl_access) among them; 0 or errno.
int copyAttributes(int from, int to)
{
    std::vector<char> names, present, value, current;
    if (const int err = attributeNames(from, names))
        return err;
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.data() + at) + 1) {
        const char *name = names.data() + at;
        if (const int err = attributeValue(from, name, value)) {
            if (err == ENODATA) // removed meanwhile
                continue;
            return err;
        }
        // What the new file already has (a security label) is not set again:
        // setting it may need a privilege that keeping it does not.
        if (attributeValue(to, name, current) == 0 && current == value)
            continue;
        if (::fsetxattr(to, name, value.data(), value.size(), 0) != 0)
            return errno;
    }
    // What the new file got by itself (a folder's default ACL) goes again.
    if (const int err = attributeNames(to, present))
        return err;
    for (std::size_t at = 0; at < present.size(); at += std::strlen(present.data() + at) + 1)
        if (!listed(names, present.data() + at) && ::fremovexattr(to, present.data() + at) != 0)
            return errno;
    return 0;
}

// Owner and group first (a change of owner clears the set-user-ID and
// set-group-ID bits and file capabilities), then the extended attributes,
// then the permission bits; 0, or errno when any of them cannot be kept.
int keepOwnerAndAttributes(int original, const struct stat &st, int temp)
{
    struct stat now;
    if (::fstat(temp, &now) != 0)
        return errno;
    if ((now.st_uid != st.st_uid || now.st_gid != st.st_gid) && ::fchown(temp, st.st_uid, st.st_gid) != 0)
        return errno;
    if (const int err = copyAttributes(original, temp))
        return err;
    const mode_t mode = st.st_mode & 07777;
    if (::fchmod(temp, mode) != 0)
        return errno;
    // Without privileges the set-group-ID bit is dropped silently.
    if (::fstat(temp, &now) != 0)
        return errno;
    return (now.st_mode & 07777) == mode ? 0 : EPERM;
}

// --- Writing in place ---

bool unsupported(int err)
{
    return err == EOPNOTSUPP || err == ENOSYS || err == EINVAL;
}

// Makes sure the file can grow to size without running out of space on the
// way; 0 where that is so or cannot be known, else errno with the file as it
// was.
int reserve(int fd, off_t size, off_t originalSize)
{
    if (size <= 0)
        return 0;
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0)
        return 0;
    if (!unsupported(errno))
        return errno;
    if (size <= originalSize)
        return 0;
    // Only the growth, which the write fills at once; a failure cuts it off.
    const int err = ::posix_fallocate(fd, originalSize, size - originalSize);
    if (err == 0 || unsupported(err))
        return 0;
    (void)!::ftruncate(fd, originalSize);
    return err;
}

// Writes the content over the file itself, for files a new file cannot
// replace. The original bytes are held first (options.expected, or read);
// space is reserved; a write, cut or flush that fails puts them back.
Result writeInPlace(int folder, const char *name, const struct stat &st, const Content &content,
                    const PosixFile::ReplaceOptions &options)
{
    int raw;
    do
        raw = ::openat(folder, name, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    while (raw < 0 && errno == EINTR);
    if (raw < 0)
        return {Step::Write, errno};
    const Descriptor fd(raw);
    struct stat now;
    if (::fstat(raw, &now) != 0)
        return {Step::Write, errno};
    if (!sameFile(now, st))
        return {Step::Changed, ESTALE};

    // Content of unknown length is gathered first: the reservation needs it.
    std::string gathered;
    const PosixFile::Producer fromGathered = [&gathered](const PosixFile::Put &put) {
        return put(gathered.data(), gathered.size());
    };
    const PosixFile::Producer *produce = &content.produce;
    std::size_t size = content.size.value_or(0);
    if (!content.size) {
        int err;
        try {
            err = content.produce([&gathered](const void *data, std::size_t n) {
                gathered.append(static_cast<const char *>(data), n);
                return 0;
            });
        } catch (const std::exception &) {
            err = ENOMEM;
        }
        if (err != 0)
            return {Step::Write, err};
        produce = &fromGathered;
        size = gathered.size();
    }

    if (options.beforeCommit)
        if (const int err = options.beforeCommit())
            return {Step::Aborted, err};
    // The file is compared (or read) only now: whatever the hook waited for
    // may have taken a while.
    if (::fstat(raw, &now) != 0)
        return {Step::Write, errno};
    std::string readBack;
    std::string_view original;
    if (options.expected) {
        original = *options.expected;
        if (static_cast<std::uintmax_t>(now.st_size) != original.size())
            return {Step::Changed, ESTALE};
        if (const int err = PosixFile::Holds(raw, original))
            return {err == ESTALE ? Step::Changed : Step::Write, err};
    } else {
        try {
            readBack.resize(static_cast<std::size_t>(now.st_size));
        } catch (const std::exception &) {
            return {Step::Write, ENOMEM};
        }
        const ssize_t got = readAt(raw, readBack.data(), readBack.size(), 0);
        if (got < 0)
            return {Step::Write, static_cast<int>(-got)};
        readBack.resize(static_cast<std::size_t>(got));
        original = readBack;
    }

    const auto originalSize = static_cast<off_t>(original.size());
    if (const int err = reserve(raw, std::max(static_cast<off_t>(size), originalSize), originalSize))
        return {Step::Write, err};
    std::size_t written = 0;
    int err = ::lseek(raw, 0, SEEK_SET) == 0 ? 0 : errno;
    try {
        if (err == 0)
            err = (*produce)([raw, &written](const void *data, std::size_t n) {
                const int e = PosixFile::WriteAll(raw, data, n);
                written += e == 0 ? n : 0;
                return e;
            });
    } catch (const std::exception &) {
        err = ENOMEM; // halfway, maybe: the original goes back below
    }
    if (err == 0 && written < original.size() && ::ftruncate(raw, static_cast<off_t>(written)) != 0)
        err = errno;
    if (err == 0 && ::fsync(raw) != 0)
        err = errno;
    if (err != 0) {
        const bool restored = ::lseek(raw, 0, SEEK_SET) == 0 &&
                              PosixFile::WriteAll(raw, original.data(), original.size()) == 0 &&
                              ::ftruncate(raw, originalSize) == 0 && ::fsync(raw) == 0;
        return {restored ? Step::Write : Step::Damaged, err};
    }
    // A write by anyone but root clears the set-user-ID bit.
    if (::fstat(raw, &now) == 0 && (now.st_mode & 07777) != (st.st_mode & 07777))
        (void)!::fchmod(raw, st.st_mode & 07777);
    return {};
}

// The new content as it stands in the temporary file.
PosixFile::Producer fromFile(int fd)
{
    return [fd](const PosixFile::Put &put) {
        std::vector<char> chunk(ChunkSize);
        for (off_t offset = 0;;) {
            const ssize_t got = readAt(fd, chunk.data(), chunk.size(), offset);
            if (got < 0)
                return static_cast<int>(-got);
            if (got == 0)
                return 0;
            if (const int err = put(chunk.data(), static_cast<std::size_t>(got)))
                return err;
            offset += got;
        }
    };
}

// A new file takes name only where none has appeared meanwhile.
int renameToNew(int folder, const char *from, const char *to)
{
    if (::renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (!unsupported(errno))
        return errno;
    if (::linkat(folder, from, folder, to, 0) != 0)
        return errno;
    ::unlinkat(folder, from, 0);
    return 0;
}

// The replace of an entry of an open folder that is no symbolic link.
Result replaceIn(int folder, const char *name, const Content &content, const PosixFile::ReplaceOptions &options)
{
    struct stat st
    {
    };
    bool exists = true;
    if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        const int err = errno;
        if (err != ENOENT || !options.newFileMode)
            return {Step::Resolve, err};
        exists = false;
    } else if (S_ISLNK(st.st_mode)) {
        return {Step::Resolve, ELOOP}; // a link put there since it was resolved
    }

    int raw = -1;
    if (exists) {
        raw = openRegularAt(folder, name, O_RDONLY | O_NOFOLLOW, &st, nullptr);
        if (raw < 0)
            return {Step::Write, -raw};
    }
    const Descriptor original(raw);
    if (exists && options.onlyWritable && ::faccessat(folder, name, W_OK, AT_EACCESS) != 0)
        return {Step::Write, errno};
    auto inPlace = [&](int reason, const Content &from) -> Result {
        if (!options.inPlaceFallback)
            return {Step::Write, reason};
        return writeInPlace(folder, name, st, from, options);
    };
    // Every name of the file must see the change.
    if (exists && st.st_nlink > 1)
        return inPlace(EMLINK, content);

    Temporary temp(folder);
    if (temp.fd() < 0) {
        const int err = -temp.fd();
        if (exists && (err == EACCES || err == EPERM || err == EROFS))
            return inPlace(err, content);
        return {Step::Write, err};
    }
    std::size_t written = 0;
    int err;
    try {
        err = content.produce([&temp, &written](const void *data, std::size_t n) {
            const int e = PosixFile::WriteAll(temp.fd(), data, n);
            written += e == 0 ? n : 0;
            return e;
        });
    } catch (const std::exception &) {
        err = ENOMEM;
    }
    if (err != 0)
        return {Step::Write, err};
    if (exists) {
        if (const int lost = keepOwnerAndAttributes(original.get(), st, temp.fd()))
            return inPlace(lost, {fromFile(temp.fd()), written});
    } else if (::fchmod(temp.fd(), *options.newFileMode) != 0) {
        return {Step::Write, errno};
    }
    if (::fsync(temp.fd()) != 0)
        return {Step::Write, errno};
    // The temporary file goes when it is not renamed: the file stays as it is.
    if (options.beforeCommit)
        if (const int refused = options.beforeCommit())
            return {Step::Aborted, refused};
    // Another program may have saved the file since it was read: the new
    // content was made from the old one and would undo that change. Checked
    // as late as possible, right before the rename.
    if (exists && options.expected) {
        const Result check = unchanged(folder, name, original.get(), *options.expected);
        if (!check)
            return check;
    }
    err = exists ? (::renameat(folder, temp.name(), folder, name) == 0 ? 0 : errno)
                 : renameToNew(folder, temp.name(), name);
    if (err != 0)
        return {Step::Write, err};
    temp.Renamed();
    // The folder is not flushed: should the rename not reach the disk before
    // a power cut, the name still leads to the whole old content (and the new
    // one is whole on the disk), while a flush per file would cost as much
    // again as the file's own.
    return {};
}

// A folder to replace an entry of; folders of a resolved path are no links.
int openFolder(const std::string &folder, bool noFollow)
{
    const int flags = O_DIRECTORY | O_CLOEXEC | (noFollow ? O_NOFOLLOW : 0);
    int fd = ::open(folder.c_str(), O_RDONLY | flags);
    // Search permission suffices to work in a folder that cannot be listed.
    if (fd < 0 && errno == EACCES)
        fd = ::open(folder.c_str(), O_PATH | flags);
    return fd < 0 ? -errno : fd;
}

// The replace of a file given by a path without symbolic links in it (or,
// for a new file, as given).
Result replaceResolved(const std::string &target, bool resolved, const Content &content,
                       const PosixFile::ReplaceOptions &options)
{
    const std::string::size_type slash = target.rfind('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    const std::string folderPath = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    if (name.empty() || name == "." || name == "..")
        return {Step::Resolve, EISDIR};
    const int fd = openFolder(folderPath, resolved);
    if (fd < 0)
        return {Step::Write, -fd};
    const Descriptor folder(fd);
    return replaceIn(fd, name.c_str(), content, options);
}

Result replacePath(const char *path, const Content &content, const PosixFile::ReplaceOptions &options)
{
    // Through a symbolic link to the file it names: the link stays a link.
    if (char *resolved = ::realpath(path, nullptr)) {
        const std::string target = resolved;
        std::free(resolved);
        return replaceResolved(target, true, content, options);
    }
    const int err = errno;
    // Only a name that is not there at all becomes a new file: a link that
    // leads nowhere is refused rather than replaced by a file.
    struct stat link;
    if (err != ENOENT || !options.newFileMode || ::lstat(path, &link) == 0)
        return {Step::Resolve, err};
    return replaceResolved(path, false, content, options);
}

Result replaceAt(int folderFd, const char *name, const Content &content, const PosixFile::ReplaceOptions &options)
{
    if (!name || !*name || std::strchr(name, '/') || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
        return {Step::Resolve, EINVAL};
    struct stat st;
    if (::fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode))
        return replaceIn(folderFd, name, content, options);
    // A link to a file is written through to its target: resolved from the
    // folder as the kernel knows it, not from a path that may have changed.
    char *resolved = ::realpath(("/proc/self/fd/" + std::to_string(folderFd) + "/" + name).c_str(), nullptr);
    if (!resolved)
        return {Step::Resolve, errno};
    const std::string target = resolved;
    std::free(resolved);
    return replaceResolved(target, true, content, options);
}

PosixFile::Producer fromMemory(const void *data, std::size_t size)
{
    return [data, size](const PosixFile::Put &put) { return put(data, size); };
}

} // namespace

PosixFile::ReplaceResult PosixFile::Replace(const char *path, const void *data, std::size_t size,
                                            const ReplaceOptions &options)
{
    return replacePath(path, {fromMemory(data, size), size}, options);
}

PosixFile::ReplaceResult PosixFile::Replace(const char *path, const Producer &produce, const ReplaceOptions &options)
{
    return replacePath(path, {produce, std::nullopt}, options);
}

PosixFile::ReplaceResult PosixFile::ReplaceAt(int folderFd, const char *name, const void *data, std::size_t size,
                                              const ReplaceOptions &options)
{
    return replaceAt(folderFd, name, {fromMemory(data, size), size}, options);
}

PosixFile::ReplaceResult PosixFile::ReplaceAt(int folderFd, const char *name, const Producer &produce,
                                              const ReplaceOptions &options)
{
    return replaceAt(folderFd, name, {produce, std::nullopt}, options);
}

void PosixFile::RemovePendingTemporaries()
{
    for (PendingSlot &slot : pendingSlots) {
        int expected = SlotArmed;
        if (!slot.state.compare_exchange_strong(expected, SlotRemoving, std::memory_order_acquire))
            continue;
        ::unlinkat(slot.folder, slot.name, 0);
        slot.state.store(SlotRemoved, std::memory_order_release);
    }
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
