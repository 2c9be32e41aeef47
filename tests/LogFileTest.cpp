// The log report byte for byte, and where and when Save puts it.
#include "LogFile.h"

#include "FileAttributes.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

namespace {

QString crlfLines(std::initializer_list<const char *> lines)
{
    QString out;
    for (const char *l : lines)
        out += u(l) + QStringLiteral("\r\n");
    return out;
}

const QLocale German(QLocale::German, QLocale::Germany);

struct Report
{
    LogInput in;

    Report(std::optional<RunMode> mode, int chkNS, const char *find = "alt")
    {
        in = {
            .txtStartFolder = u("/daten"),
            .txtPattern = u("*.txt"),
            .txtFindW = u(find),
            .txtReplaceW = u("neu"),
            .chkUnterordner = 1,
            .chkAuchSchreibschutz = 1,
            .chkNS = chkNS,
            .lblInfo = u("3 Dateien durchsucht."),
            .mode = mode,
            // count, path, checked, in the list's order
            .rows = {{1234, u("/daten/ä.txt"), true},
                     {7, u("/daten/sub/b.txt"), false},
                     {3'000'000'002, u("/x/d.txt"), true}},
            .filesCollected = 4,
            .now = QDateTime(QDate(2026, 12, 5), QTime(14, 23, 45)),
            .locale = German,
        };
    }
};

const char *const SearchTitle =
    " ***********************   Protokoll (Suche)    05.12.2026 14:23:45  ****************************";
const char *const ReplaceTitle =
    " ***********************   Protokoll (Ersetzen) 05.12.2026 14:23:45  ****************************";

// The report of the list above; title null for none, replacement null for a search run.
QString expected(const char *title, int chkNS, const char *findLines = "alt", const char *replacement = nullptr)
{
    const char *stars =
        " ************************************************************************************************";
    QString s = crlfLines({stars}) + (title ? crlfLines({title}) : QString());
    s += crlfLines({
        stars,
        "",
        "Startordner                                 : /daten",
        "Unterordner einbeziehen?                    : ja",
        "Dateifilter                                 : *.txt",
        "Gross/Kleinschreibung beachten?             : nein",
        "Auch schreibgeschützte Dateien bearbeiten?  : ja",
        chkNS ? "Ersetzen nur in selektierten Dateien?       : ja"
              : "Ersetzen nur in selektierten Dateien?       : nein",
        "",
        "3 Dateien durchsucht.",
        "",
        "Suchtext:",
        findLines,
        "",
    });
    if (replacement)
        s += crlfLines({"", "Ersetzen mit:", replacement});
    s += crlfLines({"", " Funde   Pfad\\Datei", " 1.234   /daten/ä.txt"});
    if (!chkNS)
        s += crlfLines({"     7   /daten/sub/b.txt"});
    return s + crlfLines({"3.000.000.002   /x/d.txt", "", "", "", ""});
}

const QString Advice = crlfLines({
    "Falls die Tabellen nicht richtig dargestellt werden, wählen sie für die Ansicht ",
    "eine nichtproportionale Schriftart (z.B. Courier New oder Courier)",
    "",
});

TEST(LogFile, ReportByteForByte)
{
    const struct
    {
        std::optional<RunMode> mode;
        int chkNS;
        const char *find;
        QString want;
    } cases[] = {
        {RunMode::SearchOnly, 0, "alt", expected(SearchTitle, 0)},
        {RunMode::SearchAndReplace, 1, "alt", expected(ReplaceTitle, 1, "alt", "neu")},
        {std::nullopt, 0, "alt", expected(nullptr, 0)},
        {RunMode::SearchOnly, 0, "erste\r\nzweite\r\n\r\ndritte",
         expected(SearchTitle, 0, "erste\r\nzweite\r\n\r\ndritte")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("mode=" + std::to_string(c.mode ? static_cast<int>(*c.mode) : -1) +
                     " chkNS=" + std::to_string(c.chkNS) + " find=" + c.find);
        Report r(c.mode, c.chkNS, c.find);
        EXPECT_EQ(LogFile::BuildReport(r.in, false), c.want);
        EXPECT_EQ(LogFile::BuildReport(r.in, true), Advice + c.want);
    }
}

TEST(LogFile, SaveByExistingLength)
{
    const QByteArray report = expected(SearchTitle, 0).toUtf8();
    const QByteArray advice = Advice.toUtf8();
    const struct
    {
        const char *name;
        std::optional<QByteArray> before;
        int mode;
        QByteArray after;
    } cases[] = {
        {"missing", std::nullopt, 0, report},       {"empty", QByteArray(), 0644, advice + report},
        {"two bytes", "  ", 0644, report},          {"three bytes", "abc", 0644, "abc" + report},
        {"read-only", "abc", 0444, "abc" + report},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(u("Protokolldatei.txt"));
        if (c.before) {
            put(path, *c.before);
            ASSERT_TRUE(FileAttributes::SetMode(path, c.mode));
        }
        Report r(RunMode::SearchOnly, 0);
        ASSERT_EQ(LogFile::Save(path, r.in), LogFile::Result::Saved);
        EXPECT_EQ(bytesOf(path), c.after);
        EXPECT_NE(FileAttributes::Query(path).mode & 0200, 0);
    }
}

TEST(LogFile, NothingWhenNoFilesCollected)
{
    QTemporaryDir dir;
    Report r(RunMode::SearchOnly, 0);
    r.in.filesCollected = 0;
    const QString fresh = dir.filePath(u("Protokolldatei.txt")), old = dir.filePath(u("alt.txt"));
    put(old, "");
    EXPECT_EQ(LogFile::Save(fresh, r.in), LogFile::Result::Nothing);
    EXPECT_EQ(LogFile::Save(old, r.in), LogFile::Result::Nothing);
    EXPECT_FALSE(QFile::exists(fresh));
    EXPECT_EQ(bytesOf(old), QByteArray());
}

TEST(LogFile, FailuresReturnFailed)
{
    QTemporaryDir dir;
    Report r(RunMode::SearchOnly, 0);
    EXPECT_EQ(LogFile::Save(dir.filePath(u("fehlt/Protokolldatei.txt")), r.in), LogFile::Result::Failed);
    EXPECT_EQ(LogFile::Save(dir.path(), r.in), LogFile::Result::Failed) << "a folder in the log's place";
}

} // namespace
