// The result list's item and column operations: checks, current-row bookkeeping and redraw requests.
#include "ListModel.h"

#include "RaisedError.h"
#include "SortCallback.h"

namespace {

const QString kSource = QStringLiteral("ListModel");

[[noreturn]] void raiseIndexError()
{
    throw RaisedError(9, QStringLiteral("Index außerhalb des gültigen Bereichs"), kSource);
}

[[noreturn]] void raiseColumnsLocked()
{
    throw RaisedError(33, QStringLiteral("Kann Spalten nicht hinzufügen oder entfernen wenn Items in Liste!"), kSource);
}

} // namespace

ListModel::ListModel(const QLocale &locale) : m_Locale(locale), m_Columns(locale), m_Items(locale) {}

int ListModel::AddItem(int InsertAt, const QString &strText, int lngPictureIndex)
{
    if (m_Columns.Count() == 0)
        throw RaisedError(31, QStringLiteral("Kann Items nicht hinzufügen, wenn keine Spalten definiert wurden!"),
                          kSource);
    // A row without texts could not take strText; refuse it before adding.
    if (m_Items.ColumnCount() < 1)
        raiseIndexError();
    ListItem &row = m_Items.AddItem(InsertAt);
    row.SetText(0, strText);
    row.SetPictureIndex(lngPictureIndex);
    if (InsertAt >= 0 && InsertAt <= m_SelectedItem)
        ++m_SelectedItem;
    const int index = InsertAt >= 0 ? InsertAt : m_Items.ItemCount() - 1;
    ScrollRangeChanged();
    Redraw();
    return index;
}

void ListModel::RemoveItem(int Index)
{
    m_Items.RemoveItem(Index);
    if (m_SelectedItem > Index)
        --m_SelectedItem;
    if (m_SelectedItem > m_Items.ItemCount() - 1)
        m_SelectedItem = m_Items.ItemCount() - 1;
    ScrollRangeChanged();
    Redraw();
}

void ListModel::MoveItem(int IndexFrom, int IndexTo)
{
    m_Items.MoveItem(IndexFrom, IndexTo);
    Redraw();
}

void ListModel::Clear()
{
    m_Items.Clear();
    m_SelectedItem = -1;
    Redraw();
}

ListItem &ListModel::Row(int Index) const
{
    if (Index < 0 || Index >= m_Items.ItemCount())
        raiseIndexError();
    return *m_Items.Item(Index);
}

QString ListModel::ItemText(int Index, int Column) const
{
    return Row(Index).Text(Column);
}

void ListModel::SetItemText(int Index, int Column, const QString &text)
{
    Row(Index).SetText(Column, text);
    Redraw();
}

bool ListModel::ItemChecked(int Index) const
{
    return Row(Index).Checked();
}

void ListModel::SetItemChecked(int Index, bool on)
{
    Row(Index).SetChecked(on);
    Redraw();
}

bool ListModel::ItemSelected(int Index) const
{
    return Row(Index).Selected();
}

void ListModel::SetItemSelected(int Index, bool on)
{
    Row(Index).SetSelected(on);
    Redraw();
}

int ListModel::ItemTag(int Index) const
{
    return Row(Index).Tag();
}

void ListModel::SetItemTag(int Index, int tag)
{
    Row(Index).SetTag(tag);
    Redraw();
}

int ListModel::ItemPictureIndex(int Index) const
{
    return Row(Index).PictureIndex();
}

void ListModel::AddColumn(const QString &key, const QString &Caption, TextAlignment TextAlign, int Width,
                          bool Resizable, bool Visible)
{
    if (m_Items.ItemCount() > 0)
        raiseColumnsLocked();
    Column &column = m_Columns.Add(key);
    column.Caption = Caption;
    column.TextAlign = TextAlign;
    column.Width = Width;
    column.Resizable = Resizable;
    column.Visible = Visible;
    m_Items.SetColumnCount(m_Columns.Count());
    Refresh();
}

void ListModel::RemoveColumn(const QVariant &Index)
{
    if (m_Items.ItemCount() > 0)
        raiseColumnsLocked();
    m_Columns.Remove(Index);
    Refresh();
}

QString ListModel::ColumnKey(int Index) const
{
    return ResolveColumn(Index).key;
}

int ListModel::ColumnIndex(const QVariant &Index) const
{
    const bool numeric = ColumnCollection::IsNumber(Index);
    const double number = numeric ? Index.toDouble() : 0;
    const QString text = Index.isValid() ? Index.toString() : QString();
    int found = 0;
    for (int i = 0; i < m_Columns.Count(); ++i) {
        const QString &key = m_Columns.Item(i)->key;
        double keyNumber = 0;
        const bool match =
            numeric ? SortCallback::ReadNumber(key, m_Locale, &keyNumber) && keyNumber == number : key == text;
        if (match)
            found = i;
    }
    return found;
}

Column &ListModel::ResolveColumn(const QVariant &Index) const
{
    Column *column = m_Columns.Item(Index);
    if (column == nullptr)
        raiseIndexError();
    return *column;
}

QString ListModel::ColumnCaption(const QVariant &Index) const
{
    return ResolveColumn(Index).Caption;
}

void ListModel::SetColumnCaption(const QVariant &Index, const QString &c)
{
    ResolveColumn(Index).Caption = c;
    Redraw();
}

bool ListModel::ColumnVisible(const QVariant &Index) const
{
    return ResolveColumn(Index).Visible;
}

void ListModel::SetColumnVisible(const QVariant &Index, bool on)
{
    ResolveColumn(Index).Visible = on;
    Refresh();
}

int ListModel::ColumnWidth(const QVariant &Index) const
{
    return ResolveColumn(Index).Width;
}

void ListModel::SetColumnWidth(const QVariant &Index, int width)
{
    ResolveColumn(Index).Width = width;
    Refresh();
}

bool ListModel::ColumnResizable(const QVariant &Index) const
{
    return ResolveColumn(Index).Resizable;
}

void ListModel::SetColumnResizable(const QVariant &Index, bool on)
{
    ResolveColumn(Index).Resizable = on;
    Refresh();
}

TextAlignment ListModel::ColumnTextAlign(const QVariant &Index) const
{
    return ResolveColumn(Index).TextAlign;
}

void ListModel::SetColumnTextAlign(const QVariant &Index, TextAlignment align)
{
    ResolveColumn(Index).TextAlign = align;
    Redraw();
}

Column &ListModel::ColumnAt(const QVariant &Index)
{
    return ResolveColumn(Index);
}

const Column &ListModel::ColumnAt(const QVariant &Index) const
{
    return ResolveColumn(Index);
}

void ListModel::Sort(const QVariant &Index, int SortOrder)
{
    m_Items.Sort(ColumnIndex(Index), SortOrder);
}

void ListModel::SortByPosition(int ColumnIndex, int SortOrder)
{
    m_Items.Sort(ColumnIndex, SortOrder);
}

void ListModel::SetSelectedItem(int Index)
{
    m_SelectedItem = Index;
    Redraw();
}

void ListModel::Redraw()
{
    if (m_Observer)
        m_Observer->ListRedraw();
}

void ListModel::Refresh()
{
    if (m_Observer)
        m_Observer->ListRefresh();
}

void ListModel::ScrollRangeChanged()
{
    if (m_Observer)
        m_Observer->ListScrollRangeChanged();
}
