// The finds document: line cutting and numbering, whole-word line selection,
// prefixes, red and grey ranges, whole-file mode, and the find routine's rules.
#include "FindsDocument.h"

#include "QtPrinters.h"
#include "RaisedError.h"
#include "RichTextFind.h"
#include "SearchPattern.h"
#include "TextSearch.h"
#include "cFileResder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Range = FindsDocument::Range;

const QLocale kGerman(QLocale::German, QLocale::Germany);

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

class FileDir : public ::testing::Test
{
protected:
    QString write(const QString &name, const QString &text, int encoding)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(cFileResder::EncodeText(text, encoding));
        return path;
    }
    QTemporaryDir dir;
};

// ---- Lines and their numbers ----------------------------------------------

struct LineEndCase
{
    const char *name;
    const char *eol;
};

class LineEnds : public FileDir
{
};

TEST_F(LineEnds, AreNumberedAlikeInEveryEncoding)
{
    // Lines 2, 4 and 6 hold the text; 1, 3 and 5 do not and are still counted.
    const char *lines[] = {"eins", "Suchwort zwei", "drei", "vier Suchwort", "fünf", "Suchwort"};
    const QString expected = u("Z     2: Suchwort zwei\nZ     4: vier Suchwort\nZ     6: Suchwort\n");
    const LineEndCase styles[] = {{"CR LF", "\r\n"}, {"LF", "\n"}, {"CR", "\r"}, {"mixed", nullptr}};
    const char *mixed[] = {"\r\n", "\n", "\r", "\n", "\r\n"};
    for (const LineEndCase &style : styles) {
        QString text;
        for (int i = 0; i < 6; ++i) {
            text += u(lines[i]);
            if (i < 5)
                text += QString::fromLatin1(style.eol ? style.eol : mixed[i]);
        }
        for (int enc = cFileResder::EncAnsi; enc <= cFileResder::EncUtf16BE; ++enc) {
            cFileResder reader;
            const QString path = write(QStringLiteral("f%1.txt").arg(enc), text, enc);
            const FindsDocument d = FindsDocument::Load(reader, path, QStringLiteral("Suchwort"), false, true, kGerman);
            SCOPED_TRACE(std::string(style.name) + " encoding " + std::to_string(enc));
            EXPECT_TRUE(d.LineMode);
            EXPECT_EQ(d.Text, expected);
            EXPECT_EQ(d.FileLines, 6);
            EXPECT_EQ(d.Encoding, enc);
            EXPECT_EQ(d.Grey, (std::vector<Range>{{0, 9}, {23, 9}, {46, 9}}));
            EXPECT_EQ(d.Red, (std::vector<Range>{{9, 8}, {37, 8}, {55, 8}}));
        }
    }
}

TEST(LineMode, LinesNotShownAreStillCounted)
{
    QString text;
    for (int i = 1; i <= 1300; ++i)
        text += (i == 12 || i == 1234 ? QStringLiteral("hier Ziel") : QStringLiteral("nichts")) + QLatin1Char('\n');
    const FindsDocument d =
        FindsDocument::Build(text, QStringLiteral("/a/b.txt"), QStringLiteral("Ziel"), false, false, kGerman);
    EXPECT_EQ(d.Text, u("Z    12: hier Ziel\nZ 1.234: hier Ziel\n"));
    EXPECT_EQ(d.FileLines, 1301);
}

TEST(LinePrefix, GroupsAndRightAlignsTheNumber)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    struct Case
    {
        qint64 line;
        const char *german;
        const char *english;
    };
    const Case cases[] = {
        {1, "Z     1: ", "Z     1: "},        // five blanks
        {12, "Z    12: ", "Z    12: "},       // four blanks
        {999, "Z   999: ", "Z   999: "},      // the widest without a separator
        {1234, "Z 1.234: ", "Z 1,234: "},     // the separator takes a place
        {99999, "Z99.999: ", "Z99,999: "},    // fills the field
        {123456, "Z123.456: ", "Z123,456: "}, // wider than the field: kept whole
    };
    for (const Case &c : cases) {
        EXPECT_EQ(FindsDocument::LinePrefix(c.line, kGerman), u(c.german)) << c.line;
        EXPECT_EQ(FindsDocument::LinePrefix(c.line, english), u(c.english)) << c.line;
    }
}

