// The walk that collects files: depth first, sorted without case, folder
// markers, the stop flag, and never a folder link or a special file.
#include "FileCollector.h"

#include "TestSupport.h"

#include <QTemporaryDir>
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
        QStringList files;
        int next = 0;
        FileCollector c(abortFlag, {});
        const int added = c.CollectFiles(m_dir.path(), filter, files, recurse, next);
        EXPECT_EQ(added, next);
        EXPECT_EQ(files.size(), next);
        const QString base = m_dir.path() + QLatin1Char('/');
        for (QString &f : files)
            f.replace(base, QString());
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
}

TEST_F(Collect, StopsWhenAbortFlagIsOne)
{
    EXPECT_TRUE(collect(u("*.txt"), true, 1).isEmpty());
    EXPECT_FALSE(collect(u("*.txt"), true, 2).isEmpty()); // only 1 stops the walk
}

TEST_F(Collect, NeverFollowsFolderLinksOrOpensSpecialFiles)
{
    const QByteArray base = QFile::encodeName(m_dir.path());
    ASSERT_EQ(::symlink(base.constData(), (base + "/loop").constData()), 0);
    ASSERT_EQ(::symlink((base + "/A.txt").constData(), (base + "/link.txt").constData()), 0);
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

TEST_F(Collect, MissingFolderContributesNothing)
{
    QStringList files;
    int next = 0;
    FileCollector c(0, {});
    EXPECT_EQ(c.CollectFiles(m_dir.filePath(u("nope")), u("*"), files, true, next), 0);
    EXPECT_EQ(next, 0);
}

} // namespace
