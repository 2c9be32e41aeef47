// The backup of one replace pass from the check of its folder to the finished
// archive, with the messages a user needs when something goes wrong.
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
    // Finishes the archive when it holds anything (also after a stop or a
    // failed file), says where the originals are if that fails, and releases
    // it in any case.
    void Complete();
    // Where the last Complete left the originals: the archive, or the partial
    // file when completing failed; empty when there are none.
    const QString &ArchiveOnDisk() const { return m_onDisk; }
    // Drops an archive that holds nothing yet (a run refused after Prepare).
    void Release();

private:
    RunDialogs &m_dialogs;
    std::unique_ptr<BackupArchive> m_archive;
    QString m_onDisk;
};
