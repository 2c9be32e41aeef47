// Where the parts of a ListView lie: column widths, header band, content width, rows, and both scroll ranges.
#include "ListLayout.h"

#include "ListView.h"
#include "ScrollBars.h"

#include <cmath>

namespace {

constexpr int H = ScrollBars::Horizontal;
constexpr int V = ScrollBars::Vertical;

} // namespace

ListLayout::ListLayout(ListView &view) : m_View(view) {}

int ListLayout::RoundHalfEven(double value)
{
    return static_cast<int>(std::nearbyint(value));
}

int ListLayout::ColumnDrawWidth(int column) const
{
    const ColumnCollection &columns = m_View.m_Model.Columns();
    if (column < 0 || column >= columns.Count())
        return 0;
    const Column &c = *columns.Item(column);
    if (!c.Visible)
        return 0;
    return m_View.m_ColumnsAutoSize ? c.WidthAutoSized : c.Width;
}

void ListLayout::Apply()
{
    if (m_Applying)
        return;
    m_Applying = true;
    const int clientWidth = m_View.viewport()->width();
    if (!m_View.m_ColumnsAutoSize)
        SumColumnWidths();
    else
        AutoSizeColumns(clientWidth);
    UpdateHorizontalBar(clientWidth);
    // The horizontal bar may have taken some of the height; the width stays.
    m_HeaderHeight = m_View.m_ColumnsVisible ? m_View.m_FontHeight + 8 : 0;
    m_ContentWidth = std::max(m_TotalColumnWidth, m_View.viewport()->width());
    m_Applying = false;
}

void ListLayout::SumColumnWidths()
{
    const ColumnCollection &columns = m_View.m_Model.Columns();
    int total = 0;
    for (int i = 0; i < columns.Count(); ++i) {
        if (columns.Item(i)->Visible)
            total += columns.Item(i)->Width;
    }
    m_TotalColumnWidth = total;
}

void ListLayout::AutoSizeColumns(int clientWidth)
{
    // Fixed columns keep their width; the resizable ones share what is left
    // in proportion to their widths.
    ColumnCollection &columns = m_View.m_Model.Columns();
    m_TotalColumnWidth = clientWidth;
    double resizable = 0;
    int fixed = 0;
    int lastVisible = -1;
    for (int i = 0; i < columns.Count(); ++i) {
        Column &c = *columns.Item(i);
        if (!c.Visible)
            continue;
        lastVisible = i;
        if (c.Resizable) {
            resizable += c.Width;
        } else {
            fixed += c.Width;
            c.WidthAutoSized = c.Width;
        }
    }
    int right = 0;
    for (int i = 0; i < columns.Count(); ++i) {
        Column &c = *columns.Item(i);
        if (!c.Visible)
            continue;
        if (c.Resizable)
            c.WidthAutoSized = resizable > 0 ? RoundHalfEven(c.Width / resizable * (clientWidth - fixed) + 0.5) : 0;
        if (i == lastVisible && right + c.WidthAutoSized > clientWidth)
            c.WidthAutoSized = std::max(0, clientWidth - right);
        right += c.WidthAutoSized;
    }
}

void ListLayout::UpdateHorizontalBar(int clientWidth)
{
    ScrollBars &bars = *m_View.m_Bars;
    if (m_TotalColumnWidth <= clientWidth) {
        bars.SetVisible(H, false);
        bars.SetValue(H, 0);
    } else {
        bars.SetVisible(H, true);
        bars.SetMin(H, 0);
        bars.SetMax(H, m_TotalColumnWidth - clientWidth - 1);
        bars.SetLargeChange(H, RoundHalfEven(m_TotalColumnWidth / 2.0));
        bars.SetSmallChange(H, 3);
        bars.SetEnabled(H, m_View.isEnabled());
    }
}

void ListLayout::UpdateVerticalRange()
{
    ScrollBars &bars = *m_View.m_Bars;
    if (!m_View.isEnabled()) {
        bars.SetEnabled(V, false);
        return;
    }
    // The last top row is the one that shows the last row whole. The page is
    // the rows that fit whole, which lets the value reach Max + 1.
    const int full = FullyVisibleRowCount();
    const int lastTop = m_View.m_Model.ItemCount() - full;
    if (lastTop <= 0) {
        if (bars.Enabled(V))
            bars.SetEnabled(V, false);
        bars.SetLargeChange(V, 0);
        bars.SetMax(V, 0);
        bars.SetValue(V, 0);
    } else {
        bars.SetEnabled(V, true);
        bars.SetLargeChange(V, full);
        bars.SetMax(V, lastTop - 1);
    }
}

int ListLayout::ItemHeight() const
{
    int h;
    if (m_View.m_ItemsAutoSize) {
        h = m_View.m_FontHeight + 4;
        if (m_View.m_Checkboxes)
            h = std::max(h, 19);
    } else {
        h = m_View.m_FontHeight + m_View.m_PaddingTop + m_View.m_PaddingBottom;
    }
    // Every row position divides by the height, so it is never below one
    // pixel, whatever the paddings say.
    return std::max(h, 1);
}

int ListLayout::VisibleRowCount() const
{
    const int listHeight = m_View.viewport()->height() - m_HeaderHeight;
    return RoundHalfEven(double(listHeight + 1) / ItemHeight() + 0.5);
}

int ListLayout::FullyVisibleRowCount() const
{
    // Counted like VisibleRowCount: a row short of only its last pixel line
    // (padding) counts as whole.
    const int listHeight = m_View.viewport()->height() - m_HeaderHeight;
    return std::max(1, (listHeight + 1) / ItemHeight());
}

int ListLayout::TopRow() const
{
    return m_View.m_Bars->Value(V);
}

int ListLayout::ScrollX() const
{
    return m_TotalColumnWidth > m_View.viewport()->width() ? m_View.m_Bars->Value(H) : 0;
}

int ListLayout::ColumnFromPoint(int X) const
{
    if (X > m_TotalColumnWidth - 1)
        return -1;
    const ColumnCollection &columns = m_View.m_Model.Columns();
    int right = 0;
    for (int i = 0; i < columns.Count(); ++i) {
        if (!columns.Item(i)->Visible)
            continue;
        right += ColumnDrawWidth(i);
        if (right > X)
            return i;
    }
    return -1;
}

int ListLayout::RowFromPoint(int X, int y, bool HitTest) const
{
    const int row = static_cast<int>(std::floor(double(y - m_HeaderHeight) / ItemHeight())) + TopRow();
    if (HitTest && (X > m_TotalColumnWidth - 1 || row < 0 || row > m_View.m_Model.ItemCount() - 1))
        return -1;
    return row;
}

void ListLayout::ScrollTo(int item, int column)
{
    m_View.m_Bars->SetValue(V, item);
    if (column >= 0 && !m_View.m_ColumnsAutoSize && m_TotalColumnWidth > m_View.viewport()->width()) {
        int left = 0;
        for (int i = 0; i < column && i < m_View.m_Model.ColumnCount(); ++i)
            left += ColumnDrawWidth(i);
        m_View.m_Bars->SetValue(H, left);
    }
}
