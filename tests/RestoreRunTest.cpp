// Undoing a replace run from its backup archive: byte for byte back, changed
// files only on request, the state before the restore saved, and archives
// that are damaged, hostile or older never write where they may not.
#include "RestoreRun.h"

#include "BackupRecord.h"
#include "FakeRunHost.h"
#include "ZipStreamWriter.h"

#include <QDirIterator>
#include <QFile>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using State = RestoreRun::State;

std::map<QString, QByteArray> filesIn(const QString &folder)
{
    std::map<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        files[p.mid(folder.size() + 1)] = bytesOf(p);
    }
    return files;
}

class Restore : public Run
{
protected:
    void SetUp() override
    {
        Run::SetUp();
        tree = m_dir.filePath(u("Web"));
        QDir().mkpath(tree);
        host.options.txtStartFolder = tree;
        host.options.chkUnterordner = 1;
        host.options.chkBackup = 1;
        run.BackupFolder = m_backups.path() + u("/");
    }
    QStringList archives() const
    {
        return QDir(m_backups.path()).entryList({u("backup-*.zip")}, QDir::Files, QDir::Name);
    }
    QString replaceRun()
    {
        const QStringList before = archives();
        host.answers = {RunHost::Answer::Yes};
        run.cmdStart_Click(1);
        for (const QString &a : archives())
            if (!before.contains(a))
                return m_backups.filePath(a);
        return QString();
    }
    // A restore of archive, saving into the backup folder (archive may name
    // the last restore's own archive, so it is taken by value).
    RestoreRun &restore(QString archive, QString start = QString(), bool force = false)
    {
        m_restore = std::make_unique<RestoreRun>(host, host);
        planned = m_restore->Plan(archive, start);
        if (planned.isEmpty())
            m_restore->Execute(m_backups.path() + u("/"), force);
        return *m_restore;
    }
    State stateOf(const QString &path) const
    {
        for (const RestoreRun::Item &i : m_restore->Items())
            if (i.path == path)
                return i.state;
        return State::Stopped;
    }

    QTemporaryDir m_backups;
    QString tree;
    QString planned;
    std::unique_ptr<RestoreRun> m_restore;
};