// ---- Whole words and case --------------------------------------------------

TEST(LineHolds, WholeWordsAndCase)
{
    struct Case
    {
        const char *line;
        const char *find;
        bool whole;
        bool cs;
        bool taken;
    };
    const Case cases[] = {
        {"Hausboot", "Haus", true, true, false},      // inside a longer word
        {"Baumhaus", "haus", true, true, false},      // at a longer word's end
        {"das Hausboot", "Haus", false, true, true},  // without whole words any occurrence
        {"(Haus)", "Haus", true, true, true},         // between parentheses
        {"ein Haus", "Haus", true, true, true},       // at the line's end
        {"Haus ist", "Haus", true, true, true},       // at the line's start
        {"ein Haus hier", "Haus", true, true, true},  // between blanks
        {"Hausboot, Haus", "Haus", true, true, true}, // a later occurrence counts
        {"Haus_1", "Haus", true, true, false},        // "_" is a word character
        {"Häuser", "H", true, true, false},
        {"x=Haus;", "Haus", true, true, true},
        {"\"Haus\"", "Haus", true, true, true},
        {"\tHaus\t", "Haus", true, true, true},
        {"HAUS", "haus", false, false, true}, // text comparison
        {"HAUS", "haus", false, true, false}, // binary comparison
        {"(ÄRGER)", "ärger", true, false, true},
        {"", "Haus", false, false, false},
        {"Haus", "", false, false, false}, // an empty text is in no line
    };
    for (const Case &c : cases) {
        const SearchPattern pattern(u(c.find), c.cs ? 0 : 1);
        EXPECT_EQ(FindsDocument::LineHolds(u(c.line), pattern, c.whole), c.taken)
            << c.line << " / " << c.find << " whole " << c.whole << " cs " << c.cs;
    }
}

TEST(LineMode, RedMarksTheOccurrencesOfTheShownLines)
{
    struct Case
    {
        const char *file;
        const char *find;
        bool whole;
        bool cs;
        std::vector<Range> red; // relative to the shown line's text
    };
    const Case cases[] = {
        {"Haus Hausboot Haus", "Haus", true, true, {{0, 4}, {14, 4}}},
        {"Haus Hausboot Haus", "Haus", false, true, {{0, 4}, {5, 4}, {14, 4}}},
        {"haus HAUS Haus", "Haus", false, false, {{0, 4}, {5, 4}, {10, 4}}},
        {"haus HAUS Haus", "Haus", false, true, {{10, 4}}},
        {"aaaa", "aa", false, true, {{0, 2}, {2, 2}}},      // without overlapping
        {"a-a-a-a-a", "a-a", true, true, {{0, 3}, {4, 5}}}, // the word rule's second pass adds 6..9
        {"Z: x", "Z", false, true, {{0, 1}}},               // never in the prefix
        {"1: 1", ": 1", false, true, {{1, 3}}},             // nor reaching into it
    };
    for (const Case &c : cases) {
        const FindsDocument d = FindsDocument::Build(u(c.file), QStringLiteral("f"), u(c.find), c.whole, c.cs, kGerman);
        std::vector<Range> relative;
        for (const Range &r : d.Red)
            relative.push_back({r.start - 9, r.length});
        EXPECT_EQ(relative, c.red) << c.file << " / " << c.find;
        EXPECT_EQ(d.Grey, (std::vector<Range>{{0, 9}})) << c.file;
    }
}

// ---- Whole-file mode ---------------------------------------------------------

