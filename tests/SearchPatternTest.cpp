// The search pattern's vector scan at both widths against a plain
// left-to-right scan, at every alignment and near the end of the text.
#include "SearchPattern.h"

#include "CaseFold.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

class SearchPatternKernels : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override { SearchPattern::UseWideVectors(GetParam()); }
    void TearDown() override { SearchPattern::UseWideVectors(true); }
};

INSTANTIATE_TEST_SUITE_P(WideAndNarrow, SearchPatternKernels, ::testing::Bool());

// The first occurrence at or after from, by comparing at every place.
qsizetype plainIndex(const QString &text, const QString &find, qsizetype from, int compare)
{
    for (qsizetype i = from; i + find.size() <= text.size(); ++i) {
        bool ok = true;
        for (qsizetype j = 0; j < find.size() && ok; ++j) {
            char16_t a = text.at(i + j).unicode(), b = find.at(j).unicode();
            if (compare) {
                a = CaseFold::Lower(a);
                b = CaseFold::Lower(b);
            }
            ok = a == b;
        }
        if (ok)
            return i;
    }
    return -1;
}

void expectPlainResults(const QString &text, const QString &find, qsizetype from, int compare)
{
    const SearchPattern pattern(find, static_cast<CompareMode>(compare));
    const auto shown = [&] { return text.left(80).toStdString() + " / " + find.left(40).toStdString(); };
    ASSERT_EQ(pattern.IndexIn(text, from), plainIndex(text, find, from, compare))
        << shown() << " mode " << compare << " from " << from;
    qsizetype count = 0, end = from;
    for (qsizetype pos = from; (pos = plainIndex(text, find, pos, compare)) >= 0; end = pos += find.size())
        ++count;
    qsizetype next = -1;
    ASSERT_EQ(pattern.CountIn(text, from, &next), count) << shown();
    ASSERT_EQ(next, end) << shown();
}

TEST_P(SearchPatternKernels, AgreesWithPlainScan)
{
    std::mt19937 rng(11);
    const char16_t alphabet[] = {u'a', u'A', u'b', u'B', u'k', u'K', 0x212A, u'ä', u'Ä', u' ', 0xD83D, 0xDE00};
    auto randomText = [&](int len) {
        QString s;
        for (int i = 0; i < len; ++i)
            s += QChar(alphabet[rng() % std::size(alphabet)]);
        return s;
    };
    for (int round = 0; round < 3000; ++round) {
        const QString text = randomText(static_cast<int>(rng() % 120));
        expectPlainResults(text, randomText(1 + static_cast<int>(rng() % 4)), static_cast<qsizetype>(rng() % 10),
                           static_cast<int>(rng() % 2));
    }
}

// Counted straight in the bytes of UTF-8 and of ANSI text, the finds are
// those of the decoded text: the same number, the last one ending at the
// same character. The texts are long enough for the vector scans.
TEST_P(SearchPatternKernels, CountInBytesAgreesWithText)
{
    std::mt19937 rng(3);
    const char16_t alphabet[] = {u'a', u'A',  u'k', u'K',  0x212A, u'i', u'I',   0x130,  u'ä', u'Ä', u' ',
                                 u's', 0x17F, 0xFF, 0x178, 0xFFFD, u'€', 0xD83D, 0xDE00, u'x', u'x'};
    const QString finds[] = {u("a"),      u("k"),       u("ka"),     u("\u00E4k"),  u("k\u00E4"), u("\u0130k"), u("i"),
                             u("\u00FF"), u("s\u017F"), u("\uFFFD"), u("x\u20ACx"), u("Kakadu"),  u("😀")};
    for (int round = 0; round < 4000; ++round) {
        QString text;
        const bool latin1 = rng() % 3 == 0;
        for (int len = static_cast<int>(rng() % 200); len > 0; --len) {
            const char16_t c = alphabet[rng() % std::size(alphabet)];
            if (!latin1 || c <= 0xFF)
                text += QChar(c);
        }
        if (!latin1 && text.size() > 0 && QChar(text.back()).isHighSurrogate())
            text.chop(1);
        const QString &find = finds[rng() % std::size(finds)];
        const int compare = static_cast<int>(rng() % 2);
        const SearchPattern pattern(find, static_cast<CompareMode>(compare));
        const ByteSearch *bytes = pattern.InBytes(latin1 ? TextEncoding::Ansi : TextEncoding::Utf8);
        if (!bytes)
            continue; // a surrogate in the search text: only the text is searched
        const QByteArray raw = latin1 ? text.toLatin1() : text.toUtf8();
        qsizetype end = 0, next = -1;
        const qsizetype want = pattern.CountIn(text, 0, &end);
        ASSERT_EQ(bytes->CountIn(raw.constData(), raw.size(), 0, raw.size() - 1, next), want)
            << text.toStdString() << " / " << find.toStdString() << " mode " << compare;
        const QString before = text.left(end);
        ASSERT_EQ(next, latin1 ? before.size() : before.toUtf8().size()) << text.toStdString();
    }
}

