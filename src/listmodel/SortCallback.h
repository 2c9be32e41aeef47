// The row comparison of the list sort: each pair of cells compares as numbers, as dates or as text.
#pragma once

#include <QCollatorSortKey>
#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <optional>

class ListItem;

// The sort column, the sort order and the locale are shared by every list:
// a sort stores them just before it runs and they stay set afterwards. Only
// one sort may run at a time.
class SortCallback
{
public:
    // What one cell reads as under the sort locale. A sort works these out once
    // per row instead of converting both texts again for every pair.
    struct CellKey
    {
        QString text;
        bool numeric = false;     // reads as a number
        bool convertible = false; // and lies within the range of a decimal number
        double number = 0;
        bool isDate = false;
        qint64 julianDay = 0;
        std::optional<QCollatorSortKey> collation; // made when first compared as text
    };

    static void SetSortColumn(int column);
    static void SetSortOrder(int order);
    static void SetSortLocale(const QLocale &locale);
    static int SortColumn();
    static int SortOrder();
    static QLocale SortLocale();

    // A is the row from the lower position. The result is 1 when A belongs
    // after B: with sort order 0 numbers and dates run largest or latest first
    // and texts A to Z; sort order 1 reverses both.
    static int CompareListItems(const ListItem &A, const ListItem &B);

    // The same decision as CompareListItems, on cells read beforehand.
    static CellKey MakeKey(const QString &text);
    static int CompareKeys(CellKey &a, CellKey &b);

    // A number written the locale's way: blanks around it, a sign, digits with
    // the group separator between groups of three, the decimal separator, an
    // exponent. The value is stored when the text reads as a finite number.
    static bool ReadNumber(QStringView text, const QLocale &locale, double *value);

    // A date in the field order and with the separators of the locale's short
    // date format; the year may have two digits (1930 to 2029) or four.
    static bool ReadDate(QStringView text, const QLocale &locale, QDate *date);
};
