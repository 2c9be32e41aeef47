// Small path routines of the runs: name and folder of a path, the trailing
// separator, the desktop folder.
#include "FileNames.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString FileNames::FileNameOf(const QString &Path)
{
    const qsizetype at = Path.lastIndexOf(Separator);
    return at < 0 ? Path : Path.mid(at + 1);
}

QString FileNames::FolderOf(const QString &Path)
{
    const qsizetype at = Path.lastIndexOf(Separator);
    return at < 0 ? QString() : Path.left(at + 1);
}

QString FileNames::AddBackslash(const QString &Path)
{
    return Path.endsWith(Separator) ? Path : Path + Separator;
}

QString FileNames::GetSpecialFolder(int Number)
{
    if (Number != 0)
        return QString();
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir())
        return desktop;
    return QDir::homePath();
}