TEST(WholeFileMode, CaptionTextAndFirstRedLine)
{
    struct Case
    {
        const char *file;
        const char *find;
        const char *text;
        std::vector<Range> red;
        qsizetype firstRedLine;
        const char *position;
    };
    const Case cases[] = {
        {"a\r\nx\r\nb\r\nc\r\n", "b\r\nc", "a\nx\nb\nc\n", {{4, 3}}, 2, "Zeile: 3"},
        {"b\nc\nb\nc", "b\nc", "b\nc\nb\nc", {{0, 3}, {4, 3}}, 0, "Zeile: 1"},
        {"1\r2\r3 Ende\rAnfang", "Ende\rAnfang", "1\n2\n3 Ende\nAnfang", {{6, 11}}, 2, "Zeile: 3"},
        // The finds are those of the text as read: CR LF in the text does not
        // match a file with LF only.
        {"a\nb\nc", "a\r\nb", "a\nb\nc", {}, -1, "Zeile: 3"},
        {"", "x\ny", "", {}, -1, "Zeile: 1"},
    };
    for (const Case &c : cases) {
        const FindsDocument d =
            FindsDocument::Build(u(c.file), QStringLiteral("/d/g.log"), u(c.find), false, true, kGerman);
        EXPECT_FALSE(d.LineMode) << c.file;
        EXPECT_EQ(d.Caption, u(" Die Fundstellen für Datei: g.log"));
        EXPECT_TRUE(d.PositionVisible);
        EXPECT_EQ(d.Text, u(c.text)) << c.file;
        EXPECT_EQ(d.Red, c.red) << c.file;
        EXPECT_TRUE(d.Grey.empty()) << c.file;
        EXPECT_EQ(d.FirstRedLine, c.firstRedLine) << c.file;
        EXPECT_EQ(d.PositionCaption, u(c.position)) << c.file;
    }
}

TEST(WholeFileMode, MarksWhatTheRunCounted)
{
    // Across line-end styles the red ranges are as many as the run's count,
    // and each covers the shown form of one occurrence.
    const char *eols[] = {"\r\n", "\n", "\r"};
    for (const char *eol : eols) {
        const QString e = QString::fromLatin1(eol);
        const QString file = "x Ende" + e + "Anfang y" + e + "ende" + e + "ANFANG" + e + "Ende" + e + "z";
        const QString find = "ende" + e + "anfang";
        const FindsDocument d = FindsDocument::Build(file, QStringLiteral("f"), find, false, false, kGerman);
        EXPECT_EQ(static_cast<int>(d.Red.size()), TextSearch::CountOccurrences(file, find, 1, 1)) << eol;
        ASSERT_EQ(d.Red.size(), 2u);
        EXPECT_EQ(d.Text.mid(d.Red[0].start, d.Red[0].length), u("Ende\nAnfang"));
        EXPECT_EQ(d.Text.mid(d.Red[1].start, d.Red[1].length), u("ende\nANFANG"));
        EXPECT_EQ(d.FirstRedLine, 0);
    }
}

// ---- Reading -----------------------------------------------------------------

class Reading : public FileDir
{
};

TEST_F(Reading, MissingFileGivesAnEmptyDocumentAndNoFile)
{
    const QString path = dir.filePath(QStringLiteral("fehlt.txt"));
    for (const char *find : {"Wort", "zwei\nZeilen"}) {
        cFileResder reader;
        const FindsDocument d = FindsDocument::Load(reader, path, u(find), false, false, kGerman);
        EXPECT_TRUE(d.Text.isEmpty()) << find;
        EXPECT_TRUE(d.Red.empty()) << find;
        EXPECT_EQ(d.Caption.endsWith(u("Datei: fehlt.txt")), true) << find;
        EXPECT_FALSE(QFile::exists(path)) << find;
    }
}

TEST_F(Reading, AfterAReplaceRunTheReplacementIsMarked)
{
    const QString search = QStringLiteral("alt"), replacement = QStringLiteral("neu");
    const QString path = write(QStringLiteral("r.txt"), u("alt und alt\nnichts\nalt"), cFileResder::EncUtf8);
    cFileResder reader;
    const QString before = reader.FileRead(path);
    ASSERT_TRUE(reader.FileWrite(path, TextSearch::ReplaceAll(before, search, replacement, 0), reader.Encoding));

    const FindsDocument shown = FindsDocument::Load(reader, path, replacement, false, true, kGerman);
    EXPECT_EQ(shown.Text, u("Z     1: neu und neu\nZ     3: neu\n"));
    EXPECT_EQ(shown.Red, (std::vector<Range>{{9, 3}, {17, 3}, {30, 3}}));
    const FindsDocument old = FindsDocument::Load(reader, path, search, false, true, kGerman);
    EXPECT_TRUE(old.Text.isEmpty());
}

TEST(LineMode, AnEmptyTextShowsNothing)
{
    // A replace run with an empty replacement hands the viewer an empty text.
    const FindsDocument d = FindsDocument::Build(u("a\nb"), QStringLiteral("f"), QString(), false, false, kGerman);
    EXPECT_TRUE(d.LineMode);
    EXPECT_TRUE(d.Text.isEmpty());
    EXPECT_TRUE(d.Red.empty());
    EXPECT_EQ(d.FirstRedLine, -1);
}

