// The backup of a replace run: the originals of changed files only, read back
// by Python's zipfile; the folder probed before any change; a file whose
// original cannot be written is not changed; runs in the same second get
// their own archives; the partial file of an archive that cannot be completed
// holds every original and is named in the message.
#include "BackupArchive.h"
#include "FakeRunHost.h"
#include "FileSizeLimit.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <cstdlib>
#include <map>
#include <optional>

namespace {

std::map<QString, QByteArray> filesIn(const QString &folder)
{
    std::map<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        files[p.mid(folder.size() + 1)] = bytesOf(p);
    }
    return files;
}

// The local entries of a partial archive as bsdtar, the recovery tool the
// message names, unpacks them.
std::map<QString, QByteArray> extracted(const QString &partial)
{
    QTemporaryDir out;
    const QString cmd =
        QStringLiteral("bsdtar --options hdrcharset=CP437 -xf '%1' -C '%2' 2>/dev/null").arg(partial, out.path());
    std::system(cmd.toLocal8Bit().constData());
    return filesIn(out.path());
}

// Extracts an archive with Python's zipfile (an independent reader) and
// returns name -> bytes; unzip and zipfile check the archive's CRCs first,
// and all three readers take the entries' extra fields.
std::map<QString, QByteArray> unzip(const QString &archive)
{
    QTemporaryDir out;
    const QString cmd = QStringLiteral("unzip -tqq '%1' >/dev/null && bsdtar -tf '%1' >/dev/null && "
                                       "python3 -m zipfile -t '%1' >/dev/null && "
                                       "python3 -m zipfile -e '%1' '%2'")
                            .arg(archive, out.path());
    EXPECT_EQ(std::system(cmd.toLocal8Bit().constData()), 0) << cmd.toStdString();
    return filesIn(out.path());
}

