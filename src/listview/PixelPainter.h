// Pixel-exact drawing on a QPainter: fills, lines that leave out their end point, 3D edges and one-line text.
#pragma once

#include "TextAlignment.h"

#include <QColor>
#include <QPoint>
#include <QRect>
#include <initializer_list>

class QFont;
class QPainter;
class QString;

// Coordinates are whole pixels of the painter's (translated) device. A line
// from A to B covers A and every pixel up to, but not including, B, so
// segments joined end to start never draw a pixel twice and a closed path
// through four corners covers the outline of the rectangle including them.
class PixelPainter
{
public:
    // The four shades of a 3D edge, lightest first.
    struct EdgeShades
    {
        QColor light;    // highlight, inner top-left of a raised edge
        QColor midlight; // outer top-left of a raised edge
        QColor dark;     // inner bottom-right of a raised edge
        QColor shadow;   // outer bottom-right of a raised edge
    };
    enum EdgeKind { RaisedEdge, EtchedEdge };
    enum Side { LeftSide = 1, TopSide = 2, RightSide = 4, BottomSide = 8, AllSides = 15 };

    explicit PixelPainter(QPainter &painter) : m_Painter(painter) {}

    void Fill(const QRect &rect, const QColor &color);
    void Line(QPoint from, QPoint to, const QColor &color);
    // Lines from each point to the next and from the last back to the first.
    void ClosedPath(std::initializer_list<QPoint> points, const QColor &color);
    // A two-pixel edge just inside rect on the given sides. Raised: light
    // top-left, dark bottom-right; etched: a sunken outer and a raised inner line.
    void Edge(const QRect &rect, EdgeKind kind, int sides, const EdgeShades &shades);
    // One line of text, vertically centred in rect and cut with an ellipsis
    // at the end when it is too wide; an alignment outside the three named
    // ones draws nothing. Nothing outside rect is touched.
    void Text(const QRect &rect, const QString &text, TextAlignment align, const QColor &color, const QFont &font);

private:
    void Border(const QRect &rect, int sides, const QColor &topLeft, const QColor &bottomRight);

    QPainter &m_Painter;
};
