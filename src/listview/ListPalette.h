// The colours a ListView draws with: the seven it lets the owner set, and the header's system colours.
#pragma once

#include "Color.h"

// Starts with the system's window, text and highlight colours, a black check
// box that turns white on a selected row, and the button colours for the
// header. Update translates the system colours again after a palette change.
class ListPalette
{
public:
    ListPalette();

    void Update();

    Color BackColor;
    Color ForeColor;
    Color SelectedBackColor;
    Color SelectedForeColor;
    Color FocusRectColor;
    Color CheckboxColor;
    Color CheckboxSelectedColor;
    // The header's face and caption, and the four shades of its 3D edges.
    Color ButtonFace;
    Color ButtonText;
    Color EdgeLight;
    Color EdgeMidlight;
    Color EdgeDark;
    Color EdgeShadow;
};
