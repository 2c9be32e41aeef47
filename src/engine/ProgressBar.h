// The progress bar of a run as numbers: what to draw for a value, so the
// window only paints and tests can check every decision.
#pragma once

#include <QString>

class ProgressBar
{
public:
    struct Request
    {
        int Value = 0;
        int Min = 0;
        int Max = 0;
        QString Caption;
        bool ShowText = false;
        // A step of a pass that is going on: a window may leave some out,
        // but never the first or the last drawing of a run.
        bool Running = false;
    };

    struct Drawing
    {
        int Value = 0;    // clamped into Min..Max
        int Percent = 0;  // 0..100
        bool Bar = false; // whether the bar is drawn at all
        int BarWidth = 0; // pixels from the left edge
        QString Text;     // empty when no text is shown
        int TextLeft = 0;
        int TextTop = 0;
        bool TextWhite = true; // white over the bar, yellow beside it
    };

    // Colours as 0x00BBGGRR.
    static constexpr unsigned BarColour = 0x004000;
    static constexpr unsigned RunningBackground = 0x808080;
    static constexpr unsigned WhiteText = 0xFFFFFF;
    static constexpr unsigned YellowText = 0x00FFFF;

    // textWidth/textHeight measure Text in the box's font; the caller asks
    // for the text first with TextFor.
    static Drawing DrawProgress(const Request &r, int boxWidth, int boxHeight, int textWidth, int textHeight);
    static int PercentOf(const Request &r);
    static QString TextFor(const Request &r);
};
