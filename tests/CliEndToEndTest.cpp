// velmora-cli on a generated tree of every encoding, against an independent
// model of the same run (tests/corpus_reference.py).
#include "QtPrinters.h"
#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstdio>
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
    // Every line names its encoding.
    for (const QString &line : r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(0, static_cast<int>(ours.size())))
        EXPECT_TRUE(QStringList({u("ANSI"), u("UTF-8"), u("UTF-8B"), u("UTF16L"), u("UTF16B")})
                        .contains(line.split(QLatin1Char('\t')).value(1)))
            << line.toStdString();
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
}

TEST(CliUsage, UsageAndInputErrors)
{
    QTemporaryDir dir;
    const QString folder = dir.path(), cli = u(VELMORA_CLI);
    QFile file(dir.filePath(u("a.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("ein Suchwort");
    file.close();

    EXPECT_EQ(run(cli, {u("--bogus")}).exitCode, 2);
    EXPECT_EQ(run(cli, {u("--folder"), folder}).exitCode, 2); // no search text
    const Result help = run(cli, {u("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith(u("Aufruf: velmora-cli")));
    const Result refused = run(cli, {u("--folder"), folder, u("--filter"), u("*.txt;*.exe"), u("--find"), u("x")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.startsWith(u("Der Dateifilter enthält nicht erlaubte Dateiendungen!")));
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
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString report = QString::fromUtf8(f.readAll());
    const QString summary =
        r.out.trimmed().split(QLatin1Char('\n')).value(r.out.trimmed().count(QLatin1Char('\n')) - 1);
    EXPECT_TRUE(report.contains(summary + u("\r\n"))) << summary.toStdString();
    EXPECT_TRUE(report.contains(u("Protokoll (Suche)")));
    f.close();
    QFile::remove(path);
}

} // namespace

namespace {

// A name that is not UTF-8 (Latin-1 "café.txt") is searched, listed with its
// exact bytes, replaced and backed up like any other file.
TEST(CliNames, NameThatIsNotUtf8)
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + "/baum";
    const QByteArray name = folder + "/caf\xE9.txt";
    const QByteArray backup = QFile::encodeName(dir.path()) + "/sicherung";
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    ASSERT_EQ(::mkdir(backup.constData(), 0755), 0);
    auto put = [](const QByteArray &path, const QByteArray &bytes) {
        FILE *f = std::fopen(path.constData(), "wb");
        ASSERT_TRUE(f);
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), f);
        std::fclose(f);
    };
    auto get = [](const QByteArray &path) {
        QByteArray bytes(4096, '\0');
        FILE *f = std::fopen(path.constData(), "rb");
        if (!f)
            return QByteArray("<missing>");
        bytes.resize(static_cast<qsizetype>(std::fread(bytes.data(), 1, static_cast<size_t>(bytes.size()), f)));
        std::fclose(f);
        return bytes;
    };
    put(name, "ein Suchwort und noch ein Suchwort");

    // The arguments go to the program as bytes, so pass them through a shell.
    QProcess p;
    auto cli = [&](const QByteArray &args) {
        p.start(u("/bin/sh"), {u("-c"), QString::fromUtf8(VELMORA_CLI " ") + QString::fromLatin1(args)});
        EXPECT_TRUE(p.waitForFinished(60000));
        return p.readAllStandardOutput();
    };
    const QByteArray quotedFolder = "'" + folder + "'";
    QByteArray out = cli("--folder " + quotedFolder + " --find Suchwort");
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(out.startsWith("2\tUTF-8\t" + name + "\n")) << out.constData();

    out = cli("--folder " + quotedFolder + " --find Suchwort --replace Begriff --yes --backup-folder '" + backup + "'");
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    EXPECT_EQ(get(name), QByteArray("ein Begriff und noch ein Begriff"));

    // The entry name shows the undecodable byte as U+FFFD; the content is the original.
    const QStringList archives = QDir(QFile::decodeName(backup)).entryList({u("backup-*.zip")});
    ASSERT_EQ(archives.size(), 1);
    const QString check = u("import sys, zipfile\n"
                            "z = zipfile.ZipFile(sys.argv[1]); i = z.infolist()\n"
                            "assert len(i) == 1 and i[0].filename == 'baum/caf\\ufffd.txt', i[0].filename\n"
                            "assert z.read(i[0]) == b'ein Suchwort und noch ein Suchwort'\n");
    const Result r = run(u("python3"), {u("-c"), check, QFile::decodeName(backup) + u("/") + archives.first()});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
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

} // namespace

namespace {

void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Each input is refused with exit status 1 and its message before anything
// is written, though the run would replace with --yes otherwise. The current
// folder holds a file too, so a run there by mistake shows.
TEST(CliInputs, RefusedWithAMessage)
{
    QTemporaryDir dir;
    const QString folder = dir.path(), file = dir.filePath(u("a.txt")), bad = dir.filePath(u("falsch.bin"));
    write(bad, "Such\xFFwort");
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
        {"missing folder",
         {u("--folder"), folder + u("/fehlt")},
         u("Der Startordner \"%1/fehlt\" existiert nicht.").arg(folder)},
        {"find file not UTF-8", {u("--folder"), folder, u("--find-file"), bad}, notUtf8},
        {"replacement file not UTF-8", {u("--folder"), folder, u("--replace-file"), bad}, notUtf8},
        {"star", {u("--folder"), folder, u("--filter"), u("*")}, everyFile},
        {"two stars", {u("--folder"), folder, u("--filter"), u("**")}, everyFile},
        {"star dot star beside txt", {u("--folder"), folder, u("--filter"), u("*.*;*.txt")}, everyFile},
        {"exe in upper case", {u("--folder"), folder, u("--filter"), u("*.EXE")}, binary},
        {"exe beside txt", {u("--folder"), folder, u("--filter"), u("*.exe;*.txt")}, binary},
    };
    for (const auto &c : cases) {
        write(file, "ein Suchwort");
        // --find-file goes before these, so the last text option given wins.
        const QStringList texts = {u("--find"), u("Suchwort"), u("--replace"), u("Begriff"), u("--yes")};
        const Result r = run(u(VELMORA_CLI), texts + c.args, u("de_DE.UTF-8"), folder);
        EXPECT_EQ(r.exitCode, 1) << c.name;
        EXPECT_TRUE(r.err.startsWith(c.message)) << c.name << ": " << r.err.toStdString();
        EXPECT_EQ(read(file), QByteArray("ein Suchwort")) << c.name;
    }
}

// Names with a line break, a tab, a backslash or another control character:
// escaped in the rows by default, raw and NUL-terminated with -0/--null.
TEST(CliNames, ControlCharactersCannotBreakARow)
{
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path()) + '/';
    for (const char *name : {"a\nb.txt", "c\td\\e.txt", "f\x01g.txt"})
        write(QFile::decodeName(root + name), "Suchwort");
    const QByteArray row = "1\tUTF-8\t" + root;
    const struct
    {
        QStringList options;
        QByteArray rows;
    } cases[] = {
        {{}, row + "a\\nb.txt\n" + row + "c\\td\\\\e.txt\n" + row + "f\\x01g.txt\n"},
        {{u("-0")}, row + "a\nb.txt" + '\0' + row + "c\td\\e.txt" + '\0' + row + "f\x01g.txt" + '\0'},
        {{u("--null")}, row + "a\nb.txt" + '\0' + row + "c\td\\e.txt" + '\0' + row + "f\x01g.txt" + '\0'},
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
        EXPECT_TRUE((nul ? err : out.mid(c.rows.size())).startsWith("Textsuche abgeschlossen! In 3 Dateien"))
            << c.options.join(u(" ")).toStdString();
        if (nul) {
            EXPECT_EQ(out.size(), c.rows.size());
        }
    }
}

// SIGINT during a replace with backup stops it as the stop button does: the
// current file is finished, the archive completed, the exit status 128 + 2.
TEST(CliSignals, InterruptStopsTheReplaceCleanly)
{
    QTemporaryDir dir;
    const QString tree = dir.filePath(u("baum")), backups = dir.filePath(u("sicherung"));
    QDir().mkpath(tree);
    QDir().mkpath(backups);
    const QByteArray before = QByteArray(20000, 'x') + " Suchwort\n", after = QByteArray(20000, 'x') + " Begriff\n";
    const int files = 300;
    for (int i = 0; i < files; ++i)
        write(tree + u("/f%1.txt").arg(i, 3, 10, QLatin1Char('0')), before);

    QProcess p;
    // A shell may start background jobs with SIGINT ignored; an ignored
    // signal stays ignored, so give the program the usual disposition.
    p.setChildProcessModifier([] { std::signal(SIGINT, SIG_DFL); });
    p.start(u(VELMORA_CLI), {u("--folder"), tree, u("--find"), u("Suchwort"), u("--replace"), u("Begriff"), u("--yes"),
                             u("--backup-folder"), backups});
    ASSERT_TRUE(p.waitForStarted());
    // Files are taken in name order: once the first is written the run is
    // under way with its handlers in place.
    QElapsedTimer clock;
    clock.start();
    while (read(tree + u("/f000.txt")) != after && p.state() == QProcess::Running && clock.elapsed() < 30000)
        QThread::usleep(500);
    ASSERT_EQ(p.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 128 + SIGINT);
    EXPECT_TRUE(p.readAllStandardOutput().contains("Ersetzen abgeschlossen! In "));

    QStringList changed;
    for (int i = 0; i < files; ++i) {
        const QString name = u("f%1.txt").arg(i, 3, 10, QLatin1Char('0'));
        const QByteArray bytes = read(tree + u("/") + name);
        EXPECT_TRUE(bytes == before || bytes == after) << name.toStdString();
        if (bytes == after)
            changed << u("baum/") + name;
    }
    EXPECT_GE(changed.size(), 1);
    EXPECT_LT(changed.size(), files);

    // The archive is whole and holds the originals of exactly the changed files.
    const QStringList zips = QDir(backups).entryList({u("backup-*.zip")}, QDir::Files);
    ASSERT_EQ(zips.size(), 1);
    const QString zip = QDir(backups).filePath(zips.first());
    EXPECT_EQ(run(u("python3"), {u("-m"), u("zipfile"), u("-t"), zip}).exitCode, 0);
    const Result names = run(u("python3"), {u("-c"),
                                            u("import sys, zipfile\n"
                                              "print('\\n'.join(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))"),
                                            zip});
    EXPECT_EQ(names.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), changed);
}

} // namespace
