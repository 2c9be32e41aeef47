// A search or replace run from its start button to its summary line: orders
// the steps (input checks, controls, collection, the file pass, backup,
// summary) and keeps the run state the main window shows between runs.
#pragma once

#include "FilePass.h"
#include "FileResult.h"
#include "InputChecks.h"
#include "ListModel.h"
#include "ResultSink.h"
#include "RunBackup.h"
#include "RunHost.h"
#include "RunMode.h"
#include "StopSignals.h"
#include "UnreadableFiles.h"

#include <QString>
#include <optional>
#include <vector>

class SearchRun
{
public:
    // How a click ended: the run went through, an input check refused it
    // (its message was shown), or a question was answered No.
    enum class Outcome { Finished, Refused, Declined };

    explicit SearchRun(RunHost &host);
    SearchRun(RunDialogs &dialogs, RunView &view);
    ~SearchRun();

    // Index is the start button's: 0 search only, 1 search and replace.
    Outcome cmdStart_Click(int Index);
    // The stop button: only sets the flag the passes poll.
    void cmdAbbruch_Click();

    void ProcessAllFiles(int CaseSensitive, RunMode Index);
    void ersetze_nur_selektierte(int CaseSensitive, RunMode Index);
    // Counts the binary file patterns found in the filter; shows the message
    // when there is one.
    int ausschluesse();

    // The backup folder button.
    void cmdBackupFolder_Click();
    // The save button: appends the report of the last run to the log file
    // and opens it. Returns the log file's path when a report was written.
    QString cmdSave_Click();

    bool IsRunning() const { return m_running; }
    // The signal (SIGINT, SIGTERM) that stopped the last run, 0 when none did.
    int StopSignal() const { return m_stopSignal; }
    // A backup archive is open from the start of a replace pass to its end,
    // when the pass completes it (also after a stop).
    bool HasBackupArchive() const { return m_backup.Archive() != nullptr; }

    // Every later pass also reports its files here (the command line's
    // printer, tests).
    void AddSink(ResultSink &sink) { m_extraSinks.push_back(&sink); }

    // The file behind a row of the result list; none for the empty filler
    // rows or a row outside the list.
    const FileResult *RowResult(int row) const;
    // What the last pass did (none before the first): decides the log's
    // title and which text the finds viewer marks.
    std::optional<RunMode> LastMode() const { return m_lastMode; }
    // The summary line of the last run (what the window shows under the list).
    const QString &Info() const { return m_info; }
    // Files with finds that the last replace pass did not write.
    const std::vector<FileResult> &NotWrittenFiles() const { return m_notWritten; }
    // Files and folders the last run could not read.
    const std::vector<UnreadableFiles::Entry> &Unreadable() const { return m_unreadable.Entries(); }

    // Run state, kept for the life of the window.
    int FileTotal = 0;
    int AbortFlag = 0;
    QString BackupFolder;
    // How many unreadable files and folders the message after a run names
    // (the command line names them all).
    std::size_t UnreadableShown = 20;

    // Statistics of the last pass.
    int FilesSearched = 0;
    int FilesWithFinds = 0;
    qint64 TotalFinds = 0;
    int FilesChanged = 0;

    // The summary line under the list for a pass of this mode.
    QString Summary(RunMode mode, double seconds) const;
    static QString ConfirmationText(const RunOptions &o, const QString &backupFolder)
    {
        return InputChecks::ConfirmationText(o, backupFolder);
    }
    static void AddResultColumns(ListModel &list);

private:
    ListModel &list();
    void clearList();
    void addEmptyRows(int n);
    // What both kinds of pass do first: zero the figures and, for a replace
    // with backup, make sure the archive can be written. False when it cannot.
    bool beginPass(RunMode Index);
    PassSettings passSettings(int CaseSensitive, RunMode Index) const;
    // The pass over the items added to it, shared by both kinds of pass.
    void runPass(FilePass &pass, RunMode Index, bool addRows);
    void reportNotWritten();
    void reportUnreadable();
    // The backup folder a run uses: the desktop when none is set or it is gone.
    void ensureBackupFolder();
    // The end of a run that went through: progress, summary, controls.
    void finishRun(RunMode mode, double seconds);
    void setCountCaption(RunMode mode);
    // A stop signal received counts as a click on the stop button.
    void pollStopSignals();

    RunDialogs &m_dialogs;
    RunView &m_view;
    InputChecks m_checks;
    RunBackup m_backup;
    ListModel m_ownList; // the list when the view has none
    RunOptions m_options;
    std::vector<FileResult> m_rows; // behind the list's rows: row tag - 1
    std::vector<FileResult> m_notWritten;
    std::vector<FileResult> m_damaged;
    ::UnreadableFiles m_unreadable;
    std::vector<ResultSink *> m_extraSinks;
    std::optional<RunMode> m_lastMode;
    QString m_info; // what lblInfo shows
    bool m_running = false;
    bool m_backupRefused = false;             // the last pass did not start: its backup folder takes no file
    std::optional<StopSignals> m_stopSignals; // while running
    int m_stopSignal = 0;
};
