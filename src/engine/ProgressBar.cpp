// The progress bar of a run as numbers.
#include "ProgressBar.h"

#include <algorithm>
#include <cmath>

namespace {

int clampValue(const ProgressBar::Request &r)
{
    int v = r.Value;
    if (v < r.Min)
        v = r.Min;
    if (v > r.Max)
        v = r.Max;
    return v;
}

} // namespace

int ProgressBar::PercentOf(const Request &r)
{
    if (r.Max < 1)
        return 100;
    const double p = static_cast<double>(clampValue(r)) / r.Max * 100.0 + 0.5;
    return std::clamp(static_cast<int>(std::floor(p)), -32768, 32767);
}

QString ProgressBar::TextFor(const Request &r)
{
    return r.ShowText ? r.Caption + QString::number(PercentOf(r)) + QStringLiteral(" %") : QString();
}

ProgressBar::Drawing ProgressBar::DrawProgress(const Request &r, int boxWidth, int boxHeight, int textWidth,
                                               int textHeight)
{
    Drawing d;
    d.Value = clampValue(r);
    d.Percent = PercentOf(r);
    if (d.Value <= 0)
        return d;
    d.Bar = true;
    // Whole pixels, halves to even.
    d.BarWidth = static_cast<int>(std::nearbyint(boxWidth / 100.0 * d.Percent));
    if (r.ShowText) {
        d.Text = TextFor(r);
        d.TextLeft = (boxWidth - textWidth) / 2;
        d.TextTop = (boxHeight - textHeight) / 2;
        d.TextWhite = d.TextLeft <= d.BarWidth;
    }
    return d;
}
