// velmora-cli on a generated tree of every encoding, against an independent
// model of the same run (tests/corpus_reference.py).
#include "QtPrinters.h"
#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

namespace {

const QString Filter = u("*.txt;*.htm;*.html;*.php");

struct Result
{
    int exitCode;
    QString out, err;
};

Result run(const QString &program, const QStringList &args, const QString &lang = u("de_DE.UTF-8"),
           const QString &workingFolder = QString())
{
    QProcess p;
    p.setWorkingDirectory(workingFolder);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u("LC_ALL"), lang);
    p.setProcessEnvironment(env);
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(120000)) << program.toStdString();
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

std::map<QString, int> parseCounts(const QString &out, int pathColumn)
{
    std::map<QString, int> counts;
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList cols = line.split(QLatin1Char('\t'));
        if (cols.size() > pathColumn)
            counts[cols.at(pathColumn)] = cols.at(0).toInt();
    }
    return counts;
}

std::map<QString, QByteArray> snapshot(const QString &root)
{
    std::map<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        files[path.mid(root.size())] = f.readAll();
    }
    return files;
}

class Cli : public ::testing::Test
{
protected:
    void SetUp() override
    {
        corpus = m_dir.filePath(u("korpus"));
        // The log goes to the configuration folder; keep it out of the user's.
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(u("config")).toLocal8Bit());
        const Result r = run(u("python3"), {u(VELMORA_CORPUS_SCRIPT), corpus, u("--mb"), u("2")});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }

    Result reference(const QStringList &args) { return run(u("python3"), QStringList{u(VELMORA_REFERENCE)} + args); }

    QTemporaryDir m_dir;
    QString corpus;
    const QString cli = u(VELMORA_CLI);
};

