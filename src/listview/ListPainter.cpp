// The list's drawing rules: header cells and edges, cell colours through the callback, check boxes and the focus mark.
#include "ListPainter.h"

#include "ListView.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <cmath>

ListPainter::ListPainter(const ListView &view, QPainter &painter)
    : m_View(view), m_Painter(painter), m_Pixels(painter), m_ClientHeight(view.viewport()->height()),
      m_ItemHeight(view.ItemHeight()), m_LineHeight(QFontMetrics(view.m_DrawFont).height())
{}

void ListPainter::Paint()
{
    m_Painter.translate(-m_View.ScrollX(), 0);
    if (m_View.m_ColumnsVisible)
        PaintHeader();
    PaintRows();
}

PixelPainter::EdgeShades ListPainter::Shades() const
{
    const ListPalette &colours = m_View.m_Colours;
    return {colours.EdgeLight.Value(), colours.EdgeMidlight.Value(), colours.EdgeDark.Value(),
            colours.EdgeShadow.Value()};
}

void ListPainter::PaintHeader()
{
    const int height = m_View.HeaderHeight();
    const QColor face = m_View.m_Colours.ButtonFace.Value();
    const QColor text = m_View.m_Colours.ButtonText.Value();
    const PixelPainter::EdgeShades shades = Shades();
    const ColumnCollection &columns = m_View.m_Model.Columns();
    int x = 0;
    for (int i = 0; i < columns.Count(); ++i) {
        const Column &column = *columns.Item(i);
        if (!column.Visible)
            continue;
        const int width = m_View.ColumnDrawWidth(i);
        const QRect cell(x, 0, width, height);
        m_Pixels.Fill(cell, face);
        m_Pixels.Edge(cell, column.Pushed ? PixelPainter::EtchedEdge : PixelPainter::RaisedEdge, PixelPainter::AllSides,
                      shades);
        const QRect caption(x + m_View.m_PaddingLeft, 0, width - m_View.m_PaddingLeft - m_View.m_PaddingRight, height);
        m_Pixels.Text(caption, column.Caption, column.TextAlign, text, m_View.m_DrawFont);
        x += width;
    }
    const QRect rest(x, 0, m_View.ContentWidth() - x, height);
    if (rest.width() > 0) {
        m_Pixels.Fill(rest, face);
        m_Pixels.Edge(rest, PixelPainter::RaisedEdge,
                      PixelPainter::LeftSide | PixelPainter::TopSide | PixelPainter::BottomSide, shades);
    }
}

void ListPainter::PaintRows()
{
    const ListModel &model = m_View.m_Model;
    const int listTop = m_View.HeaderHeight();
    const int width = m_View.ContentWidth();
    const QColor back = m_View.m_Colours.BackColor.Value();
    const bool backBrush = m_View.m_Colours.BackColor.GotGDIBrush();
    if (model.ItemCount() < 1) {
        if (backBrush)
            m_Pixels.Fill(QRect(0, listTop, width, m_ClientHeight - listTop), back);
        return;
    }
    const int top = std::max(0, std::min(m_View.TopRow(), model.ItemCount() - 1));
    const int last = top + m_View.VisibleRowCount();
    int y = listTop;
    // The callback may change the list; the count is read again for every row.
    for (int row = top; row <= last && row < model.ItemCount(); ++row, y += m_ItemHeight)
        PaintRow(row, y);
    if (backBrush)
        m_Pixels.Fill(QRect(0, y, width, m_ClientHeight - y), back);
}

QRect ListPainter::TextRect(const QRect &cell, int indent) const
{
    const int left = cell.left() + m_View.m_PaddingLeft + indent;
    const int right = cell.left() + cell.width() - m_View.m_PaddingRight;
    // Centred between the top and bottom paddings, but never lower than a
    // line of text, and never outside the row.
    int top = cell.top() + m_View.m_PaddingTop;
    int height = cell.height() - m_View.m_PaddingTop - m_View.m_PaddingBottom;
    if (height < m_LineHeight) {
        top -= (m_LineHeight - height) / 2;
        height = m_LineHeight;
    }
    return QRect(left, top, right - left, height).intersected(QRect(left, cell.top(), right - left, cell.height()));
}

