// The file layer: reads that never block or half-read, replaces that never
// leave a file missing, empty or half-written.
#include "PosixFile.h"

#include "TestSupport.h"

#include <cerrno>
#include <csignal>
#include <gtest/gtest.h>
#include <new>
#include <sys/resource.h>

namespace {

namespace fs = std::filesystem;
using Step = PosixFile::ReplaceResult::Step;

class PosixFileTest : public ::testing::Test
{
protected:
    std::string path(const char *name) const { return m_folder.file(name); }
    std::string put(const char *name, const std::string &bytes, mode_t mode = 0644) const
    {
        PutFile(path(name), bytes);
        ::chmod(path(name).c_str(), mode);
        return path(name);
    }
    std::string bytesOf(const char *name) const { return FileBytes(path(name)); }
    mode_t modeOf(const char *name) const
    {
        struct stat st
        {
        };
        ::lstat(path(name).c_str(), &st);
        return st.st_mode;
    }
    // Hidden names included: no temporary file may stay behind.
    long entries() const { return std::distance(fs::directory_iterator(m_dir), {}); }

    const TempFolder m_folder;
    const std::string &m_dir = m_folder.path();
};

TEST_F(PosixFileTest, ReadAll)
{
    std::string large((3 << 20) + 17, '\0');
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>(i * 131 + i / 4096);
    put("empty", "");
    put("large", large);
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0); // a plain open would wait for a writer
    ASSERT_EQ(::mkdir(path("folder").c_str(), 0755), 0);
    const struct
    {
        const char *name;
        int error;
        const std::string &content;
    } cases[] = {
        {"missing", ENOENT, ""}, {"fifo", EINVAL, ""}, {"folder", EISDIR, ""}, {"empty", 0, ""}, {"large", 0, large}};
    for (const auto &c : cases) {
        std::string buffer = "stale content of an earlier file";
        EXPECT_EQ(PosixFile::ReadAll(path(c.name).c_str(), buffer), c.error) << c.name;
        EXPECT_TRUE(buffer == c.content) << c.name << " " << buffer.size();
    }
    EXPECT_EQ(entries(), 4) << "reading never creates";
}

// The size query and the read are two steps: a file that shrinks between
// them reads as what is left, and a buffer that cannot grow fails the read.
TEST_F(PosixFileTest, ReadAllWhenTheFileShrinksOrTheBufferCannotGrow)
{
    struct Target
    {
        std::string bytes, path;
        bool refuse;
    } shrinking{"", put("f", "0123456789"), false}, refusing{"old", path("f"), true};
    const PosixFile::Sizer sizer = [](void *b, std::size_t n) -> char * {
        auto &t = *static_cast<Target *>(b);
        if (n > 0 && (t.refuse || ::truncate(t.path.c_str(), 4) != 0))
            throw std::bad_alloc();
        t.bytes.resize(n);
        return t.bytes.data();
    };
    EXPECT_EQ(PosixFile::ReadAll(path("f").c_str(), sizer, &shrinking), 0);
    EXPECT_EQ(shrinking.bytes, "0123");
    EXPECT_EQ(PosixFile::ReadAll(path("f").c_str(), sizer, &refusing), ENOMEM);
    EXPECT_EQ(refusing.bytes, "");
}

