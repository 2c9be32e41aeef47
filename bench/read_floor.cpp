// The floor of a search run: one thread that merely reads every matching file whole, and nothing else.
//
//   read_floor DIR EXT...
//
// Takes the regular files below DIR whose extension is one of EXT (ignoring case, hidden files included, no
// links followed), reads each with read() into one reused buffer and prints "<files> Dateien, <bytes> Bytes".
#include "FloorWalk.h"

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: read_floor DIR EXT...\n");
        return 2;
    }
    const FloorWalk walk(std::vector<std::string>(argv + 2, argv + argc));
    std::vector<char> buf(1 << 20);
    long long files = 0, bytes = 0;
    bool ok = walk.Walk(argv[1], [&](const std::string &path) {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        const long long n = fd < 0 ? -1 : FloorWalk::ReadWhole(fd, buf);
        if (fd >= 0)
            close(fd);
        if (n < 0) {
            std::perror(path.c_str());
            ok = false;
            return;
        }
        ++files;
        bytes += n;
    });
    std::printf("%lld Dateien, %lld Bytes\n", files, bytes);
    return ok ? 0 : 1;
}
