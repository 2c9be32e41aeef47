// The settings file: values kept verbatim, UTF-16LE with CR LF, foreign content kept, damaged files survived.
#include "IniFile.h"

#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray utf16le(const QString &text, bool mark = true)
{
    QByteArray b = mark ? QByteArray("\xFF\xFE", 2) : QByteArray();
    for (const QChar c : text)
        b.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return b;
}

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

// Runs part of a test as an ordinary user, for whom permissions hold even
// when the tests run as root; returns the child's exit code.
template <typename F> int asOrdinaryUser(F body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct ValueCase
{
    QString written;
    QString stored;
};

TEST(IniFile, ValuesComeBackVerbatimAndLineBreaksAsMarks)
{
    const ValueCase cases[] = {
        {QStringLiteral("  blanks  "), QStringLiteral("  blanks  ")},
        {QStringLiteral("\"quoted\""), QStringLiteral("\"quoted\"")},
        {QStringLiteral(" 'single' "), QStringLiteral(" 'single' ")},
        {QStringLiteral("a=b=c"), QStringLiteral("a=b=c")},
        {QStringLiteral("[x];y"), QStringLiteral("[x];y")},
        {QStringLiteral("Grüße € \U0001F600"), QStringLiteral("Grüße € \U0001F600")},
        {QStringLiteral("has %cc% in it"), QStringLiteral("has %cc% in it")},
        {QString(), QString()},
        {QStringLiteral("two\r\nlines"), QStringLiteral("two%cc%lines")},
        {QStringLiteral("lone\nLF"), QStringLiteral("lone%cc%LF")},
        {QStringLiteral("lone\rCR"), QStringLiteral("lone%cc%CR")},
        {QStringLiteral("\r\n\r\n\n"), QStringLiteral("%cc%%cc%%cc%")},
    };
    QTemporaryDir dir;
    for (const ValueCase &c : cases) {
        SCOPED_TRACE(c.written.toStdString());
        const QString path = dir.filePath(QStringLiteral("settings.ini"));
        QFile::remove(path);
        IniFile ini(path);
        ini.WriteKey(QStringLiteral("S"), QStringLiteral("k"), c.written);
        EXPECT_EQ(ini.ReadKey(QStringLiteral("S"), QStringLiteral("k")), c.stored);
        ASSERT_TRUE(ini.Save());
        EXPECT_EQ(bytesOf(path), utf16le(QStringLiteral("[S]\r\nk=") + c.stored + QStringLiteral("\r\n")));
        IniFile again(path);
        ASSERT_TRUE(again.Load());
        EXPECT_EQ(again.ReadKey(QStringLiteral("S"), QStringLiteral("k")), c.stored);
    }
}

TEST(IniFile, LongValuesAreCutTo2048Characters)
{
    const QString smile = QStringLiteral("\U0001F600");
    const ValueCase cases[] = {
        {QString(2047, u'a'), QString(2047, u'a')},
        {QString(2048, u'a'), QString(2048, u'a')},
        {QString(2049, u'a'), QString(2048, u'a')},
        {QString(100000, u'a'), QString(2048, u'a')},
        // A character outside the BMP is never cut in half.
        {QString(2047, u'a') + smile, QString(2047, u'a')},
        {QString(2046, u'a') + smile + u'b', QString(2046, u'a') + smile},
    };
    for (const ValueCase &c : cases) {
        IniFile ini(QStringLiteral("/nonexistent/settings.ini"));
        ini.WriteKey(QStringLiteral("S"), QStringLiteral("k"), c.written);
        EXPECT_EQ(ini.ReadKey(QStringLiteral("S"), QStringLiteral("k")), c.stored) << c.written.size();
    }
}

TEST(IniFile, SectionsAndKeysCompareCaseInsensitivelyAndTrimmed)
{
    struct Case
    {
        const char *section, *key, *value;
    } const cases[] = {
        {"frmMainControls ", "chkP(11)", "1"},
        {"FRMMAINCONTROLS", "CHKP(11)", "1"},
        {" Backup ", "backupfolder", " /x "},
        {"backup", "BackupFolder ", " /x "},
        {"Backup", "Missing", ""},
        {"Missing", "BackupFolder", ""},
        {"frmMainControls ", "BackupFolder", ""},
        {"Zweimal", "b", "2"},
        {"Zweimal", "a", "1"},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    put(path, utf16le(QStringLiteral("[frmMainControls ]\r\n  chkP(11) =1\r\n[Backup]\r\nBackupFolder= /x \r\n"
                                     "[Zweimal]\r\na=1\r\n[zweimal]\r\na=3\r\nb=2\r\n")));
    IniFile ini(path);
    ASSERT_TRUE(ini.Load());
    for (const Case &c : cases) {
        EXPECT_EQ(ini.ReadKey(QString::fromUtf8(c.section), QString::fromUtf8(c.key)), QString::fromUtf8(c.value))
            << c.section << '/' << c.key;
    }
}

TEST(IniFile, RewriteKeepsWhatTheProgramDoesNotKnow)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    put(path, utf16le(QStringLiteral("; von Hand\r\n\r\n[Fremd]\r\nx=1\r\n\r\n[frmMainControls ]\r\nunbekannt= 2\r\n"
                                     "txtPattern=*.txt\r\n; Ende\r\n\r\n[Fremd2]\r\ny=\r\n")));
    IniFile ini(path);
    ASSERT_TRUE(ini.Load());
    ini.WriteKey(QStringLiteral("FRMMAINCONTROLS "), QStringLiteral("TXTPATTERN"), QStringLiteral("*.php"));
    ini.WriteKey(QStringLiteral("frmMainControls "), QStringLiteral("chkNS"), QStringLiteral("1"));
    ini.WriteKey(QStringLiteral("Backup"), QStringLiteral("BackupFolder"), QString());
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(bytesOf(path), utf16le(QStringLiteral("; von Hand\r\n\r\n[Fremd]\r\nx=1\r\n\r\n[frmMainControls ]\r\n"
                                                    "unbekannt= 2\r\ntxtPattern=*.php\r\nchkNS=1\r\n; Ende\r\n\r\n"
                                                    "[Fremd2]\r\ny=\r\n[Backup]\r\nBackupFolder=\r\n")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(IniFile, DamagedFilesLoadWhatTheyCanAndSaveClean)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        QString value; // of S/k
        QString clean; // the whole text after saving
    };
    const QString umlauts = QStringLiteral("Grüße");
    const QString plain = QStringLiteral("[S]\r\nk=Grüße\r\n");
    QByteArray bigEndian("\xFE\xFF", 2);
    for (const QChar c : plain)
        bigEndian.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    const Case cases[] = {
        {"UTF-8 without mark",
         QByteArray("[S]\nk=Gr\xC3\xBC\xC3\x9F"
                    "e\n"),
         umlauts, plain},
        {"UTF-8 with mark",
         QByteArray("\xEF\xBB\xBF[S]\r\nk=Gr\xC3\xBC\xC3\x9F"
                    "e"),
         umlauts, plain},
        {"8-bit text",
         QByteArray("[S]\r\nk=Gr\xFC\xDF"
                    "e\r\n"),
         umlauts, plain},
        {"UTF-16LE without mark", utf16le(plain, false), umlauts, plain},
        {"UTF-16BE", bigEndian, umlauts, plain},
        {"odd length", utf16le(QStringLiteral("[S]\r\nk=Grüße")) + 'x', umlauts, plain},
        {"NUL characters", utf16le(QStringLiteral("[S]\r\nk=Gr\0üße\r\n\0\0")), umlauts, plain},
        {"lines without = and a key before any section",
         utf16le(QStringLiteral("vorher=1\r\nMüll\r\n[S]\r\nohne Gleich\r\nk=Grüße\r\n")), umlauts, plain},
        {"mixed line ends", utf16le(QStringLiteral("[S]\rk=Grüße\n[T]\r\n\n\rj=w")), umlauts,
         plain + QStringLiteral("[T]\r\n\r\n\r\nj=w\r\n")},
        {"header without bracket", utf16le(QStringLiteral("  [S\r\nk=Grüße")), umlauts, plain},
        {"only the mark", QByteArray("\xFF\xFE"), QString(), QString()},
        {"empty", QByteArray(), QString(), QString()},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        put(path, c.bytes);
        IniFile ini(path);
        EXPECT_TRUE(ini.Load());
        EXPECT_EQ(ini.ReadKey(QStringLiteral("S"), QStringLiteral("k")), c.value);
        ASSERT_TRUE(ini.Save());
        EXPECT_EQ(bytesOf(path), utf16le(c.clean));
    }
}

TEST(IniFile, GarbageAndHugeFilesNeverCrashAndComeBackStable)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    quint32 seed = 12345;
    for (const QByteArray &start : {QByteArray(), QByteArray("\xFF\xFE"), QByteArray("\xEF\xBB\xBF[S]\n")}) {
        QByteArray garbage = start;
        for (int i = 0; i < 200000; ++i) {
            seed = seed * 1103515245u + 12345u;
            garbage.append(char(seed >> 24));
        }
        put(path, garbage);
        IniFile ini(path);
        EXPECT_TRUE(ini.Load());
        ASSERT_TRUE(ini.Save());
        const QByteArray once = bytesOf(path);
        EXPECT_TRUE(once.startsWith("\xFF\xFE"));
        EXPECT_EQ(once.size() % 2, 0);
        // Clean means a second round changes nothing.
        IniFile again(path);
        ASSERT_TRUE(again.Load());
        ASSERT_TRUE(again.Save());
        EXPECT_EQ(bytesOf(path), once);
    }

    QByteArray huge("[S]\r\nk=v\r\nbig=");
    huge.append(QByteArray(IniFile::MaxFileBytes + 1000, 'x'));
    huge.append("\r\nafter=1\r\n");
    put(path, huge);
    IniFile ini(path);
    EXPECT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadKey(QStringLiteral("S"), QStringLiteral("k")), QStringLiteral("v"));
    EXPECT_EQ(ini.ReadKey(QStringLiteral("S"), QStringLiteral("big")).size(), IniFile::MaxValueLength);
    EXPECT_TRUE(ini.Save());
}

