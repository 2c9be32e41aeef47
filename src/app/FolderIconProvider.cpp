// The folder tree's icons without a look into the files.
#include "FolderIconProvider.h"

#include <QFileInfo>

QIcon FolderIconProvider::icon(const QFileInfo &info) const
{
    return QFileIconProvider::icon(info.isDir() ? Folder : File);
}

QString FolderIconProvider::type(const QFileInfo &info) const
{
    // The type column is never shown.
    return info.isDir() ? QStringLiteral("Ordner") : QStringLiteral("Datei");
}