TEST_F(PosixFileTest, Replace)
{
    enum Before { File, Link, Nothing, DanglingLink, Fifo }; // t.txt: 0640, "old"; l.txt: link to it
    const struct
    {
        const char *name;
        Before before;
        std::optional<mode_t> newFileMode;
        int checkResult, error;
        Step step;
        const char *after; // t.txt afterwards
        mode_t mode;
        long entries;
    } cases[] = {
        {"keeps mode", File, {}, 0, 0, Step::None, "new", 0100640, 1},
        {"through a link", Link, {}, 0, 0, Step::None, "new", 0100640, 2},
        {"missing", Nothing, {}, 0, ENOENT, Step::Resolve, "<missing>", 0, 0},
        {"new file", Nothing, 0604, 0, 0, Step::None, "new", 0100604, 1},
        {"dangling link", DanglingLink, 0604, 0, ENOENT, Step::Resolve, "<missing>", 0, 1},
        {"fifo", Fifo, {}, 0, EINVAL, Step::Write, "", 010600, 1},
        {"check refuses", File, {}, ESTALE, ESTALE, Step::Check, "old", 0100640, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(path("t.txt"));
        fs::remove(path("l.txt"));
        if (c.before == File || c.before == Link)
            put("t.txt", "old", 0640);
        if (c.before == Link || c.before == DanglingLink)
            ::symlink("t.txt", path("l.txt").c_str());
        if (c.before == Fifo)
            ::mkfifo(path("t.txt").c_str(), 0600);
        PosixFile::ReplaceOptions options;
        options.newFileMode = c.newFileMode;
        std::string checked;
        options.check = [&](const char *target) { return checked = target, c.checkResult; };
        const bool viaLink = c.before == Link || c.before == DanglingLink;
        const auto result = PosixFile::Replace(path(viaLink ? "l.txt" : "t.txt").c_str(), "new", 3, options);
        EXPECT_EQ(result.step, c.step);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(bool(result), c.step == Step::None);
        EXPECT_EQ(fs::path(checked).filename().string(), c.step == Step::Resolve ? "" : "t.txt") << "through links";
        EXPECT_EQ(c.before == Fifo ? "" : bytesOf("t.txt"), c.after);
        EXPECT_EQ(modeOf("t.txt") & 0177777, c.mode);
        EXPECT_TRUE(!viaLink || S_ISLNK(modeOf("l.txt"))) << "a link stays a link";
        EXPECT_EQ(entries(), c.entries);
    }
}

// Where the folder takes no new file, or the file is read-only, the replace
// needs permissions that root always has: these run as an ordinary user.
TEST_F(PosixFileTest, ReplaceWithoutPermissions)
{
    const struct
    {
        const char *name;
        mode_t folderMode, fileMode;
        bool inPlace, onlyWritable;
        int error;
    } cases[] = {
        {"in place", 0555, 0666, true, false, 0},
        {"no fallback", 0555, 0666, false, false, EACCES},
        {"read-only file kept", 0777, 0444, false, true, EACCES},
        {"read-only file replaced", 0777, 0444, false, false, 0},
    };
    for (const auto &c : cases) {
        const std::string f = put("a.txt", "a longer old content", c.fileMode);
        ::chmod(m_dir.c_str(), c.folderMode);
        EXPECT_TRUE(AsOrdinaryUser([&] {
            PosixFile::ReplaceOptions options;
            options.inPlaceFallback = c.inPlace;
            options.onlyWritable = c.onlyWritable;
            const auto r = PosixFile::Replace(f.c_str(), "short", 5, options);
            return r.error == c.error && r.step == (c.error ? Step::Write : Step::None);
        })) << c.name;
        ::chmod(m_dir.c_str(), 0755);
        EXPECT_EQ(bytesOf("a.txt"), c.error ? "a longer old content" : "short") << c.name;
        EXPECT_EQ(entries(), 1) << c.name;
    }
}

TEST_F(PosixFileTest, FailedWriteLeavesTheOriginalAndNoTemporaryFile)
{
    const std::string f = put("a.txt", "old");
    // A file size limit makes the write into the temporary file fail halfway.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limit{4096, saved.rlim_max};
    const auto handler = ::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const std::string big(10000, 'x');
    const auto r = PosixFile::Replace(f.c_str(), big.data(), big.size(), {});
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, handler);
    EXPECT_EQ(r.step, Step::Write);
    EXPECT_EQ(r.error, EFBIG);
    EXPECT_EQ(bytesOf("a.txt"), "old");
    EXPECT_EQ(entries(), 1);
}

} // namespace
