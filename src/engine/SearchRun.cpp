// A search or replace run from its start button to its summary line.
#include "SearchRun.h"

#include "AppPaths.h"
#include "BackupArchive.h"
#include "FileCollector.h"
#include "FileNames.h"
#include "LogFile.h"
#include "NotWrittenFiles.h"
#include "NumberFormat.h"
#include "PassStatistics.h"
#include "ResultListSink.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <functional>

namespace {

// Draws the progress after each file the pass read and lets the window
// handle its events (the stop button among them) meanwhile.
class ProgressSink : public ResultSink
{
public:
    ProgressSink(RunView &view, const int &total, std::function<void()> poll)
        : m_view(view), m_total(total), m_poll(std::move(poll))
    {}
    void FileDone(const FileResult &result, int position) override
    {
        using O = FileResult::Outcome;
        if (result.outcome != O::Missing && result.outcome != O::Empty && result.outcome != O::SkippedReadOnly &&
            result.outcome != O::Unreadable) {
            m_view.ProcessEvents();
            ProgressBar::Request r{position, 1, m_total, QStringLiteral("Bitte warten, der Vorgang läuft: "), true};
            r.Running = true;
            m_view.DrawProgress(r);
        }
        m_poll();
    }

private:
    RunView &m_view;
    const int &m_total;
    std::function<void()> m_poll;
};

} // namespace

SearchRun::SearchRun(RunHost &host) : SearchRun(host, host) {}

SearchRun::SearchRun(RunDialogs &dialogs, RunView &view)
    : m_dialogs(dialogs), m_view(view), m_checks(dialogs), m_backup(dialogs), m_ownList(dialogs.Locale())
{
    ResultListSink::AddColumns(m_ownList);
}

SearchRun::~SearchRun() = default;

ListModel &SearchRun::list()
{
    ListModel *shown = m_view.ResultList();
    return shown ? *shown : m_ownList;
}

void SearchRun::clearList()
{
    list().Clear();
    m_rows.clear();
}

const FileResult *SearchRun::RowResult(int row) const
{
    const ListModel *shown = const_cast<SearchRun *>(this)->m_view.ResultList();
    const ListModel &l = shown ? *shown : m_ownList;
    if (row < 0 || row >= l.ItemCount())
        return nullptr;
    const int tag = l.ItemTag(row);
    if (tag <= 0 || tag > static_cast<int>(m_rows.size()))
        return nullptr;
    return &m_rows[static_cast<std::size_t>(tag - 1)];
}

void SearchRun::AddResultColumns(ListModel &list)
{
    ResultListSink::AddColumns(list);
}

void SearchRun::cmdBackupFolder_Click()
{
    // A cancelled dialog keeps the folder shown in the label for the next run.
    const QString chosen =
        m_dialogs.BrowseForFolder(QStringLiteral("Bitte einen BackupOrdner auswählen oder neu anlegen..."));
    if (chosen.isEmpty())
        return;
    BackupFolder = FileNames::AddBackslash(chosen);
    m_view.SetBackupFolderCaption(QStringLiteral("Backupordner: ") + BackupFolder);
    m_view.SetBackupButtonToolTip(QStringLiteral("Backupordner auswählen oder erstellen?"));
}

QString SearchRun::cmdSave_Click()
{
    const RunOptions o = m_view.Options();
    LogInput in;
    in.txtStartFolder = o.txtStartFolder;
    in.txtPattern = o.txtPattern;
    in.txtFindW = o.txtFindW;
    in.txtReplaceW = o.txtReplaceW;
    in.chkUnterordner = o.chkUnterordner;
    in.chkCaseSensitive = o.chkCaseSensitive;
    in.chkAuchSchreibschutz = o.chkAuchSchreibschutz;
    in.chkNS = o.chkNS;
    in.lblInfo = m_info;
    in.mode = m_lastMode;
    // The rows in the order the list shows them; filler rows are no files.
    const ListModel &l = list();
    for (int row = 0; row < l.ItemCount(); ++row)
        if (const FileResult *r = RowResult(row))
            in.rows.push_back({r->CountMade(), r->displayPath, l.ItemChecked(row)});
    in.filesCollected = FileTotal;
    in.now = m_dialogs.Now();
    in.locale = m_dialogs.Locale();
    const QString path = AppPaths::LogPath();
    if (LogFile::Save(path, in) != LogFile::Result::Saved)
        return QString();
    m_dialogs.OpenDocument(path);
    m_view.SetSaveEnabled(false);
    return path;
}

