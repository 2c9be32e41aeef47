// The backup of one replace pass: each original written to a ZIP archive on disk before its file changes.
#pragma once

#include "ZipStreamWriter.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

struct BackupRecord;

// The entries go one by one into a partial file in the backup folder,
// "backup-<date>-XXXXXX.zip.part", each flushed to the disk before Wait says
// it is there. They are compressed and written by one thread of the archive's
// own, in the order they were begun, while the caller goes on (making the new
// content of the file whose original it handed over); at most two are under
// way at once. The file is made with the first entry: a pass that backs up
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

    // An entry handed over; it is on disk (or failed) when Wait returns.
    using Ticket = std::uint64_t;
    // Hands over the bytes a file holds before it changes as the file's
    // entry, to be written and flushed to the disk in the background. bytes
    // is shared, not copied: the caller keeps its own copy unchanged. The
    // entry records the file's absolute path and mode, so that it can be put
    // back. Waits while two entries are still under way. ready, when given,
    // is what Deflate made of the same bytes: the entry is then only written.
    Ticket Begin(const QString &path, QByteArray bytes, std::uint32_t mode = 0,
                 std::shared_ptr<const ZipStreamWriter::Deflated> ready = {});
    // Deflates an original for a later Begin, on any thread, so that the
    // work is done before its turn comes; nullptr without the memory for it.
    static std::shared_ptr<const ZipStreamWriter::Deflated> Deflate(const QByteArray &bytes);
    // Waits until the entry is on disk: true then. On false (LastError says
    // why) the archive is as it was before the entry. May be asked again.
    bool Wait(Ticket ticket);
    // Begin and Wait at once.
    bool AddFile(const QString &path, const QByteArray &bytes, std::uint32_t mode = 0);
    // Records what took the place of the file of an entry (one of the last
    // two begun), before or after its Wait:
    // a restore puts the original back only where the file still holds
    // exactly that.
    void Written(Ticket ticket, std::uint64_t size, std::uint32_t crc);
    // The entries on disk so far.
    int EntryCount() const { return m_added.load(); }
    const QString &LastError() const { return m_lastError; }

    // Writes the central directory, flushes the file and gives it its name.
    // An empty text on success (also when there was nothing to back up),
    // else the reason; the partial file then keeps every entry.
    QString Complete();
    // After a failed Complete: whether the partial file is still there with
    // the entries (it may have been removed or replaced by someone else).
    bool PartialKept() const { return m_partialKept; }

private:
    struct Job;
    // What became of an entry: Pending, 0 (on disk) or errno; its index
    // among the writer's entries.
    struct Outcome
    {
        int state;
        std::int64_t index = -1;
    };
    static constexpr int Pending = -1;

    // Hands a job to the thread (started with the first), or does it at once
    // where no thread can be had.
    void enqueue(std::unique_ptr<Job> job);
    // The thread: takes the jobs in order until Complete.
    void work();
    // Writes an entry or its record; the entry's outcome.
    Outcome perform(Job &job, std::int64_t entryIndex);
    void stopThread();
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
    // While the thread runs, m_writer, m_fd and the partial file are its
    // own (the pointers and names stay as they are); everything else it
    // touches is guarded by m_mutex, apart from m_added.
    std::unique_ptr<ZipStreamWriter> m_writer;
    std::atomic<int> m_added{0};
    // The records of the last entries begun, for Written; older ones are
    // dropped, the central directory keeps what they had.
    std::deque<std::pair<Ticket, std::unique_ptr<BackupRecord>>> m_records;
    bool m_partialKept = false;

    std::thread m_thread;
    bool m_inline = false; // no thread could be started: jobs are done at once
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::unique_ptr<Job>> m_jobs;
    std::vector<Outcome> m_outcomes; // by ticket
    int m_underWay = 0;              // entries queued or being written
    bool m_closing = false;
};
