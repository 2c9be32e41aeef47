// The settings file: values kept verbatim, UTF-16LE with CR LF, foreign content kept, damaged files survived.
#include "IniFile.h"

#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString S = QStringLiteral("S"), K = QStringLiteral("k");

QByteArray utf16le(const QString &text)
{
    QByteArray b("\xFF\xFE", 2);
    for (const QChar c : text)
        b.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return b;
}

TEST(IniFile, ValuesComeBackVerbatimAndLineBreaksAsMarks)
{
    const std::pair<QString, QString> cases[] = {
        // written, stored
        {QStringLiteral("  blanks  "), QStringLiteral("  blanks  ")},
        {QStringLiteral("\"a=b;[x]\""), QStringLiteral("\"a=b;[x]\"")},
        {QStringLiteral("Grüße € \U0001F600"), QStringLiteral("Grüße € \U0001F600")},
        {QStringLiteral("has %cc% in it"), QStringLiteral("has %cc% in it")},
        {QString(), QString()},
        {QStringLiteral("two\r\nlines"), QStringLiteral("two%cc%lines")},
        {QStringLiteral("\r\n\r\n\n\r"), QStringLiteral("%cc%%cc%%cc%%cc%")},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    const mode_t mask = ::umask(027); // a new file gets what the umask leaves of 0666
    for (const auto &[written, stored] : cases) {
        SCOPED_TRACE(written.toStdString());
        QFile::remove(path);
        IniFile ini(path);
        ini.WriteKey(S, K, written);
        EXPECT_EQ(ini.ReadKey(S, K), stored);
        ASSERT_TRUE(ini.Save());
        struct stat st
        {
        };
        EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0, 0640u);
        EXPECT_EQ(bytesOf(path), utf16le(QStringLiteral("[S]\r\nk=") + stored + QStringLiteral("\r\n")));
        IniFile again(path);
        ASSERT_TRUE(again.Load());
        EXPECT_EQ(again.ReadKey(S, K), stored);
    }
    ::umask(mask);
}

TEST(IniFile, LongValuesAreCutTo2048Characters)
{
    const QString smile = QStringLiteral("\U0001F600");
    const std::pair<QString, QString> cases[] = {
        {QString(2048, u'a'), QString(2048, u'a')},
        {QString(2049, u'a'), QString(2048, u'a')},
        {QString(2047, u'a') + smile, QString(2047, u'a')}, // a surrogate pair is never cut in half
    };
    for (const auto &[written, stored] : cases) {
        IniFile ini(QStringLiteral("/nonexistent/settings.ini"));
        ini.WriteKey(S, K, written);
        EXPECT_EQ(ini.ReadKey(S, K), stored) << written.size();
    }
}

// Sections and keys match without case and outer blanks, values keep
// theirs; a rewrite keeps the sections, keys and comments the program does
// not know.
TEST(IniFile, RewriteKeepsWhatTheProgramDoesNotKnow)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    put(path, utf16le(QStringLiteral("; von Hand\r\n\r\n[Fremd]\r\nx=1\r\n\r\n[frmMainControls ]\r\n  unbekannt = 2 "
                                     "\r\ntxtPattern=*.txt\r\n; Ende\r\n")));
    IniFile ini(path);
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadKey(QStringLiteral(" FRMMAINCONTROLS"), QStringLiteral("UNBEKANNT ")), QStringLiteral(" 2 "));
    EXPECT_EQ(ini.ReadKey(QStringLiteral("Fremd"), QStringLiteral("fehlt")), QString());
    EXPECT_EQ(ini.ReadKey(QStringLiteral("Fehlt"), QStringLiteral("x")), QString());
    ini.WriteKey(QStringLiteral("FRMMAINCONTROLS "), QStringLiteral("TXTPATTERN"), QStringLiteral("*.php"));
    ini.WriteKey(QStringLiteral("frmMainControls "), QStringLiteral("chkNS"), QStringLiteral("1"));
    ini.WriteKey(QStringLiteral("Backup"), QStringLiteral("BackupFolder"), QString());
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(bytesOf(path), utf16le(QStringLiteral("; von Hand\r\n\r\n[Fremd]\r\nx=1\r\n\r\n[frmMainControls ]\r\n"
                                                    "unbekannt= 2 \r\ntxtPattern=*.php\r\nchkNS=1\r\n; Ende\r\n"
                                                    "[Backup]\r\nBackupFolder=\r\n")));
}

