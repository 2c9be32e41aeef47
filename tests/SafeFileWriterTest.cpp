// Replacing a file's content: never over somebody else's change, at the
// exact bytes of its name, and the reason in the user's words when it cannot
// be done. How the content is replaced (links, permissions, in place) is
// PosixFileTest's.
#include "SafeFileWriter.h"

#include "FileResult.h"
#include "NativePath.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

namespace {

// What the user reads for a result, through the pass's own words.
QString reasonOf(const SafeFileWriter::Result &r)
{
    FileResult f;
    switch (r.status) {
    case SafeFileWriter::Status::Written:
        return QString();
    case SafeFileWriter::Status::Gone:
        f.outcome = FileResult::Outcome::GoneBeforeWrite;
        break;
    case SafeFileWriter::Status::ChangedOnDisk:
        f.outcome = FileResult::Outcome::ChangedOnDisk;
        break;
    case SafeFileWriter::Status::Failed:
        f.outcome = FileResult::Outcome::WriteFailed;
        f.error = r.error;
        break;
    case SafeFileWriter::Status::Damaged:
        f.outcome = FileResult::Outcome::Damaged;
        f.error = r.error;
        break;
    }
    return f.Reason();
}

TEST(SafeFileWriter, ReasonsInTheUsersWords)
{
    const QString denied = QStringLiteral("Schreibfehler: ") + QString::fromLocal8Bit(std::strerror(EACCES));
    const struct
    {
        const char *name;   // the file's name as bytes
        const char *before; // nullptr: no file
        bool locked;        // folder and file read-only, written by an ordinary user
        QString reason;
        const char *after;
    } cases[] = {
        {"a.txt", "as read", false, QString(), "new"},
        {"gr\xF6\xDF"
         "e.txt",
         "as read", false, QString(), "new"}, // a name that is not UTF-8
        {"a.txt", "changed by someone else", false, QStringLiteral("Die Datei wurde seit dem Lesen verändert"),
         "changed by someone else"},
        {"a.txt", nullptr, false, QStringLiteral("Datei nicht gefunden"), "<missing>"},
        {"a.txt", "as read", true, denied, "as read"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + (c.before ? c.before : "-"));
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path());
        const QByteArray native = folder + '/' + c.name;
        const QString path = NativePath::Decode(native);
        if (c.before)
            PutFile(native.toStdString(), c.before);
        if (!c.locked) {
            EXPECT_EQ(reasonOf(SafeFileWriter::Replace(path, "as read", "new")), c.reason);
        } else {
            ::chmod(native.constData(), 0444);
            ::chmod(folder.constData(), 0555);
            EXPECT_TRUE(
                AsOrdinaryUser([&] { return reasonOf(SafeFileWriter::Replace(path, "as read", "new")) == c.reason; }));
            ::chmod(folder.constData(), 0755);
        }
        EXPECT_EQ(FileBytes(native.toStdString()), c.after);
        const auto entries = std::distance(std::filesystem::directory_iterator(folder.constData()), {});
        EXPECT_EQ(entries, c.before ? 1 : 0) << "no temporary file stays";
    }
}

} // namespace
