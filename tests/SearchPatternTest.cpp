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
        const QString find = randomText(1 + static_cast<int>(rng() % 4));
        const int compare = static_cast<int>(rng() % 2);
        const SearchPattern pattern(find, static_cast<CompareMode>(compare));
        qsizetype from = static_cast<qsizetype>(rng() % 10);
        qsizetype expected = -1;
        for (qsizetype i = from; i + find.size() <= text.size() && expected < 0; ++i) {
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
                expected = i;
        }
        ASSERT_EQ(pattern.IndexIn(text, from), expected)
            << text.toStdString() << " / " << find.toStdString() << " mode " << compare << " from " << from;
        qsizetype count = 0;
        for (qsizetype pos = from; (pos = pattern.IndexIn(text, pos)) >= 0; pos += find.size())
            ++count;
        ASSERT_EQ(pattern.CountIn(text, from), count) << text.toStdString() << " / " << find.toStdString();
    }
}

} // namespace
