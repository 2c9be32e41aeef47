// Puts the files of a replace run back from its backup archive: finds out what
// each file holds now, asks, saves the current state, restores.
#pragma once

#include "RunDialogs.h"
#include "RunView.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

class BackupArchive;
class BeneathOpener;
class ZipReader;

// An entry goes back to the path it records only where the file still holds
// exactly what the run wrote there (size and CRC-32); a file changed since
// then only when the caller says so. Every file's current content goes into
// a new backup archive before the file changes, so a restore can be undone
// the same way. Files are opened as the run opened them: the start folder as
// given, everything below it without following a link.
class RestoreRun
{
public:
    enum class State {
        Restore,     // holds what the run wrote
        Original,    // already holds the original
        Changed,     // changed since the run
        Missing,     // gone, or a folder on its way is
        Link,        // a link now stands in its place
        NotRegular,  // no longer a regular file
        Blocked,     // a folder on its way is a link now
        Refused,     // the archive names a place it may not write to
        Outside,     // outside the start folder given
        Unreadable,  // cannot be read now
        Damaged,     // its entry in the archive is damaged
        Unsaved,     // its current content could not be saved first
        WriteFailed, // the write failed (the file is as it was)
        Restored,    // written back
        Stopped,     // not reached: the restore was stopped
    };
    struct Item
    {
        QString path;      // shown (the bytes as text; see NativePath)
        QByteArray native; // the file system's name, absolute
        QByteArray start;  // the folder opened as given; the rest is beneath it
        std::size_t entry = 0;
        State state = State::Refused;
        QString detail;        // the system's words, where they say more
        std::uint32_t crc = 0; // of what the file holds now, where read
    };

    RestoreRun(RunDialogs &dialogs, RunView &view);
    ~RestoreRun();
    RestoreRun(const RestoreRun &) = delete;
    RestoreRun &operator=(const RestoreRun &) = delete;

    // Reads the archive and finds out what restoring each file would do.
    // startFolder is the folder the run was given: needed for an archive
    // that records no paths (entry names are then placed the way the backup
    // names them); for the others, a recorded path outside it is refused.
    // Empty, or why the archive cannot be used. Without inspect the files
    // are only looked at when Execute comes to them (nobody is asked first).
    QString Plan(const QString &archive, const QString &startFolder, bool inspect = true);
    const std::vector<Item> &Items() const { return m_items; }
    int Count(State state) const;
    // Whether the archive records where its files live.
    bool HasPaths() const { return m_hasPaths; }
    // The folders the files go back to, and when the run made the archive.
    QStringList Folders() const;
    QDateTime RunDate() const { return m_runDate; }

    // Restores what Plan found restorable, and also the changed files with
    // force. The current content of each goes first into a new archive in
    // backupFolder. Stops between files once the flag is set.
    void Execute(const QString &backupFolder, bool force);
    void Stop() { m_stop = true; }
    // The signal (SIGINT, SIGTERM) that stopped the last Execute, 0 when none did.
    int StopSignal() const { return m_stopSignal; }
    // The archive that holds the state before the restore (empty if none).
    const QString &SavedArchive() const { return m_saved; }

    // The window's way: asks (and a second time for changed files), restores
    // with the progress bar, shows the summary and what was not restored.
    enum class Outcome { Finished, Refused, Declined };
    Outcome Run(const QString &archive, const QString &startFolder, const QString &backupFolder);

    // The texts both front ends show.
    QString ConfirmationText() const;
    QString ChangedQuestion() const;
    QString Summary(double seconds) const;
    // The files not restored with their reasons (the first `shown`).
    QString NotRestoredText(std::size_t shown) const;
    static QString Reason(const Item &item);

private:
    void placeEntries(const QString &startFolder);
    // Opens the item's file as the run did: a descriptor or -errno (state
    // set for the failures).
    int openTarget(Item &item, struct stat &st);
    // What the item's file holds now against the archive; bytes receives it
    // and status the file's status, when given.
    void inspect(Item &item, QByteArray *bytes, struct stat *status = nullptr);
    void restoreOne(Item &item, BackupArchive *saved, bool force);
    void progress(std::size_t done);

    RunDialogs &m_dialogs;
    RunView &m_view;
    std::unique_ptr<ZipReader> m_reader;
    std::unique_ptr<BeneathOpener> m_opener;
    QByteArray m_openerStart;
    int m_fd = -1;
    std::vector<Item> m_items;
    bool m_hasPaths = false;
    QDateTime m_runDate;
    QString m_saved;
    bool m_stop = false;
    int m_stopSignal = 0;
};
