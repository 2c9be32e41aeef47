// Counting and replacing: overlaps, case, whole words and their
// delimiters, and the count that a run reports equal to the replacements made.
#include "TextSearch.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct CountCase
{
    const char *text;
    const char *find;
    int compare;
    int expected;
};

// The program counts from the first character, as here.
TEST(CountOccurrences, Table)
{
    const CountCase cases[] = {
        {"aaaa", "aa", 0, 2},
        {"aaa", "aa", 0, 1},
        {"Abc ABC abc", "abc", 1, 3},
        {"Abc ABC abc", "abc", 0, 1},
        {"", "a", 0, 0},
        {"abc", "", 0, 0},
        {"ab", "abc", 0, 0},
        {"ÄPFEL äpfel Äpfel", "äpfel", 1, 3},
        {"Straße STRASSE", "straße", 1, 1}, // one unit never matches two
        {"\u212A k K", "k", 1, 3},          // the Kelvin sign folds to k
        {"😀😀x😀", "😀", 0, 3},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TextSearch::CountOccurrences(u(c.text), u(c.find), 1, static_cast<CompareMode>(c.compare)),
                  c.expected)
            << c.text << " / " << c.find << " mode " << c.compare;
}

struct WordCase
{
    const char *text;
    int expected;
};

TEST(ReplaceNurGanzeWorte, WholeWordsOfWort)
{
    const WordCase cases[] = {
        {"Wort", 1},   {"Wort am Anfang", 1}, {"am Ende Wort", 1},   {"Wort,", 1},
        {"(Wort)", 1}, {"\nWort\t", 1},       {"\"Wort\"", 1},       {"a+Wort*b~Wort`c|Wort#", 3},
        {"Worte", 0},  {"_Wort", 0},          {"Wort2", 0},          {"Wortä", 0},
        {"äWort", 0},  {"Antwort", 0},        {"Wort Wort,Wort", 3}, {"WortWort", 0},
    };
    for (const auto &c : cases) {
        const auto r = TextSearch::ReplaceNurGanzeWorte(u(c.text), u("Wort"), u("X"), CompareMode::Binary, false);
        EXPECT_EQ(r.count, c.expected) << c.text;
        EXPECT_EQ(r.text, u(c.text)) << "count only leaves the text as it is";
    }
    EXPECT_EQ(TextSearch::ReplaceNurGanzeWorte(u("wort WORT Worte"), u("Wort"), u("X"), CompareMode::Text, false).count,
              2);
    EXPECT_EQ(
        TextSearch::ReplaceNurGanzeWorte(u("wort WORT Worte"), u("Wort"), u("X"), CompareMode::Binary, false).count, 0);
}

struct ReplaceWordCase
{
    const char *text;
    const char *find;
    const char *repl;
    int compare;
    const char *expected;
    int count;
};

TEST(ReplaceNurGanzeWorte, Replaces)
{
    const ReplaceWordCase cases[] = {
        {"x x", "x", "y", 0, "y y", 2},
        {"xa x", "x", "y", 0, "xa y", 1},
        {"a b a", "a", "a a", 0, "a a b a a", 2},
        {"Wort wort WORTE", "wort", "Begriff", 1, "Begriff Begriff WORTE", 2},
        {"(a)(a)", "(a)", "[b]", 0, "[b][b]", 2}, // a search text that starts with a delimiter
        {"x", "x", "", 0, "", 1},
        {"nothing here", "x", "y", 0, "nothing here", 0},
    };
    for (const auto &c : cases) {
        const auto mode = static_cast<CompareMode>(c.compare);
        const auto r = TextSearch::ReplaceNurGanzeWorte(u(c.text), u(c.find), u(c.repl), mode, true);
        EXPECT_EQ(r.count, c.count) << c.text;
        EXPECT_EQ(r.text, u(c.expected)) << c.text;
        EXPECT_EQ(TextSearch::ReplaceNurGanzeWorte(u(c.text), u(c.find), u(c.repl), mode, false).count, c.count)
            << "counting and replacing agree: " << c.text;
    }
}

TEST(ReplaceAll, ReplacesWhatIsCounted)
{
    EXPECT_EQ(TextSearch::ReplaceAll(u("aaa"), u("aa"), u("b"), CompareMode::Binary), u("ba"));
    EXPECT_EQ(TextSearch::ReplaceAll(u("Abc ABC abc"), u("abc"), u("x"), CompareMode::Text), u("x x x"));
    EXPECT_EQ(TextSearch::ReplaceAll(u("a"), u("a"), u("aa"), CompareMode::Binary), u("aa")); // no re-scan of new text

    // Over random texts the length change is exactly count × (repl − find):
    // the count a run reports is the number of replacements it makes.
    std::mt19937 rng(3);
    const char16_t alphabet[] = {u'a', u'A', u'ä', u'Ä', u'K', 0x212A, u'-'};
    for (int round = 0; round < 1000; ++round) {
        QString text, find;
        for (int i = static_cast<int>(rng() % 60); i > 0; --i)
            text += QChar(alphabet[rng() % std::size(alphabet)]);
        for (int i = 1 + static_cast<int>(rng() % 3); i > 0; --i)
            find += QChar(alphabet[rng() % std::size(alphabet)]);
        const int compare = static_cast<int>(rng() % 2);
        const QString repl = u("<>");
        const int count = TextSearch::CountOccurrences(text, find, 1, static_cast<CompareMode>(compare));
        const QString out = TextSearch::ReplaceAll(text, find, repl, static_cast<CompareMode>(compare));
        ASSERT_EQ(out.size(), text.size() + count * (repl.size() - find.size()));
        ASSERT_EQ(TextSearch::CountOccurrences(out, repl, 1, CompareMode::Binary), count);
    }
}

TEST(TextSearch, ThirtyFourDelimiters)
{
    int n = 0;
    for (char16_t c = 0; c < 0x3000; ++c)
        n += TextSearch::IsWordDelimiter(c) ? 1 : 0;
    EXPECT_EQ(n, 34);
}

} // namespace
