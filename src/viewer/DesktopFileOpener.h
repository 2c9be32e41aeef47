// Opens a file or folder through the desktop: a graphical text editor found
// on the system, the file manager, the file's default application.
#pragma once

#include "IFileOpener.h"

#include <QStringList>

class DesktopFileOpener : public IFileOpener
{
public:
    bool OpenWithEditor(const QString &path) override;
    bool OpenFolder(const QString &folder) override;
    bool OpenWithDefaultApplication(const QString &path) override;

    // The command that opens path in a plain-text editor: the first known
    // graphical editor on the search path, else the desktop's application for
    // text/plain. Empty when neither is found.
    static QStringList EditorCommand(const QString &path);

    // The command of a desktop entry's Exec line for one file: %f and %F take
    // the path, %u and %U its URL, other field codes are dropped; without a
    // file code the path is appended.
    static QStringList ExecCommand(const QString &execLine, const QString &path);
};
