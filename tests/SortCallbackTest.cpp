// The sort's comparison of two cells: numbers (German or English grouping),
// dates with two-digit years, or text in the locale's order without case.
#include "SortCallback.h"

#include "ListItem.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

const QLocale kGerman(QLocale::German, QLocale::Germany);
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

TEST(SortCallback, DecidesNumberDateOrTextForEachPair)
{
    struct Case
    {
        const QLocale *locale;
        const char *a, *b;
        int order, expected;
    };
    const Case cases[] = {
        {&kGerman, "10", "9", 0, -1},        // numbers: larger first
        {&kGerman, "10", "9", 1, 1},         // order 1 inverts
        {&kGerman, "10", "9", 2, -1},        // other orders do not
        {&kGerman, "  1.234", "999", 0, -1}, // padded, German grouping
        {&kGerman, "1,5", "1,25", 0, -1},
        {&kEnglish, "1.234", "999", 0, 1}, // a decimal point in English
        {&kGerman, "12", "abc", 0, -1},    // a word makes it text
        {&kGerman, "12.34", "9", 0, -1},   // misgrouped: text "1" < "9"
        {&kGerman, "b", "A", 0, 1},        // text ignores case
        {&kGerman, "abc", "ABC", 0, 0},
        {&kGerman, "ä", "b", 0, -1},                  // locale order, not code units
        {&kGerman, "15.01.2024", "01.02.2024", 0, 1}, // dates: later first
        {&kGerman, "01.02.2024", "1.2.24", 0, 0},
        {&kGerman, "01.01.29", "01.01.1930", 0, -1}, // two-digit 29 is 2029
        {&kGerman, "01.01.30", "01.01.1929", 0, -1}, // and 30 is 1930
        {&kGerman, "1e30", "5", 0, 0},               // too large to convert: equal
    };
    for (const auto &c : cases) {
        SortCallback::SetSortLocale(*c.locale);
        SortCallback::SetSortColumn(1);
        SortCallback::SetSortOrder(c.order);
        ListItem a(2), b(2);
        a.SetText(1, u(c.a));
        b.SetText(1, u(c.b));
        EXPECT_EQ(SortCallback::CompareListItems(a, b), c.expected) << c.a << " / " << c.b << " order " << c.order;
    }
}

} // namespace
