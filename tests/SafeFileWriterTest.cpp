// Replacing a file's content: never half-written, never over somebody
// else's change, links and permissions kept.
#include "SafeFileWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray bytesOf(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void put(const QString &file, const QByteArray &bytes)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

mode_t modeOf(const QString &file)
{
    struct stat st;
    ::lstat(QFile::encodeName(file).constData(), &st);
    return st.st_mode;
}

TEST(SafeFileWriter, ReplacesAndKeepsPermissionBits)
{
    QTemporaryDir dir;
    const QString f = dir.filePath(QStringLiteral(".hidden.txt"));
    put(f, "old");
    ::chmod(QFile::encodeName(f).constData(), 0640);
    EXPECT_EQ(SafeFileWriter::Replace(f, "old", "new content").status, SafeFileWriter::Status::Written);
    EXPECT_EQ(bytesOf(f), QByteArray("new content"));
    EXPECT_EQ(modeOf(f) & 07777, 0640u);
    // No temporary file is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(SafeFileWriter, RefusesAFileChangedSinceItWasRead)
{
    QTemporaryDir dir;
    const QString f = dir.filePath(QStringLiteral("a.txt"));
    put(f, "changed by someone else");
    EXPECT_EQ(SafeFileWriter::Replace(f, "as read", "new").status, SafeFileWriter::Status::ChangedOnDisk);
    EXPECT_EQ(bytesOf(f), QByteArray("changed by someone else"));
    EXPECT_EQ(SafeFileWriter::Replace(dir.filePath(QStringLiteral("gone.txt")), "x", "y").status, SafeFileWriter::Status::Gone);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("gone.txt"))));
}

TEST(SafeFileWriter, WritesThroughASymbolicLink)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("target.txt"));
    const QString link = dir.filePath(QStringLiteral("link.txt"));
    put(target, "old");
    ASSERT_EQ(::symlink("target.txt", QFile::encodeName(link).constData()), 0);
    EXPECT_EQ(SafeFileWriter::Replace(link, "old", "new").status, SafeFileWriter::Status::Written);
    EXPECT_TRUE(S_ISLNK(modeOf(link)));
    EXPECT_EQ(bytesOf(target), QByteArray("new"));
}

TEST(SafeFileWriter, RewritesInPlaceWhereTheFolderTakesNoNewFile)
{
    QTemporaryDir dir;
    const QString f = dir.filePath(QStringLiteral("a.txt"));
    put(f, "a longer old content");
    ::chmod(QFile::encodeName(f).constData(), 0666);
    ::chmod(QFile::encodeName(dir.path()).constData(), 0555);
    // Root may create files in any folder: run the write as an ordinary user.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        ::_exit(SafeFileWriter::Replace(f, "a longer old content", "short").status == SafeFileWriter::Status::Written ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(bytesOf(f), QByteArray("short"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

} // namespace
