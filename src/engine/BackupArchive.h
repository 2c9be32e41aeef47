// The backup of one replace pass: each original written to a ZIP archive on disk before its file changes.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <memory>

struct BackupRecord;
class ZipStreamWriter;

// The entries go one by one into a partial file in the backup folder,
// "backup-<date>-XXXXXX.zip.part", each flushed to the disk before AddFile
// returns. The file is made with the first entry: a pass that backs up
// nothing leaves nothing, and the list of files a pass works through, made
// before, cannot hold the pass's own archive. Complete adds the central directory and renames the partial file
// to "backup-<date>.zip" (or "-2", "-3", ... when that name is taken: an
// archive never replaces another). A file that was never completed (a
// crash) still holds every original as a readable local entry.
class BackupArchive
{
public:
    // folder ends in "/"; startFolder is the start folder as typed, which
    // decides the entry names; now and locale give the date in the names.
    BackupArchive(const QString &folder, const QString &startFolder, const QDateTime &now, const QLocale &locale);
    // Completes what Complete was not called for (without a message), and
    // removes a partial file that holds no entry.
    ~BackupArchive();
    BackupArchive(const BackupArchive &) = delete;
    BackupArchive &operator=(const BackupArchive &) = delete;

    // Makes sure a new file can be made in the folder (a probe file is
    // created and removed) and holds the folder open for the pass. An empty
    // text, else the reason.
    QString Open();

    // folder + "backup-" + the date and time + ".zip"; after Complete the
    // name the archive got.
    const QString &ArchivePath() const { return m_path; }
    // The file the entries go to; empty before the first entry.
    const QString &PartialPath() const { return m_partialPath; }
    // The name of a file in the archive: its path from the character after
    // the start folder's last separator on.
    QString EntryName(const QString &path) const;

    // Writes the bytes a file holds before it changes as the file's entry
    // and flushes them to the disk; true only then. On false (LastError says
    // why) the archive is as it was before the call. The entry records the
    // file's absolute path and mode, so that it can be put back.
    bool AddFile(const QString &path, const QByteArray &bytes, std::uint32_t mode = 0);
    // Records what took the place of the last file added: a restore puts the
    // original back only where the file still holds exactly that.
    void Written(std::uint64_t size, std::uint32_t crc);
    int EntryCount() const { return m_added; }
    const QString &LastError() const { return m_lastError; }

    // Writes the central directory, flushes the file and gives it its name.
    // An empty text on success (also when there was nothing to back up),
    // else the reason; the partial file then keeps every entry.
    QString Complete();
    // After a failed Complete: whether the partial file is still there with
    // the entries (it may have been removed or replaced by someone else).
    bool PartialKept() const { return m_partialKept; }

private:
    int createPartial();
    // Whether the partial file's name still leads to the file being written.
    bool partialIsOurs() const;
    // Renames the finished partial file to the first free archive name.
    int publish();
    void closePartial();

    QString m_folder;
    QString m_path;
    QString m_nameBase; // where entry names start
    QByteArray m_start; // the start folder, absolute, without a trailing separator
    QString m_stem;     // "backup-" + the date and time
    QString m_partialPath;
    QByteArray m_partialName;
    QString m_lastError;
    int m_dir = -1;
    int m_fd = -1;
    std::unique_ptr<ZipStreamWriter> m_writer;
    int m_added = 0;
    std::unique_ptr<BackupRecord> m_lastRecord; // of the last entry added
    bool m_partialKept = false;
};
