// The progress bar's drawing: percent and bar width with clamped values, and
// the text with its colour beside and over the bar.
#include "ProgressBar.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct ProgressCase
{
    int value, min, max;
    int percent, barWidth;
    bool bar;
};

TEST(ProgressBar, Table)
{
    const ProgressCase cases[] = {
        {1, 1, 200, 1, 2, true},                                   // with Min 1 the bar is never empty
        {-5, 1, 4, 25, 50, true},                                  // clamped up to Min
        {9, 1, 4, 100, 200, true},                                 // clamped down to Max
        {0, 0, 10, 0, 0, false},                                   // nothing at zero
        {100, 100, 100, 100, 200, true}, {5, 1, 0, 100, 0, false}, // Max below 1: 100 %, value clamped to 0
        {1, 1, 3, 33, 66, true},         {2, 1, 3, 67, 134, true},
    };
    for (const auto &c : cases) {
        const ProgressBar::Request r{c.value, c.min, c.max, u("Bitte warten, der Vorgang läuft: "), true};
        const ProgressBar::Drawing d = ProgressBar::DrawProgress(r, 200, 20, 60, 10);
        EXPECT_EQ(d.Percent, c.percent) << c.value << "/" << c.max;
        EXPECT_EQ(d.Bar, c.bar) << c.value << "/" << c.max;
        if (c.bar) {
            EXPECT_EQ(d.BarWidth, c.barWidth) << c.value << "/" << c.max;
        }
    }
    const ProgressBar::Request r{1, 1, 3, u("x: "), true};
    const ProgressBar::Drawing small = ProgressBar::DrawProgress(r, 200, 20, 60, 10);
    EXPECT_EQ(small.Text, u("x: 33 %"));
    EXPECT_FALSE(small.TextWhite); // beside the bar: yellow
    const ProgressBar::Drawing wide = ProgressBar::DrawProgress({3, 1, 3, u("x: "), true}, 200, 20, 60, 10);
    EXPECT_TRUE(wide.TextWhite);
}

} // namespace