class Backup : public Run
{
protected:
    void SetUp() override
    {
        Run::SetUp();
        tree = m_dir.filePath(u("Web"));
        host.options.txtStartFolder = tree;
        host.options.txtPattern = u("*.txt;*.css");
        host.options.chkUnterordner = 1;
        host.options.chkBackup = 1;
        run.BackupFolder = m_backups.path() + u("/");
    }
    QStringList archives() const { return QDir(m_backups.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir m_backups;
    QString tree;
};

TEST_F(Backup, ReplaceRunKeepsTheOriginalsOfChangedFilesOnly)
{
    const QByteArray a("Wort in a"), css("p { Wort: 1 }\r\n"),
        latin("Gr\xF6\xDF"
              "e Wort");
    file(u("Web/a.txt"), a);
    file(u("Web/css/style.css"), css);
    file(u("Web/css/latin.txt"), latin);
    file(u("Web/ohne.txt"), QByteArray("nichts"));
    // A name that is not UTF-8: the entry shows its byte as U+FFFD.
    PutFile(QFile::encodeName(tree).toStdString() + "/caf\xE9.txt", "Wort");
    host.answers = {RunHost::Answer::Yes};
    run.cmdStart_Click(1);
    EXPECT_FALSE(run.HasBackupArchive());
    ASSERT_EQ(archives(), QStringList({u("backup-05-12-2026_14-23-45.zip")}));
    const auto entries = unzip(m_backups.filePath(archives().first()));
    const std::map<QString, QByteArray> expected = {{u("Web/a.txt"), a},
                                                    {u("Web/caf\uFFFD.txt"), "Wort"},
                                                    {u("Web/css/latin.txt"), latin},
                                                    {u("Web/css/style.css"), css}};
    EXPECT_EQ(entries, expected);
    EXPECT_EQ(run.FilesChanged, 4);
}

TEST_F(Backup, NoArchiveWithoutChanges)
{
    file(u("Web/a.txt"), QByteArray("Wort"));
    host.options.txtFindW = u("nirgends");
    host.answers = {RunHost::Answer::Yes};
    run.cmdStart_Click(1); // no finds
    EXPECT_TRUE(archives().isEmpty());

    host.options.txtFindW = u("wort");
    host.options.txtReplaceW = u("Wort");
    host.answers = {RunHost::Answer::Yes};
    run.cmdStart_Click(1); // finds, but the text stays the same
    EXPECT_EQ(run.FilesWithFinds, 1);
    EXPECT_TRUE(archives().isEmpty());
}

TEST_F(Backup, AStopKeepsWhatChangedBeforeIt)
{
    for (int i = 0; i < 6; ++i)
        file(QStringLiteral("Web/f%1.txt").arg(i), QByteArray("Wort"));
    host.onEvents = [&](int n) {
        if (n == 6) // after the third file
            run.cmdAbbruch_Click();
    };
    host.answers = {RunHost::Answer::Yes};
    run.cmdStart_Click(1);
    EXPECT_EQ(run.FilesChanged, 3);
    ASSERT_EQ(archives().size(), 1);
    EXPECT_EQ(unzip(m_backups.filePath(archives().first())).size(), 3u);
}

TEST_F(Backup, AFolderThatTakesNoFileStopsTheRunBeforeAnyChange)
{
    const QString f = file(u("Web/a.txt"), QByteArray("Wort"));
    run.BackupFolder = u("/proc/self/");
    host.answers = {RunHost::Answer::Yes};
    run.cmdStart_Click(1);
    EXPECT_EQ(bytesOf(f), QByteArray("Wort"));
    EXPECT_EQ(host.list.ItemCount(), 13); // the run's empty rows stay: no pass cleared them
    // No file was looked at: no summary, and the filler rows hold no finds to show.
    EXPECT_TRUE(host.info.isEmpty()) << host.info.toStdString();
    EXPECT_TRUE(host.listToolTip.isEmpty());
    ASSERT_FALSE(host.shown.empty());
    EXPECT_EQ(host.shown.back().icon, RunHost::Icon::Exclamation);
    EXPECT_TRUE(
        host.shown.back().text.startsWith(u("Im Backupordner \"/proc/self/\" kann keine Datei angelegt werden")))
        << host.shown.back().text.toStdString();
}

TEST_F(Backup, RunsInTheSameSecondNeverReplaceAnArchive)
{
    const QString f = file(u("Web/a.txt"), QByteArray("Wort 0"));
    for (int i = 1; i <= 3; ++i) {
        host.answers = {RunHost::Answer::Yes};
        run.cmdStart_Click(1);
        put(f, QByteArray("Wort ") + QByteArray::number(i));
    }
    ASSERT_EQ(archives(), QStringList({u("backup-05-12-2026_14-23-45-2.zip"), u("backup-05-12-2026_14-23-45-3.zip"),
                                       u("backup-05-12-2026_14-23-45.zip")}));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(unzip(m_backups.filePath(archives()[(i + 2) % 3])).at(u("Web/a.txt")),
                  QByteArray("Wort ") + QByteArray::number(i));
}

// Letters in no order: they deflate to about three quarters.
QByteArray letters(qsizetype n, unsigned seed)
{
    QByteArray out(n, 'x');
    for (char &c : out) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>('A' + (seed >> 16) % 26 + ((seed >> 8) & 1) * 32);
    }
    return out;
}

TEST_F(Backup, AFileWhoseOriginalCannotBeWrittenStaysAsItIs)
{
    const struct
    {
        const char *name;
        QByteArray a, b; // b's original does not fit into what is left
    } cases[] = {
        // The middle file's new content does not fit either.
        {"both too large", "Wort a",
         QByteArray(reinterpret_cast<const char *>(Prose(2000000, 1).data()), 2000000) + "Wort"},
        // Its new content is ready and would fit: it waits for the original, in vain.
        {"only the original too large", letters(190000, 1) + "Wort", letters(150000, 2) + "Wort"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString &name : archives())
            QFile::remove(m_backups.filePath(name));
        file(u("Web/a.txt"), c.a);
        const QString b = file(u("Web/b.txt"), c.b);
        file(u("Web/c.txt"), QByteArray("Wort c"));
        host.answers = {RunHost::Answer::Yes};
        {
            const FileSizeLimit full(200000);
            run.cmdStart_Click(1);
        }
        EXPECT_EQ(bytesOf(b), c.b);
        EXPECT_EQ(run.FilesChanged, 2);
        ASSERT_EQ(archives().size(), 1);
        const auto entries = unzip(m_backups.filePath(archives().first()));
        const std::map<QString, QByteArray> expected = {{u("Web/a.txt"), c.a}, {u("Web/c.txt"), "Wort c"}};
        EXPECT_EQ(entries, expected);
        ASSERT_FALSE(host.shown.empty());
        EXPECT_TRUE(host.shown.back().text.contains(u("Die Datei konnte nicht gesichert werden")))
            << host.shown.back().text.toStdString();
        EXPECT_EQ(filesIn(tree).size(), 3u) << "no temporary file stays behind";
    }
}

// Completing fails: the message names the partial file, which then holds
// every original, or says there is no backup when that file is gone.
TEST_F(Backup, AnArchiveThatCannotBeCompletedIsReported)
{
    struct Case
    {
        bool removed; // else the disk is full for the directory
        RunHost::Icon icon;
        const char *text;
    } cases[] = {
        {false, RunHost::Icon::Exclamation, "Die Originale aller geänderten Dateien liegen in dieser Datei:"},
        {true, RunHost::Icon::Critical, "Es gibt KEINE Sicherung der geänderten Dateien!"},
    };
    for (const Case &c : cases) {
        QTemporaryDir folder;
        RunBackup backup(host);
        ASSERT_TRUE(backup.Prepare(folder.path() + u("/"), tree));
        ASSERT_TRUE(backup.Archive()->AddFile(tree + u("/a.txt"), "alt a"));
        ASSERT_TRUE(backup.Archive()->AddFile(tree + u("/b/c.txt"), "alt c"));
        const QString partial = backup.Archive()->PartialPath();
        EXPECT_TRUE(
            QRegularExpression(u("/backup-05-12-2026_14-23-45-[A-Za-z0-9]{6}\\.zip\\.part$")).match(partial).hasMatch())
            << partial.toStdString();
        std::optional<FileSizeLimit> full;
        if (c.removed)
            QFile::remove(partial);
        else
            full.emplace(QFileInfo(partial).size());
        backup.Complete();
        full.reset();
        ASSERT_FALSE(host.shown.empty());
        EXPECT_EQ(host.shown.back().icon, c.icon);
        EXPECT_TRUE(host.shown.back().text.contains(u(c.text))) << host.shown.back().text.toStdString();
        if (c.removed)
            continue;
        EXPECT_TRUE(host.shown.back().text.endsWith(u("bsdtar --options hdrcharset=CP437 -xf \"") + partial + u("\"")));
        const std::map<QString, QByteArray> expected = {{u("Web/a.txt"), "alt a"}, {u("Web/b/c.txt"), "alt c"}};
        EXPECT_EQ(extracted(partial), expected);
    }
}

} // namespace
