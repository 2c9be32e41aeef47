// One colour of the list as given (0x00BBGGRR or a system colour) and as translated for drawing.
#pragma once

#include <QColor>
#include <QtGlobal>

class QPalette;

// A value with the top bit set names a system colour by its index in the low
// bits (5 window, 8 window text, 13 highlight, 14 highlight text, 15 button
// face, 18 button text, ...); it is translated through the application
// palette, so it follows palette changes once Update is called. The "brush"
// and "pen" are what a fill or a line may use: a colour that cannot be
// translated has neither, and draws nothing.
class Color
{
public:
    Color() = default;

    // Stores the colour and translates it. False, and neither brush nor pen,
    // when the value names no colour.
    bool SetColor(quint32 OLEColor, bool CreateBrush = false, bool CreatePen = false);
    // Translates the stored colour again, keeping whichever of brush and pen was held.
    void Update();
    void Dispose();

    quint32 OLEColor() const { return m_OLEColor; }
    // 0x00BBGGRR, or -1 when the translation failed or nothing is stored.
    qint32 RGBColor() const { return m_RGBColor; }
    bool GotGDIBrush() const { return m_GotBrush; }
    bool GotGDIPen() const { return m_GotPen; }
    // The translated colour; black when the translation failed.
    QColor Value() const { return m_Value; }

    // Translates a colour value through the application palette; false when
    // the value names no colour (an unknown system colour index or a value
    // whose high byte is neither 0x00, 0x02 nor 0x80).
    static bool Translate(quint32 OLEColor, qint32 *RGBColor);
    static QColor FromBGR(qint32 RGBColor);
    static quint32 ToBGR(const QColor &color);

private:
    quint32 m_OLEColor = 0xFFFFFFFFu;
    qint32 m_RGBColor = -1;
    QColor m_Value = Qt::black;
    bool m_GotBrush = false;
    bool m_GotPen = false;
};
