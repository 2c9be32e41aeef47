// The walk and the whole-file read that read_floor and write_floor share: plain POSIX, one thread, nothing else.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

class FloorWalk
{
public:
    // EXT arguments as "txt", ".txt" or "*.txt"; kept lower-case for the comparison.
    explicit FloorWalk(const std::vector<std::string> &exts)
    {
        for (std::string e : exts) {
            if (e.rfind("*.", 0) == 0)
                e.erase(0, 2);
            else if (e.rfind(".", 0) == 0)
                e.erase(0, 1);
            exts_.push_back(Lower(e));
        }
    }

    // Calls take(path) for every regular file below dir whose extension is one of the list, hidden ones
    // included; links are never followed, neither to folders nor to files. Returns false if a folder could not
    // be read (after saying so on stderr); the walk goes on regardless.
    template <class Take> bool Walk(const std::string &dir, Take &&take) const
    {
        DIR *d = opendir(dir.c_str());
        if (!d) {
            std::fprintf(stderr, "%s: %s\n", dir.c_str(), std::strerror(errno));
            return false;
        }
        bool ok = true;
        std::vector<std::string> subdirs; // walked after closedir, so open handles stay at one
        while (const dirent *e = readdir(d)) {
            const char *name = e->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
                continue;
            std::string path = dir + '/' + name;
            unsigned char type = e->d_type;
            if (type == DT_UNKNOWN) {
                struct stat st;
                if (lstat(path.c_str(), &st) != 0)
                    continue;
                type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_LNK;
            }
            if (type == DT_DIR)
                subdirs.push_back(std::move(path));
            else if (type == DT_REG && Matches(name))
                take(path);
        }
        closedir(d);
        for (const std::string &s : subdirs)
            ok = Walk(s, take) && ok;
        return ok;
    }

    // Reads the whole file at fd into buf, growing it when the file is larger than any before; returns the
    // byte count or -1.
    static long long ReadWhole(int fd, std::vector<char> &buf)
    {
        struct stat st;
        if (fstat(fd, &st) != 0)
            return -1;
        if (buf.size() < static_cast<size_t>(st.st_size) + 1)
            buf.resize(static_cast<size_t>(st.st_size) + 1);
        size_t have = 0;
        for (;;) {
            if (have == buf.size())
                buf.resize(buf.size() * 2); // the file grew since fstat
            const ssize_t n = read(fd, buf.data() + have, buf.size() - have);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return -1;
            if (n == 0)
                return static_cast<long long>(have);
            have += static_cast<size_t>(n);
        }
    }

private:
    static std::string Lower(std::string s)
    {
        for (char &c : s)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return s;
    }

    bool Matches(const char *name) const
    {
        const char *dot = std::strrchr(name, '.');
        if (!dot)
            return false;
        const std::string ext = Lower(dot + 1);
        for (const std::string &e : exts_)
            if (ext == e)
                return true;
        return false;
    }

    std::vector<std::string> exts_;
};
