// A search or replace run from its start button to its summary line, with
// the run state the main window keeps between runs.
#pragma once

#include "RunHost.h"
#include "cFileResder.h"

#include <QString>
#include <QStringList>

class BackupArchive;
class ListModel;

#include <memory>
#include <vector>

class SearchRun
{
public:
    enum Mode : int { SearchOnly = 0, SearchAndReplace = 1 };
    // How a click ended: the run went through, an input check refused it
    // (its message was shown), or a question was answered No.
    enum class Outcome { Finished, Refused, Declined };

    explicit SearchRun(RunHost &host);
    ~SearchRun();

    Outcome cmdStart_Click(int Index);
    // The stop button: only sets the flag the passes poll.
    void cmdAbbruch_Click();

    void ProcessAllFiles(int CaseSensitive, int Index);
    void ersetze_nur_selektierte(int CaseSensitive, int Index);
    // Counts the binary file patterns found in the filter; shows the message
    // when there is one.
    int ausschluesse();

    // The backup folder button.
    void cmdBackupFolder_Click();
    // The save button: appends the report of the last run to the log file
    // and opens it. Returns the log file's path when a report was written.
    QString cmdSave_Click();

    bool IsRunning() const { return m_running; }
    // While a backup archive exists its files are only in memory: the
    // window must not close.
    bool HasBackupArchive() const { return m_backup != nullptr; }

    // Run state, kept for the life of the window.
    int FileTotal = 0;
    int AbortFlag = 0;
    QString ReplacedText;
    QString BackupFolder;

    // Statistics of the last pass.
    int FilesSearched = 0;
    int FilesWithFinds = 0;
    int TotalFinds = 0;
    int FilesChanged = 0;

    // Files with finds that a replace pass did not write, and why.
    struct NotWritten
    {
        QString path;
        QString reason;
    };
    const std::vector<NotWritten> &NotWrittenFiles() const { return m_notWritten; }

    // The summary line under the list for a pass of this mode.
    QString Summary(int Index, double seconds) const;
    // The confirmation text of a replace run.
    static QString ConfirmationText(const RunOptions &o, const QString &backupFolder);
    static QString BooleanWord(int state);
    // The seven columns of the result list: count, name, folder, encoding,
    // with one-pixel separators between them.
    static void AddResultColumns(ListModel &list);

    static const QString ExcludedPatterns;

private:
    struct PassInput;
    void zeroStatistics();
    void addEmptyRows(int n);
    // The work on one file shared by both passes; returns false when the
    // file was skipped without being counted.
    void processFile(const QString &path, int position, const PassInput &in, bool addRow);
    void replaceStep(const QString &path, const QString &text, const QByteArray &raw, int encoding, int count,
                     const PassInput &in);
    void reportNotWritten();
    bool prepareBackup(int Index);
    void completeBackup(int Index);
    void drawRunningProgress(int value);

    RunHost &m_host;
    RunOptions m_options;
    std::unique_ptr<cFileResder> m_codec;
    std::unique_ptr<BackupArchive> m_backup;
    std::vector<NotWritten> m_notWritten;
    QString m_info; // what lblInfo shows
    bool m_running = false;
};
