// Filter parts against file names, and the walk that collects files.
#include "FileCollector.h"
#include "FileNames.h"
#include "WildcardPattern.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString u(const char *s) { return QString::fromUtf8(s); }

struct WildcardCase
{
    const char *pattern;
    const char *name;
    bool matches;
};

TEST(WildcardPattern, Table)
{
    const WildcardCase cases[] = {
        {"*.txt", "a.txt", true},
        {"*.txt", "A.TXT", true},
        {"*.TXT", "readme.txt", true},
        {"*.txt", "a.txt.bak", false},
        {"*.txt", ".txt", true},
        {"*", "", true},
        {"*.*", "noext", false},
        {"?.txt", "a.txt", true},
        {"?.txt", "ab.txt", false},
        {"datei##.txt", "datei07.txt", true},
        {"datei##.txt", "datei7a.txt", false},
        {"[abc]*", "b.txt", true},
        {"[abc]*", "d.txt", false},
        {"[!abc]*", "d.txt", true},
        {"[!abc]*", "a.txt", false},
        {"[a-c]x", "Bx", true},
        {"[a-c]x", "dx", false},
        {"[-a]x", "-x", true},
        {"[a-]x", "-x", true},
        {"a[]b", "ab", true},
        {"[abc", "a", false},     // unclosed bracket matches nothing
        {" *.php", "a.php", false}, // a part after "; " starts with a space
        {" *.php", " a.php", true},
        {"*a*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
        {"*ä*", "ÄPFEL.txt", true},
        {"straße.txt", "STRASSE.TXT", true}, // upper-casing turns ß into SS on both sides
    };
    for (const auto &c : cases)
        EXPECT_EQ(WildcardPattern(u(c.pattern)).Matches(u(c.name)), c.matches) << c.pattern << " ~ " << c.name;
}

TEST(FileNames, Table)
{
    EXPECT_EQ(FileNames::FileNameOf(u("/a/b/c.txt")), u("c.txt"));
    EXPECT_EQ(FileNames::FileNameOf(u("c.txt")), u("c.txt"));
    EXPECT_EQ(FileNames::FileNameOf(QString()), QString());
    EXPECT_EQ(FileNames::FolderOf(u("/a/b/c.txt")), u("/a/b/"));
    EXPECT_EQ(FileNames::FolderOf(u("c.txt")), QString());
    EXPECT_EQ(FileNames::AddBackslash(u("/a")), u("/a/"));
    EXPECT_EQ(FileNames::AddBackslash(u("/a/")), u("/a/"));
    EXPECT_FALSE(FileNames::GetSpecialFolder(0).isEmpty());
    EXPECT_TRUE(FileNames::GetSpecialFolder(5).isEmpty());
}

class Collect : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QDir d(m_dir.path());
        for (const char *f : {"b.txt", "A.txt", "c.PHP", "d.exe", "Sub/x.txt", "sub2/y.txt", "Sub/deep/z.txt",
                              ".hidden.txt", "$RECYCLE.BIN/r.txt"}) {
            const QString path = d.filePath(u(f));
            d.mkpath(QFileInfo(path).path());
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
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
    EXPECT_EQ(collect(u("*.txt"), true),
              QStringList({u("$RECYCLE.BIN/r.txt"), u(".hidden.txt"), u("A.txt"), u("b.txt"), u("Sub/deep/z.txt"),
                           u("Sub/x.txt"), u("sub2/y.txt")}));
    EXPECT_EQ(collect(u("*.txt;*.php"), false),
              QStringList({u(">>$RECYCLE.BIN"), u(".hidden.txt"), u("A.txt"), u("b.txt"), u("c.PHP"), u(">>Sub"),
                           u(">>sub2")}));
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
