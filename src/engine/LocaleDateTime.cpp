// The date and time as the user's locale writes them by default.
#include "LocaleDateTime.h"

#include <QRegularExpression>

QString LocaleDateTime::Format(const QDateTime &when, const QLocale &locale)
{
    QString date = locale.dateFormat(QLocale::ShortFormat);
    // A two-digit year would make names and reports ambiguous.
    if (!date.contains(QLatin1String("yyyy")))
        date.replace(QRegularExpression(QStringLiteral("y+")), QStringLiteral("yyyy"));
    QString time = locale.timeFormat(QLocale::LongFormat);
    // The long form may name the time zone; the report shows local time only.
    time.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*")));
    if (!time.contains(QLatin1Char('s')))
        time = QStringLiteral("HH:mm:ss");
    return locale.toString(when.date(), date) + QLatin1Char(' ') + locale.toString(when.time(), time.trimmed());
}

QString LocaleDateTime::ForFileName(const QDateTime &when, const QLocale &locale)
{
    QString text = Format(when, locale);
    text.replace(QLatin1Char(':'), QLatin1Char('-'));
    text.replace(QLatin1Char('.'), QLatin1Char('-'));
    text.replace(QLatin1Char(' '), QLatin1Char('_'));
    // What some locales put in a date ("/", a narrow no-break space, …).
    for (QChar &c : text)
        if (!(c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_')))
            c = QLatin1Char('-');
    return text;
}
