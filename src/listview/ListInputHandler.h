// Keyboard and mouse handling of a ListView: selection, check boxes, column resizing, sorting, drag-select and moving
// rows.
#pragma once

#include <QObject>
#include <QPoint>
#include <QTimer>

class ListView;
class QKeyEvent;
class QMouseEvent;

// Between a press and its release the handler is in one drag mode; a release
// of any button always returns it to Idle and stops the auto-scroll timer.
// The selection-toggle flag holds the inverse of the state the last Ctrl
// toggle gave a row, so that Shift extends a selection or an unselection
// alike; a plain click clears it.
class ListInputHandler : public QObject
{
    Q_OBJECT

public:
    enum DragMode { Idle = 0, Resizing = 1, DragSelecting = 2, RowPressed = 3, HeaderPressed = 4 };
    // How often the list scrolls while the pointer is held beyond its edge.
    static constexpr int kAutoScrollInterval = 15;

    explicit ListInputHandler(ListView &view);

    void OnKeyDown(QKeyEvent *event);
    void OnKeyUp(QKeyEvent *event);
    void OnMouseDown(QMouseEvent *event);
    void OnMouseMove(QMouseEvent *event);
    void OnMouseUp(QMouseEvent *event);
    void OnDoubleClick(QMouseEvent *event);

    int Mode() const { return m_DragMode; }
    bool AutoScrolling() const { return m_AutoScroll.isActive(); }

    // Shift 1, Ctrl 2, Alt 4, added up.
    static int ShiftState(Qt::KeyboardModifiers modifiers);
    // Left 1, right 2, middle 4; 0 for any other button.
    static int ButtonCode(Qt::MouseButton button);

signals:
    void ItemsMoved();
    void DblClick(int ItemIndex);
    void Click(int ItemIndex);
    void ColumnClick(int ColumnIndex);
    void MouseDown(int ItemIndex, int MouseButton, int Shift, int X, int y);
    void MouseUp(int ItemIndex, int MouseButton, int Shift, int X, int y);
    void KeyDown(int *KeyCode, int Shift);
    void KeyUp(int KeyCode, int Shift);
    void KeyPress(int *KeyAscii);
    void ItemCheck(int ItemIndex);

private:
    void Navigate(int key, int shift);
    void PressHeader(int x);
    void PressRow(int button, int shift, int x, int y);
    // A pointer move at client position p; fed is set for the moves the
    // auto-scroll timer makes up after scrolling.
    void HandleMove(QPoint p, bool fed);
    void UpdateCursor(int x, int y);
    void ResizeColumn(int x);
    void DragSelect(int x, int y, bool fed);
    void MoveSelectedRows(int x, int y);
    void AutoScrollTick();
    void SelectOnly(int first, int last);
    void SelectRange(int from, int to, bool on);
    void UnselectAll();
    bool ValidRow(int row) const;

    ListView &m_View;
    int m_DragMode = Idle;
    int m_ResizeColumn = -1;
    bool m_SelectionToggle = false;
    bool m_RowsMoved = false;
    int m_AnchorRow = -1;
    // The pointer as last seen by a press or a move, in client coordinates:
    // the mouse is grabbed between press and release, so this is where it is.
    QPoint m_Pointer;
    // Set by a double click, so that its release raises no second Click.
    bool m_DoubleClicked = false;
    QTimer m_AutoScroll;
};
