// Small path routines of the runs: name and folder of a path, the trailing
// separator, the desktop folder.
#pragma once

#include <QString>

class FileNames
{
public:
    // The text after the last separator; the whole path if it has none.
    static QString FileNameOf(const QString &Path);
    // The path up to and including its last separator; empty if it has none.
    static QString FolderOf(const QString &Path);
    // The path with a separator appended unless it already ends in one.
    static QString AddBackslash(const QString &Path);
    // Number 0 is the desktop folder (the home folder when there is none).
    // Ends without a separator; empty for other numbers.
    static QString GetSpecialFolder(int Number);

    static constexpr QChar Separator = QLatin1Char('/');
};
