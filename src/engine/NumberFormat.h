// The number forms the program shows, with the separators of a locale.
#pragma once

#include <QLocale>
#include <QString>

class NumberFormat
{
public:
    // "##,##0" and "#,###,##0": all digits, grouped by threes.
    static QString Grouped(qint64 value, const QLocale &locale);
    // "@@@@@@": right-aligned to six characters; longer texts stay whole.
    static QString RightAlign6(const QString &text);
    // "0.00": two decimals with the locale's decimal separator, no grouping.
    static QString Seconds(double seconds, const QLocale &locale);
};