TEST(IniFile, MissingAndUnreadableFiles)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    IniFile missing(path);
    EXPECT_FALSE(missing.Load());
    EXPECT_EQ(missing.ReadKey(QStringLiteral("S"), QStringLiteral("k")), QString());
    missing.WriteKey(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v"));
    ASSERT_TRUE(missing.Save());
    EXPECT_EQ(bytesOf(path), utf16le(QStringLiteral("[S]\r\nk=v\r\n")));

    // A folder or a pipe where the file should be is not read (a pipe would
    // block the start-up), and not replaced.
    const QString folder = dir.filePath(QStringLiteral("folder.ini"));
    const QString pipe = dir.filePath(QStringLiteral("pipe.ini"));
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
    for (const QString &p : {folder, pipe}) {
        IniFile ini(p);
        EXPECT_FALSE(ini.Load()) << p.toStdString();
        ini.WriteKey(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v"));
        EXPECT_FALSE(ini.Save());
    }
    EXPECT_FALSE(QFileInfo(pipe).isFile());

    // A file that exists but cannot be read is never overwritten.
    const QByteArray old = utf16le(QStringLiteral("[Fremd]\r\nx=1\r\n"));
    put(path, old);
    ::chmod(QFile::encodeName(path).constData(), 0222);
    ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
    EXPECT_EQ(asOrdinaryUser([&] {
                  IniFile ini(path);
                  return !ini.Load() && !ini.Save();
              }),
              0);
    ::chmod(QFile::encodeName(path).constData(), 0644);
    EXPECT_EQ(bytesOf(path), old);
}

TEST(IniFile, FailedSaveKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    const QByteArray old = utf16le(QStringLiteral("[S]\r\nk=alt\r\n"));
    put(path, old);
    ::chmod(QFile::encodeName(path).constData(), 0666);
    ::chmod(QFile::encodeName(dir.path()).constData(), 0555);
    const int result = asOrdinaryUser([&] {
        IniFile ini(path);
        if (!ini.Load())
            return false;
        ini.WriteKey(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("neu"));
        return !ini.Save();
    });
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(bytesOf(path), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

} // namespace
