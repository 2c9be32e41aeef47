// The list's reactions to keys, presses, moves, releases and the auto-scroll timer.
#include "ListInputHandler.h"

#include "ListView.h"
#include "ScrollBars.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <cstdlib>

namespace {

// A press or pointer this close to a column's right edge grabs the edge.
constexpr int kEdgeZone = 5;
// A column dragged narrower stops at this width.
constexpr int kMinColumnWidth = 5;
// The check box zone of column 0, in content x.
constexpr int kCheckboxLeft = 3;
constexpr int kCheckboxRight = 15;
// How far the pointer must be past the top or bottom edge to auto-scroll.
constexpr int kAutoScrollMargin = 3;

} // namespace

ListInputHandler::ListInputHandler(ListView &view) : QObject(&view), m_View(view)
{
    m_AutoScroll.setInterval(kAutoScrollInterval);
    connect(&m_AutoScroll, &QTimer::timeout, this, &ListInputHandler::AutoScrollTick);
}

int ListInputHandler::ShiftState(Qt::KeyboardModifiers modifiers)
{
    int state = 0;
    if (modifiers & Qt::ShiftModifier)
        state |= 1;
    if (modifiers & Qt::ControlModifier)
        state |= 2;
    if (modifiers & Qt::AltModifier)
        state |= 4;
    return state;
}

