// The walk that collects files: depth first, sorted without case, folder
// markers, the stop flag, never a folder link or a special file, each file
// once, and what cannot be read reported.
#include "FileCollector.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class Collect : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *f : {"b.txt", "A.txt", "c.PHP", "d.exe", "Sub/x.txt", "sub2/y.txt", "Sub/deep/z.txt",
                              ".hidden.txt", "$RECYCLE.BIN/r.txt"})
            put(m_dir.filePath(u(f)), QByteArray());
    }

    QStringList collect(const QString &filter, bool recurse, int abortFlag = 0)
    {
        std::vector<FileCollector::Found> found;
        int next = 0;
        FileCollector c(abortFlag, {});
        const int added = c.CollectFiles(m_dir.path(), filter, found, recurse, next);
        EXPECT_EQ(added, next);
        EXPECT_EQ(static_cast<int>(found.size()), next);
        EXPECT_TRUE(c.Refusals().empty());
        QStringList files;
        for (const FileCollector::Found &f : found)
            files << QString(f.path).replace(m_dir.path() + QLatin1Char('/'), QString());
        return files;
    }

    QTemporaryDir m_dir;
};

TEST_F(Collect, DepthFirstSortedIgnoringCaseWithMarkers)
{
    EXPECT_EQ(collect(u("*.txt"), true), QStringList({u("$RECYCLE.BIN/r.txt"), u(".hidden.txt"), u("A.txt"), u("b.txt"),
                                                      u("Sub/deep/z.txt"), u("Sub/x.txt"), u("sub2/y.txt")}));
    EXPECT_EQ(collect(u("*.txt;*.php"), false), QStringList({u(">>$RECYCLE.BIN"), u(".hidden.txt"), u("A.txt"),
                                                             u("b.txt"), u("c.PHP"), u(">>Sub"), u(">>sub2")}));
    EXPECT_EQ(collect(u("*.TXT"), false).filter(u(".txt")).size(), 3);
    EXPECT_TRUE(collect(u("*.doc"), true).isEmpty());
    // Names tested by their ASCII tail agree with the full match, also where
    // a letter outside ASCII upper-cases to one inside ("ı" to "I").
    for (const char *f : {"e.\xC4\xB1ni", "f.ini~", "g.In\xC3\xA4", "h.INI"})
        put(m_dir.filePath(u(f)), QByteArray());
    QStringList named = collect(u("*.ini;*.inä"), false);
    named.removeIf([](const QString &n) { return n.startsWith(u(">>")); });
    EXPECT_EQ(named, QStringList({u("e.\u0131ni"), u("g.In\u00E4"), u("h.INI")}));
}

TEST(CollectOrder, NamesOfAsciiAndOtherLettersSortAsTheirTextIgnoringCase)
{
    // Signs that fall between the upper and the lower case letters, names
    // equal but for case, and letters beyond ASCII that fold to ASCII ones
    // (the Kelvin sign to "k", the long s to "s").
    const QStringList names = {u("a_b"), u("A[c"), u("aB"), u("ab"), u("AB"), u("Ab"), u("a"),
                               u("A"),   u("ä"),   u("Ka"), u("ka"), u("Kb"), u("ſa"), u("sb"),
                               u("S"),   u("a~"),  u("a`"), u("Z"),  u("z0"), u("Ä")};
    QTemporaryDir dir;
    for (const QString &n : names)
        put(dir.filePath(n), QByteArray());
    QStringList expected = names;
    std::sort(expected.begin(), expected.end(), [](const QString &a, const QString &b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    int stop = 0, next = 0;
    FileCollector c(stop, {});
    std::vector<FileCollector::Found> found;
    c.CollectFiles(dir.path(), u("*"), found, false, next);
    QStringList collected;
    for (const FileCollector::Found &f : found)
        collected << f.path.mid(dir.path().size() + 1);
    EXPECT_EQ(collected, expected);
}

TEST_F(Collect, StopsWhenAbortFlagIsOne)
{
    EXPECT_TRUE(collect(u("*.txt"), true, 1).isEmpty());
    EXPECT_FALSE(collect(u("*.txt"), true, 2).isEmpty()); // only 1 stops the walk
}

TEST_F(Collect, NeverFollowsFolderLinksOrOpensSpecialFiles)
{
    QTemporaryDir outside;
    const QByteArray base = QFile::encodeName(m_dir.path());
    const QString target = put(outside.filePath(u("t.txt")), "x");
    ASSERT_EQ(::symlink(base.constData(), (base + "/loop").constData()), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), (base + "/link.txt").constData()), 0);
    ASSERT_EQ(::symlink((base + "/missing").constData(), (base + "/broken.txt").constData()), 0);
    ASSERT_EQ(::mkfifo((base + "/pipe.txt").constData(), 0600), 0);
    const QStringList files = collect(u("*"), true);
    EXPECT_TRUE(files.contains(u("link.txt")));
    EXPECT_FALSE(files.contains(u("broken.txt")));
    EXPECT_FALSE(files.contains(u("pipe.txt")));
    for (const QString &f : files)
        EXPECT_FALSE(f.startsWith(u("loop"))) << f.toStdString();
    EXPECT_TRUE(collect(u("*"), false).filter(u("loop")).isEmpty()); // no marker for a link either
}

TEST_F(Collect, FileReachedByTwoPathsIsCollectedOnce)
{
    const QByteArray base = QFile::encodeName(m_dir.path());
    ASSERT_EQ(::symlink((base + "/b.txt").constData(), (base + "/a-link.txt").constData()), 0);
    ASSERT_EQ(::link((base + "/Sub/x.txt").constData(), (base + "/sub2/x-too.txt").constData()), 0);
    EXPECT_EQ(collect(u("*.txt"), true),
              QStringList({u("$RECYCLE.BIN/r.txt"), u(".hidden.txt"), u("a-link.txt"), u("A.txt"), u("Sub/deep/z.txt"),
                           u("Sub/x.txt"), u("sub2/y.txt")}));
}

TEST(CollectRefusals, FoldersThatCannotBeReadAreReported)
{
    TempFolder dir;
    PutFile(dir.file("zu/a.txt"), "x");
    PutFile(dir.file("offen/b.txt"), "x");
    ASSERT_EQ(::chmod(dir.file("zu").c_str(), 0), 0);
    const QString base = QString::fromStdString(dir.path());
    const int noStop = 0;
    EXPECT_TRUE(AsOrdinaryUser([&] {
        std::vector<FileCollector::Found> found;
        int next = 0;
        FileCollector c(noStop, {});
        c.CollectFiles(base, u("*"), found, true, next);
        return found.size() == 1 && found[0].path == base + u("/offen/b.txt") && c.Refusals().size() == 1 &&
               c.Refusals()[0].path == base + u("/zu") && c.Refusals()[0].error == EACCES && c.Refusals()[0].folder;
    }));
    ::chmod(dir.file("zu").c_str(), 0755);

    // A start folder that is not there is reported too.
    std::vector<FileCollector::Found> found;
    int next = 0;
    FileCollector c(noStop, {});
    EXPECT_EQ(c.CollectFiles(base + u("/nope"), u("*"), found, true, next), 0);
    EXPECT_EQ(next, 0);
    ASSERT_EQ(c.Refusals().size(), 1u);
    EXPECT_EQ(c.Refusals()[0].error, ENOENT);
}

} // namespace
