// The file layer: reads that never block or half-read, replaces that never
// leave a file missing, empty or half-written.
#include "PosixFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Step = PosixFile::ReplaceResult::Step;

class Folder
{
public:
    Folder()
    {
        std::string name = (fs::temp_directory_path() / "posixfile-XXXXXX").string();
        m_path = ::mkdtemp(name.data());
        // Traversable for the ordinary user the permission tests run as.
        ::chmod(m_path.c_str(), 0755);
    }
    ~Folder()
    {
        ::chmod(m_path.c_str(), 0755);
        fs::remove_all(m_path);
    }
    std::string operator/(const std::string &name) const { return m_path + "/" + name; }
    const std::string &path() const { return m_path; }
    // Everything in the folder, hidden names included: no temporary file may stay.
    std::size_t entries() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(m_path), fs::directory_iterator()));
    }

private:
    std::string m_path;
};

void put(const std::string &path, const std::string &bytes, mode_t mode = 0644)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    ::chmod(path.c_str(), mode);
}

std::string bytesOf(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

mode_t lmodeOf(const std::string &path)
{
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode;
}

// Runs body in a child process, as an ordinary user (for whom permissions
// hold even when the tests run as root) if asked; the result is its exit code.
template <typename F> int inChild(bool ordinaryUser, F body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (ordinaryUser && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(100);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string pattern(std::size_t size)
{
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>((i * 131 + i / 4096) & 0xFF);
    return s;
}

TEST(PosixFile, ReadAll)
{
    Folder dir;
    const std::string large = pattern((3 << 20) + 17);
    const struct
    {
        const char *name;
        int error;
        std::string content;
    } cases[] = {
        {"missing", ENOENT, ""},
        {"fifo", EINVAL, ""}, // would block a plain open without a writer
        {"folder", EISDIR, ""},
        {"empty", 0, ""},
        {"small", 0, std::string("a\0b\r\n", 5)},
        {"large", 0, large},
    };
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir((dir / "folder").c_str(), 0755), 0);
    put(dir / "empty", "");
    put(dir / "small", std::string("a\0b\r\n", 5));
    put(dir / "large", large);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::string buffer = "stale content of an earlier file";
        EXPECT_EQ(PosixFile::ReadAll((dir / c.name).c_str(), buffer), c.error);
        EXPECT_TRUE(buffer == c.content) << buffer.size();
    }
    EXPECT_FALSE(fs::exists(dir / "missing")) << "reading never creates";
}

// The size query and the read are two steps: a file that shrinks between
// them reads as what is left, and a buffer that cannot grow fails the read.
TEST(PosixFile, ReadAllWhenTheFileShrinksOrTheBufferCannotGrow)
{
    Folder dir;
    const std::string path = dir / "f";
    put(path, "0123456789");
    struct Target
    {
        std::string bytes;
        std::string path;
        bool refuse;
    };
    const PosixFile::Sizer sizer = [](void *b, std::size_t n) -> char * {
        auto &t = *static_cast<Target *>(b);
        if (n > 0 && t.refuse)
            throw std::bad_alloc();
        if (n > 0 && ::truncate(t.path.c_str(), 4) != 0)
            return nullptr;
        t.bytes.resize(n);
        return t.bytes.data();
    };
    Target shrinking{"", path, false};
    EXPECT_EQ(PosixFile::ReadAll(path.c_str(), sizer, &shrinking), 0);
    EXPECT_EQ(shrinking.bytes, "0123");
    Target refusing{"old", path, true};
    EXPECT_EQ(PosixFile::ReadAll(path.c_str(), sizer, &refusing), ENOMEM);
    EXPECT_EQ(refusing.bytes, "");
}

TEST(PosixFile, WriteInPlace)
{
    Folder dir;
    put(dir / "old", "a longer old content", 0600);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const mode_t mask = ::umask(027);
    const struct
    {
        const char *name;
        int error;
        std::string after;
        mode_t mode;
    } cases[] = {
        {"new", 0, "new", 0640},
        {"old", 0, "new", 0600},
        {"fifo", ENXIO, "", 0}, // no reader: the open fails instead of waiting
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PosixFile::WriteInPlace((dir / c.name).c_str(), "new", 3), c.error);
        if (c.error == 0) {
            EXPECT_EQ(bytesOf(dir / c.name), c.after);
            EXPECT_EQ(lmodeOf(dir / c.name) & 07777, c.mode);
        }
    }
    EXPECT_EQ(PosixFile::Umask(), 027u);
    ::umask(mask);
}

