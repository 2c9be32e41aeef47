// Icons and type names for the folder tree, from the entry's kind alone.
#pragma once

#include <QFileIconProvider>

// The tree shows folders only, yet its model describes every entry of a
// folder it reads, on a thread of its own. Asked for a file's icon or type,
// the default provider looks up its content type by name and content: for a
// folder of many files that costs a core while a run is searching them.
class FolderIconProvider : public QFileIconProvider
{
public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo &info) const override;
    QString type(const QFileInfo &info) const override;
};
