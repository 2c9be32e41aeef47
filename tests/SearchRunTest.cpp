// Whole runs through an in-memory host: the checks and their messages, both
// passes over trees in every encoding, read-only and unwritable files, links
// swapped in, the backup folder in the tree, the stop button and stop signals,
// the summaries and the log button.
#include "AppPaths.h"
#include "FakeRunHost.h"
#include "FileAttributes.h"
#include "FullDisk.h"
#include "PassStatistics.h"
#include "ResultListSink.h"

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

// The tables of byte strings are laid out by hand, one case a line.
// clang-format off
namespace {

struct RefusalCase
{
    const char *name;
    int mode;
    const char *filter;
    const char *find;
    const char *replace;
    std::vector<RunHost::Answer> answers;
    SearchRun::Outcome outcome;
    const char *title;
    const char *textStart;
    const char *folder = nullptr; // the test's folder when none
};

TEST_F(Run, InputChecksRefuseWithTheirMessages)
{
    using A = RunHost::Answer;
    using O = SearchRun::Outcome;
    const RefusalCase cases[] = {
        {"exe in lower case", 0, "*.txt;*.exe", "Wort", "", {}, O::Refused, "velmora",
         "Der Dateifilter enthält nicht erlaubte Dateiendungen!\r\n\r\nText kann mit diesem Programm nur in "
         "ASCII-Textdateien gesucht oder ersetzt werden.\r\nFür Binärdateien (z.B. exe, dll, pdf, jpg, jpeg, png, "
         "gif, bmp, avi, mov, mp4, mp3, zip, rar oder andere) muss die entsprechende Anwendung oder ein HEX-Editor "
         "verwendet werden.\r\n\r\nEntfernen sie die nicht erlaubten Dateiendungen aus dem Dateifilter."},
        {"EXE in upper case", 0, "*.txt;*.EXE", "Wort", "", {}, O::Refused, "velmora",
         "Der Dateifilter enthält nicht erlaubte Dateiendungen!\r\n"},
        {"empty start folder", 1, "*.txt", "Wort", "X", {}, O::Refused, "velmora", "Bitte einen Startordner angeben.", ""},
        {"missing start folder", 0, "*.txt", "Wort", "", {}, O::Refused, "velmora",
         "Der Startordner \"/gibt/es/nicht\" existiert nicht.", "/gibt/es/nicht"},
        {"empty search text", 0, "*.txt", "", "", {}, O::Refused, "velmora",
         "Bitte den zu suchenden Text in das linke Textfeld eingeben."},
        {"empty filter", 0, "", "Wort", "", {}, O::Refused, "velmora", "Bitte einen Dateifilter wählen.."},
        {"empty replacement, No", 1, "*.txt", "Wort", "", {A::No}, O::Declined, "velmora: Kontrollabfrage...",
         "Das Eingabefeld \"Ersetzen mit\" ist leer.\r\nSoll der Suchtext wirklich durch eine leere Zeichenkette "
         "(also durch nichts) ersetzt werden?"},
        {"same texts", 1, "*.txt", "Wort", "Wort", {}, O::Refused, "velmora: Hinweis...",
         "Die Eingabefelder \"Suchtext\" und \"Ersetzen mit\" enthalten den gleichen Text.\r\nÜberprüfen Sie Ihre "
         "Eingaben in diesen Textfeldern."},
        {"confirmation, No", 1, "*.txt", "Wort", "X", {A::No}, O::Declined, "velmora: Kontrollabfrage...",
         "Kleine Pause um nochmal nachzudenken :-)\r\n"},
    };
    const QString f = file(u("a.txt"), QByteArray("Wort"));
    for (const auto &c : cases) {
        host.shown.clear();
        host.options.txtStartFolder = c.folder ? u(c.folder) : m_dir.path();
        host.options.txtPattern = u(c.filter);
        host.options.txtFindW = u(c.find);
        host.options.txtReplaceW = u(c.replace);
        host.answers.assign(c.answers.begin(), c.answers.end());
        EXPECT_EQ(run.cmdStart_Click(c.mode), c.outcome) << c.name;
        ASSERT_FALSE(host.shown.empty()) << c.name;
        EXPECT_EQ(host.shown.back().title, u(c.title)) << c.name;
        EXPECT_TRUE(host.shown.back().text.startsWith(u(c.textStart))) << c.name;
        EXPECT_EQ(bytesOf(f), QByteArray("Wort")) << c.name;
        EXPECT_EQ(run.AbortFlag, 0);
    }
}

TEST_F(Run, ConfirmationListsTheOptions)
{
    RunOptions o;
    o.txtPattern = u("*.txt");
    o.txtStartFolder = u("/daten/");
    o.chkUnterordner = 1;
    const QString base = u("Kleine Pause um nochmal nachzudenken :-)\r\n"
                           "Möchten Sie den Suchtext jetzt ersetzen? Überprüfen Sie zur Sicherheit nochmal: \r\n"
                           " - Den ausgewählten Startordner,\r\n"
                           " - Unterordner (ja/nein): Wahr\r\n");
    const QString rest = u(" - Ein Backup erstellen (ja/nein): Falsch\r\n"
                           " - Die ausgewählten Dateiendungen (Dateifilter):\r\n"
                           "   *.txt\r\n\r\n"
                           "Ausgewählt als Startordner ist: \r\n/daten/\r\n\r\n"
                           "Ausgewählt als BackUP-Ordner ist : \r\n/backup/\r\n\r\n"
                           "Sind Sie sich wirklich sicher?");
    EXPECT_EQ(SearchRun::ConfirmationText(o, u("/backup/")), base + rest);
    o.chkNS = 1;
    EXPECT_EQ(SearchRun::ConfirmationText(o, u("/backup/")),
              base + u(" - Ersetzen nur in selektierten Dateien (ja/nein): Wahr\r\n") + rest);
}

TEST_F(Run, FiltersThatTakeEveryFileAreRefusedByThePass)
{
    file(u("a.txt"), QByteArray("Wort"));
    const struct { const char *filter; bool refused; } cases[] = {
        {"*.*;", true}, {"*", true}, {"**", true}, {"*?", true}, {"*.*;*.txt", true}, {"*.txt;*", true},
        {"*.t*", false}, {"?*.txt", false},
    };
    for (const auto &c : cases) {
        host.shown.clear();
        host.options.txtPattern = u(c.filter);
        EXPECT_EQ(run.cmdStart_Click(0), SearchRun::Outcome::Finished) << c.filter;
        EXPECT_EQ(run.FilesSearched, c.refused ? 0 : 1) << c.filter;
        if (!c.refused) {
            EXPECT_TRUE(host.shown.empty()) << c.filter;
            continue;
        }
        ASSERT_EQ(host.shown.size(), 1u) << c.filter;
        EXPECT_EQ(host.shown[0].icon, RunHost::Icon::Exclamation);
        EXPECT_TRUE(host.shown[0].text.startsWith(u("Mit dem Dateifilter *.* kann hier nicht gesucht werden")));
        EXPECT_TRUE(host.shown[0].text.contains(u("zuständige  Anwendung")));
        EXPECT_TRUE(host.info.startsWith(u("Textsuche abgeschlossen! In 0 Dateien von 0 durchsuchten Dateien")));
    }
}

TEST_F(Run, SearchOverEveryEncoding)
{
    const QString text = u("Ein Wort, noch ein wort und WORT.\r\nWorte zählen nicht als Wort? Doch.\r\n");
    file(u("ansi.txt"), text, 0);
    file(u("utf8bom.txt"), text, 1);
    file(u("utf8.txt"), text + u("äöü"), 2);
    file(u("le.php"), text, 3);
    file(u("be.txt"), text, 4);
    file(u("none.txt"), QByteArray("nichts hier"));
    file(u("empty.txt"), QByteArray());
    file(u("skip.css"), text, 2);
    file(u("sub/deep.txt"), text, 2);

    EXPECT_EQ(run.cmdStart_Click(0), SearchRun::Outcome::Finished);
    // "Worte" holds "Wort" too: five finds in text comparison.
    EXPECT_EQ(rows(), QStringList({u("     5|ansi.txt|ANSI"), u("     5|be.txt|UTF16B"), u("     5|le.php|UTF16L"),
                                   u("     5|utf8.txt|UTF-8"), u("     5|utf8bom.txt|UTF-8B")}));
    EXPECT_TRUE(host.info.startsWith(u("Textsuche abgeschlossen! In 5 Dateien von 7 durchsuchten Dateien wurde der "
                                       "Suchtext gefunden. Gesamtzahl der Funde: 25   Suchzeit: ")));
    EXPECT_TRUE(host.info.endsWith(u(" Sek.")));
    // The subfolder marker raises the total but is never searched.
    EXPECT_EQ(run.FileTotal, 8);

    host.options.chkCaseSensitive = 1;
    host.options.chkNurGanzeWorte = 1;
    host.options.chkUnterordner = 1;
    run.cmdStart_Click(0);
    EXPECT_EQ(rows().size(), 6);
    EXPECT_EQ(rows().first(), u("     2|ansi.txt|ANSI"));
    EXPECT_EQ(run.TotalFinds, 12);
}

// Counts past the range of 32 bits, through the sinks a run reports to and
// its summary lines.
TEST_F(Run, CountsBeyondTwoBillionKeepEveryDigit)
{
    FileResult big;
    big.count = 3'000'000'000;
    big.displayPath = u("/d/gross.txt");
    PassStatistics statistics;
    std::vector<FileResult> shown;
    ResultListSink rows(host.list, shown, host.Locale());
    for (ResultSink *sink : {static_cast<ResultSink *>(&statistics), static_cast<ResultSink *>(&rows)}) {
        sink->FileDone(big, 0);
        sink->FileDone(big, 1);
    }
    EXPECT_EQ(statistics.TotalFinds, 6'000'000'000);
    EXPECT_EQ(host.list.ItemText(0, ResultListSink::CountColumn), u("3.000.000.000"));
    run.TotalFinds = statistics.TotalFinds;
    run.FilesWithFinds = run.FilesChanged = 1;
    run.FilesSearched = 2;
    EXPECT_EQ(run.Summary(RunMode::SearchOnly, 1),
              u("Textsuche abgeschlossen! In 1 Datei von 2 durchsuchten Dateien wurde der Suchtext gefunden. "
                "Gesamtzahl der Funde: 6.000.000.000   Suchzeit: 1,00 Sek."));
    EXPECT_EQ(run.Summary(RunMode::SearchAndReplace, 1),
              u("Ersetzen abgeschlossen! In 1 Datei von 2 durchsuchten Dateien wurde der Suchtext gefunden und "
                "ersetzt. Gesamtzahl der Ersetzungen: 6.000.000.000   Bearbeitungszeit: 1,00 Sek."));
}

// Read-only is what the user may not write: root may write anything, so an
// ordinary user runs this, in a folder of the user's own.
TEST_F(Run, ReadOnlyFilesFollowTheOption)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to hand the folder to an ordinary user";
    const QString f = file(u("ro.txt"), QByteArray("ein Wort"));
    ::chmod(QFile::encodeName(f).constData(), 0444);
    ::chown(QFile::encodeName(f).constData(), 65534, 65534);
    ::chown(QFile::encodeName(m_dir.path()).constData(), 65534, 65534);
    EXPECT_TRUE(AsOrdinaryUser([&] {
        run.cmdStart_Click(0);
        if (!rows().isEmpty() || run.FilesSearched != 0)
            return false;
        host.options.chkAuchSchreibschutz = 1;
        host.answers = {RunHost::Answer::Yes};
        run.cmdStart_Click(1);
        return bytesOf(f) == QByteArray("ein Begriff") && FileAttributes::Query(f).mode == 0444 &&
               FileAttributes::Query(f).attributes == FileAttributes::ReadOnly;
    }));
}

// An in-place write (the file has a second name) that fails, and whose
// original cannot be put back either, is named after the run with the
// archive that holds the original.
TEST_F(Run, DamagedFileIsNamedWithItsBackup)
{
    const QString f = file(u("a.txt"), QByteArray("ein Wort"));
    ::link(QFile::encodeName(f).constData(), QFile::encodeName(m_dir.filePath(u("a.link"))).constData());
    host.options.chkBackup = 1;
    host.answers = {RunHost::Answer::Yes};
    {
        const FullDisk disk(QFile::encodeName(f).toStdString(), 1, 1000);
        run.cmdStart_Click(1);
    }
    ASSERT_FALSE(host.shown.empty());
    const Shown &report = host.shown.back();
    EXPECT_EQ(report.icon, RunHost::Icon::Critical);
    EXPECT_TRUE(report.text.contains(f));
    EXPECT_TRUE(report.text.contains(m_dir.filePath(u("backup-05-12-2026_14-23-45.zip"))));
    EXPECT_TRUE(run.NotWrittenFiles().empty());
    EXPECT_EQ(run.FilesChanged, 0);
}

// Files with finds that were not written are listed after the run, at most
// twenty of them.
TEST_F(Run, UnwrittenFilesAreListedUpToTwenty)
{
    for (int i = 0; i < 23; ++i) // 8-bit files cannot take the euro sign
        file(QStringLiteral("a%1.txt").arg(i, 2, 10, QLatin1Char('0')), QByteArray("Wort \xE4"));
    const QString fine = file(u("fine.txt"), QByteArray("Wort"));
    host.options.txtReplaceW = u("€");
    host.answers = {RunHost::Answer::Yes};
    run.cmdStart_Click(1);
    EXPECT_EQ(bytesOf(m_dir.filePath(u("a00.txt"))), QByteArray("Wort \xE4"));
    EXPECT_EQ(bytesOf(fine), QByteArray("\xE2\x82\xAC"));
    EXPECT_EQ(run.FilesChanged, 1);
    ASSERT_FALSE(host.shown.empty());
    const Shown &report = host.shown.back();
    EXPECT_EQ(report.icon, RunHost::Icon::Exclamation);
    EXPECT_TRUE(report.text.startsWith(u("23 Dateien mit Funden wurden nicht geändert:")));
    EXPECT_TRUE(report.text.contains(m_dir.filePath(u("a00.txt"))));
    EXPECT_EQ(report.text.count(u(" – ")), 20);
    EXPECT_TRUE(report.text.endsWith(u("… und 3 weitere.")));
    EXPECT_TRUE(host.info.startsWith(u("Ersetzen abgeschlossen! In 1 Datei von 24")));
    // Only what was written counts, in the summary and in the list.
    EXPECT_TRUE(host.info.contains(u("Gesamtzahl der Ersetzungen: 1   ")));
    EXPECT_EQ(rows().first(), u("     0|a00.txt|ANSI"));
    EXPECT_EQ(rows().last(), u("     1|fine.txt|UTF-8"));
}

// The stop button, SIGINT or SIGTERM during a run end it after the current
// file; before and after the run the signal does what it did before.
TEST_F(Run, StopButtonOrSignalDuringTheFirstFile)
{
    for (int i = 0; i < 5; ++i)
        file(QStringLiteral("f%1.txt").arg(i), QByteArray("Wort"));
    for (const int signal : {SIGINT, SIGTERM, 0}) {
        SCOPED_TRACE(signal);
        // Events 1 to 3 come before the first file: the start, the pass and
        // the one folder of the walk; event 4 follows the first file.
        host.events = 0;
        host.onEvents = [&](int n) {
            if (n == 4 && signal)
                std::raise(signal);
            else if (n == 4)
                run.cmdAbbruch_Click();
        };
        run.cmdStart_Click(0);
        EXPECT_EQ(run.FilesSearched, 1);
        EXPECT_EQ(run.StopSignal(), signal);
        const ProgressBar::Request &last = host.progress.back();
        EXPECT_EQ(last.Caption, u("Vorgang durch Benutzer abgebrochen bei: "));
        EXPECT_EQ(last.Value, 1);
        EXPECT_EQ(last.Max, 5);
        EXPECT_EQ(run.AbortFlag, 0); // reset at the end of the click
        struct sigaction now;
        ASSERT_EQ(::sigaction(signal ? signal : SIGINT, nullptr, &now), 0);
        EXPECT_EQ(now.sa_handler, SIG_DFL);
    }
    // While the next run collects, the last run's full bar is gone.
    int shownWhileCollecting = -1;
    host.onEvents = [&](int n) {
        if (n == 3)
            shownWhileCollecting = host.progress.back().Value;
    };
    host.events = 0;
    run.cmdStart_Click(0);
    EXPECT_EQ(shownWhileCollecting, 0);
    // A stop while collecting ends the walk and the pass before any file.
    host.onEvents = [&](int n) {
        if (n == 3)
            run.cmdAbbruch_Click();
    };
    host.events = 0;
    run.cmdStart_Click(0);
    EXPECT_EQ(run.FilesSearched, 0);
}

TEST_F(Run, CheckedRowsPassReplacesOnlyCheckedFiles)
{
    const QString a = file(u("a.txt"), QByteArray("Wort"));
    const QString b = file(u("b.txt"), QByteArray("Wort"));
    const QString c = file(u("c.txt"), QByteArray("Wort"));
    run.cmdStart_Click(0);
    ASSERT_EQ(rows().size(), 3);
    host.list.SetItemChecked(0, true);
    host.list.SetItemChecked(2, true);
    host.list.SetItemChecked(host.list.AddItem(), true); // a ticked filler row
    QFile::remove(c);
    host.options.chkNS = 1;
    host.answers = {RunHost::Answer::Yes};
    run.cmdStart_Click(1);
    EXPECT_EQ(bytesOf(a), QByteArray("Begriff"));
    EXPECT_EQ(bytesOf(b), QByteArray("Wort"));
    EXPECT_EQ(run.FilesChanged, 1);
    EXPECT_EQ(run.FilesSearched, 1); // the vanished file was not searched
    EXPECT_EQ(host.list.ItemCount(), 4); // the rows stay as they were
    ASSERT_EQ(run.NotWrittenFiles().size(), 1u);
    EXPECT_EQ(run.NotWrittenFiles()[0].Reason(), u("Datei nicht gefunden"));
}

TEST_F(Run, SaveButtonWritesTheLogOnceAndOpensIt)
{
    AppPaths::SetProgramFolderForTesting(m_dir.path());
    EXPECT_TRUE(run.cmdSave_Click().isEmpty()); // no run yet: nothing, no file
    EXPECT_FALSE(QFile::exists(m_dir.filePath(u("Protokolldatei.txt"))));
    file(u("a.txt"), QByteArray("Wort"));
    run.cmdStart_Click(0);
    EXPECT_TRUE(host.saveEnabled);
    const QString path = run.cmdSave_Click();
    AppPaths::SetProgramFolderForTesting(QString());
    EXPECT_EQ(path, m_dir.filePath(u("Protokolldatei.txt")));
    EXPECT_EQ(host.opened, path);
    EXPECT_FALSE(host.saveEnabled);
    const QString report = QString::fromUtf8(bytesOf(path));
    EXPECT_TRUE(report.contains(host.info + u("\r\n")));
    EXPECT_TRUE(report.contains(u("     1   ") + m_dir.path() + u("/a.txt\r\n")));
}

} // namespace
// clang-format on

