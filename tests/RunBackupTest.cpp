// The backup of a replace run: the originals of changed files only, read back
// by Python's zipfile; the folder probed before any change; an archive that
// cannot be written goes home or is reported missing; the folder button.
#include "FakeRunHost.h"

#include <QDirIterator>
#include <cstdlib>
#include <map>

namespace {

// Extracts an archive with Python's zipfile (an independent reader) and
// returns name -> bytes; also checks the archive's CRCs.
std::map<QString, QByteArray> unzip(const QString &archive)
{
    QTemporaryDir out;
    const QString cmd = QStringLiteral("python3 -m zipfile -t '%1' >/dev/null && python3 -m zipfile -e '%1' '%2'")
                            .arg(archive, out.path());
    EXPECT_EQ(std::system(cmd.toLocal8Bit().constData()), 0) << cmd.toStdString();
    std::map<QString, QByteArray> files;
    QDirIterator it(out.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        files[p.mid(out.path().size() + 1)] = bytesOf(p);
    }
    return files;
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
    host.answers = {RunHost::Answer::Yes};
    run.cmdStart_Click(1);
    EXPECT_FALSE(run.HasBackupArchive());
    ASSERT_EQ(archives(), QStringList({u("backup-05-12-2026_14-23-45.zip")}));
    const auto entries = unzip(m_backups.filePath(archives().first()));
    const std::map<QString, QByteArray> expected = {
        {u("Web/a.txt"), a}, {u("Web/css/latin.txt"), latin}, {u("Web/css/style.css"), css}};
    EXPECT_EQ(entries, expected);
    EXPECT_EQ(run.FilesChanged, 3);
}

TEST_F(Backup, NoArchiveWithoutChanges)
{
    file(u("Web/a.txt"), QByteArray("Wort"));
    run.cmdStart_Click(0); // a search never backs up
    EXPECT_TRUE(archives().isEmpty());

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
    ASSERT_FALSE(host.shown.empty());
    EXPECT_EQ(host.shown.back().icon, RunHost::Icon::Exclamation);
    EXPECT_TRUE(
        host.shown.back().text.startsWith(u("Im Backupordner \"/proc/self/\" kann keine Datei angelegt werden")))
        << host.shown.back().text.toStdString();
}

TEST_F(Backup, AnArchiveThatCannotBeWrittenGoesHomeOrIsReportedMissing)
{
    file(u("Web/a.txt"), QByteArray("Wort"));
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    // The backup folder disappears while the run goes on.
    host.onEvents = [&](int n) {
        if (n == 4)
            QDir(m_backups.path()).removeRecursively();
    };
    host.answers = {RunHost::Answer::Yes};
    run.cmdStart_Click(1);
    EXPECT_TRUE(QFile::exists(home.filePath(u("backup-05-12-2026_14-23-45.zip"))));
    EXPECT_TRUE(host.shown.back().text.contains(u("Sie wurde stattdessen hier gespeichert:")));

    QDir().mkpath(m_backups.path());
    file(u("Web/a.txt"), QByteArray("Wort"));
    qputenv("HOME", "/proc/self");
    host.events = 0;
    host.answers = {RunHost::Answer::Yes};
    run.cmdStart_Click(1);
    qputenv("HOME", oldHome);
    EXPECT_EQ(host.shown.back().icon, RunHost::Icon::Critical);
    EXPECT_TRUE(host.shown.back().text.endsWith(u("Es gibt KEINE Sicherung der geänderten Dateien!")));
}

TEST_F(Backup, FolderButton)
{
    host.browseAnswer = u("/daten/sicherung");
    run.cmdBackupFolder_Click();
    EXPECT_EQ(host.browseTitle, u("Bitte einen BackupOrdner auswählen oder neu anlegen..."));
    EXPECT_EQ(run.BackupFolder, u("/daten/sicherung/"));
    EXPECT_EQ(host.backupCaption, u("Backupordner: /daten/sicherung/"));
    EXPECT_EQ(host.backupToolTip, u("Backupordner auswählen oder erstellen?"));
    host.browseAnswer.clear(); // cancelled: the folder is empty, the label stays
    run.cmdBackupFolder_Click();
    EXPECT_TRUE(run.BackupFolder.isEmpty());
    EXPECT_EQ(host.backupCaption, u("Backupordner: /daten/sicherung/"));
}

} // namespace
