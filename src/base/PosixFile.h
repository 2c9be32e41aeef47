// Whole-file reads, writes and atomic replaces on native byte paths, with errno results.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
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

    // Reads until size bytes are in or the file ends; the count read, or
    // -errno. Interrupted reads are resumed.
    static ssize_t ReadFull(int fd, void *data, std::size_t size);

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

    struct ReplaceOptions
    {
        // Permission bits of a file that does not exist yet; without them a
        // missing file is an error, since a replace must find what it replaces.
        std::optional<mode_t> newFileMode;
        // Leave alone a file that the caller may not write itself, although
        // the folder would let it be replaced.
        bool onlyWritable = false;
        // Where the folder cannot take a new file (no permission, read-only
        // file system), write the file itself: the old content is then lost
        // if the write fails halfway.
        bool inPlaceFallback = false;
        // Runs once with the path of the file that will be replaced (a link
        // resolved), before the original is touched; a non-zero result (an
        // errno) stops the replace and leaves the original as it is. It must
        // not depend on whether the temporary file has been written yet.
        std::function<int(const char *target)> check;
    };

    struct ReplaceResult
    {
        enum class Step {
            None,    // replaced
            Resolve, // the path does not lead to a file
            Check,   // options.check refused, error is its result
            Write,   // the new content could not take the old one's place
        };
        Step step = Step::None;
        int error = 0;
        explicit operator bool() const { return step == Step::None; }
    };

    // Makes data the whole content of path without ever leaving it missing,
    // empty or half-written: the bytes go to a temporary file in the same
    // folder, which is flushed to disk and renamed over the original. The
    // original's permission bits and, where permitted, owner are kept. A
    // symbolic link is written through to its target and stays a link.
    static ReplaceResult Replace(const char *path, const void *data, std::size_t size, const ReplaceOptions &options);

    // 0 when a new file can be made in folder (a probe file is created and
    // removed again), else errno.
    static int CheckFolder(const char *folder);

    // The process's file-mode creation mask, read without changing it.
    static mode_t Umask();
};
