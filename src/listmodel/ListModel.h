// The rows, columns and current row of the result list with the rules of every operation on them.
#pragma once

#include "ColumnCollection.h"
#include "ListItemCollection.h"
#include "ListModelObserver.h"

#include <QLocale>
#include <QString>
#include <QVariant>

// Every operation either completes or raises a RaisedError (9, 31, 33 or 300)
// before it changes anything. Changes are reported to the observer, if any.
class ListModel
{
public:
    explicit ListModel(const QLocale &locale = QLocale::system());

    void SetObserver(ListModelObserver *observer) { m_Observer = observer; }

    // Appends (InsertAt < 0) or inserts a row, sets its text 0 and picture,
    // and returns its index. Needs at least one column (error 31).
    int AddItem(int InsertAt = -1, const QString &strText = QString(), int lngPictureIndex = -1);
    void RemoveItem(int Index);
    // Keeps SelectedItem as an index, not as a row.
    void MoveItem(int IndexFrom, int IndexTo);
    void Clear();
    int ItemCount() const { return m_Items.ItemCount(); }

    // Row operations take a row in 0 .. ItemCount - 1; anything else raises error 9.
    QString ItemText(int Index, int Column) const;
    void SetItemText(int Index, int Column, const QString &text);
    bool ItemChecked(int Index) const;
    void SetItemChecked(int Index, bool on);
    bool ItemSelected(int Index) const;
    void SetItemSelected(int Index, bool on);
    int ItemTag(int Index) const;
    void SetItemTag(int Index, int tag);
    int ItemPictureIndex(int Index) const;

    // Columns can be added or removed only while the list has no rows (error 33).
    void AddColumn(const QString &key = QString(), const QString &Caption = QString(),
                   TextAlignment TextAlign = TextAlignment::Left, int Width = 300, bool Resizable = true,
                   bool Visible = true);
    void RemoveColumn(const QVariant &Index);
    int ColumnCount() const { return m_Columns.Count(); }
    QString ColumnKey(int Index) const;
    // The last position whose key equals Index exactly (case-sensitive; a
    // number matches a key that reads as that number), or 0 when none does.
    int ColumnIndex(const QVariant &Index) const;

    // Index is resolved like ColumnCollection::Item; a free slot raises error 9.
    QString ColumnCaption(const QVariant &Index) const;
    void SetColumnCaption(const QVariant &Index, const QString &c);
    bool ColumnVisible(const QVariant &Index) const;
    void SetColumnVisible(const QVariant &Index, bool on);
    int ColumnWidth(const QVariant &Index) const;
    void SetColumnWidth(const QVariant &Index, int width);
    bool ColumnResizable(const QVariant &Index) const;
    void SetColumnResizable(const QVariant &Index, bool on);
    TextAlignment ColumnTextAlign(const QVariant &Index) const;
    void SetColumnTextAlign(const QVariant &Index, TextAlignment align);
    // The column object itself, for the fields only the widget uses
    // (WidthAutoSized, Pushed, LastSortOrder). Changes here are not reported.
    Column &ColumnAt(const QVariant &Index);
    const Column &ColumnAt(const QVariant &Index) const;

    // Sorts by the column that ColumnIndex finds, so an unknown key sorts by
    // column 0. Nothing is redrawn; the caller refreshes afterwards.
    void Sort(const QVariant &Index, int SortOrder);
    // Sorts by a column position, as a header click does; a position outside
    // the columns leaves the rows as they are. Nothing is redrawn.
    void SortByPosition(int ColumnIndex, int SortOrder);

    // The current row, -1 for none. Setting it is not checked and redraws.
    int SelectedItem() const { return m_SelectedItem; }
    void SetSelectedItem(int Index);

    const ColumnCollection &Columns() const { return m_Columns; }
    ColumnCollection &Columns() { return m_Columns; }
    const ListItemCollection &Items() const { return m_Items; }
    ListItemCollection &Items() { return m_Items; }
    const QLocale &Locale() const { return m_Locale; }

private:
    ListItem &Row(int Index) const;
    Column &ResolveColumn(const QVariant &Index) const;
    void Redraw();
    void Refresh();
    void ScrollRangeChanged();

    QLocale m_Locale;
    ColumnCollection m_Columns;
    ListItemCollection m_Items;
    int m_SelectedItem = -1;
    ListModelObserver *m_Observer = nullptr;
};