int SearchRun::ausschluesse()
{
    return m_checks.ausschluesse(m_view.Options().txtPattern);
}

void SearchRun::cmdAbbruch_Click()
{
    AbortFlag = 1;
    m_view.SetStopEnabled(false);
}

QString SearchRun::Summary(RunMode mode, double seconds) const
{
    const QLocale locale = m_dialogs.Locale();
    auto n = [&](qint64 v) { return NumberFormat::Grouped(v, locale); };
    const int first = mode == RunMode::SearchOnly ? FilesWithFinds : FilesChanged;
    const QString word = first == 1 ? QStringLiteral(" Datei") : QStringLiteral(" Dateien");
    const QString t = NumberFormat::Seconds(seconds, locale);
    if (mode == RunMode::SearchOnly)
        return QStringLiteral("Textsuche abgeschlossen! In ") + n(first) + word + QStringLiteral(" von ") +
               n(FilesSearched) +
               QStringLiteral(" durchsuchten Dateien wurde der Suchtext gefunden. Gesamtzahl der Funde: ") +
               n(TotalFinds) + QStringLiteral("   Suchzeit: ") + t + QStringLiteral(" Sek.");
    return QStringLiteral("Ersetzen abgeschlossen! In ") + n(first) + word + QStringLiteral(" von ") +
           n(FilesSearched) +
           QStringLiteral(" durchsuchten Dateien wurde der Suchtext gefunden und ersetzt. Gesamtzahl der "
                          "Ersetzungen: ") +
           n(TotalFinds) + QStringLiteral("   Bearbeitungszeit: ") + t + QStringLiteral(" Sek.");
}

SearchRun::Outcome SearchRun::cmdStart_Click(int Index)
{
    if (m_running)
        return Outcome::Refused;
    const RunMode mode = Index == 1 ? RunMode::SearchAndReplace : RunMode::SearchOnly;
    QElapsedTimer clock;
    m_info.clear();
    m_view.SetInfo(m_info);
    AbortFlag = 0;
    m_view.SetStopEnabled(true);
    clock.start();
    m_view.CloseViewer();

    ensureBackupFolder();

    // Nothing below may leave the stop button on when the click ends early.
    auto refuse = [&](Outcome o) {
        AbortFlag = 0;
        m_view.SetStopEnabled(false);
        return o;
    };
    if (ausschluesse() > 0)
        return refuse(Outcome::Refused);
    m_options = m_view.Options();
    switch (m_checks.CheckTexts(mode, m_options, BackupFolder)) {
    case InputChecks::Verdict::Refused:
        return refuse(Outcome::Refused);
    case InputChecks::Verdict::Declined:
        return refuse(Outcome::Declined);
    case InputChecks::Verdict::Go:
        break;
    }

    m_running = true;
    m_stopSignal = 0;
    m_stopSignals.emplace();
    m_notWritten.clear();
    m_damaged.clear();
    m_unreadable.Clear();
    m_view.SetBusyCursor(true);
    m_view.ProcessEvents();
    m_view.SetInputsEnabled(false);
    m_view.SetProgressBackground(ProgressBar::RunningBackground);
    // The last run's bar must not stand for this one while it collects files.
    m_view.DrawProgress(ProgressBar::Request{});

    const int caseSensitive = m_options.chkCaseSensitive;
    if (mode == RunMode::SearchOnly || m_options.chkNS == 0) {
        clearList();
        addEmptyRows(13);
        m_view.SetListRedraw(true);
        if (mode == RunMode::SearchOnly) {
            m_options.chkNS = 0;
            m_view.SetNsChecked(false);
            m_view.SetNsEnabled(false);
        }
        ProcessAllFiles(caseSensitive, mode);
        if (mode == RunMode::SearchAndReplace)
            m_view.SetNsEnabled(false);
    } else {
        ersetze_nur_selektierte(caseSensitive, mode);
    }

    finishRun(mode, static_cast<double>(clock.nsecsElapsed()) / 1e9);
    return Outcome::Finished;
}

