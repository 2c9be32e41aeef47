// velmora-cli on a generated tree of every encoding, against an independent
// model of the same run (tests/corpus_reference.py).
#include "QtPrinters.h"
#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
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

Result run(const QString &program, const QStringList &args, const QString &lang = u("de_DE.UTF-8"))
{
    QProcess p;
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
    ASSERT_EQ(::chmod((tree + "/geheim.txt").c_str(), 0600), 0); // another user's file
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