TEST_F(Restore, EveryEncodingComesBackByteForByteWithItsMode)
{
    for (int e = 0; e <= 4; ++e) {
        file(QStringLiteral("Web/sub/e%1.txt").arg(e), u("Ein Wort\r\nnoch ein Wort über Größe"), e);
        file(QStringLiteral("Web/e%1.php").arg(e), u("Wort"), e);
    }
    file(u("Web/ohne.txt"), QByteArray("nichts"));
    ::chmod(QFile::encodeName(tree + u("/e2.php")).constData(), 0640);
    const auto before = filesIn(tree);
    const QString archive = replaceRun();
    ASSERT_FALSE(archive.isEmpty());
    const auto replaced = filesIn(tree);
    ASSERT_NE(replaced, before);

    RestoreRun &r = restore(archive);
    EXPECT_TRUE(planned.isEmpty()) << planned.toStdString();
    EXPECT_EQ(filesIn(tree), before);
    EXPECT_EQ(r.Count(State::Restored), 10);
    struct stat st = {};
    ASSERT_EQ(::stat(QFile::encodeName(tree + u("/e2.php")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // The state before the restore is an archive of its own: restoring it
    // brings the replaced state back.
    ASSERT_FALSE(r.SavedArchive().isEmpty());
    restore(r.SavedArchive());
    EXPECT_EQ(filesIn(tree), replaced);
    // Restoring what already holds the originals writes nothing.
    restore(archive);
    restore(m_restore->SavedArchive());
    EXPECT_EQ(filesIn(tree), replaced);
}

TEST_F(Restore, AFileChangedSinceTheRunIsRestoredOnlyOnRequest)
{
    const QString a = file(u("Web/a.txt"), QByteArray("Wort a")), b = file(u("Web/b.txt"), QByteArray("Wort b"));
    const QString archive = replaceRun();
    put(b, "von Hand geändert");

    restore(archive);
    EXPECT_EQ(stateOf(a), State::Restored);
    EXPECT_EQ(stateOf(b), State::Changed);
    EXPECT_EQ(bytesOf(b), QByteArray("von Hand geändert"));
    EXPECT_TRUE(m_restore->NotRestoredText(20).contains(u("b.txt – wurde seit dem Lauf geändert")));

    // The window's way: the second question decides.
    host.shown.clear();
    host.answers = {RunHost::Answer::Yes, RunHost::Answer::No};
    RestoreRun asked(host, host);
    EXPECT_EQ(asked.Run(archive, QString(), m_backups.path()), RestoreRun::Outcome::Finished);
    ASSERT_GE(host.shown.size(), 2u);
    EXPECT_TRUE(host.shown[1].text.startsWith(u("1 Datei seit dem Lauf geändert. Sollen sie trotzdem")));
    EXPECT_EQ(bytesOf(b), QByteArray("von Hand geändert"));

    RestoreRun &forced = restore(archive, QString(), true);
    EXPECT_EQ(bytesOf(b), QByteArray("Wort b"));
    EXPECT_EQ(bytesOf(a), QByteArray("Wort a"));
    // The hand-made change is kept in the archive of the state before.
    restore(forced.SavedArchive(), QString(), true);
    EXPECT_EQ(bytesOf(b), QByteArray("von Hand geändert"));
}

TEST_F(Restore, AStoppedRunsArchiveRestoresExactlyItsFiles)
{
    for (int i = 0; i < 6; ++i)
        file(QStringLiteral("Web/f%1.txt").arg(i), QByteArray("Wort"));
    host.onEvents = [&](int n) {
        if (n == 6)
            run.cmdAbbruch_Click();
    };
    const QString archive = replaceRun();
    host.onEvents = nullptr;
    ASSERT_EQ(run.FilesChanged, 3);
    RestoreRun &r = restore(archive);
    EXPECT_EQ(r.Items().size(), 3u);
    EXPECT_EQ(r.Count(State::Restored), 3);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(bytesOf(QStringLiteral("%1/f%2.txt").arg(tree).arg(i)), QByteArray("Wort"));
}

TEST_F(Restore, ADamagedArchiveWritesNothing)
{
    const QString a = file(u("Web/a.txt"), QByteArray("Wort ") + QByteArray(3000, 'x'));
    const QString archive = replaceRun();
    const QByteArray good = bytesOf(archive), replaced = bytesOf(a);
    const auto u16 = [&good](int at) { return int(uchar(good[at])) | int(uchar(good[at + 1])) << 8; };
    const qsizetype data = 30 + u16(26) + u16(28) + 10; // inside the first entry's data
    struct Case
    {
        const char *what;
        QByteArray bytes;
    };
    QByteArray flipped = good, badDirectory = good;
    flipped[data] = char(flipped[data] ^ 0x20);
    badDirectory[good.lastIndexOf("PK\x01\x02") + 42] ^= 0x7F; // the entry's offset
    const Case cases[] = {{"truncated", good.left(good.size() / 2)},
                          {"end record cut", good.left(good.size() - 3)},
                          {"flipped data byte", flipped},
                          {"bad central directory", badDirectory}};
    for (const Case &c : cases) {
        put(archive, c.bytes);
        restore(archive, QString(), true);
        EXPECT_EQ(bytesOf(a), replaced) << c.what;
        if (planned.isEmpty())
            EXPECT_EQ(stateOf(a), State::Damaged) << c.what;
        else
            EXPECT_TRUE(planned.contains(u("kann nicht verwendet werden"))) << c.what;
    }
}

// Archives written by hand: entries with and without a recorded path.
class HandMade : public Restore
{
protected:
    QString archiveOf(const std::vector<std::pair<std::string, std::string>> &entries,
                      const std::vector<std::string> &extras = {})
    {
        const QString path = m_backups.filePath(u("backup-hand.zip"));
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ZipStreamWriter zip(fd);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            ZipStreamWriter::Entry e;
            e.name = entries[i].first;
            if (i < extras.size())
                e.extra.assign(extras[i].begin(), extras[i].end());
            zip.Add(e, reinterpret_cast<const std::uint8_t *>(entries[i].second.data()), entries[i].second.size());
        }
        zip.Finish();
        ::close(fd);
        return path;
    }
};

TEST_F(HandMade, AnArchiveWithoutPathsGoesBackIntoTheStartFolderGiven)
{
    const QString a = file(u("Web/a.txt"), QByteArray("neu")), b = file(u("Web/sub/b.txt"), QByteArray("neu"));
    // Named from the start folder's own name, or from inside it when the
    // folder was given with a closing separator.
    for (const auto &[names, start] :
         {std::pair{std::pair{"Web/a.txt", "Web/sub/b.txt"}, tree}, {{"a.txt", "sub/b.txt"}, tree + u("/")}}) {
        put(a, "neu");
        put(b, "neu");
        const QString archive = archiveOf({{names.first, "alt a"}, {names.second, "alt b"}});
        EXPECT_FALSE(restore(archive).HasPaths());
        EXPECT_TRUE(planned.contains(u("Startordner"))) << planned.toStdString();
        // Without a record of what the run wrote, every file counts as changed.
        restore(archive, start);
        EXPECT_EQ(m_restore->Count(State::Changed), 2);
        restore(archive, start, true);
        EXPECT_EQ(bytesOf(a), QByteArray("alt a"));
        EXPECT_EQ(bytesOf(b), QByteArray("alt b"));
    }
}

TEST_F(HandMade, HostileArchivesWriteNothingOutside)
{
    QTemporaryDir outside;
    const QString victim = put(outside.filePath(u("opfer.txt")), "unberührt");
    const QString inside = file(u("Web/a.txt"), QByteArray("neu"));
    BackupRecord away;
    away.path = QFile::encodeName(outside.filePath(u("opfer.txt")));
    away.startLength = static_cast<std::uint16_t>(QFile::encodeName(outside.path()).size());
    BackupRecord mismatch = away; // records a path that is not its name
    ::symlink(QFile::encodeName(outside.path()).constData(), QFile::encodeName(tree + u("/link")).constData());
    BackupRecord throughLink;
    throughLink.path = QFile::encodeName(tree + u("/link/opfer.txt"));
    throughLink.startLength = static_cast<std::uint16_t>(QFile::encodeName(tree).size());
    struct Case
    {
        const char *what;
        std::string name;
        std::string extra;
        QString start;
        State expected;
    };
    const Case cases[] = {
        {"climbs out", "Web/../opfer.txt", "", tree, State::Refused},
        {"absolute name", "/tmp/opfer.txt", "", tree, State::Refused},
        {"another start folder", "Anders/opfer.txt", "", tree, State::Refused},
        {"recorded path outside the start folder", away.path.mid(1).toStdString(), away.Encode(), tree, State::Outside},
        {"recorded path is not the name", "Web/a.txt", mismatch.Encode(), QString(), State::Refused},
        {"through a folder link", "Web/link/opfer.txt", throughLink.Encode(), QString(), State::Blocked},
    };
    for (const Case &c : cases) {
        restore(archiveOf({{c.name, "böse"}}, {c.extra}), c.start, true);
        EXPECT_EQ(bytesOf(victim), QByteArray("unberührt")) << c.what;
        EXPECT_EQ(bytesOf(inside), QByteArray("neu")) << c.what;
        ASSERT_EQ(m_restore->Items().size(), 1u) << c.what;
        EXPECT_EQ(m_restore->Items().front().state, c.expected) << c.what;
    }
}

TEST_F(HandMade, AZip64ArchiveRestores)
{
    // Past 65,535 entries the archive needs ZIP64 records.
    const QString folder = tree + u("/viele");
    QDir().mkpath(folder);
    std::vector<std::pair<std::string, std::string>> entries;
    for (int i = 0; i < 70000; ++i)
        entries.push_back({"Web/viele/" + std::to_string(i), "alt"});
    const QString archive = archiveOf(entries);
    for (int i : {0, 69999})
        put(QStringLiteral("%1/%2").arg(folder).arg(i), "neu");
    RestoreRun &r = restore(archive, tree, true);
    EXPECT_EQ(r.Items().size(), 70000u);
    EXPECT_EQ(r.Count(State::Restored), 2);
    EXPECT_EQ(r.Count(State::Missing), 69998);
    EXPECT_EQ(bytesOf(folder + u("/69999")), QByteArray("alt"));
}

} // namespace
