// The finds document: line cutting and numbering, whole-word line selection,
// prefixes, red and grey ranges, and whole-file mode.
#include "FindsDocument.h"

#include "SearchPattern.h"
#include "TestSupport.h"
#include "cFileResder.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Range = FindsDocument::Range;
using Ranges = std::vector<Range>;

const QLocale kGerman(QLocale::German, QLocale::Germany);

FindsDocument Build(const char *file, const char *find, bool whole = false, bool cs = true)
{
    return FindsDocument::Build(u(file), QStringLiteral("/d/g.log"), u(find), whole, cs, kGerman);
}

class FileDir : public ::testing::Test
{
protected:
    QString write(const QString &name, const QString &text, TextEncoding encoding)
    {
        return put(dir.filePath(name), cFileResder::EncodeText(text, encoding));
    }
    QTemporaryDir dir;
};

TEST_F(FileDir, LineEndsAreNumberedAlikeInEveryEncoding)
{
    // Lines 2, 4 and 6 hold the text; 1, 3 and 5 do not and are still counted.
    const char *lines[] = {"eins", "Suchwort zwei", "drei", "vier Suchwort", "fünf", "Suchwort"};
    const char *mixed[] = {"\r\n", "\n", "\r", "\n", "\r\n"};
    for (const char *eol : {"\r\n", "\n", "\r", static_cast<const char *>(nullptr)}) {
        QString text = u(lines[0]);
        for (int i = 1; i < 6; ++i)
            text += QString::fromLatin1(eol ? eol : mixed[i - 1]) + u(lines[i]);
        for (int enc = 0; enc <= 4; ++enc) {
            cFileResder reader;
            const QString path = write(QStringLiteral("f%1.txt").arg(enc), text, static_cast<TextEncoding>(enc));
            const FindsDocument d = FindsDocument::Load(reader, path, QStringLiteral("Suchwort"), false, true, kGerman);
            SCOPED_TRACE(std::string(eol ? "" : "mixed") + " encoding " + std::to_string(enc));
            EXPECT_TRUE(d.LineMode);
            EXPECT_EQ(d.Text, u("Z     2: Suchwort zwei\nZ     4: vier Suchwort\nZ     6: Suchwort\n"));
            EXPECT_EQ(d.FileLines, 6);
            EXPECT_EQ(d.Encoding, static_cast<TextEncoding>(enc));
            EXPECT_EQ(d.Grey, (Ranges{{0, 9}, {23, 9}, {46, 9}}));
            EXPECT_EQ(d.Red, (Ranges{{9, 8}, {37, 8}, {55, 8}}));
        }
    }
}

TEST(LineMode, PrefixesUseGermanSeparatorsAndLinesNotShownAreCounted)
{
    QString text;
    for (int i = 1; i <= 1300; ++i)
        text += (i == 12 || i == 1234 ? QStringLiteral("hier Ziel") : QStringLiteral("nichts")) + QLatin1Char('\n');
    const FindsDocument d =
        FindsDocument::Build(text, QStringLiteral("/a/b.txt"), QStringLiteral("Ziel"), false, false, kGerman);
    EXPECT_EQ(d.Text, u("Z    12: hier Ziel\nZ 1.234: hier Ziel\n"));
    EXPECT_EQ(d.FileLines, 1301);
}

TEST(LineMode, WholeWordsSelectLines)
{
    const std::pair<const char *, bool> cases[] = {
        {"Hausboot", false}, {"Baumhaus", false}, {"Haus_1", false}, // inside longer words
        {"(Haus)", true},    {"ein Haus", true},  {"Hausboot, Haus", true}};
    for (const auto &[line, taken] : cases)
        EXPECT_EQ(FindsDocument::LineHolds(u(line), SearchPattern(QStringLiteral("Haus"), CompareMode::Text), true),
                  taken)
            << line;
    EXPECT_TRUE(
        FindsDocument::LineHolds(u("das Hausboot"), SearchPattern(QStringLiteral("Haus"), CompareMode::Text), false));
}

TEST(LineMode, RedMarksTheShownOccurrencesButNeverThePrefix)
{
    struct Case
    {
        const char *file, *find;
        bool whole, cs;
        Ranges red; // relative to the shown line's text
    };
    const Case cases[] = {
        {"Haus Hausboot Haus", "Haus", true, true, {{0, 4}, {14, 4}}},
        {"haus HAUS Haus", "Haus", false, false, {{0, 4}, {5, 4}, {10, 4}}},
        {"haus HAUS Haus", "Haus", false, true, {{10, 4}}},
        {"Z: x", "Z", false, true, {{0, 1}}},
        {"1: 1", ": 1", false, true, {{1, 3}}},
    };
    for (const Case &c : cases) {
        const FindsDocument d = Build(c.file, c.find, c.whole, c.cs);
        Ranges relative;
        for (const Range &r : d.Red)
            relative.push_back({r.start - 9, r.length});
        EXPECT_EQ(relative, c.red) << c.file << " / " << c.find;
        EXPECT_EQ(d.Grey, (Ranges{{0, 9}})) << c.file;
    }
}

TEST(WholeFileMode, CaptionTextAndFirstRedLine)
{
    struct Case
    {
        const char *file, *find, *text;
        Ranges red;
        qsizetype firstRedLine;
        const char *position;
    };
    const Case cases[] = {
        {"a\r\nx\r\nb\r\nc\r\n", "b\r\nc", "a\nx\nb\nc\n", {{4, 3}}, 2, "Zeile: 3"},
        {"1\r2\r3 Ende\rAnfang", "Ende\rAnfang", "1\n2\n3 Ende\nAnfang", {{6, 11}}, 2, "Zeile: 3"},
        {"a\nb\nc", "a\r\nb", "a\nb\nc", {{0, 3}}, 0, "Zeile: 1"}, // the line break is the file's
    };
    for (const Case &c : cases) {
        const FindsDocument d = Build(c.file, c.find);
        EXPECT_FALSE(d.LineMode) << c.file;
        EXPECT_EQ(d.Text, u(c.text)) << c.file;
        EXPECT_EQ(d.Red, c.red) << c.file;
        EXPECT_TRUE(d.Grey.empty()) << c.file;
        EXPECT_EQ(d.FirstRedLine, c.firstRedLine) << c.file;
        EXPECT_EQ(d.PositionCaption, u(c.position)) << c.file;
    }
}

TEST_F(FileDir, MissingFileGivesAnEmptyDocumentAndNoFile)
{
    const QString path = dir.filePath(QStringLiteral("fehlt.txt"));
    for (const char *find : {"Wort", "zwei\nZeilen"}) {
        cFileResder reader;
        const FindsDocument d = FindsDocument::Load(reader, path, u(find), false, false, kGerman);
        EXPECT_TRUE(d.Text.isEmpty()) << find;
        EXPECT_TRUE(d.Caption.endsWith(u("Datei: fehlt.txt"))) << find;
        EXPECT_FALSE(QFile::exists(path)) << find;
    }
}

TEST(LineMode, AnEmptyTextShowsNothingAndTheMarkerIsPlainText)
{
    const FindsDocument empty = Build("a\nb", "");
    EXPECT_TRUE(empty.LineMode);
    EXPECT_TRUE(empty.Text.isEmpty());
    EXPECT_EQ(empty.FirstRedLine, -1);
    const FindsDocument d = Build("a|%%|b\nc", "a|%%|b");
    EXPECT_TRUE(d.LineMode);
    EXPECT_EQ(d.Text, u("Z     1: a|%%|b\n"));
    EXPECT_EQ(d.Red, (Ranges{{9, 6}}));
}

} // namespace
