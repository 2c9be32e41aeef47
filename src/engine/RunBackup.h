// The backup of one replace pass from the check of its folder to the archive
// on disk, with the messages a user needs when something goes wrong.
#pragma once

#include "RunDialogs.h"

#include <QString>
#include <memory>

class BackupArchive;

class RunBackup
{
public:
    explicit RunBackup(RunDialogs &dialogs);
    ~RunBackup();

    // Makes sure the folder can take the archive before any file changes;
    // false, after a message, when it cannot.
    bool Prepare(const QString &folder, const QString &startFolder);
    // The archive of the pass going on, or none.
    BackupArchive *Archive() const { return m_archive.get(); }
    // Writes the archive when it holds anything (filesWithFinds > 0) and
    // says where it went if not where asked; releases it in any case.
    void Complete(int filesWithFinds);
    // Where the last Complete put the archive; empty when it wrote none.
    const QString &ArchiveOnDisk() const { return m_onDisk; }
    void Release();

private:
    RunDialogs &m_dialogs;
    std::unique_ptr<BackupArchive> m_archive;
    QString m_onDisk;
};
