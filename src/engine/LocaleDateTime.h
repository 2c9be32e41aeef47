// The date and time as the user's locale writes them by default: the short
// date with a four-digit year, a blank, and the time with seconds.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

class LocaleDateTime
{
public:
    // German: "05.12.2026 14:23:45".
    static QString Format(const QDateTime &when, const QLocale &locale);
    // The same text made fit for a file name: ":" and "." become "-", " "
    // becomes "_", and anything else a file name cannot hold becomes "-".
    // German: "05-12-2026_14-23-45".
    static QString ForFileName(const QDateTime &when, const QLocale &locale);
};
