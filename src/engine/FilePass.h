// Walks a list of files and, for each, reads it, counts the search text,
// replaces it, hands the original to the backup and writes the new content;
// reports every file as a FileResult to its sinks. Knows nothing of windows.
#pragma once

#include "BeneathOpener.h"
#include "ChunkedSearch.h"
#include "FileResult.h"
#include "LineBreak.h"
#include "PassSettings.h"
#include "ResultSink.h"
#include "SearchPattern.h"
#include "WriteAccess.h"
#include "ZipStreamWriter.h"

#include <QString>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <sys/types.h>
#include <vector>

class BackupArchive;
struct PreparedFile;
class SearchAhead;

class FilePass
{
public:
    struct Item
    {
        QString path;
        int position = 0;  // the place the stop position is reported as
        bool skip = false; // a folder marker or the like: passed over, but a stop may land on it
        // What the walk found at path (none for a row of an earlier list):
        // the file's identity (inode 0: not known), and whether path was the
        // file itself, so that a link found there now was swapped in.
        dev_t device = 0;
        ino_t inode = 0;
        bool plainFile = false;
    };

    // backup, when given, receives the original of every file before it is
    // replaced; a file whose original it refuses is not written.
    FilePass(const PassSettings &settings, BackupArchive *backup = nullptr);
    ~FilePass();

    void AddSink(ResultSink &sink) { m_sinks.push_back(&sink); }
    // Files below folder are opened from it without following any link on
    // the way; other files (and all without a start folder) are opened
    // through their own folder as given.
    void SetStartFolder(const QString &folder);
    // Runs between a file's read and its write: where another program's
    // change would land (tests use it to be that program).
    void SetBeforeWrite(std::function<void(const QString &path)> hook) { m_beforeWrite = std::move(hook); }
    // Runs after each piece of a file's text (a few MiB), just before the
    // stop flag is looked at: where a window lets the stop button be pressed.
    void SetWhileWorking(std::function<void()> hook) { m_whileWorking = std::move(hook); }

    // Hands the pass the next items of its list (its start folder and hooks
    // are set before the first). A search starts reading and counting them
    // at once, on worker threads, while the caller goes on listing.
    void Add(std::vector<Item> items);
    // Takes up the items added, in order. The stop flag is polled before
    // each item (a sink may set it meanwhile) and after each piece of a
    // large file's text; when it is set, it becomes the position of that
    // item (at least 1) and the walk ends. A file stopped inside is left as
    // it was and not reported. A search (no replace, no hooks) reads and
    // counts the files ahead on worker threads, several reads in flight, and
    // still reports every file here, in order, with the same results and the
    // same stop. A replace does every file here, while another thread reads,
    // plans and deflates the next few files for it: what it made counts only
    // for a file that still holds what it read.
    void Run(int &abortFlag);
    // Add(items), then Run(abortFlag).
    void Run(std::vector<Item> items, int &abortFlag);

    // The worker threads of a search pass; 1 does every file on the calling
    // thread (and a replace without a thread working ahead). 0 (the default)
    // means one per core, at least 16.
    static void SetThreads(int threads);
    static int Threads();

    // The work on one file, without reporting it. A file whose work needs
    // more memory than there is comes back as TooLarge.
    FileResult Process(const Item &item);
    FileResult Process(const QString &path) { return Process(Item{path}); }

    // The folder of the file at work, held open (-1 when none): the file was
    // opened relative to it, so a write relative to it reaches the same
    // folder whatever links were swapped in meanwhile.
    int FolderFd() const { return m_folders.FolderFd(); }

private:
    // Opens an item's file relative to its folder (entered, and held open):
    // the descriptor or -errno; native is the path as bytes, name points
    // into it.
    int openItem(const Item &item, QByteArray &native, const char *&name, struct stat &st, PosixFile::MoreStatus *more);
    // A replace's work on a file that needs no writing: read, plan and, for
    // a backup, deflate the original. nullptr where that does not pay.
    std::shared_ptr<const PreparedFile> prepare(const Item &item, bool deflate);
    // Reads a file of the given size whole (what it holds when it shrank)
    // and plans its replace with the search and new text of its line
    // breaks: 0, or the read's errno.
    int readAndPlan(int fd, qint64 size, QByteArray &raw, ChunkedSearch::Replaced &plan, const QString *&replacement);
    void searchFile(int fd, qint64 size, FileResult &r);
    void replaceFile(int fd, const struct stat &st, const char *name, FileResult &r);
    FileResult::Outcome replaceStep(const QString &path, const char *name, mode_t mode, const QByteArray &raw,
                                    const QString &replacement, const ChunkedSearch::Replaced &plan,
                                    std::shared_ptr<const ZipStreamWriter::Deflated> deflated, QString &error);
    // Whether the stop flag was set while a file was worked on.
    bool stopRequested();
    void runInOrder(const std::vector<Item> &items, int &abortFlag);
    void runAhead(int &abortFlag);
    // A search worker's work: a pass of its own that gives up inside a file
    // once stop is set.
    std::function<std::optional<FileResult>(const Item &)> worker(const std::atomic<bool> &stop) const;
    void report(const FileResult &result, int position);
    // Takes the search and the new text in the form of the file's first line
    // break (from its bytes, or its open file when bytes is null) and gives
    // the new text to use. A file of mixed line ends is matched and written
    // in the form of its first one: a find holds only breaks of that form
    // (never half of a CR LF), and the new text puts back breaks of that form.
    const QString &useLineBreaksOf(int fd, const QByteArray *bytes);

    PassSettings m_settings;
    SearchPattern m_pattern;
    ChunkedSearch m_search;
    // Whether the search or the new text holds a line break: only then do a
    // file's line ends matter. Each form is prepared once, at its first file.
    bool m_breaks;
    std::array<std::optional<SearchPattern>, 3> m_formPatterns;
    std::array<QString, 3> m_formReplacements;
    BackupArchive *m_backup;
    BeneathOpener m_folders;
    WriteAccess m_access;                  // for a search that leaves read-only files out
    unsigned long long m_accessFolder = 0; // the folder m_access was set to (FoldersOpened)
    QString m_startFolder;
    std::vector<ResultSink *> m_sinks;
    std::function<void(const QString &)> m_beforeWrite;
    std::function<void()> m_whileWorking;
    std::shared_ptr<const PreparedFile> m_prepared; // the work done ahead on the file at work
    std::vector<Item> m_added;                      // for a pass on this thread
    std::unique_ptr<SearchAhead> m_ahead;           // for a search on workers
    const int *m_abortFlag = nullptr;               // during Run
    const std::atomic<bool> *m_stopAll = nullptr;   // a worker's: set when the pass stops
    bool m_stopped = false;                         // the last file was stopped inside
};
