// Colour translation: plain 0x00BBGGRR values and system colours taken from the application palette.
#include "Color.h"

#include <QGuiApplication>
#include <QPalette>

namespace {

struct SystemColour
{
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// The system colour indices 0 .. 30 and the palette entries that play their
// part on this platform. Index 25 is unused and names no colour.
constexpr int kSystemColourCount = 31;
constexpr SystemColour kSystemColours[kSystemColourCount] = {
    {QPalette::Active, QPalette::Button},          // 0 scroll bar
    {QPalette::Active, QPalette::Window},          // 1 desktop
    {QPalette::Active, QPalette::Highlight},       // 2 active caption
    {QPalette::Inactive, QPalette::Highlight},     // 3 inactive caption
    {QPalette::Active, QPalette::Window},          // 4 menu
    {QPalette::Active, QPalette::Base},            // 5 window background
    {QPalette::Active, QPalette::Shadow},          // 6 window frame
    {QPalette::Active, QPalette::WindowText},      // 7 menu text
    {QPalette::Active, QPalette::Text},            // 8 window text
    {QPalette::Active, QPalette::HighlightedText}, // 9 caption text
    {QPalette::Active, QPalette::Window},          // 10 active border
    {QPalette::Active, QPalette::Window},          // 11 inactive border
    {QPalette::Active, QPalette::Dark},            // 12 application workspace
    {QPalette::Active, QPalette::Highlight},       // 13 highlight
    {QPalette::Active, QPalette::HighlightedText}, // 14 highlight text
    {QPalette::Active, QPalette::Button},          // 15 button face
    {QPalette::Active, QPalette::Dark},            // 16 button shadow
    {QPalette::Disabled, QPalette::Text},          // 17 grey text
    {QPalette::Active, QPalette::ButtonText},      // 18 button text
    {QPalette::Inactive, QPalette::WindowText},    // 19 inactive caption text
    {QPalette::Active, QPalette::Light},           // 20 button highlight
    {QPalette::Active, QPalette::Shadow},          // 21 dark 3D shadow
    {QPalette::Active, QPalette::Midlight},        // 22 3D light
    {QPalette::Active, QPalette::ToolTipText},     // 23 info text
    {QPalette::Active, QPalette::ToolTipBase},     // 24 info background
    {QPalette::Active, QPalette::NoRole},          // 25 unused
    {QPalette::Active, QPalette::Link},            // 26 hot light
    {QPalette::Active, QPalette::Highlight},       // 27 active caption gradient
    {QPalette::Inactive, QPalette::Highlight},     // 28 inactive caption gradient
    {QPalette::Active, QPalette::Highlight},       // 29 menu highlight
    {QPalette::Active, QPalette::Window},          // 30 menu bar
};

} // namespace

bool Color::Translate(quint32 OLEColor, qint32 *RGBColor)
{
    const quint32 kind = OLEColor >> 24;
    if (kind == 0x00 || kind == 0x02) {
        *RGBColor = static_cast<qint32>(OLEColor & 0x00FFFFFFu);
        return true;
    }
    if (kind != 0x80)
        return false;
    const quint32 index = OLEColor & 0x00FFFFFFu;
    if (index >= kSystemColourCount || kSystemColours[index].role == QPalette::NoRole)
        return false;
    const SystemColour &entry = kSystemColours[index];
    *RGBColor = static_cast<qint32>(ToBGR(QGuiApplication::palette().color(entry.group, entry.role)));
    return true;
}

QColor Color::FromBGR(qint32 RGBColor)
{
    const quint32 v = static_cast<quint32>(RGBColor);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

quint32 Color::ToBGR(const QColor &color)
{
    const QRgb rgb = color.rgb();
    return quint32(qRed(rgb)) | (quint32(qGreen(rgb)) << 8) | (quint32(qBlue(rgb)) << 16);
}

bool Color::SetColor(quint32 OLEColor, bool CreateBrush, bool CreatePen)
{
    m_GotBrush = false;
    m_GotPen = false;
    m_OLEColor = OLEColor;
    qint32 rgb = -1;
    if (!Translate(OLEColor, &rgb)) {
        m_RGBColor = -1;
        m_Value = Qt::black;
        return false;
    }
    m_RGBColor = rgb;
    m_Value = FromBGR(rgb);
    m_GotBrush = CreateBrush;
    m_GotPen = CreatePen;
    return true;
}

void Color::Update()
{
    const bool brush = m_GotBrush;
    const bool pen = m_GotPen;
    SetColor(m_OLEColor, brush, pen);
}

void Color::Dispose()
{
    m_GotBrush = false;
    m_GotPen = false;
    m_OLEColor = 0xFFFFFFFFu;
    m_RGBColor = -1;
    m_Value = Qt::black;
}