TEST(IniFile, DamagedFilesLoadWhatTheyCanAndSaveClean)
{
    const QString plain = QStringLiteral("[S]\r\nk=Grüße\r\n");
    const std::pair<QByteArray, QString> cases[] = {
        // bytes, whole text after saving
        {QByteArray("[S]\nk=Gr\xC3\xBC\xC3\x9F"
                    "e\n"),
         plain}, // UTF-8
        {QByteArray("[S]\r\nk=Gr\xFC\xDF"
                    "e\r\n"),
         plain},                                                  // 8-bit
        {utf16le(QStringLiteral("[S]\r\nk=Grüße")) + 'x', plain}, // odd length
        {utf16le(QStringLiteral("[S]\r\nk=Gr\0üße\r\n\0\0")), plain},
        {utf16le(QStringLiteral("vorher=1\r\nMüll\r\n[S]\r\nohne Gleich\r\nk=Grüße\r\n")), plain},
        {utf16le(QStringLiteral("[S]\rk=Grüße\n[T]\r\n\n\rj=w")), plain + QStringLiteral("[T]\r\n\r\n\r\nj=w\r\n")},
        {QByteArray(), QString()},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    for (const auto &[bytes, clean] : cases) {
        SCOPED_TRACE(bytes.toHex().left(40).toStdString());
        put(path, bytes);
        IniFile ini(path);
        EXPECT_TRUE(ini.Load());
        EXPECT_EQ(ini.ReadKey(S, K), clean.isEmpty() ? QString() : QStringLiteral("Grüße"));
        ASSERT_TRUE(ini.Save());
        EXPECT_EQ(bytesOf(path), utf16le(clean));
    }
}

TEST(IniFile, ReadsNoMoreThanMaxFileBytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    QByteArray bytes("[S]\r\nk=v\r\n");
    bytes += QByteArray(IniFile::MaxFileBytes - bytes.size(), ' ') + "\r\n[T]\r\nx=1\r\n";
    put(path, bytes);
    IniFile ini(path);
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadKey(S, K), QStringLiteral("v"));
    EXPECT_EQ(ini.ReadKey(QStringLiteral("T"), QStringLiteral("x")), QString()) << "beyond the limit";
}

// The save never falls back to writing the file in place, never replaces a
// file its user made read-only, and never overwrites one it could not read.
TEST(IniFile, FailedOrRefusedSaveKeepsTheOldFile)
{
    const struct
    {
        const char *name;
        mode_t folderMode, fileMode;
    } cases[] = {
        {"folder takes no new file", 0555, 0666},
        {"read-only file", 0777, 0444},
        {"unreadable file", 0777, 0222},
    };
    const QByteArray old = utf16le(QStringLiteral("[S]\r\nk=alt\r\n"));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("settings.ini"));
        put(path, old);
        ::chmod(QFile::encodeName(path).constData(), c.fileMode);
        ::chmod(QFile::encodeName(dir.path()).constData(), c.folderMode);
        EXPECT_TRUE(AsOrdinaryUser([&] {
            IniFile ini(path);
            const bool loaded = ini.Load();
            ini.WriteKey(S, K, QStringLiteral("neu"));
            return loaded == ((c.fileMode & 0444) != 0) && !ini.Save();
        }));
        ::chmod(QFile::encodeName(path).constData(), 0644);
        ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
        EXPECT_EQ(bytesOf(path), old);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
}

} // namespace
