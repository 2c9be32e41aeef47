// Pixel-exact primitives: Bresenham lines without their end point, edge borders and elided one-line text.
#include "PixelPainter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QString>
#include <cstdlib>

void PixelPainter::Fill(const QRect &rect, const QColor &color)
{
    if (rect.width() > 0 && rect.height() > 0)
        m_Painter.fillRect(rect, color);
}

void PixelPainter::Line(QPoint from, QPoint to, const QColor &color)
{
    const int dx = to.x() - from.x();
    const int dy = to.y() - from.y();
    if (dx == 0 && dy == 0)
        return;
    // Straight runs as one rectangle each; the end point stays out.
    if (dy == 0) {
        const int left = dx > 0 ? from.x() : to.x() + 1;
        Fill(QRect(left, from.y(), std::abs(dx), 1), color);
        return;
    }
    if (dx == 0) {
        const int top = dy > 0 ? from.y() : to.y() + 1;
        Fill(QRect(from.x(), top, 1, std::abs(dy)), color);
        return;
    }
    // Bresenham over the major axis, one pixel per step, the last step left out.
    const int ax = std::abs(dx), ay = std::abs(dy);
    const int sx = dx > 0 ? 1 : -1, sy = dy > 0 ? 1 : -1;
    int x = from.x(), y = from.y();
    if (ax >= ay) {
        int error = 2 * ay - ax;
        for (int i = 0; i < ax; ++i) {
            m_Painter.fillRect(x, y, 1, 1, color);
            if (error > 0) {
                y += sy;
                error -= 2 * ax;
            }
            error += 2 * ay;
            x += sx;
        }
    } else {
        int error = 2 * ax - ay;
        for (int i = 0; i < ay; ++i) {
            m_Painter.fillRect(x, y, 1, 1, color);
            if (error > 0) {
                x += sx;
                error -= 2 * ay;
            }
            error += 2 * ax;
            y += sy;
        }
    }
}

void PixelPainter::ClosedPath(std::initializer_list<QPoint> points, const QColor &color)
{
    if (points.size() < 2)
        return;
    const QPoint *previous = points.end() - 1;
    for (const QPoint &point : points) {
        Line(*previous, point, color);
        previous = &point;
    }
}

void PixelPainter::Border(const QRect &rect, int sides, const QColor &topLeft, const QColor &bottomRight)
{
    const int l = rect.left(), t = rect.top(), r = rect.left() + rect.width(), b = rect.top() + rect.height();
    if (r - l < 1 || b - t < 1)
        return;
    // The bottom-right shade owns the two corners it shares with the top-left one.
    if (sides & TopSide)
        Fill(QRect(l, t, r - l - 1, 1), topLeft);
    if (sides & LeftSide)
        Fill(QRect(l, t, 1, b - t - 1), topLeft);
    if (sides & BottomSide)
        Fill(QRect(l, b - 1, r - l, 1), bottomRight);
    if (sides & RightSide)
        Fill(QRect(r - 1, t, 1, b - t), bottomRight);
}

void PixelPainter::Edge(const QRect &rect, EdgeKind kind, int sides, const EdgeShades &shades)
{
    // Each side drawn takes one pixel from the rectangle for the inner line.
    QRect inner = rect;
    if (sides & LeftSide)
        inner.setLeft(inner.left() + 1);
    if (sides & TopSide)
        inner.setTop(inner.top() + 1);
    if (sides & RightSide)
        inner.setRight(inner.right() - 1);
    if (sides & BottomSide)
        inner.setBottom(inner.bottom() - 1);
    if (kind == RaisedEdge) {
        Border(rect, sides, shades.midlight, shades.shadow);
        Border(inner, sides, shades.light, shades.dark);
    } else {
        Border(rect, sides, shades.dark, shades.light);
        Border(inner, sides, shades.light, shades.dark);
    }
}

void PixelPainter::Text(const QRect &rect, const QString &text, TextAlignment align, const QColor &color,
                        const QFont &font)
{
    if (text.isEmpty() || rect.width() < 1 || rect.height() < 1)
        return;
    int flags = Qt::AlignVCenter | Qt::TextSingleLine;
    switch (align) {
    case TextAlignment::Left:
        flags |= Qt::AlignLeft;
        break;
    case TextAlignment::Right:
        flags |= Qt::AlignRight;
        break;
    case TextAlignment::Center:
        flags |= Qt::AlignHCenter;
        break;
    default:
        return;
    }
    const QFontMetrics metrics(font);
    const QString shown =
        metrics.horizontalAdvance(text) > rect.width() ? metrics.elidedText(text, Qt::ElideRight, rect.width()) : text;
    m_Painter.setFont(font);
    m_Painter.setPen(color);
    m_Painter.drawText(rect, flags, shown);
}
