// The columns of the result list: position-or-key lookup, unique keys and removal that closes the gap.
#include "ColumnCollection.h"

#include "RaisedError.h"
#include "SortCallback.h"

#include <cmath>

namespace {

[[noreturn]] void raiseIndexError()
{
    throw RaisedError(9, QStringLiteral("Index außerhalb des gültigen Bereichs"), QStringLiteral("ColumnCollection"));
}

} // namespace

ColumnCollection::ColumnCollection(const QLocale &locale) : m_Locale(locale) {}

bool ColumnCollection::IsNumber(const QVariant &Index)
{
    switch (Index.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

bool ColumnCollection::ReadPosition(const QVariant &Index, const QLocale &locale, double *value)
{
    if (!Index.isValid())
        return false;
    if (IsNumber(Index)) {
        *value = Index.toDouble();
        return true;
    }
    return SortCallback::ReadNumber(Index.toString(), locale, value);
}

int ColumnCollection::Resolve(const QVariant &Index) const
{
    double number = 0;
    if (ReadPosition(Index, m_Locale, &number)) {
        // Fractions round half to even, like any number used as a position.
        const double position = std::nearbyint(number);
        if (!(position >= 0 && position < static_cast<double>(m_Slots.size())))
            raiseIndexError();
        return static_cast<int>(position);
    }
    const QString key = Index.isValid() ? Index.toString() : QString();
    for (int i = 0; i < m_Count; ++i) {
        if (QString::compare(m_Slots[static_cast<std::size_t>(i)]->key, key, Qt::CaseInsensitive) == 0)
            return i;
    }
    raiseIndexError();
}

Column *ColumnCollection::Item(const QVariant &Index) const
{
    return m_Slots[static_cast<std::size_t>(Resolve(Index))].get();
}

void ColumnCollection::Remove(const QVariant &Index)
{
    const int position = Resolve(Index);
    if (position > m_Count - 1)
        raiseIndexError();
    m_Slots[static_cast<std::size_t>(position)].reset();
    const auto begin = m_Slots.begin();
    std::move(begin + position + 1, begin + m_Count, begin + position);
    --m_Count;
}

Column &ColumnCollection::Add(const QString &key)
{
    for (int i = 0; i < m_Count; ++i) {
        if (QString::compare(m_Slots[static_cast<std::size_t>(i)]->key, key, Qt::CaseInsensitive) == 0)
            throw RaisedError(300, QStringLiteral("Objekt nicht eindeutig in Aufzählung!"),
                              QStringLiteral("ColumnCollection"));
    }
    auto column = std::make_unique<Column>(key);
    Column &added = *column;
    m_Slots.resize(static_cast<std::size_t>(m_Count) + 1);
    m_Slots[static_cast<std::size_t>(m_Count)] = std::move(column);
    ++m_Count;
    return added;
}
