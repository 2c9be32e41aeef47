// The rows of the result list: slot moves on insert, remove and reorder, growth, and the sort.
#include "ListItemCollection.h"

#include "RaisedError.h"
#include "ShellSort.h"
#include "SortCallback.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numeric>

namespace {

constexpr int kInitialCapacity = 1000;

[[noreturn]] void raiseIndexError()
{
    throw RaisedError(9, QStringLiteral("Index außerhalb des gültigen Bereichs"), QStringLiteral("ListItemCollection"));
}

} // namespace

ListItemCollection::ListItemCollection(const QLocale &locale) : m_Locale(locale)
{
    m_Slots.resize(kInitialCapacity);
}

ListItem *ListItemCollection::Item(int Index) const
{
    if (Index < 0 || Index >= Capacity())
        raiseIndexError();
    return m_Slots[static_cast<std::size_t>(Index)].get();
}

void ListItemCollection::Clear()
{
    const std::size_t capacity = m_Slots.size();
    m_Slots.clear();
    m_Slots.resize(capacity);
    m_ItemCount = 0;
}

ListItem &ListItemCollection::AddItem(int InsertAt)
{
    if (InsertAt > m_ItemCount)
        raiseIndexError();
    // The row is made first, so a refused text count leaves the slots alone.
    auto row = std::make_unique<ListItem>(m_ColumnCount);
    ListItem &added = *row;
    const auto begin = m_Slots.begin();
    if (InsertAt < 0) {
        m_Slots[static_cast<std::size_t>(m_ItemCount)] = std::move(row);
    } else {
        std::move_backward(begin + InsertAt, begin + m_ItemCount, begin + m_ItemCount + 1);
        m_Slots[static_cast<std::size_t>(InsertAt)] = std::move(row);
    }
    ++m_ItemCount;
    if (m_ItemCount >= Capacity())
        Grow();
    return added;
}

void ListItemCollection::Grow()
{
    // Half as much again, rounded half to even: 1000, 1500, 2250, 3375, 5062.
    const double wanted = std::nearbyint(Capacity() + Capacity() / 2.0);
    const int capacity = wanted >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(wanted);
    m_Slots.resize(static_cast<std::size_t>(capacity));
}

void ListItemCollection::MoveItem(int IndexFrom, int IndexTo)
{
    if (IndexFrom < 0 || IndexFrom >= m_ItemCount || IndexTo < 0 || IndexTo >= m_ItemCount)
        raiseIndexError();
    const auto begin = m_Slots.begin();
    if (IndexTo > IndexFrom)
        std::rotate(begin + IndexFrom, begin + IndexFrom + 1, begin + IndexTo + 1);
    else if (IndexTo < IndexFrom)
        std::rotate(begin + IndexTo, begin + IndexFrom, begin + IndexFrom + 1);
}

void ListItemCollection::RemoveItem(int Index)
{
    if (Index < 0 || Index > m_ItemCount - 1)
        raiseIndexError();
    const auto begin = m_Slots.begin();
    m_Slots[static_cast<std::size_t>(Index)].reset();
    std::move(begin + Index + 1, begin + m_ItemCount, begin + Index);
    --m_ItemCount;
}

void ListItemCollection::PrepareForItems(int lngCount)
{
    if (lngCount < 1)
        raiseIndexError();
    std::vector<std::unique_ptr<ListItem>> fresh(static_cast<std::size_t>(lngCount));
    m_Slots.swap(fresh);
    m_ItemCount = 0;
}

void ListItemCollection::Sort(int ColumnIndex, int SortOrder)
{
    if (m_ItemCount <= 0 || ColumnIndex < 0 || ColumnIndex >= m_ColumnCount)
        return;
    SortCallback::SetSortColumn(ColumnIndex);
    SortCallback::SetSortOrder(SortOrder);
    SortCallback::SetSortLocale(m_Locale);

    // Each cell is read once; the sort then moves row numbers, and the rows
    // follow in one final pass. The comparisons and moves are those of
    // sorting the row references themselves.
    const std::size_t count = static_cast<std::size_t>(m_ItemCount);
    std::vector<SortCallback::CellKey> keys;
    keys.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const ListItem &row = *m_Slots[i];
        keys.push_back(SortCallback::MakeKey(ColumnIndex < row.SubItemCount() ? row.Text(ColumnIndex) : QString()));
    }
    std::vector<int> order(count);
    std::iota(order.begin(), order.end(), 0);
    ShellSort::Sort(order.data(), m_ItemCount, [&keys](int a, int b) {
        return SortCallback::CompareKeys(keys[std::size_t(a)], keys[std::size_t(b)]);
    });

    std::vector<std::unique_ptr<ListItem>> sorted(count);
    for (std::size_t i = 0; i < count; ++i)
        sorted[i] = std::move(m_Slots[static_cast<std::size_t>(order[i])]);
    std::move(sorted.begin(), sorted.end(), m_Slots.begin());
}
