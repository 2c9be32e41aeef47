// The owner-drawn results list: columns, rows, check boxes, selection, sorting and custom colours.
#pragma once

#include "Color.h"
#include "ICustomDraw.h"
#include "ListLayout.h"
#include "ListModel.h"
#include "ListModelObserver.h"
#include "ListPalette.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QStringList>

class ListInputHandler;
class ScrollBars;

// Draws its ListModel itself: a header band of column captions, then one row
// per item from the top row (the vertical scroll value) down. The content is
// as wide as the visible columns, or as the window if that is wider; the
// horizontal scroll value shifts it. Input handling lives in
// ListInputHandler, the drawing rules in ListPainter, the geometry in
// ListLayout and the colours in ListPalette.
//
// Enabled and Font are QWidget's own: setEnabled() and setFont() refresh the
// list. A disabled list takes no input and raises no input event.
class ListView : public QAbstractScrollArea, public ListModelObserver, public ICustomDraw
{
    Q_OBJECT

public:
    explicit ListView(QWidget *parent = nullptr);
    ~ListView() override;

    // The look the main window's results list is designed with: background
    // 0x00FDFCD9, the font Verdana (or the nearest installed), and 0x404040
    // for both check box colours.
    static void ApplyResultListDesign(ListView &list);

    ListModel &Model() { return m_Model; }
    const ListModel &Model() const { return m_Model; }

    // Colours: 0x00BBGGRR values, or system colours with the top bit set.
    // Writing any of them redraws.
    quint32 BackColor() const { return m_Colours.BackColor.OLEColor(); }
    void SetBackColor(quint32 value);
    quint32 ForeColor() const { return m_Colours.ForeColor.OLEColor(); }
    void SetForeColor(quint32 value);
    quint32 SelectedBackColor() const { return m_Colours.SelectedBackColor.OLEColor(); }
    void SetSelectedBackColor(quint32 value);
    quint32 SelectedForeColor() const { return m_Colours.SelectedForeColor.OLEColor(); }
    void SetSelectedForeColor(quint32 value);
    quint32 FocusRectColor() const { return m_Colours.FocusRectColor.OLEColor(); }
    void SetFocusRectColor(quint32 value);
    quint32 CheckboxColor() const { return m_Colours.CheckboxColor.OLEColor(); }
    void SetCheckboxColor(quint32 value);
    quint32 CheckboxSelectedColor() const { return m_Colours.CheckboxSelectedColor.OLEColor(); }
    void SetCheckboxSelectedColor(quint32 value);

    // Read at the next redraw or input.
    bool Reorder() const { return m_Reorder; }
    void SetReorder(bool on) { m_Reorder = on; }
    bool MultiSelect() const { return m_MultiSelect; }
    void SetMultiSelect(bool on) { m_MultiSelect = on; }
    bool SolidFocusRect() const { return m_SolidFocusRect; }
    void SetSolidFocusRect(bool on) { m_SolidFocusRect = on; }
    bool Checkboxes() const { return m_Checkboxes; }
    void SetCheckboxes(bool on) { m_Checkboxes = on; }
    bool ItemsAutoSize() const { return m_ItemsAutoSize; }
    void SetItemsAutoSize(bool on) { m_ItemsAutoSize = on; }
    bool Sortable() const { return m_Sortable; }
    void SetSortable(bool on) { m_Sortable = on; }

    // Writing these refreshes.
    bool ColumnsAutoSize() const { return m_ColumnsAutoSize; }
    void SetColumnsAutoSize(bool on);
    bool ColumnsVisible() const { return m_ColumnsVisible; }
    void SetColumnsVisible(bool on);
    int ItemPaddingTop() const { return m_PaddingTop; }
    void SetItemPaddingTop(int pixels);
    int ItemPaddingBottom() const { return m_PaddingBottom; }
    void SetItemPaddingBottom(int pixels);
    int ItemPaddingLeft() const { return m_PaddingLeft; }
    void SetItemPaddingLeft(int pixels);
    int ItemPaddingRight() const { return m_PaddingRight; }
    void SetItemPaddingRight(int pixels);
    // The list holds no pictures (PictureCount is always 0), so these are
    // kept for the owner and change nothing that is drawn.
    int PictureWidth() const { return m_PictureWidth; }
    void SetPictureWidth(int pixels);
    int PictureHeight() const { return m_PictureHeight; }
    void SetPictureHeight(int pixels);
    bool PicturesVisible() const { return m_PicturesVisible; }
    void SetPicturesVisible(bool on);
    int PictureCount() const { return 0; }

    // 0 no border, 1 flat, 2 sunken; applied at once.
    int BorderStyle() const { return m_BorderStyle; }
    void SetBorderStyle(int style);
    // 0 accepts no drops, anything else lets OLEDragOver and OLEDragDrop through.
    int OLEDropMode() const { return m_OLEDropMode; }
    void SetOLEDropMode(int mode);

    // The current row, -1 for none; writing redraws.
    int SelectedItem() const { return m_Model.SelectedItem(); }
    void SetSelectedItem(int Index) { m_Model.SetSelectedItem(Index); }

    // Never null: nullptr puts the list's own callback back. Redraws.
    ICustomDraw *DrawCallback() const { return m_DrawCallback; }
    void SetDrawCallback(ICustomDraw *callback);

