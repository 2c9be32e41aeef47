// The file layer: reads that never block or half-read, replaces that never
// leave a file missing, empty or half-written.
#include "PosixFile.h"

#include "FullDisk.h"
#include "TestSupport.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <new>
#include <sys/xattr.h>

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
    struct stat statOf(const char *name) const
    {
        struct stat st
        {
        };
        ::lstat(path(name).c_str(), &st);
        return st;
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
        const char *expected;
        int error;
        Step step;
        const char *after; // t.txt afterwards
        mode_t mode;
        long entries;
    } cases[] = {
        {"keeps mode", File, {}, "old", 0, Step::None, "new", 0100640, 1},
        {"through a link", Link, {}, nullptr, 0, Step::None, "new", 0100640, 2},
        {"missing", Nothing, {}, nullptr, ENOENT, Step::Resolve, "<missing>", 0, 0},
        {"new file", Nothing, 0604, nullptr, 0, Step::None, "new", 0100604, 1},
        {"dangling link", DanglingLink, 0604, nullptr, ENOENT, Step::Resolve, "<missing>", 0, 1},
        {"fifo", Fifo, {}, nullptr, EINVAL, Step::Write, "", 010600, 1},
        {"changed since read", File, {}, "ol", ESTALE, Step::Changed, "old", 0100640, 1},
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
        if (c.expected)
            options.expected = c.expected;
        const bool viaLink = c.before == Link || c.before == DanglingLink;
        const auto result = PosixFile::Replace(path(viaLink ? "l.txt" : "t.txt").c_str(), "new", 3, options);
        EXPECT_EQ(result.step, c.step);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(bool(result), c.step == Step::None);
        EXPECT_EQ(c.before == Fifo ? "" : bytesOf("t.txt"), c.after);
        EXPECT_EQ(statOf("t.txt").st_mode & 0177777, c.mode);
        EXPECT_TRUE(!viaLink || S_ISLNK(statOf("l.txt").st_mode)) << "a link stays a link";
        EXPECT_EQ(entries(), c.entries);
    }
}

// An ordinary user's replace of root's file: where the folder takes no new
// file, or the owner could not be kept, it is written in place if the user
// may write it, else not at all; a read-only file is kept when asked to.
TEST_F(PosixFileTest, ReplaceWithoutPermissions)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to own the file";
    const struct
    {
        const char *name;
        mode_t folderMode, fileMode;
        bool inPlace, onlyWritable;
        int error;
    } cases[] = {
        {"folder takes no new file: in place", 0555, 0666, true, false, 0},
        {"folder takes no new file, no fallback", 0555, 0666, false, false, EACCES},
        {"read-only file kept", 0777, 0444, false, true, EACCES},
        {"another's file is not taken over", 0777, 0444, false, false, EPERM},
        {"another's file, read-only to the user", 0777, 0644, true, false, EACCES},
        {"another's file the user may write: in place", 0777, 0666, true, false, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string f = put("a.txt", "a longer old content", c.fileMode);
        const ino_t inode = statOf("a.txt").st_ino;
        ::chmod(m_dir.c_str(), c.folderMode);
        EXPECT_TRUE(AsOrdinaryUser([&] {
            PosixFile::ReplaceOptions options;
            options.inPlaceFallback = c.inPlace;
            options.onlyWritable = c.onlyWritable;
            const auto r = PosixFile::Replace(f.c_str(), "short", 5, options);
            return r.error == c.error && r.step == (c.error ? Step::Write : Step::None);
        }));
        ::chmod(m_dir.c_str(), 0755);
        EXPECT_EQ(bytesOf("a.txt"), c.error ? "a longer old content" : "short");
        EXPECT_EQ(statOf("a.txt").st_uid, 0u);
        EXPECT_EQ(statOf("a.txt").st_ino, inode);
        EXPECT_EQ(entries(), 1);
    }
}

