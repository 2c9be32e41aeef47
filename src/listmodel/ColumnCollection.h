// The columns of the result list in display order, found by position or by a case-blind unique key.
#pragma once

#include "Column.h"

#include <QLocale>
#include <QVariant>
#include <memory>
#include <vector>

class ColumnCollection
{
public:
    explicit ColumnCollection(const QLocale &locale = QLocale::system());

    int Count() const { return m_Count; }
    // Slots allocated; at least Count, the ones above Count hold no column.
    int SlotCount() const { return static_cast<int>(m_Slots.size()); }

    // Index is a position when it is a number or a text that reads as one
    // under the locale, otherwise a key compared without regard to case (an
    // empty QVariant is the empty key). A position outside the slots or a key
    // that matches no column raises error 9; a free slot gives nullptr.
    Column *Item(const QVariant &Index) const;
    // Removes the column that Index names; a position above Count - 1 raises
    // error 9 as well. The slots are not shrunk.
    void Remove(const QVariant &Index);
    // Appends a column with the given key; a key already used (compared
    // without regard to case, the empty key included) raises error 300.
    Column &Add(const QString &key = QString());

    // Whether Index holds a number type (as opposed to a text).
    static bool IsNumber(const QVariant &Index);
    // Whether Index counts as a position, and which number it stands for.
    static bool ReadPosition(const QVariant &Index, const QLocale &locale, double *value);

private:
    int Resolve(const QVariant &Index) const;

    QLocale m_Locale;
    std::vector<std::unique_ptr<Column>> m_Slots;
    int m_Count = 0;
};