TEST_F(Cli, SearchAgreesWithTheReferenceFileByFile)
{
    const Result r =
        run(cli, {u("--folder"), corpus, u("--filter"), Filter, u("--subfolders"), u("--find"), u("Suchwort")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const Result ref = reference({u("count"), corpus, Filter, u("Suchwort")});
    ASSERT_EQ(ref.exitCode, 0) << ref.err.toStdString();

    const auto ours = parseCounts(r.out, 2);
    const auto theirs = parseCounts(ref.out, 1);
    ASSERT_GT(theirs.size(), 20u);
    EXPECT_EQ(ours, theirs);
    long total = 0;
    for (const auto &[path, n] : theirs)
        total += n;
    const QString last = r.out.trimmed().split(QLatin1Char('\n')).last();
    EXPECT_TRUE(last.startsWith(u("Textsuche abgeschlossen! In %1 Dateien von ").arg(theirs.size())))
        << last.toStdString();
    EXPECT_TRUE(last.contains(u("Gesamtzahl der Funde: %1   Suchzeit: ")
                                  .arg(QLocale(QLocale::German).toString(static_cast<qlonglong>(total)))))
        << last.toStdString();
    EXPECT_TRUE(last.endsWith(u(" Sek.")));
}

TEST_F(Cli, ReplaceWritesWhatTheReferenceWrites)
{
    const QString expected = m_dir.filePath(u("erwartet"));
    ASSERT_EQ(run(u("cp"), {u("-a"), corpus, expected}).exitCode, 0);
    const auto before = snapshot(corpus);

    // Without --yes the confirmation is answered No and nothing changes.
    Result r = run(cli, {u("--folder"), corpus, u("--filter"), Filter, u("--subfolders"), u("--find"), u("Suchwort"),
                         u("--replace"), u("Fundstück")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u("Sind Sie sich wirklich sicher?")));
    EXPECT_EQ(snapshot(corpus), before);

    const QString backups = m_dir.filePath(u("sicherung"));
    QDir().mkpath(backups);
    r = run(cli, {u("--folder"), corpus, u("--filter"), Filter, u("--subfolders"), u("--find"), u("Suchwort"),
                  u("--replace"), u("Fundstück"), u("--yes"), u("--backup-folder"), backups});
    ASSERT_EQ(reference({u("replace"), expected, Filter, u("Suchwort"), u("Fundstück")}).exitCode, 0);
    // "ü" fits every encoding, so every file with finds is written.
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(u("Ersetzen abgeschlossen! In ")));
    const auto after = snapshot(corpus);
    EXPECT_EQ(after, snapshot(expected));

    // The archive holds the original bytes of exactly the changed files,
    // named from the start folder's last component on.
    const QStringList zips = QDir(backups).entryList({u("backup-*.zip")}, QDir::Files);
    ASSERT_EQ(zips.size(), 1);
    const QString unpacked = m_dir.filePath(u("entpackt"));
    ASSERT_EQ(
        run(u("python3"), {u("-m"), u("zipfile"), u("-e"), QDir(backups).filePath(zips.first()), unpacked}).exitCode,
        0);
    std::map<QString, QByteArray> changed;
    for (const auto &[path, bytes] : before)
        if (after.at(path) != bytes)
            changed[u("/korpus") + path] = bytes;
    ASSERT_FALSE(changed.empty());
    EXPECT_EQ(snapshot(unpacked), changed);

    // Undo: without --yes only a list, then every file back as it was, its
    // replaced state in a second archive.
    const QString archive = QDir(backups).filePath(zips.first());
    r = run(cli, {u("--restore"), archive});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.count(u("wiederherstellen\t")), static_cast<qsizetype>(changed.size()));
    EXPECT_EQ(snapshot(corpus), after);
    r = run(cli, {u("--restore"), archive, u("--yes")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(u("Wiederherstellen abgeschlossen! %1 von %1 Dateien").arg(changed.size())))
        << r.out.toStdString();
    EXPECT_EQ(snapshot(corpus), before);
    EXPECT_EQ(QDir(backups).entryList({u("backup-*.zip")}, QDir::Files).size(), 2);
}

TEST(CliUsage, UsageAndInputErrors)
{
    QTemporaryDir dir;
    const QString folder = dir.path(), cli = u(VELMORA_CLI);
    put(dir.filePath(u("a.txt")), "ein Suchwort");

    EXPECT_EQ(run(cli, {u("--bogus")}).exitCode, 2);
    EXPECT_EQ(run(cli, {u("--folder"), folder}).exitCode, 2); // no search text
    for (const QStringList &wrong : {QStringList{u("--restore")},
                                     {u("--restore"), u("x.zip"), u("--find"), u("a")},
                                     {u("--find"), u("a"), u("--force")}})
        EXPECT_EQ(run(cli, wrong).exitCode, 2) << wrong.join(u(" ")).toStdString();
    EXPECT_EQ(run(cli, {u("--restore"), dir.filePath(u("a.txt"))}).exitCode, 1); // no archive
    const Result help = run(cli, {u("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith(u("Aufruf: velmora-cli")));
    const Result english =
        run(cli, {u("--folder"), folder, u("--subfolders"), u("--find"), u("Suchwort")}, u("en_US.UTF-8"));
    EXPECT_TRUE(english.out.contains(u("Gesamtzahl der Funde: ")));
    EXPECT_FALSE(english.out.contains(u(",00 Sek.")));
}

TEST_F(Cli, LogAppendsTheReportAndSaysWhere)
{
    const Result r = run(cli, {u("--folder"), corpus, u("--subfolders"), u("--find"), u("Suchwort"), u("--log")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString last = r.out.trimmed().split(QLatin1Char('\n')).last();
    ASSERT_TRUE(last.startsWith(u("Protokolldatei: "))) << last.toStdString();
    const QString path = last.mid(16);
    EXPECT_EQ(path, m_dir.filePath(u("config/velmora/Protokolldatei.txt")));
    const QString report = QString::fromUtf8(bytesOf(path));
    const QString summary =
        r.out.trimmed().split(QLatin1Char('\n')).value(r.out.trimmed().count(QLatin1Char('\n')) - 1);
    EXPECT_TRUE(report.contains(summary + u("\r\n"))) << summary.toStdString();
    EXPECT_TRUE(report.contains(u("Protokoll (Suche)")));
    QFile::remove(path);
}

// A file and a folder the user may not read are listed on standard error
// and make the run end with 1; they do not count as searched.
TEST(CliUnreadable, FilesAndFoldersThatCannotBeReadAreListed)
{
    TempFolder dir;
    const std::string tree = dir.file("baum"), out = dir.file("ausgabe");
    PutFile(tree + "/a.txt", "ein Suchwort");
    PutFile(tree + "/geheim.txt", "ein Suchwort");
    PutFile(tree + "/zu/c.txt", "ein Suchwort");
    ASSERT_EQ(::chown((tree + "/a.txt").c_str(), 65534, 65534), 0); // the user's own: not read-only
    ASSERT_EQ(::chmod((tree + "/geheim.txt").c_str(), 0600), 0);    // another user's file
    ASSERT_EQ(::chmod((tree + "/zu").c_str(), 0), 0);
    ASSERT_EQ(::mkdir(out.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(out.c_str(), 0777), 0);
    const std::string command = "LC_ALL=de_DE.UTF-8 '" VELMORA_CLI "' --folder '" + tree +
                                "' --subfolders --find Suchwort >'" + out + "/out' 2>'" + out + "/err'";
    const bool exitedWithOne = AsOrdinaryUser([&] {
        const int status = std::system(command.c_str());
        return WIFEXITED(status) && WEXITSTATUS(status) == 1;
    });
    ::chmod((tree + "/zu").c_str(), 0755);
    const QString err = QString::fromStdString(FileBytes(out + "/err"));
    EXPECT_TRUE(exitedWithOne) << err.toStdString();
    EXPECT_TRUE(err.contains(u("Folgende Dateien und Ordner konnten nicht gelesen werden:"))) << err.toStdString();
    EXPECT_TRUE(err.contains(QString::fromStdString(tree + "/geheim.txt"))) << err.toStdString();
    EXPECT_TRUE(err.contains(QString::fromStdString(tree + "/zu"))) << err.toStdString();
    EXPECT_TRUE(QString::fromStdString(FileBytes(out + "/out")).contains(u("In 1 Datei von 1 durchsuchten Dateien")));
}

// Each input is refused with exit status 1 and its message before anything
// is written, though the run would replace with --yes otherwise. The current
// folder holds a file too, so a run there by mistake shows.
TEST(CliInputs, RefusedWithAMessage)
{
    QTemporaryDir dir;
    const QString folder = dir.path(), file = dir.filePath(u("a.txt")), bad = dir.filePath(u("falsch.bin"));
    put(bad, "Such\xFFwort");
    const QString everyFile = u("Mit dem Dateifilter *.* kann hier nicht gesucht werden");
    const QString binary = u("Der Dateifilter enthält nicht erlaubte Dateiendungen!");
    const QString notUtf8 = u("Die Datei \"%1\" enthält kein gültiges UTF-8.").arg(bad);
    const struct
    {
        const char *name;
        QStringList args;
        QString message;
    } cases[] = {
        {"empty folder", {u("--folder"), u("")}, u("Bitte einen Startordner angeben.")},
        {"find file not UTF-8", {u("--folder"), folder, u("--find-file"), bad}, notUtf8},
        {"replacement file not UTF-8", {u("--folder"), folder, u("--replace-file"), bad}, notUtf8},
        {"star", {u("--folder"), folder, u("--filter"), u("*")}, everyFile},
        {"exe beside txt", {u("--folder"), folder, u("--filter"), u("*.exe;*.txt")}, binary},
    };
    for (const auto &c : cases) {
        put(file, "ein Suchwort");
        // --find-file goes before these, so the last text option given wins.
        const QStringList texts = {u("--find"), u("Suchwort"), u("--replace"), u("Begriff"), u("--yes")};
        const Result r = run(u(VELMORA_CLI), texts + c.args, u("de_DE.UTF-8"), folder);
        EXPECT_EQ(r.exitCode, 1) << c.name;
        EXPECT_TRUE(r.err.startsWith(c.message)) << c.name << ": " << r.err.toStdString();
        EXPECT_EQ(bytesOf(file), QByteArray("ein Suchwort")) << c.name;
    }
}

// The backup's entry names begin after the start folder's last separator: a
// folder given with a closing separator is itself where they begin.
TEST(CliBackup, EntryNamesFollowTheStartFolderAsGiven)
{
    QTemporaryDir dir;
    const struct
    {
        const char *folder;
        const char *entry;
    } cases[] = {{"quelle", "quelle/x.txt"}, {"quelle/", "x.txt"}, {"./quelle//", "x.txt"}};
    for (const auto &c : cases) {
        const QString backups = dir.filePath(u("sicherung-") + QString::number(&c - cases));
        QDir().mkpath(backups);
        put(dir.filePath(u("quelle/x.txt")), "ein Suchwort");
        const Result r = run(u(VELMORA_CLI),
                             {u("--folder"), u(c.folder), u("--find"), u("Suchwort"), u("--replace"), u("Begriff"),
                              u("--yes"), u("--backup-folder"), backups},
                             u("de_DE.UTF-8"), dir.path());
        ASSERT_EQ(r.exitCode, 0) << c.folder << ": " << r.err.toStdString();
        const QStringList zips = QDir(backups).entryList({u("backup-*.zip")}, QDir::Files);
        ASSERT_EQ(zips.size(), 1) << c.folder;
        const Result names =
            run(u("python3"), {u("-c"), u("import sys, zipfile; print(*zipfile.ZipFile(sys.argv[1]).namelist())"),
                               QDir(backups).filePath(zips.first())});
        EXPECT_EQ(names.out.trimmed(), u(c.entry)) << c.folder;
    }
}

// Names with a line break, a tab, a backslash or another control character:
// escaped in the rows by default, raw and NUL-terminated with -0/--null. A
// name that is not UTF-8 keeps its exact bytes either way.
TEST(CliNames, ControlCharactersCannotBreakARow)
{
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path()) + '/';
    for (const char *name : {"a\nb.txt", "c\td\\e.txt", "f\x01g.txt", "h\xE9.txt"})
        PutFile((root + name).toStdString(), "Suchwort");
    const QByteArray row = "1\tUTF-8\t" + root;
    const QByteArray raw =
        row + "a\nb.txt" + '\0' + row + "c\td\\e.txt" + '\0' + row + "f\x01g.txt" + '\0' + row + "h\xE9.txt" + '\0';
    const struct
    {
        QStringList options;
        QByteArray rows;
    } cases[] = {
        {{}, row + "a\\nb.txt\n" + row + "c\\td\\\\e.txt\n" + row + "f\\x01g.txt\n" + row + "h\xE9.txt\n"},
        {{u("-0")}, raw},
        {{u("--null")}, raw},
    };
    for (const auto &c : cases) {
        QProcess p;
        p.start(u(VELMORA_CLI), QStringList{u("--folder"), dir.path(), u("--find"), u("Suchwort")} + c.options);
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << c.options.join(u(" ")).toStdString();
        const QByteArray out = p.readAllStandardOutput(), err = p.readAllStandardError();
        // With NULs standard output holds only the rows; the summary goes to standard error.
        const bool nul = c.rows.endsWith('\0');
        EXPECT_EQ(out.left(c.rows.size()), c.rows) << c.options.join(u(" ")).toStdString();
        EXPECT_TRUE((nul ? err : out.mid(c.rows.size())).startsWith("Textsuche abgeschlossen! In 4 Dateien"))
            << c.options.join(u(" ")).toStdString();
        if (nul) {
            EXPECT_EQ(out.size(), c.rows.size());
        }
    }
}

} // namespace
