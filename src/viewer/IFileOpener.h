// The three ways the finds viewer hands a file to other programs; tests put a
// recorder in place of the desktop so nothing is launched.
#pragma once

#include <QString>

class IFileOpener
{
public:
    virtual ~IFileOpener() = default;

    // Opens the file in a plain-text editor. The path is one argument as it
    // stands (blanks included), never split or quoted. Like the other two,
    // false when no program could be started for it.
    virtual bool OpenWithEditor(const QString &path) = 0;
    // Shows the folder (a path ending in its separator) in the file manager.
    virtual bool OpenFolder(const QString &folder) = 0;
    // Opens the file with the application the desktop associates with it.
    virtual bool OpenWithDefaultApplication(const QString &path) = 0;
};