// Long search texts go through two-way matching: random ones over two or
// three letters (full of near misses and periods), pieces cut from the text
// itself, and the cases that make a plain scan compare at length everywhere.
TEST_P(SearchPatternKernels, LongSearchTextsAgreeWithPlainScan)
{
    std::mt19937 rng(5);
    const QString letters[] = {u("ab"), u("aAb"), u("k\u212AK"), u("a\u00E4\u00C4")};
    for (int round = 0; round < 3000; ++round) {
        const QString &set = letters[rng() % std::size(letters)];
        auto random = [&](qsizetype len) {
            QString s;
            for (qsizetype i = 0; i < len; ++i)
                s += set.at(static_cast<qsizetype>(rng() % static_cast<unsigned>(set.size())));
            return s;
        };
        const qsizetype len = SearchPattern::LongFrom + static_cast<qsizetype>(rng() % 24);
        const QString find = rng() % 2 ? random(len) : random(1 + rng() % 5).repeated(len).left(len);
        // The text: random letters, or near misses: pieces of the search
        // text, with a letter changed here and there, one after another.
        QString text;
        if (rng() % 3 == 0) {
            text = random(static_cast<qsizetype>(rng() % 400));
        } else {
            while (text.size() < 300) {
                QString piece = find.left(1 + static_cast<qsizetype>(rng() % static_cast<unsigned>(len)));
                if (rng() % 2)
                    piece[static_cast<qsizetype>(rng() % static_cast<unsigned>(piece.size()))] = random(1).at(0);
                text += piece;
            }
        }
        expectPlainResults(text, find, static_cast<qsizetype>(rng() % 20), static_cast<int>(rng() % 2));
    }
    const QString a(3000, u'a');
    const struct
    {
        QString text, find;
    } cases[] = {
        {a, QString(40, u'a') + u("b")},
        {a, u("b") + QString(40, u'a')},
        {a + u("b"), QString(40, u'a') + u("b")},
        {a, QString(41, u'a')},
        {u("ab").repeated(1500), u("ab").repeated(20) + u("b")},
        {u("aab").repeated(1000) + u("aabaab"), u("aab").repeated(30) + u("aabaab")},
        {u("abaabaaab").repeated(400), u("abaabaaabaa").repeated(3)},
        {QString(3000, QChar(0x212A)), QString(40, u'k')},
        // Near misses of periodic search texts, where only what two-way
        // matching remembers after a move by the period tells them apart.
        {u("bbbbbbbabbbbabbbbabbabbbbabbbbabbbbabbbabbbbabbbbabbabbbbabbbbabbbba"), u("bbabbbbabbbbabbbbabb")},
        {u("aaabaabaabaabaabaabbaabaabaabaabaabaabaabaabbaabaabaabaabbaabaabaabaabaab"), u("baabaabaabaabaabaab")},
        {u("aaababaabaaabaaabaaabaaaaabaaabaaabaaabaaaaabaaabaaabaaabaaabaaabaaabaaabaaa"), u("aaabaaabaaabaaabaaa")},
        {u("abaabaaaababbaaabbaabaabaabaabaabaababaabaabaabaabaabaabaabaabaaba"), u("abaabaabaabaabaabaaba")},
    };
    for (const auto &c : cases)
        for (int compare : {0, 1})
            expectPlainResults(c.text, c.find, 0, compare);
}

} // namespace
