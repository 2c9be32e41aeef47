// Draws one frame of a ListView: the header band, the visible rows with their colours, check boxes and focus mark.
#pragma once

#include "Color.h"
#include "PixelPainter.h"

#include <QRect>

class ListView;
class QPainter;
class QWidget;

// Paints in content coordinates: the painter is shifted left by the
// horizontal scroll value, and everything from x 0 to the content width is
// drawn, the rows only from the top row to the last one that shows.
class ListPainter
{
public:
    ListPainter(const ListView &view, QPainter &painter);

    void Paint();

    // Where a row's check box outline starts: the inner square runs from
    // (X, Y) to (X + 12, Y + 12), the outer one a pixel further out.
    static QPoint CheckboxOrigin(const QRect &cell);

private:
    void PaintHeader();
    void PaintRows();
    void PaintRow(int row, int top);
    void PaintCheckbox(const QRect &cell, bool checked, const QColor &pen);
    void PaintFocusMark(int top, int right);
    PixelPainter::EdgeShades Shades() const;
    QRect TextRect(const QRect &cell, int indent) const;

    const ListView &m_View;
    QPainter &m_Painter;
    PixelPainter m_Pixels;
    int m_ClientHeight;
    int m_ItemHeight;
    int m_LineHeight;
    // The callback's answer for the cell being drawn.
    Color m_CustomBack;
    Color m_CustomFore;
};
