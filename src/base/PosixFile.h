// Whole-file reads, writes and atomic replaces on native byte paths, with errno results.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

class PosixFile
{
public:
    // Opens a file only when it is a regular one: a FIFO or a device must
    // never block the program or be read as text. flags are the access mode
    // plus O_CREAT, O_TRUNC or O_APPEND (new files get 0666 less the umask);
    // O_NONBLOCK, O_CLOEXEC and O_NOCTTY are always added. Returns the
    // descriptor, or -errno: EISDIR for a folder, EINVAL for anything else
    // that is not a regular file. st, when given, receives the file's status.
    static int OpenRegular(const char *path, int flags, struct stat *st = nullptr);
    // What the status of a file tells beyond struct stat.
    struct MoreStatus
    {
        std::uint64_t attributes = 0;      // STATX_ATTR_... that are set
        std::uint64_t attributesKnown = 0; // the STATX_ATTR_... the file system reports
        std::uint64_t mountId = 0;
        bool mountKnown = false;
    };
    // The same for name relative to the open folder (AT_FDCWD: the current
    // folder); O_NOFOLLOW in flags refuses a link. more, when given, receives
    // what else the status query gives (for the same single query).
    static int OpenRegularAt(int folder, const char *name, int flags, struct stat *st = nullptr,
                             MoreStatus *more = nullptr);

    // Reads until size bytes are in or the file ends; the count read, or
    // -errno. Interrupted reads are resumed.
    static ssize_t ReadFull(int fd, void *data, std::size_t size);

    // 0 when the file behind fd holds exactly expected, from its start to
    // its end; ESTALE when it holds anything else, else errno. Read a chunk
    // at a time, so that a large file is never in memory twice.
    static int Holds(int fd, std::string_view expected);

    // Writes every byte, resuming interrupted and short writes; 0 or errno
    // (ENOSPC when the system takes nothing).
    static int WriteAll(int fd, const void *data, std::size_t size);

    // The whole content of a regular file, with one status query and one
    // read loop, straight into the caller's buffer: sizer(buffer, n) makes
    // the buffer n bytes long and returns where they start (nullptr when it
    // cannot). It is called with the size the file has when opened, again
    // with less when the file shrank meanwhile, and with 0 on any failure,
    // so a failed read leaves an empty buffer. 0 or errno.
    using Sizer = char *(*)(void *buffer, std::size_t size);
    static int ReadAll(const char *path, Sizer sizer, void *buffer);

    // The same for any buffer with resize() and data(), such as QByteArray
    // or std::vector<std::uint8_t>.
    template <typename Buffer> static int ReadAll(const char *path, Buffer &buffer)
    {
        return ReadAll(
            path,
            [](void *b, std::size_t n) -> char * {
                Buffer &out = *static_cast<Buffer *>(b);
                out.resize(static_cast<typename Buffer::size_type>(n));
                return reinterpret_cast<char *>(out.data());
            },
            &buffer);
    }

    // Creates the file or empties it, then writes data as its whole content.
    // Not atomic: only for files whose old content nobody needs. 0 or errno.
    static int WriteInPlace(const char *path, const void *data, std::size_t size);

    // Content handed over piece by piece: put takes the next bytes and
    // returns 0 or an errno; a producer returns 0, the first non-zero result
    // of put, or an errno of its own. It is called once.
    using Put = std::function<int(const void *data, std::size_t size)>;
    using Producer = std::function<int(const Put &put)>;

    struct ReplaceOptions
    {
        // Permission bits of a file that does not exist yet; without them a
        // missing file is an error, since a replace must find what it replaces.
        std::optional<mode_t> newFileMode;
        // Leave alone a file that the caller may not write itself, although
        // the folder would let it be replaced.
        bool onlyWritable = false;
        // Where a new file cannot take the original's place (the folder
        // takes no new file, the owner, the permission bits or an extended
        // attribute cannot be given to a new file, or the file has more than
        // one name), write the file itself: space is reserved first, and a
        // write that fails halfway puts the original bytes back. Without it
        // such files are not written (EPERM, EMLINK or the folder's error).
        bool inPlaceFallback = false;
        // The bytes the file must still hold when the new content takes its
        // place (compared at the last moment, after the new content is on
        // disk); also what an in-place write that fails puts back. Without
        // them any content is replaced, and an in-place write reads the
        // original into memory first.
        std::optional<std::string_view> expected;
        // Asked once whether the file may change now: when the new content is
        // complete and on disk in the temporary file, before the file is
        // compared and replaced; on the in-place path, before the first byte
        // goes into the file. An errno leaves the file as it is (Aborted).
        // The content is produced while what the hook waits for is going on.
        std::function<int()> beforeCommit;
    };

    struct ReplaceResult
    {
        enum class Step {
            None,    // replaced
            Resolve, // the path does not lead to a file (or vanished meanwhile)
            Changed, // the file no longer holds options.expected (ESTALE)
            Write,   // not written: the original is as it was
            Damaged, // an in-place write failed (error) and the original
                     // could not be put back: the file holds neither
            Aborted, // beforeCommit refused (error): the original is as it was
        };
        Step step = Step::None;
        int error = 0;
        explicit operator bool() const { return step == Step::None; }
    };

    // Makes data the whole content of path without ever leaving it missing,
    // empty or half-written: the bytes go to a temporary file in the same
    // folder (named ".velmora-" and 12 random letters and digits), which gets
    // the original's owner, group, extended attributes (ACLs among them) and
    // permission bits, is flushed to disk and renamed over the original. A
    // file whose owner or attributes a new file cannot keep, or that has more
    // than one name, is written in place or not at all (see inPlaceFallback):
    // it is never handed to another owner. A symbolic link is written
    // through to its target and stays a link.
    static ReplaceResult Replace(const char *path, const void *data, std::size_t size, const ReplaceOptions &options);
    static ReplaceResult Replace(const char *path, const Producer &produce, const ReplaceOptions &options);

    // The same for the entry name of an open folder: name is one component
    // (no "/", not "." or ".."), the temporary file is made and renamed
    // within that folder, and no folder link is followed. A name that is a
    // symbolic link is written through to its target (resolved by the
    // kernel's view of the folder, /proc/self/fd).
    static ReplaceResult ReplaceAt(int folderFd, const char *name, const void *data, std::size_t size,
                                   const ReplaceOptions &options);
    static ReplaceResult ReplaceAt(int folderFd, const char *name, const Producer &produce,
                                   const ReplaceOptions &options);

    // Removes the temporary files that replaces are writing at this moment.
    // Async-signal-safe: meant for a handler of a fatal signal. A replace
    // whose temporary file is removed fails and leaves its original as it was.
    static void RemovePendingTemporaries();

    // 0 when a new file can be made in folder (a probe file is created and
    // removed again), else errno.
    static int CheckFolder(const char *folder);

    // The process's file-mode creation mask, read without changing it.
    static mode_t Umask();

    // Set only by tests, to be a full disk: every write(2) of the file layer
    // goes through it.
    static ssize_t (*WriteFunction)(int fd, const void *data, std::size_t size);
};