int ListInputHandler::ButtonCode(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

bool ListInputHandler::ValidRow(int row) const
{
    return row >= 0 && row < m_View.m_Model.ItemCount();
}

void ListInputHandler::UnselectAll()
{
    ListItemCollection &items = m_View.m_Model.Items();
    for (int i = 0; i < items.ItemCount(); ++i)
        items.Item(i)->SetSelected(false);
}

void ListInputHandler::SelectRange(int from, int to, bool on)
{
    ListItemCollection &items = m_View.m_Model.Items();
    const int step = to >= from ? 1 : -1;
    for (int i = from;; i += step) {
        items.Item(i)->SetSelected(on);
        if (i == to)
            break;
    }
}

void ListInputHandler::SelectOnly(int first, int last)
{
    ListItemCollection &items = m_View.m_Model.Items();
    for (int i = 0; i < items.ItemCount(); ++i)
        items.Item(i)->SetSelected(i >= first && i <= last);
}

// --- Keyboard -------------------------------------------------------------

void ListInputHandler::OnKeyDown(QKeyEvent *event)
{
    int key = event->key();
    const int shift = ShiftState(event->modifiers());
    emit KeyDown(&key, shift);

    ListModel &model = m_View.m_Model;
    switch (key) {
    case Qt::Key_Space: {
        const int current = model.SelectedItem();
        if (ValidRow(current)) {
            ListItem &item = *model.Items().Item(current);
            if (shift == 2 && m_View.m_MultiSelect) {
                item.SetSelected(!item.Selected());
                m_SelectionToggle = !item.Selected();
            }
            if (m_View.m_Checkboxes)
                item.SetChecked(!item.Checked());
        }
        event->accept();
        break;
    }
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (model.ItemCount() > 0)
            Navigate(key, shift);
        event->accept();
        break;
    default:
        // Left to the window around the list as well (Enter, Escape, shortcuts).
        event->ignore();
        break;
    }
    m_View.DrawNow();

    if (!event->text().isEmpty()) {
        int ascii = event->text().at(0).unicode();
        emit KeyPress(&ascii);
    }
}

void ListInputHandler::Navigate(int key, int shift)
{
    ListModel &model = m_View.m_Model;
    ScrollBars &bars = *m_View.m_Bars;
    const int count = model.ItemCount();
    const int n = m_View.VisibleRowCount();
    const int top = m_View.TopRow();
    const bool multi = m_View.m_MultiSelect;
    if (shift == 0 || !multi) {
        UnselectAll();
        m_SelectionToggle = false;
    }
    int current = model.SelectedItem();
    // The current row moves; the list scrolls only once it leaves the rows
    // that show whole (top .. top + n - 2).
    switch (key) {
    case Qt::Key_Up:
        current = std::max(current - 1, 0);
        if (current < top)
            bars.SetValue(ScrollBars::Vertical, top - 1);
        break;
    case Qt::Key_Down:
        current = std::min(current + 1, count - 1);
        if (current > top + n - 2)
            bars.SetValue(ScrollBars::Vertical, top + 1);
        break;
    case Qt::Key_PageUp:
        current = std::max(current - (n - 1), 0);
        if (current < top)
            bars.SetValue(ScrollBars::Vertical, top - n + 1);
        break;
    default: // Page Down
        current = std::min(current + (n - 1), count - 1);
        if (current > top + n - 2)
            bars.SetValue(ScrollBars::Vertical, top + n - 1);
        break;
    }
    model.SetSelectedItem(current);
    emit Click(current);
    if (!ValidRow(current))
        return; // the Click handler emptied the list
    if (!(shift == 2 && multi))
        model.Items().Item(current)->SetSelected(!m_SelectionToggle);
}

void ListInputHandler::OnKeyUp(QKeyEvent *event)
{
    emit KeyUp(event->key(), ShiftState(event->modifiers()));
}

// --- Mouse ----------------------------------------------------------------

void ListInputHandler::OnMouseDown(QMouseEvent *event)
{
    m_DoubleClicked = false;
    m_Pointer = event->position().toPoint();
    const int button = ButtonCode(event->button());
    const int shift = ShiftState(event->modifiers());
    const int x = m_Pointer.x() + m_View.ScrollX();
    const int y = m_Pointer.y();

    if (x > m_View.TotalColumnWidth()) {
        if (button == 1)
            UnselectAll();
        m_View.DrawNow();
        emit MouseDown(-1, button, shift, x, y);
        return;
    }
    if (m_View.m_ColumnsVisible && y >= 0 && y < m_View.HeaderHeight()) {
        PressHeader(x);
        return;
    }
    if (y >= m_View.HeaderHeight() && y <= m_View.viewport()->height())
        PressRow(button, shift, x, y);
}

void ListInputHandler::PressHeader(int x)
{
    ColumnCollection &columns = m_View.m_Model.Columns();
    int left = 0;
    for (int i = 0; i < columns.Count(); ++i) {
        Column &column = *columns.Item(i);
        if (!column.Visible)
            continue;
        const int right = left + m_View.ColumnDrawWidth(i);
        if (std::abs(x - right) < kEdgeZone) {
            if (column.Resizable) {
                m_DragMode = Resizing;
                m_ResizeColumn = i;
            }
            return;
        }
        if (left + kEdgeZone < x && x < right - kEdgeZone) {
            column.Pushed = true;
            m_DragMode = HeaderPressed;
            m_View.DrawNow();
            return;
        }
        left = right;
    }
}

void ListInputHandler::PressRow(int button, int shift, int x, int y)
{
    ListModel &model = m_View.m_Model;
    const int row = m_View.RowFromPoint(x, y);
    if (!ValidRow(row)) {
        if (button == 1)
            UnselectAll();
        m_View.DrawNow();
        emit MouseDown(-1, button, shift, x, y);
        return;
    }
    ListItem &item = *model.Items().Item(row);
    if (m_View.m_Checkboxes && m_View.ColumnFromPoint(x, y) == 0 && x >= kCheckboxLeft && x < kCheckboxRight) {
        item.SetChecked(!item.Checked());
        emit ItemCheck(row);
        m_View.DrawNow();
        return;
    }

    const bool multi = m_View.m_MultiSelect;
    const bool wasSelected = item.Selected();
    if (shift == 1 || !wasSelected) {
        if (shift != 0 && multi) {
            if (shift == 1) {
                const int current = model.SelectedItem();
                SelectRange(ValidRow(current) ? current : row, row, !m_SelectionToggle);
            }
        } else {
            UnselectAll();
            if (multi) {
                m_DragMode = DragSelecting;
                m_AutoScroll.start();
            }
        }
    }
    // A plain press on a selected row may start moving the selection; the
    // release decides whether it was only a click.
    if (shift == 0 && (!multi || item.Selected())) {
        m_DragMode = RowPressed;
        m_RowsMoved = false;
        if (m_View.m_Reorder)
            m_AutoScroll.start();
    }
    model.SetSelectedItem(row);
    m_AnchorRow = row;
    if (shift == 1) {
        item.SetSelected(!m_SelectionToggle);
    } else if (shift == 2) {
        item.SetSelected(!item.Selected());
        m_SelectionToggle = !item.Selected();
    } else {
        item.SetSelected(true);
        m_SelectionToggle = false;
    }
    m_View.DrawNow();
    emit MouseDown(row, button, shift, x, y);
}

void ListInputHandler::OnMouseMove(QMouseEvent *event)
{
    m_Pointer = event->position().toPoint();
    HandleMove(m_Pointer, false);
}

void ListInputHandler::HandleMove(QPoint p, bool fed)
{
    const int x = p.x() + m_View.ScrollX();
    switch (m_DragMode) {
    case Idle:
        UpdateCursor(x, p.y());
        break;
    case Resizing:
        if (!m_View.m_ColumnsAutoSize)
            ResizeColumn(x);
        break;
    case DragSelecting:
        DragSelect(x, p.y(), fed);
        break;
    case RowPressed:
        if (m_View.m_Reorder)
            MoveSelectedRows(x, p.y());
        break;
    default:
        break;
    }
}

void ListInputHandler::UpdateCursor(int x, int y)
{
    QWidget *target = m_View.viewport();
    Qt::CursorShape shape = Qt::ArrowCursor;
    bool fromParent = true;
    if (m_View.m_ColumnsVisible && y >= 0 && y < m_View.HeaderHeight()) {
        if (!m_View.m_ColumnsAutoSize) {
            const ColumnCollection &columns = m_View.m_Model.Columns();
            int right = 0;
            for (int i = 0; i < columns.Count(); ++i) {
                if (!columns.Item(i)->Visible)
                    continue;
                right += m_View.ColumnDrawWidth(i);
                if (std::abs(x - right) < kEdgeZone) {
                    if (columns.Item(i)->Resizable) {
                        shape = Qt::SizeHorCursor;
                        fromParent = false;
                    }
                    break;
                }
            }
        }
    } else if (y >= m_View.HeaderHeight()) {
        fromParent = false;
    }
    if (fromParent) {
        target->unsetCursor();
    } else if (!target->testAttribute(Qt::WA_SetCursor) || target->cursor().shape() != shape) {
        target->setCursor(shape);
    }
}

void ListInputHandler::ResizeColumn(int x)
{
    ListModel &model = m_View.m_Model;
    if (m_ResizeColumn < 0 || m_ResizeColumn >= model.ColumnCount())
        return;
    int left = 0;
    for (int i = 0; i < m_ResizeColumn; ++i)
        left += m_View.ColumnDrawWidth(i);
    model.SetColumnWidth(m_ResizeColumn, std::max(kMinColumnWidth, x - left));
}

void ListInputHandler::DragSelect(int x, int y, bool fed)
{
    ListModel &model = m_View.m_Model;
    const int count = model.ItemCount();
    if (count == 0)
        return;
    const int row = std::clamp(m_View.RowFromPoint(x, y), 0, count - 1);
    const int anchor = std::clamp(m_AnchorRow, 0, count - 1);
    SelectOnly(std::min(anchor, row), std::max(anchor, row));
    model.SetSelectedItem(row);
    // A made-up move follows a scroll the timer has just done; scrolling
    // again here would take the list two rows per tick.
    if (!fed) {
        const int top = m_View.TopRow();
        if (row > top + m_View.VisibleRowCount() - 1)
            m_View.m_Bars->SetValue(ScrollBars::Vertical, top + 1);
        else if (row < top)
            m_View.m_Bars->SetValue(ScrollBars::Vertical, top - 1);
    }
    m_View.DrawNow();
}

void ListInputHandler::MoveSelectedRows(int x, int y)
{
    ListModel &model = m_View.m_Model;
    ListItemCollection &items = model.Items();
    const int count = items.ItemCount();
    const int current = model.SelectedItem();
    if (!ValidRow(current))
        return;
    const int d = m_View.RowFromPoint(x, y) - current;
    int newCurrent = current;
    bool moved = false;
    // Walking against the direction of the move keeps the rows not yet
    // visited in place; the first selected row that would leave the list
    // stops the walk, and since it is the one nearest that end, no row has
    // moved yet and the block stays whole.
    if (d > 0) {
        for (int i = count - 1; i >= 0; --i) {
            if (!items.Item(i)->Selected())
                continue;
            if (i + d > count - 1)
                break;
            items.MoveItem(i, i + d);
            if (i == current)
                newCurrent = current + d;
            moved = true;
        }
    } else if (d < 0) {
        for (int i = 0; i < count; ++i) {
            if (!items.Item(i)->Selected())
                continue;
            if (i + d < 0)
                break;
            items.MoveItem(i, i + d);
            if (i == current)
                newCurrent = current + d;
            moved = true;
        }
    }
    if (!moved)
        return;
    m_RowsMoved = true;
    if (newCurrent != current)
        model.SetSelectedItem(newCurrent);
    emit ItemsMoved();
    m_View.DrawNow();
}

void ListInputHandler::AutoScrollTick()
{
    ScrollBars &bars = *m_View.m_Bars;
    const int top = m_View.TopRow();
    if (m_View.m_Model.ItemCount() >= m_View.VisibleRowCount()) {
        if (m_Pointer.y() > m_View.viewport()->height() - kAutoScrollMargin)
            bars.SetValue(ScrollBars::Vertical, top + 1);
        else if (m_Pointer.y() < m_View.HeaderHeight() - kAutoScrollMargin)
            bars.SetValue(ScrollBars::Vertical, top - 1);
    }
    if (m_View.TopRow() != top)
        HandleMove(m_Pointer, true);
}

void ListInputHandler::OnMouseUp(QMouseEvent *event)
{
    ListModel &model = m_View.m_Model;
    const int button = ButtonCode(event->button());
    const int shift = ShiftState(event->modifiers());
    const QPoint p = event->position().toPoint();

    if (button == 1 && m_DragMode == RowPressed && !m_RowsMoved) {
        // A click on a row of a selection that did not move it keeps that row only.
        UnselectAll();
        if (ValidRow(model.SelectedItem()))
            model.Items().Item(model.SelectedItem())->SetSelected(true);
        m_View.DrawNow();
    } else if (m_DragMode == HeaderPressed) {
        ColumnCollection &columns = model.Columns();
        for (int i = 0; i < columns.Count(); ++i) {
            Column &column = *columns.Item(i);
            if (!column.Pushed)
                continue;
            if (m_View.m_Sortable) {
                model.SortByPosition(i, column.LastSortOrder);
                column.LastSortOrder = column.LastSortOrder == 0 ? 1 : 0;
            }
            emit ColumnClick(i);
        }
        for (int i = 0; i < columns.Count(); ++i)
            columns.Item(i)->Pushed = false;
        m_View.DrawNow();
    }
    m_DragMode = Idle;
    m_AutoScroll.stop();
    emit MouseUp(model.SelectedItem(), button, shift, p.x(), p.y());

    const bool doubleClicked = m_DoubleClicked;
    m_DoubleClicked = false;
    if (!doubleClicked && m_View.viewport()->rect().contains(p) && ValidRow(model.SelectedItem()))
        emit Click(model.SelectedItem());
}

void ListInputHandler::OnDoubleClick(QMouseEvent *event)
{
    Q_UNUSED(event);
    m_DoubleClicked = true;
    ListModel &model = m_View.m_Model;
    const int current = model.SelectedItem();
    if (ValidRow(current) && model.Items().Item(current)->Selected())
        emit DblClick(current);
}