void SearchRun::ensureBackupFolder()
{
    if (BackupFolder.isEmpty() || !QFileInfo(BackupFolder).isDir()) {
        BackupFolder = FileNames::AddBackslash(FileNames::GetSpecialFolder(0));
        m_view.SetBackupFolderCaption(QStringLiteral("Backupordner: ") + BackupFolder);
    }
    m_view.SetBackupButtonToolTip(QStringLiteral("Aktueller BackUP-Ordner: \"") + BackupFolder +
                                  QStringLiteral("\"  Einen anderen BackUP-Ordner auswählen oder erstellen?"));
}

void SearchRun::finishRun(RunMode mode, double seconds)
{
    ProgressBar::Request end{100, 100, 100,
                             mode == RunMode::SearchOnly ? QStringLiteral("Die Suche ist beendet: ")
                                                         : QStringLiteral("Ersetzen abgeschlossen: "),
                             true};
    m_view.DrawProgress(end);
    if (AbortFlag > 0)
        m_view.DrawProgress(
            {AbortFlag, 1, FileTotal, QStringLiteral("Vorgang durch Benutzer abgebrochen bei: "), true});

    m_view.SetBusyCursor(false);
    if (mode == RunMode::SearchAndReplace)
        reportNotWritten();
    reportUnreadable();
    // Without a backup no file was looked at: there is nothing to sum up, and
    // the rows left are fillers without finds.
    if (!m_backupRefused) {
        m_info = Summary(mode, seconds);
        m_view.SetInfo(m_info);
    }
    m_view.SetInputsEnabled(true);
    if (list().ItemCount() == 0) {
        m_view.SetListRedraw(false);
        addEmptyRows(12);
        m_view.SetListRedraw(true);
    } else if (!m_backupRefused) {
        m_view.SetListToolTip(QStringLiteral("Click -> Zeigt die Fundstellen in einem neuen Fenster an."));
    }
    m_view.SetSaveEnabled(true);
    AbortFlag = 0;
    m_view.SetStopEnabled(false);
    m_running = false;
    m_stopSignals.reset();
    m_stopSignal = StopSignals::Received();
}

void SearchRun::pollStopSignals()
{
    if (StopSignals::Received() != 0 && AbortFlag == 0)
        cmdAbbruch_Click();
}

void SearchRun::addEmptyRows(int n)
{
    ListModel &l = list();
    for (int i = 0; i < n; ++i)
        l.AddItem();
}

void SearchRun::setCountCaption(RunMode mode)
{
    m_lastMode = mode;
    list().SetColumnCaption(0, mode == RunMode::SearchOnly ? QStringLiteral("Funde") : QStringLiteral("Ersetzt"));
}

bool SearchRun::beginPass(RunMode Index)
{
    FilesSearched = FilesWithFinds = TotalFinds = FilesChanged = 0;
    FileTotal = 0;
    m_backupRefused = Index == RunMode::SearchAndReplace && m_options.chkBackup == 1 &&
                      !m_backup.Prepare(BackupFolder, m_options.txtStartFolder);
    if (m_backupRefused)
        return false;
    m_view.SetListRedraw(false);
    return true;
}

void SearchRun::ProcessAllFiles(int CaseSensitive, RunMode Index)
{
    if (!beginPass(Index))
        return;
    clearList();
    setCountCaption(Index);

    const QString filter = InputChecks::NormalizedFilter(m_options.txtPattern);
    if (!m_checks.FilterAllowed(filter)) {
        m_backup.Release();
        m_view.FocusPattern();
        return;
    }

    m_view.SetBusyCursor(true);
    m_view.ProcessEvents();
    m_view.ShowPreparing(true);
    FilePass pass(passSettings(CaseSensitive, Index), m_backup.Archive());
    pass.SetStartFolder(m_options.txtStartFolder);
    std::vector<FileCollector::Found> files;
    int nextIndex = 0, handed = 0;
    // The pass gets what the walk has found at every folder: a search reads
    // and counts the files while the walk goes on.
    const auto handOn = [&] {
        std::vector<FilePass::Item> items;
        items.reserve(files.size());
        for (FileCollector::Found &f : files) {
            // A quick look for the '$' first: the whole name is rare.
            const bool skip = f.path.startsWith(FileCollector::Marker) ||
                              (f.path.contains(QLatin1Char('$')) && f.path.contains(QLatin1String("$RECYCLE.BIN")));
            items.push_back({std::move(f.path), handed++, skip, f.device, f.inode, f.plainFile});
        }
        files.clear();
        if (!items.empty())
            pass.Add(std::move(items));
    };
    FileCollector collector(AbortFlag, [&] {
        handOn();
        m_view.ProcessEvents();
        pollStopSignals();
    });
    // The backup's own folder is no part of what it backs up.
    if (m_options.chkBackup == 1)
        collector.ExcludeFolder(BackupFolder);
    collector.CollectFiles(m_options.txtStartFolder, filter, files, m_options.chkUnterordner == 1, nextIndex);
    handOn();
    FileTotal = nextIndex;
    for (const FileCollector::Refusal &refused : collector.Refusals()) {
        if (refused.folder)
            m_unreadable.AddFolder(refused.path, refused.error);
        else
            m_unreadable.AddEntry(refused.path, refused.error);
    }
    m_view.ShowPreparing(false);

    runPass(pass, Index, true);
    m_view.SetListCheckboxes(true);
    m_view.SetListRedraw(true);
    m_backup.Complete();
}