TEST(PosixFile, Replace)
{
    enum class Before { File, Link, Nothing, DanglingLink, Folder };
    const struct
    {
        const char *name;
        Before before; // target.txt is a file of mode 0640 holding "old"; link.txt names it
        std::optional<mode_t> newFileMode;
        int checkResult;
        Step step;
        int error;
        const char *after;   // content of target.txt afterwards
        mode_t modeAfter;    // 0: not looked at
        std::size_t entries; // in the folder afterwards: no temporary file stays
    } cases[] = {
        {"keeps mode", Before::File, std::nullopt, 0, Step::None, 0, "new content", 0640, 1},
        {"through a link", Before::Link, std::nullopt, 0, Step::None, 0, "new content", 0640, 2},
        {"missing", Before::Nothing, std::nullopt, 0, Step::Resolve, ENOENT, "<missing>", 0, 0},
        {"missing, new file", Before::Nothing, 0604, 0, Step::None, 0, "new content", 0604, 1},
        {"dangling link, new file", Before::DanglingLink, 0604, 0, Step::Resolve, ENOENT, "<missing>", 0, 1},
        {"folder", Before::Folder, std::nullopt, 0, Step::Write, EISDIR, "", 0, 1},
        {"check refuses", Before::File, std::nullopt, ESTALE, Step::Check, ESTALE, "old", 0640, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Folder dir;
        const std::string target = dir / "target.txt";
        const bool viaLink = c.before == Before::Link || c.before == Before::DanglingLink;
        const std::string path = viaLink ? dir / "link.txt" : target;
        if (c.before == Before::File || c.before == Before::Link)
            put(target, "old", 0640);
        if (viaLink) {
            ASSERT_EQ(::symlink("target.txt", path.c_str()), 0);
        }
        if (c.before == Before::Folder) {
            ASSERT_EQ(::mkdir(target.c_str(), 0755), 0);
        }

        PosixFile::ReplaceOptions options;
        options.newFileMode = c.newFileMode;
        std::string checked;
        options.check = [&](const char *t) {
            checked = t;
            return c.checkResult;
        };
        const auto result = PosixFile::Replace(path.c_str(), "new content", 11, options);
        EXPECT_EQ(result.step, c.step);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(bool(result), c.step == Step::None);
        if (c.before != Before::Folder) {
            EXPECT_EQ(bytesOf(target), c.after);
        }
        if (c.step == Step::None || c.step == Step::Check) {
            EXPECT_EQ(fs::path(checked).filename(), "target.txt") << "the check sees the link's target";
        }
        if (c.modeAfter != 0) {
            EXPECT_EQ(lmodeOf(target) & 07777, c.modeAfter);
        }
        if (viaLink) {
            EXPECT_TRUE(S_ISLNK(lmodeOf(path))) << "a link stays a link";
        }
        EXPECT_EQ(dir.entries(), c.entries);
    }
}

// Where the folder takes no new file the replace needs a permission that
// root always has: these run as an ordinary user.
TEST(PosixFile, ReplaceWithoutPermissions)
{
    const struct
    {
        const char *name;
        mode_t folderMode, fileMode;
        bool inPlace, onlyWritable;
        Step step;
        int error;
        const char *after;
    } cases[] = {
        {"in place", 0555, 0666, true, false, Step::None, 0, "short"},
        {"no fallback", 0555, 0666, false, false, Step::Write, EACCES, "a longer old content"},
        {"in place, read-only file", 0555, 0444, true, false, Step::Write, EACCES, "a longer old content"},
        {"read-only file kept", 0777, 0444, false, true, Step::Write, EACCES, "a longer old content"},
        {"read-only file replaced", 0777, 0444, false, false, Step::None, 0, "short"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Folder dir;
        const std::string f = dir / "a.txt";
        put(f, "a longer old content", c.fileMode);
        ::chmod(dir.path().c_str(), c.folderMode);
        const int code = inChild(true, [&] {
            PosixFile::ReplaceOptions options;
            options.inPlaceFallback = c.inPlace;
            options.onlyWritable = c.onlyWritable;
            const auto r = PosixFile::Replace(f.c_str(), "short", 5, options);
            return r.step == c.step && r.error == c.error ? 0 : 1;
        });
        ::chmod(dir.path().c_str(), 0755);
        EXPECT_EQ(code, 0);
        EXPECT_EQ(bytesOf(f), c.after);
        EXPECT_EQ(dir.entries(), 1u);
    }
}

TEST(PosixFile, FailedWriteLeavesTheOriginalAndNoTemporaryFile)
{
    Folder dir;
    const std::string f = dir / "a.txt";
    put(f, "old");
    // A file size limit makes the write into the temporary file fail halfway.
    const int code = inChild(false, [&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string big = pattern(10000);
        const auto r = PosixFile::Replace(f.c_str(), big.data(), big.size(), {});
        return r.step == Step::Write && r.error == EFBIG ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(bytesOf(f), "old");
    EXPECT_EQ(dir.entries(), 1u);
}

TEST(PosixFile, CheckFolder)
{
    Folder dir;
    EXPECT_EQ(PosixFile::CheckFolder(dir.path().c_str()), 0);
    EXPECT_EQ(PosixFile::CheckFolder((dir.path() + "/").c_str()), 0);
    EXPECT_EQ(dir.entries(), 0u) << "the probe is removed";
    EXPECT_EQ(PosixFile::CheckFolder((dir / "missing").c_str()), ENOENT);
    ::chmod(dir.path().c_str(), 0555);
    EXPECT_EQ(inChild(true, [&] { return PosixFile::CheckFolder(dir.path().c_str()); }), EACCES);
}

} // namespace
