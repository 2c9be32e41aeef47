// Where the parts of a ListView lie: column widths, header band, content width, rows, and both scroll ranges.
#pragma once

class ListView;

// Apply lays the columns out for the list's client width: the header band
// runs from 0 to HeaderHeight, the rows below it down to the client height,
// both as wide as ContentWidth. Positions are content x (0 is the first
// column's left edge) and client y. The list asks for a new layout whenever
// its columns, font, options or size change; the queries below read the last
// one, and the scroll bars' current values.
class ListLayout
{
public:
    explicit ListLayout(ListView &view);

    // Column widths, the horizontal bar, the header height and the content width.
    void Apply();
    // The vertical bar's range from the row count and the rows that fit whole.
    void UpdateVerticalRange();
    // True while Apply runs: showing or hiding a scroll bar resizes the list,
    // which must not start another layout.
    bool Applying() const { return m_Applying; }

    int HeaderHeight() const { return m_HeaderHeight; }
    int TotalColumnWidth() const { return m_TotalColumnWidth; }
    int ContentWidth() const { return m_ContentWidth; }
    int ColumnDrawWidth(int column) const;
    int ItemHeight() const;
    int VisibleRowCount() const;
    int FullyVisibleRowCount() const;
    int TopRow() const;
    int ScrollX() const;
    int ColumnFromPoint(int X) const;
    int RowFromPoint(int X, int y, bool HitTest) const;
    // Sets the top row, and with a column given the horizontal position.
    void ScrollTo(int item, int column);

    // Every rounding of the layout takes halves to the even neighbour.
    static int RoundHalfEven(double value);

private:
    void SumColumnWidths();
    void AutoSizeColumns(int clientWidth);
    void UpdateHorizontalBar(int clientWidth);

    ListView &m_View;
    int m_HeaderHeight = 0;
    int m_TotalColumnWidth = 0;
    int m_ContentWidth = 0;
    bool m_Applying = false;
};