TEST(LineMode, TheMarkerOfOtherToolsIsOrdinaryText)
{
    const FindsDocument d =
        FindsDocument::Build(u("a|%%|b\nc"), QStringLiteral("f"), u("a|%%|b"), false, true, kGerman);
    EXPECT_TRUE(d.LineMode);
    EXPECT_EQ(d.FileLines, 2);
    EXPECT_EQ(d.Text, u("Z     1: a|%%|b\n"));
    EXPECT_EQ(d.Red, (std::vector<Range>{{9, 6}}));
}

// ---- The find routine ----------------------------------------------------------

TEST(RTBFindUnicode, RangesFlagsAndSelection)
{
    enum : int { W = RichTextFind::WholeWord, C = RichTextFind::MatchCase, N = RichTextFind::NoSelect };
    struct Case
    {
        const char *text;
        const char *find;
        qsizetype selStart, selEnd, start, end;
        int flags;
        qsizetype found;
        qsizetype selAfterStart, selAfterEnd;
    };
    const Case cases[] = {
        {"ab ab ab", "ab", 0, 0, 1, -1, 0, 3, 3, 5},   // explicit start, to the end
        {"ab ab ab", "ab", 0, 0, 0, 4, 0, 0, 0, 2},    // explicit range
        {"ab ab ab", "ab", 0, 0, 1, 4, 0, -1, 0, 0},   // a match may not run past the end
        {"ab ab ab", "ab", 4, 4, -1, -1, 0, 6, 6, 8},  // empty selection: from it to the end
        {"ab ab ab", "ab", 1, 5, -1, -1, 0, 3, 3, 5},  // inside a non-empty selection
        {"ab ab ab", "ab", 4, 7, -1, -1, 0, -1, 4, 7}, // the last one ends past the selection
        {"ab ab ab", "ab", 3, 3, -1, 8, 0, 3, 3, 5},   // start from the selection, end given
        {"AB ab", "ab", 0, 0, 0, -1, 0, 0, 0, 2},      // text comparison
        {"AB ab", "ab", 0, 0, 0, -1, C, 3, 3, 5},      // match case
        {"abc ab", "ab", 0, 0, 0, -1, W, 4, 4, 6},     // whole word
        {"(ab)", "ab", 0, 0, 0, -1, W, 1, 1, 3},
        {"ab ab", "ab", 0, 0, 1, -1, N, 3, 0, 0}, // found, selection kept
        {"ab", "", 0, 0, 0, -1, 0, -1, 0, 0},     // an empty text is never found
        {"ab", "ab", 0, 0, 5, -1, 0, -1, 0, 0},   // start past the text
    };
    for (const Case &c : cases) {
        const QString text = u(c.text);
        RichTextFind::Box box{text, c.selStart, c.selEnd};
        EXPECT_EQ(RichTextFind::RTBFindUnicode(box, u(c.find), c.start, c.end, c.flags), c.found)
            << c.text << " / " << c.find << " " << c.start << ".." << c.end;
        EXPECT_EQ(box.selStart, c.selAfterStart) << c.text << " " << c.start << ".." << c.end;
        EXPECT_EQ(box.selEnd, c.selAfterEnd) << c.text << " " << c.start << ".." << c.end;
    }
}

TEST(RTBFindUnicode, StartAfterEndRaisesError5)
{
    const QString text = QStringLiteral("0123456789 abc");
    RichTextFind::Box box{text, 0, 0};
    try {
        RichTextFind::RTBFindUnicode(box, QStringLiteral("abc"), 10, 5, 0);
        FAIL() << "no error raised";
    } catch (const RaisedError &e) {
        EXPECT_EQ(e.Number, 5);
        EXPECT_EQ(e.Description, u("Start must be before End"));
        EXPECT_EQ(e.Source, u("RTBFindUnicode"));
    }
    // Not for an open end, nor for start -1 against any end.
    EXPECT_EQ(RichTextFind::RTBFindUnicode(box, QStringLiteral("abc"), 10, -1, 0), 11);
    box.selStart = box.selEnd = 0;
    EXPECT_EQ(RichTextFind::RTBFindUnicode(box, QStringLiteral("abc"), -1, 5, 0), -1);
}

} // namespace
