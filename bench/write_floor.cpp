// The floor of a replace run: every matching file read whole and written back through a synced temporary file.
//
//   write_floor DIR EXT...
//
// For each regular file below DIR whose extension is one of EXT (ignoring case, hidden files included, no links
// followed): read it, write the same bytes to a new temporary file in its folder with the file's permission bits,
// fsync that, and rename it over the file; one thread. Prints "<files> Dateien, <bytes> Bytes". Changes nothing
// in the content, but every file gets a new inode: run it on a copy.
#include "FloorWalk.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

static bool WriteAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Replaces path by a synced copy of its own bytes; false (after perror) if any step failed, the file untouched.
static bool Rewrite(const std::string &path, std::vector<char> &buf, long long &bytes)
{
    const int in = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    struct stat st;
    if (in < 0 || fstat(in, &st) != 0) {
        std::perror(path.c_str());
        if (in >= 0)
            close(in);
        return false;
    }
    const long long n = FloorWalk::ReadWhole(in, buf);
    close(in);
    if (n < 0) {
        std::perror(path.c_str());
        return false;
    }
    std::string temp = path.substr(0, path.rfind('/') + 1) + ".write_floor-XXXXXX";
    const int out = mkostemp(temp.data(), O_CLOEXEC);
    if (out < 0) {
        std::perror(temp.c_str());
        return false;
    }
    const bool written =
        fchmod(out, st.st_mode & 07777) == 0 && WriteAll(out, buf.data(), static_cast<size_t>(n)) && fsync(out) == 0;
    const bool closed = close(out) == 0;
    if (!written || !closed || rename(temp.c_str(), path.c_str()) != 0) {
        std::perror(temp.c_str());
        unlink(temp.c_str());
        return false;
    }
    bytes += n;
    return true;
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: write_floor DIR EXT...\n");
        return 2;
    }
    const FloorWalk walk(std::vector<std::string>(argv + 2, argv + argc));
    // The list first: renaming during readdir could show a file twice or not at all.
    std::vector<std::string> paths;
    bool ok = walk.Walk(argv[1], [&](const std::string &path) { paths.push_back(path); });
    std::vector<char> buf(1 << 20);
    long long files = 0, bytes = 0;
    for (const std::string &p : paths) {
        if (Rewrite(p, buf, bytes))
            ++files;
        else
            ok = false;
    }
    std::printf("%lld Dateien, %lld Bytes\n", files, bytes);
    return ok ? 0 : 1;
}
