// The colours a ListView draws with: the seven it lets the owner set, and the header's system colours.
#include "ListPalette.h"

namespace {

// System colours: the index in the low bits, the top bit set.
constexpr quint32 kWindow = 0x80000005u;
constexpr quint32 kWindowText = 0x80000008u;
constexpr quint32 kHighlight = 0x8000000Du;
constexpr quint32 kHighlightText = 0x8000000Eu;
constexpr quint32 kButtonFace = 0x8000000Fu;
constexpr quint32 kButtonShadow = 0x80000010u;
constexpr quint32 kButtonText = 0x80000012u;
constexpr quint32 kButtonHighlight = 0x80000014u;
constexpr quint32 kDarkShadow = 0x80000015u;
constexpr quint32 kLight = 0x80000016u;

} // namespace

ListPalette::ListPalette()
{
    BackColor.SetColor(kWindow, true);
    ForeColor.SetColor(kWindowText);
    SelectedBackColor.SetColor(kHighlight, true);
    SelectedForeColor.SetColor(kHighlightText);
    FocusRectColor.SetColor(kHighlight, false, true);
    CheckboxColor.SetColor(0x000000, false, true);
    CheckboxSelectedColor.SetColor(0xFFFFFF, false, true);
    ButtonFace.SetColor(kButtonFace, true);
    ButtonText.SetColor(kButtonText);
    EdgeLight.SetColor(kButtonHighlight, false, true);
    EdgeMidlight.SetColor(kLight, false, true);
    EdgeDark.SetColor(kButtonShadow, false, true);
    EdgeShadow.SetColor(kDarkShadow, false, true);
}

void ListPalette::Update()
{
    for (Color *c :
         {&BackColor, &ForeColor, &SelectedBackColor, &SelectedForeColor, &FocusRectColor, &CheckboxColor,
          &CheckboxSelectedColor, &ButtonFace, &ButtonText, &EdgeLight, &EdgeMidlight, &EdgeDark, &EdgeShadow})
        c->Update();
}