    // While off, changes request no drawing; switching it on refreshes.
    bool Redraw() const { return m_Redraw; }
    void SetRedraw(bool on);

    // Lays out the columns, recomputes both scroll ranges and redraws.
    void Refresh();
    // Row height: the font height plus 4 (at least 19 with check boxes)
    // with ItemsAutoSize, else the font height plus the top and bottom paddings.
    int ItemHeight() const { return m_Layout.ItemHeight(); }
    // The visible column under content x X, -1 right of the columns.
    int ColumnFromPoint(int X, int /*y*/) const { return m_Layout.ColumnFromPoint(X); }
    // The row under client y; with HitTest, -1 when X is right of the columns
    // or the row does not exist.
    int RowFromPoint(int X, int y, bool HitTest = false) const { return m_Layout.RowFromPoint(X, y, HitTest); }
    // Makes lngItem the top row as far as the scroll range allows, and with a
    // column given scrolls that column's left edge into view.
    void MakeSureVisible(int lngItem, int lngColumn = -1);
    // Neither redraws; SelectAll only works with MultiSelect.
    void SelectAll();
    void UnSelectAll();

    // The layout as last computed, in pixels.
    int FontHeight() const { return m_FontHeight; }
    const QFont &DrawFont() const { return m_DrawFont; }
    int HeaderHeight() const { return m_Layout.HeaderHeight(); }
    int TotalColumnWidth() const { return m_Layout.TotalColumnWidth(); }
    int ContentWidth() const { return m_Layout.ContentWidth(); }
    // Rows drawn from the top row on, a partly visible last row included.
    int VisibleRowCount() const { return m_Layout.VisibleRowCount(); }
    // Rows that fit whole; the last scroll position shows the last row whole.
    int FullyVisibleRowCount() const { return m_Layout.FullyVisibleRowCount(); }
    int TopRow() const { return m_Layout.TopRow(); }
    // The content x that the window's left edge shows.
    int ScrollX() const { return m_Layout.ScrollX(); }
    // The width the column is drawn with (0 when hidden).
    int ColumnDrawWidth(int column) const { return m_Layout.ColumnDrawWidth(column); }
    // The narrowest width of the column that draws each text whole in the
    // list's font: paddings and, in column 0 with check boxes, the check
    // box's room included.
    int TextColumnWidth(int column, const QStringList &texts) const;
    // Column 0's text moves right by this much to make room for the check box.
    static constexpr int CheckboxIndent = 18;
    ScrollBars &Bars() { return *m_Bars; }

    // The list's own callback: leaves every cell to the list's colours.
    bool CustomDraw(int ItemIndex, int ColumnIndex, qint32 &BackColor, qint32 &ForeColor) override;

signals:
    // The list's font changed and the rows use it now: widths sized to the
    // text are due again.
    void FontApplied();
    void ItemsMoved();
    void DblClick(int ItemIndex);
    void Click(int ItemIndex);
    void ColumnClick(int ColumnIndex);
    // MouseButton 1 left, 2 right, 4 middle; Shift 1 Shift, 2 Ctrl, 4 Alt,
    // added up. MouseDown's X is a content x, MouseUp's as received.
    void MouseDown(int ItemIndex, int MouseButton, int Shift, int X, int y);
    void MouseUp(int ItemIndex, int MouseButton, int Shift, int X, int y);
    // Raised before the list handles a key (a Qt::Key); the handler may
    // change *KeyCode, and the list then acts on the changed key.
    void KeyDown(int *KeyCode, int Shift);
    void KeyUp(int KeyCode, int Shift);
    void KeyPress(int *KeyAscii);
    void ItemCheck(int ItemIndex);
    void OLEDragOver(QDragMoveEvent *event);
    void OLEDragDrop(QDropEvent *event);

protected:
    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    friend class ListPainter;
    friend class ListInputHandler;
    friend class ListLayout;

    void ListRedraw() override;
    void ListRefresh() override;
    void ListScrollRangeChanged() override;

    // Asks for a repaint unless Redraw is off or a repaint is running.
    void DrawNow();
    void ApplyFont();
    void SetColour(Color &colour, quint32 value, bool brush, bool pen);

    ListModel m_Model;
    ScrollBars *m_Bars;
    ListInputHandler *m_Input;

    int m_PaddingTop = 4;
    int m_PaddingBottom = 4;
    int m_PaddingLeft = 4;
    int m_PaddingRight = 5;
    int m_PictureHeight = 16;
    int m_PictureWidth = 16;
    bool m_PicturesVisible = true;
    int m_FontHeight = 0;
    QFont m_DrawFont;

    ListPalette m_Colours;

    int m_BorderStyle = 1;
    int m_OLEDropMode = 0;
    bool m_Reorder = true;
    bool m_MultiSelect = true;
    bool m_ColumnsAutoSize = false;
    bool m_ColumnsVisible = true;
    bool m_SolidFocusRect = true;
    bool m_Checkboxes = false;
    bool m_Sortable = true;
    bool m_ItemsAutoSize = true;
    bool m_Redraw = true;

    ListLayout m_Layout;
    ICustomDraw *m_DrawCallback;
    bool m_InDraw = false;
};