void ListPainter::PaintRow(int row, int top)
{
    const ListModel &model = m_View.m_Model;
    const ColumnCollection &columns = model.Columns();
    ICustomDraw *callback = m_View.m_DrawCallback;
    int x = 0;
    for (int i = 0; i < columns.Count(); ++i) {
        const Column &column = *columns.Item(i);
        if (!column.Visible)
            continue;
        const int width = m_View.ColumnDrawWidth(i);
        const QRect cell(x, top, width, m_ItemHeight);
        x += width;

        qint32 back = -1, fore = -1;
        const bool custom = callback->CustomDraw(row, i, back, fore);
        if (row >= model.ItemCount())
            return;
        const ListItem &item = *model.Items().Item(row);
        const Color *backColor, *foreColor;
        if (!custom) {
            backColor = item.Selected() ? &m_View.m_Colours.SelectedBackColor : &m_View.m_Colours.BackColor;
            foreColor = item.Selected() ? &m_View.m_Colours.SelectedForeColor : &m_View.m_Colours.ForeColor;
        } else {
            if (back != -1) {
                m_CustomBack.SetColor(static_cast<quint32>(back), true);
                backColor = &m_CustomBack;
            } else {
                backColor = &m_View.m_Colours.BackColor;
            }
            if (fore != -1) {
                m_CustomFore.SetColor(static_cast<quint32>(fore));
                foreColor = &m_CustomFore;
            } else {
                foreColor = &m_View.m_Colours.ForeColor;
            }
        }
        if (backColor->GotGDIBrush())
            m_Pixels.Fill(cell, backColor->Value());

        int indent = 0;
        if (i == 0 && m_View.m_Checkboxes) {
            const Color &pen =
                item.Selected() ? m_View.m_Colours.CheckboxSelectedColor : m_View.m_Colours.CheckboxColor;
            if (pen.GotGDIPen())
                PaintCheckbox(cell, item.Checked(), pen.Value());
            indent = ListView::CheckboxIndent;
        }
        if (i < item.SubItemCount())
            m_Pixels.Text(TextRect(cell, indent), item.Text(i), column.TextAlign, foreColor->Value(),
                          m_View.m_DrawFont);
    }
    if (m_View.m_Colours.BackColor.GotGDIBrush())
        m_Pixels.Fill(QRect(x, top, m_View.ContentWidth() - x, m_ItemHeight), m_View.m_Colours.BackColor.Value());
    if (row == model.SelectedItem() && m_View.hasFocus() && m_View.isEnabled())
        PaintFocusMark(top, x);
}

QPoint ListPainter::CheckboxOrigin(const QRect &cell)
{
    const int top = cell.top();
    const int bottom = cell.top() + cell.height();
    // Halves round to even, as every rounding in the list's layout does.
    return QPoint(cell.left() + 3, static_cast<int>(std::nearbyint((top + bottom) / 2.0 - 6 - 0.5)));
}

void ListPainter::PaintCheckbox(const QRect &cell, bool checked, const QColor &pen)
{
    const QPoint o = CheckboxOrigin(cell);
    const int X = o.x(), Y = o.y();
    // Two nested squares give a 15-pixel box with a 2-pixel border.
    m_Pixels.ClosedPath({{X, Y}, {X + 12, Y}, {X + 12, Y + 12}, {X, Y + 12}}, pen);
    m_Pixels.ClosedPath({{X - 1, Y - 1}, {X + 13, Y - 1}, {X + 13, Y + 13}, {X - 1, Y + 13}}, pen);
    if (!checked)
        return;
    static constexpr int kTick[7][4] = {{9, 5, 5, 9}, {9, 4, 4, 9},  {9, 3, 3, 9}, {3, 5, 5, 8},
                                        {3, 6, 6, 9}, {3, 7, 6, 10}, {3, 7, 7, 9}};
    for (const auto &s : kTick)
        m_Pixels.Line({X + s[0], Y + s[1]}, {X + s[2], Y + s[3]}, pen);
}

void ListPainter::PaintFocusMark(int top, int right)
{
    const int bottom = top + m_ItemHeight;
    if (m_View.m_SolidFocusRect) {
        if (m_View.m_Colours.FocusRectColor.GotGDIPen())
            m_Pixels.ClosedPath({{0, top}, {right - 1, top}, {right - 1, bottom - 1}, {0, bottom - 1}},
                                m_View.m_Colours.FocusRectColor.Value());
        return;
    }
    QStyleOptionFocusRect option;
    option.initFrom(m_View.viewport());
    option.rect = QRect(0, top, right, m_ItemHeight);
    option.backgroundColor = m_View.m_Colours.BackColor.Value();
    m_View.style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &m_Painter, m_View.viewport());
}