// A file with a second name is written in place, so that both names see the
// change; a write that runs out of space puts the original back, and says so
// when even that fails.
TEST_F(PosixFileTest, InPlaceWrite)
{
    const struct
    {
        const char *name;
        bool fallback, withExpected;
        int failFrom, failCount; // of the writes to the file, 4 bytes each
        Step step;
        int error;
        const char *after;
    } cases[] = {
        {"both names see the change", true, true, 0, 0, Step::None, 0, "a longer new content"},
        {"refused without fallback", false, true, 0, 0, Step::Write, EMLINK, "the original content"},
        {"full disk, original back", true, true, 2, 1, Step::Write, ENOSPC, "the original content"},
        {"full disk, original read first", true, false, 1, 1, Step::Write, ENOSPC, "the original content"},
        {"full disk, no way back", true, true, 2, 1000, Step::Damaged, ENOSPC, "a longerinal content"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(path("b.txt"));
        const std::string f = put("a.txt", "the original content");
        ASSERT_EQ(::link(f.c_str(), path("b.txt").c_str()), 0);
        const ino_t inode = statOf("a.txt").st_ino;
        PosixFile::ReplaceOptions options;
        options.inPlaceFallback = c.fallback;
        if (c.withExpected)
            options.expected = "the original content";
        const FullDisk disk(f, c.failFrom, c.failCount);
        const auto r = PosixFile::Replace(f.c_str(), "a longer new content", 20, options);
        EXPECT_EQ(r.step, c.step);
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(bytesOf("a.txt"), c.after);
        EXPECT_EQ(bytesOf("b.txt"), c.after);
        EXPECT_EQ(statOf("a.txt").st_ino, inode);
        EXPECT_EQ(entries(), 2);
    }
}

// The commit hook is asked once, when the new content is complete and the
// file is still as it was; a refusal leaves the file and no temporary file,
// and a save by another program while it waits is never undone.
TEST_F(PosixFileTest, BeforeCommit)
{
    enum class Hook { Allows, Refuses, OtherProgramSaves };
    const struct
    {
        const char *name;
        bool secondName; // written in place
        Hook hook;
        Step step;
        const char *after;
    } cases[] = {
        {"renamed", false, Hook::Allows, Step::None, "a longer new content"},
        {"rename refused", false, Hook::Refuses, Step::Aborted, "the original content"},
        {"saved while waiting", false, Hook::OtherProgramSaves, Step::Changed, "another program's"},
        {"in place", true, Hook::Allows, Step::None, "a longer new content"},
        {"in place refused", true, Hook::Refuses, Step::Aborted, "the original content"},
        {"in place, saved while waiting", true, Hook::OtherProgramSaves, Step::Changed, "another program's"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(path("b.txt"));
        const std::string f = put("a.txt", "the original content");
        if (c.secondName) {
            ASSERT_EQ(::link(f.c_str(), path("b.txt").c_str()), 0);
        }
        const long before = entries();
        const ino_t inode = statOf("a.txt").st_ino;
        int calls = 0;
        PosixFile::ReplaceOptions options;
        options.inPlaceFallback = true;
        options.expected = "the original content";
        options.beforeCommit = [&] {
            ++calls;
            EXPECT_EQ(bytesOf("a.txt"), "the original content");
            // On the rename path the new content waits whole in a file of its own.
            EXPECT_EQ(entries(), before + (c.secondName ? 0 : 1));
            if (c.hook == Hook::OtherProgramSaves)
                PutFile(f, "another program's");
            return c.hook == Hook::Refuses ? EIO : 0;
        };
        const auto r = PosixFile::Replace(
            f.c_str(), [](const PosixFile::Put &put) { return put("a longer new content", 20); }, options);
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(r.step, c.step);
        EXPECT_EQ(r.error, c.step == Step::Aborted ? EIO : c.step == Step::Changed ? ESTALE : 0);
        EXPECT_EQ(bytesOf("a.txt"), c.after);
        if (c.step != Step::None || c.secondName) {
            EXPECT_EQ(statOf("a.txt").st_ino, inode);
        }
        EXPECT_EQ(entries(), before);
    }
}

// Another program's save that lands when the new content is on disk, right
// before the original would be replaced, is never undone.
TEST_F(PosixFileTest, ChangeRightBeforeTheRenameIsKept)
{
    enum class Race { None, SameLength, SavedByRename, Removed };
    const struct
    {
        const char *name;
        Race race;
        Step step;
        int error;
        const char *after;
    } cases[] = {
        {"no other program", Race::None, Step::None, 0, "new"},
        {"rewritten, same length", Race::SameLength, Step::Changed, ESTALE, "OLD"},
        {"saved by rename, same bytes", Race::SavedByRename, Step::Changed, ESTALE, "old"},
        {"removed", Race::Removed, Step::Resolve, ENOENT, "<missing>"},
    };
    const std::string raced = path("a.txt");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        put("a.txt", "old");
        PosixFile::ReplaceOptions options;
        options.expected = "old";
        options.beforeCommit = [&] {
            switch (c.race) {
            case Race::None:
                break;
            case Race::SameLength: {
                const int fd = ::open(raced.c_str(), O_WRONLY);
                (void)!::write(fd, "OLD", 3);
                ::close(fd);
                break;
            }
            case Race::SavedByRename:
                PutFile(raced + "~", "old");
                ::rename((raced + "~").c_str(), raced.c_str());
                break;
            case Race::Removed:
                ::unlink(raced.c_str());
                break;
            }
            return 0;
        };
        const auto r = PosixFile::Replace(raced.c_str(), "new", 3, options);
        EXPECT_EQ(r.step, c.step);
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(bytesOf("a.txt"), c.after);
        EXPECT_EQ(entries(), c.race == Race::Removed ? 0 : 1);
    }
}

// A POSIX ACL as the kernel stores it: version 2, then tag, permissions, id.
std::string acl(std::initializer_list<std::array<std::uint32_t, 3>> entries)
{
    std::string bytes;
    auto add = [&bytes](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes += static_cast<char>(value >> (8 * i));
    };
    add(2, 4);
    for (const auto &e : entries) {
        add(e[0], 2);
        add(e[1], 2);
        add(e[2], 4);
    }
    return bytes;
}

std::map<std::string, std::string> attributesOf(const std::string &file)
{
    std::map<std::string, std::string> out;
    char names[4096];
    const ssize_t size = ::listxattr(file.c_str(), names, sizeof names);
    for (ssize_t at = 0; at < size; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
        char value[4096];
        const ssize_t n = ::getxattr(file.c_str(), names + at, value, sizeof value);
        out[names + at] = std::string(value, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    }
    return out;
}

// Root replacing another user's files: owner, group, the set-user-ID bit,
// extended attributes and the ACL stay; a folder's default ACL, which an
// original lacks, does not come with the new file.
TEST_F(PosixFileTest, KeepsOwnerModeAndAttributes)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give a file to another user";
    const std::uint32_t none = ~0u;
    const std::string a = put("a.txt", "old", 0640), b = put("b.txt", "old", 0640);
    if (::setxattr(a.c_str(), "user.note", "kept", 4, 0) != 0)
        GTEST_SKIP() << "no extended attributes on this file system";
    const std::string access = acl({{1, 6, none}, {2, 6, 65534}, {4, 4, none}, {0x10, 6, none}, {0x20, 0, none}});
    ASSERT_EQ(::setxattr(a.c_str(), "system.posix_acl_access", access.data(), access.size(), 0), 0);
    ASSERT_EQ(::chmod(a.c_str(), 04750), 0);
    const std::string inherited = acl({{1, 7, none}, {2, 7, 1}, {4, 5, none}, {0x10, 7, none}, {0x20, 5, none}});
    ASSERT_EQ(::setxattr(m_dir.c_str(), "system.posix_acl_default", inherited.data(), inherited.size(), 0), 0);
    for (const char *name : {"a.txt", "b.txt"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(::chown(path(name).c_str(), 65534, 65534), 0);
        if (name[0] == 'a') {
            ASSERT_EQ(::chmod(a.c_str(), 04750), 0); // chown cleared the bit
        }
        const struct stat before = statOf(name);
        const auto attributes = attributesOf(path(name));
        ASSERT_TRUE(PosixFile::Replace(path(name).c_str(), "new", 3, {}));
        const struct stat after = statOf(name);
        EXPECT_EQ(bytesOf(name), "new");
        EXPECT_NE(after.st_ino, before.st_ino) << "replaced, not written in place";
        EXPECT_EQ(after.st_uid, 65534u);
        EXPECT_EQ(after.st_gid, 65534u);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(attributesOf(path(name)), attributes);
    }
    EXPECT_EQ(attributesOf(a).count("system.posix_acl_access"), 1u);
    EXPECT_EQ(entries(), 2);
}

// Relative to an open folder: one name only, a link to a file written
// through, a link to a folder never followed into.
TEST_F(PosixFileTest, ReplaceAt)
{
    ::mkdir(path("sub").c_str(), 0755);
    ::symlink("sub/u.txt", path("l.txt").c_str());
    ::symlink("sub", path("d").c_str());
    const struct
    {
        const char *name;
        int folderFlags;
        Step step;
        int error;
        const char *changed; // the file that holds the new content
    } cases[] = {
        {"t.txt", O_RDONLY, Step::None, 0, "t.txt"},     {"t.txt", O_PATH, Step::None, 0, "t.txt"},
        {"l.txt", O_RDONLY, Step::None, 0, "sub/u.txt"}, {"sub/u.txt", O_RDONLY, Step::Resolve, EINVAL, ""},
        {"..", O_RDONLY, Step::Resolve, EINVAL, ""},     {"d", O_RDONLY, Step::Write, EISDIR, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.folderFlags == O_PATH ? " (path only)" : ""));
        put("t.txt", "old");
        put("sub/u.txt", "old");
        const int folder = ::open(m_dir.c_str(), c.folderFlags | O_DIRECTORY | O_CLOEXEC);
        const auto r = PosixFile::ReplaceAt(folder, c.name, "new", 3, {});
        ::close(folder);
        EXPECT_EQ(r.step, c.step);
        EXPECT_EQ(r.error, c.error);
        for (const char *file : {"t.txt", "sub/u.txt"})
            EXPECT_EQ(bytesOf(file), std::string(c.changed) == file ? "new" : "old") << file;
        EXPECT_TRUE(S_ISLNK(statOf("l.txt").st_mode) && S_ISLNK(statOf("d").st_mode));
        EXPECT_EQ(entries(), 4);
        EXPECT_EQ(std::distance(fs::directory_iterator(path("sub")), {}), 1);
    }
}

// What a handler of a fatal signal calls: the temporary file being written
// goes, the replace fails and leaves the original. Slots are given back, so
// it still works after more replaces than there are slots.
TEST_F(PosixFileTest, RemovePendingTemporaries)
{
    const std::string f = put("a.txt", "old");
    for (int i = 0; i < 65; ++i)
        ASSERT_TRUE(PosixFile::Replace(f.c_str(), "old", 3, {}));
    long pendingSeen = 0;
    PosixFile::ReplaceOptions options;
    options.beforeCommit = [&] {
        PosixFile::RemovePendingTemporaries();
        pendingSeen = std::distance(fs::directory_iterator(m_dir), {});
        return 0;
    };
    const auto r = PosixFile::Replace(f.c_str(), "new", 3, options);
    EXPECT_EQ(pendingSeen, 1);
    EXPECT_EQ(r.step, Step::Write);
    EXPECT_EQ(r.error, ENOENT);
    EXPECT_EQ(bytesOf("a.txt"), "old");
}

// New content from a producer, piece by piece; in place it is gathered first.
TEST_F(PosixFileTest, ReplaceFromAProducer)
{
    const struct
    {
        const char *name;
        bool secondName;
        int failAfter; // pieces put before the producer fails; -1: never
        Step step;
        int error;
        const char *after;
    } cases[] = {
        {"in pieces", false, -1, Step::None, 0, "new content"},
        {"producer fails", false, 1, Step::Write, EIO, "old"},
        {"in place", true, -1, Step::None, 0, "new content"},
        {"in place, producer fails", true, 1, Step::Write, EIO, "old"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(path("b.txt"));
        const std::string f = put("a.txt", "old");
        if (c.secondName)
            ::link(f.c_str(), path("b.txt").c_str());
        PosixFile::ReplaceOptions options;
        options.inPlaceFallback = true;
        const auto r = PosixFile::Replace(
            f.c_str(),
            [&c](const PosixFile::Put &put) {
                int n = 0;
                for (const char *piece : {"new ", "con", "tent"}) {
                    if (n++ == c.failAfter)
                        return EIO;
                    if (const int err = put(piece, std::strlen(piece)))
                        return err;
                }
                return 0;
            },
            options);
        EXPECT_EQ(r.step, c.step);
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(bytesOf("a.txt"), c.after);
        EXPECT_EQ(entries(), c.secondName ? 2 : 1);
    }
}

} // namespace
