// The rows of the result list in display order, in a slot array that grows by half when it fills up.
#pragma once

#include "ListItem.h"

#include <QLocale>
#include <memory>
#include <vector>

class ListItemCollection
{
public:
    explicit ListItemCollection(const QLocale &locale = QLocale::system());

    // The number of texts each row created from now on receives.
    int ColumnCount() const { return m_ColumnCount; }
    void SetColumnCount(int count) { m_ColumnCount = count; }

    // The row in slot Index: nullptr for a slot from ItemCount up to the
    // capacity, error 9 for an index outside the allocated slots.
    ListItem *Item(int Index) const;
    int ItemCount() const { return m_ItemCount; }
    int Capacity() const { return static_cast<int>(m_Slots.size()); }

    // Releases every row; the capacity stays.
    void Clear();
    // Appends (InsertAt < 0) or inserts at InsertAt in 0 .. ItemCount a row
    // with ColumnCount empty texts. Any other InsertAt raises error 9.
    ListItem &AddItem(int InsertAt = -1);
    // The row at IndexFrom ends up at IndexTo, the rows between close up.
    // Both must lie in 0 .. ItemCount - 1, or error 9 is raised.
    void MoveItem(int IndexFrom, int IndexTo);
    void RemoveItem(int Index);
    // Sets the capacity to lngCount (at least 1) ahead of a known number of
    // rows. Meant for an empty list: rows it holds are released.
    void PrepareForItems(int lngCount);
    // Sorts the rows by the texts of one column with the shared comparison.
    // Does nothing for an empty list or a column outside 0 .. ColumnCount - 1.
    void Sort(int ColumnIndex, int SortOrder);

    const QLocale &Locale() const { return m_Locale; }

private:
    void Grow();

    QLocale m_Locale;
    std::vector<std::unique_ptr<ListItem>> m_Slots;
    int m_ItemCount = 0;
    int m_ColumnCount = 0;
};
