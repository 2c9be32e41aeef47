// The number forms the program shows, with the separators of a locale.
#include "NumberFormat.h"

#include <cmath>

QString NumberFormat::Grouped(qint64 value, const QLocale &locale)
{
    const QString digits = QString::number(value < 0 ? -static_cast<quint64>(value) : static_cast<quint64>(value));
    const QString sep = locale.groupSeparator();
    QString out;
    out.reserve(digits.size() + digits.size() / 3 * sep.size() + 1);
    if (value < 0)
        out += locale.negativeSign();
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += sep;
        out += digits.at(i);
    }
    return out;
}

QString NumberFormat::RightAlign6(const QString &text)
{
    return text.size() >= 6 ? text : QString(6 - text.size(), QLatin1Char(' ')) + text;
}

QString NumberFormat::Seconds(double seconds, const QLocale &locale)
{
    if (!std::isfinite(seconds))
        seconds = 0;
    QString text = QString::number(seconds, 'f', 2);
    if (text.startsWith(QLatin1Char('-')))
        text.replace(0, 1, locale.negativeSign());
    return text.replace(QLatin1Char('.'), locale.decimalPoint());
}