namespace {

TEST_F(Run, LinkSwappedInDuringThePassIsNotFollowed)
{
    struct Case
    {
        const char *name;
        const char *swapped;    // in the tree, replaced by a link ...
        const char *linkTarget; // ... to this in the outside folder
    };
    const Case cases[] = {{"folder", "sub", ""}, {"file", "sub/b.txt", "b.txt"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir tree, outside;
        put(tree.filePath(u("a.txt")), "Wort");
        put(tree.filePath(u("sub/b.txt")), "Wort");
        const QString outsideFile = put(outside.filePath(u("b.txt")), "Wort");
        host.options.txtStartFolder = tree.path();
        host.options.chkUnterordner = 1;
        host.answers = {RunHost::Answer::Yes};
        bool swapped = false;
        run.FileTotal = 0; // as before the first run
        // The first events after the walk come with the first file's progress.
        host.onEvents = [&](int) {
            if (run.FileTotal == 0 || swapped)
                return;
            swapped = true;
            const QByteArray from = QFile::encodeName(tree.filePath(u(c.swapped)));
            ASSERT_EQ(::rename(from.constData(), (from + ".alt").constData()), 0);
            ASSERT_EQ(::symlink(QFile::encodeName(outside.filePath(u(c.linkTarget))).constData(), from.constData()), 0);
        };
        run.cmdStart_Click(1);
        host.onEvents = nullptr;
        EXPECT_TRUE(swapped);
        EXPECT_EQ(bytesOf(outsideFile), QByteArray("Wort"));
        EXPECT_EQ(bytesOf(tree.filePath(u("a.txt"))), QByteArray("Begriff"));
    }
}

TEST_F(Run, BackupFolderInsideTheTreeIsLeftAlone)
{
    const QString inside = file(u("Sicherung/alt.txt"), QByteArray("Wort"));
    const QString a = file(u("a.txt"), QByteArray("Wort"));
    QTemporaryDir other; // the backup folder spelled through a link
    const QString spelled = other.filePath(u("zur-sicherung"));
    ASSERT_EQ(::symlink(QFile::encodeName(m_dir.filePath(u("Sicherung"))).constData(),
                        QFile::encodeName(spelled).constData()),
              0);
    host.options.chkUnterordner = 1;
    host.options.chkBackup = 1;
    run.BackupFolder = spelled + u("/");
    host.answers = {RunHost::Answer::Yes};
    run.cmdStart_Click(1);
    EXPECT_EQ(bytesOf(inside), QByteArray("Wort"));
    EXPECT_EQ(bytesOf(a), QByteArray("Begriff"));
    EXPECT_EQ(run.FilesSearched, 1);
}

} // namespace