void SearchRun::ersetze_nur_selektierte(int CaseSensitive, RunMode Index)
{
    if (!beginPass(Index))
        return;
    setCountCaption(Index);
    const ListModel &l = list();
    FileTotal = l.ItemCount();
    std::vector<FilePass::Item> items;
    for (int row = 0; row < FileTotal; ++row) {
        // A filler row is no file, ticked or not.
        const FileResult *r = RowResult(row);
        if (r && l.ItemChecked(row))
            items.push_back({r->path, row});
    }
    FilePass pass(passSettings(CaseSensitive, Index), m_backup.Archive());
    pass.SetStartFolder(m_options.txtStartFolder);
    pass.Add(std::move(items));
    runPass(pass, Index, false);
    m_view.SetListRedraw(true);
    m_backup.Complete();
}

PassSettings SearchRun::passSettings(int CaseSensitive, RunMode Index) const
{
    PassSettings settings = PassSettings::From(m_options, Index);
    settings.compare = CaseSensitive == 0 ? CompareMode::Text : CompareMode::Binary;
    return settings;
}

void SearchRun::runPass(FilePass &pass, RunMode Index, bool addRows)
{
    ResultListSink rows(list(), m_rows, m_dialogs.Locale());
    PassStatistics statistics;
    // A ticked row whose file is gone is news to the user who ticked it.
    ::NotWrittenFiles notWritten(!addRows);
    ProgressSink progress(m_view, FileTotal, [this] { pollStopSignals(); });
    if (addRows)
        pass.AddSink(rows);
    pass.AddSink(statistics);
    pass.AddSink(m_unreadable);
    if (Index == RunMode::SearchAndReplace)
        pass.AddSink(notWritten);
    for (ResultSink *sink : m_extraSinks)
        pass.AddSink(*sink);
    pass.AddSink(progress);
    // The stop button works inside a large file too.
    pass.SetWhileWorking([this] { m_view.ProcessEvents(); });
    pass.Run(AbortFlag);
    FilesSearched = statistics.FilesSearched;
    FilesWithFinds = statistics.FilesWithFinds;
    TotalFinds = statistics.TotalFinds;
    FilesChanged = statistics.FilesChanged;
    m_notWritten = notWritten.Files();
    m_damaged = notWritten.Damaged();
}

void SearchRun::reportNotWritten()
{
    const QString text = ::NotWrittenFiles::Message(m_notWritten, m_dialogs.Locale());
    if (!text.isEmpty())
        m_dialogs.MessageBox(text, RunDialogs::Buttons::Ok, RunDialogs::Icon::Exclamation,
                             m_dialogs.ApplicationTitle());
    // After the backup is on disk: the message says where the originals are.
    const QString damaged = ::NotWrittenFiles::DamagedMessage(m_damaged, m_backup.ArchiveOnDisk());
    if (!damaged.isEmpty())
        m_dialogs.MessageBox(damaged, RunDialogs::Buttons::Ok, RunDialogs::Icon::Critical,
                             m_dialogs.ApplicationTitle());
}

void SearchRun::reportUnreadable()
{
    const QString text = ::UnreadableFiles::Message(m_unreadable.Entries(), m_dialogs.Locale(), UnreadableShown);
    if (!text.isEmpty())
        m_dialogs.MessageBox(text, RunDialogs::Buttons::Ok, RunDialogs::Icon::Exclamation,
                             m_dialogs.ApplicationTitle());
}
