// One row of the result list: texts are reached by column, with a range check.
#include "ListItem.h"

#include "RaisedError.h"

ListItem::ListItem(int textCount)
{
    SetSubItemCount(textCount);
}

const QString &ListItem::Text(int Index) const
{
    CheckIndex(Index);
    return m_Text[static_cast<std::size_t>(Index)];
}

void ListItem::SetText(int Index, const QString &text)
{
    CheckIndex(Index);
    m_Text[static_cast<std::size_t>(Index)] = text;
}

void ListItem::SetSubItemCount(int items)
{
    if (items < 0)
        throw RaisedError(9, QStringLiteral("Index außerhalb des gültigen Bereichs"), QStringLiteral("ListItem"));
    std::vector<QString> fresh(static_cast<std::size_t>(items));
    m_Text.swap(fresh);
}

void ListItem::CheckIndex(int Index) const
{
    if (Index < 0 || Index >= SubItemCount())
        throw RaisedError(9, QStringLiteral("Index außerhalb des gültigen Bereichs"), QStringLiteral("ListItem"));
}
