// A search or replace run from its start button to its summary line.
#include "SearchRun.h"

#include "BackupArchive.h"
#include "FileAttributes.h"
#include "FileCollector.h"
#include "FileNames.h"
#include "ListModel.h"
#include "LogFile.h"
#include "AppPaths.h"
#include "NumberFormat.h"
#include "SafeFileWriter.h"
#include "SearchPattern.h"
#include "TextSearch.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

namespace {

const QString CrLf = QStringLiteral("\r\n");

// Clears a read-only bit for the time of the work on a file and sets the
// permissions back however that work ends.
class ReadOnlyGuard
{
public:
    ReadOnlyGuard(const QString &path, bool clear, int mode) : m_path(path)
    {
        if (clear) {
            m_mode = mode;
            FileAttributes::SetAttributesLong(path, FileAttributes::Normal);
        }
    }
    ~ReadOnlyGuard()
    {
        if (m_mode >= 0)
            FileAttributes::SetMode(m_path, m_mode);
    }
    ReadOnlyGuard(const ReadOnlyGuard &) = delete;
    ReadOnlyGuard &operator=(const ReadOnlyGuard &) = delete;

private:
    QString m_path;
    int m_mode = -1;
};

} // namespace

const QString SearchRun::ExcludedPatterns =
    QStringLiteral("*.exe;*.dll;*.jpg;*.jpeg;*.png;*.gif;*.pdf;*.bmp;*.avi;*.mov;*.mp4;*.mp3;*.zip;*.rar");

// What one pass reads from the inputs once, not per file.
struct SearchRun::PassInput
{
    PassInput(const RunOptions &o, int caseSensitive, int index)
        : find(o.txtFindW), replacement(o.txtReplaceW), compare(caseSensitive == 0 ? 1 : 0),
          pattern(o.txtFindW, compare), index(index), wholeWords(o.chkNurGanzeWorte == 1),
          alsoReadOnly(o.chkAuchSchreibschutz == 1)
    {
    }
    QString find;
    QString replacement;
    int compare;
    SearchPattern pattern;
    int index;
    bool wholeWords;
    bool alsoReadOnly;
};

SearchRun::SearchRun(RunHost &host) : m_host(host) {}

SearchRun::~SearchRun() = default;

void SearchRun::cmdBackupFolder_Click()
{
    BackupFolder = m_host.BrowseForFolder(QStringLiteral("Bitte einen BackupOrdner auswählen oder neu anlegen..."));
    if (BackupFolder.isEmpty())
        return;
    BackupFolder = FileNames::AddBackslash(BackupFolder);
    m_host.SetBackupFolderCaption(QStringLiteral("Backupordner: ") + BackupFolder);
    m_host.SetBackupButtonToolTip(QStringLiteral("Backupordner auswählen oder erstellen?"));
}

QString SearchRun::cmdSave_Click()
{
    const RunOptions o = m_host.Options();
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
    in.list = &m_host.ResultList();
    in.filesCollected = FileTotal;
    in.now = m_host.Now();
    in.locale = m_host.Locale();
    const QString path = AppPaths::LogPath();
    if (LogFile::Save(path, in) != LogFile::Result::Saved)
        return QString();
    m_host.OpenDocument(path);
    m_host.SetSaveEnabled(false);
    return path;
}

bool SearchRun::prepareBackup(int Index)
{
    if (Index != SearchAndReplace || m_options.chkBackup != 1)
        return true;
    // No file may change before it is certain that the archive can be
    // written where the user expects it.
    const QString reason = BackupArchive::CheckFolder(BackupFolder);
    if (!reason.isEmpty()) {
        m_host.MessageBox(QStringLiteral("Im Backupordner \"%1\" kann keine Datei angelegt werden (%2).").arg(BackupFolder, reason) +
                              CrLf + QStringLiteral("Es wurde keine Datei geändert. Bitte einen anderen Backupordner wählen."),
                          RunHost::Buttons::Ok, RunHost::Icon::Exclamation, m_host.ApplicationTitle());
        return false;
    }
    m_backup = std::make_unique<BackupArchive>(BackupFolder, m_options.txtStartFolder, m_host.Now(), m_host.Locale());
    return true;
}

void SearchRun::completeBackup(int Index)
{
    if (Index != SearchAndReplace || !m_backup)
        return;
    std::unique_ptr<BackupArchive> backup = std::move(m_backup);
    if (FilesWithFinds == 0 || backup->EntryCount() == 0)
        return;
    QString writtenTo;
    const QString home = QDir::homePath();
    const QString reason = backup->Write(writtenTo, home);
    if (reason.isEmpty())
        return;
    if (!writtenTo.isEmpty()) {
        m_host.MessageBox(QStringLiteral("Die Sicherung konnte nicht im Backupordner gespeichert werden:") + CrLf +
                              backup->ArchivePath() + QStringLiteral(" (") + reason + QStringLiteral(")") + CrLf +
                              CrLf + QStringLiteral("Sie wurde stattdessen hier gespeichert:") + CrLf + writtenTo,
                          RunHost::Buttons::Ok, RunHost::Icon::Exclamation, m_host.ApplicationTitle());
        return;
    }
    m_host.MessageBox(QStringLiteral("Die Sicherung konnte nicht gespeichert werden:") + CrLf + backup->ArchivePath() +
                          QStringLiteral(" (") + reason + QStringLiteral(")") + CrLf + CrLf +
                          QStringLiteral("Auch im Ausweichordner %1 war das nicht möglich.").arg(home) + CrLf +
                          QStringLiteral("Es gibt KEINE Sicherung der geänderten Dateien!"),
                      RunHost::Buttons::Ok, RunHost::Icon::Critical, m_host.ApplicationTitle());
}

QString SearchRun::BooleanWord(int state)
{
    return state != 0 ? QStringLiteral("Wahr") : QStringLiteral("Falsch");
}

QString SearchRun::ConfirmationText(const RunOptions &o, const QString &backupFolder)
{
    QStringList lines;
    lines << QStringLiteral("Kleine Pause um nochmal nachzudenken :-)")
          << QStringLiteral("Möchten Sie den Suchtext jetzt ersetzen? Überprüfen Sie zur Sicherheit nochmal: ")
          << QStringLiteral(" - Den ausgewählten Startordner,")
          << QStringLiteral(" - Unterordner (ja/nein): ") + BooleanWord(o.chkUnterordner);
    if (o.chkNS != 0)
        lines << QStringLiteral(" - Ersetzen nur in selektierten Dateien (ja/nein): ") + BooleanWord(o.chkNS);
    lines << QStringLiteral(" - Ein Backup erstellen (ja/nein): ") + BooleanWord(o.chkBackup)
          << QStringLiteral(" - Die ausgewählten Dateiendungen (Dateifilter):")
          << QStringLiteral("   ") + o.txtPattern << QString() << QStringLiteral("Ausgewählt als Startordner ist: ")
          << o.txtStartFolder << QString() << QStringLiteral("Ausgewählt als BackUP-Ordner ist : ") << backupFolder
          << QString() << QStringLiteral("Sind Sie sich wirklich sicher?");
    return lines.join(CrLf);
}

void SearchRun::AddResultColumns(ListModel &list)
{
    list.AddColumn(QStringLiteral("Funde"), QStringLiteral("Funde"), 2, 70);
    list.AddColumn(QStringLiteral("trenner1"), QString(), 2, 1, false, true);
    list.AddColumn(QStringLiteral("Dateiname"), QStringLiteral("Dateiname"), 0, 250);
    list.AddColumn(QStringLiteral("trenner2"), QString(), 2, 1, false, true);
    list.AddColumn(QStringLiteral("Pfad"), QStringLiteral("Pfad"), 0, 538);
    list.AddColumn(QStringLiteral("trenner3"), QString(), 2, 1, false, true);
    list.AddColumn(QStringLiteral("Encod."), QStringLiteral("Encod."), 2, 52);
}

int SearchRun::ausschluesse()
{
    const QString filter = m_host.Options().txtPattern;
    int hits = 0;
    for (const QString &pattern : ExcludedPatterns.split(QLatin1Char(';')))
        if (TextSearch::CountOccurrences(filter, pattern, 1, 0) > 0)
            ++hits;
    if (hits > 0)
        m_host.MessageBox(QStringLiteral("Der Dateifilter enthält nicht erlaubte Dateiendungen!") + CrLf + CrLf +
                              QStringLiteral("Text kann mit diesem Programm nur in ASCII-Textdateien gesucht oder "
                                             "ersetzt werden.") +
                              CrLf +
                              QStringLiteral("Für Binärdateien (z.B. exe, dll, pdf, jpg, jpeg, png, gif, bmp, avi, "
                                             "mov, mp4, mp3, zip, rar oder andere) muss die entsprechende Anwendung "
                                             "oder ein HEX-Editor verwendet werden.") +
                              CrLf + CrLf +
                              QStringLiteral("Entfernen sie die nicht erlaubten Dateiendungen aus dem Dateifilter."),
                          RunHost::Buttons::Ok, RunHost::Icon::Information, m_host.ApplicationTitle());
    return hits;
}

void SearchRun::cmdAbbruch_Click()
{
    AbortFlag = 1;
    m_host.SetStopEnabled(false);
}

QString SearchRun::Summary(int Index, double seconds) const
{
    const QLocale locale = m_host.Locale();
    auto n = [&](int v) { return NumberFormat::Grouped(v, locale); };
    const int first = Index == SearchOnly ? FilesWithFinds : FilesChanged;
    const QString word = first == 1 ? QStringLiteral(" Datei") : QStringLiteral(" Dateien");
    const QString t = NumberFormat::Seconds(seconds, locale);
    if (Index == SearchOnly)
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
    QElapsedTimer clock;
    m_info.clear();
    m_host.SetInfo(m_info);
    AbortFlag = 0;
    m_host.SetStopEnabled(true);
    clock.start();
    m_host.CloseViewer();

    if (BackupFolder.isEmpty() || !QFileInfo(BackupFolder).isDir()) {
        BackupFolder = FileNames::AddBackslash(FileNames::GetSpecialFolder(0));
        m_host.SetBackupFolderCaption(QStringLiteral("Backupordner: ") + BackupFolder);
    }
    m_host.SetBackupButtonToolTip(QStringLiteral("Aktueller BackUP-Ordner: \"") + BackupFolder +
                                  QStringLiteral("\"  Einen anderen BackUP-Ordner auswählen oder erstellen?"));

    // Nothing below may leave the stop button on when the click ends early.
    auto refuse = [&](Outcome o) {
        AbortFlag = 0;
        m_host.SetStopEnabled(false);
        return o;
    };
    if (ausschluesse() > 0)
        return refuse(Outcome::Refused);
    m_options = m_host.Options();
    const QString title = m_host.ApplicationTitle();
    if (m_options.txtFindW.isEmpty()) {
        m_host.MessageBox(QStringLiteral("Bitte den zu suchenden Text in das linke Textfeld eingeben."),
                          RunHost::Buttons::Ok, RunHost::Icon::Information, title);
        return refuse(Outcome::Refused);
    }
    if (m_options.txtPattern.isEmpty()) {
        m_host.MessageBox(QStringLiteral("Bitte einen Dateifilter wählen.."), RunHost::Buttons::Ok,
                          RunHost::Icon::Information, title);
        return refuse(Outcome::Refused);
    }
    if (Index == SearchAndReplace) {
        if (m_options.txtReplaceW.isEmpty() &&
            m_host.MessageBox(QStringLiteral("Das Eingabefeld \"Ersetzen mit\" ist leer.") + CrLf +
                                  QStringLiteral("Soll der Suchtext wirklich durch eine leere Zeichenkette (also "
                                                 "durch nichts) ersetzt werden?"),
                              RunHost::Buttons::YesNo, RunHost::Icon::Question,
                              title + QStringLiteral(": Kontrollabfrage...")) != RunHost::Answer::Yes)
            return refuse(Outcome::Declined);
        if (m_options.txtFindW == m_options.txtReplaceW) {
            m_host.MessageBox(
                QStringLiteral("Die Eingabefelder \"Suchtext\" und \"Ersetzen mit\" enthalten den gleichen Text.") +
                    CrLf + QStringLiteral("Überprüfen Sie Ihre Eingaben in diesen Textfeldern."),
                RunHost::Buttons::Ok, RunHost::Icon::Information, title + QStringLiteral(": Hinweis..."));
            return refuse(Outcome::Refused);
        }
        if (m_host.MessageBox(ConfirmationText(m_options, BackupFolder), RunHost::Buttons::YesNo,
                              RunHost::Icon::Question,
                              title + QStringLiteral(": Kontrollabfrage...")) != RunHost::Answer::Yes)
            return refuse(Outcome::Declined);
    }

    m_running = true;
    m_notWritten.clear();
    m_host.SetBusyCursor(true);
    m_host.ProcessEvents();
    m_host.SetInputsEnabled(false);
    m_host.SetProgressBackground(ProgressBar::RunningBackground);

    ListModel &list = m_host.ResultList();
    const int caseSensitive = m_options.chkCaseSensitive;
    if (Index == SearchOnly) {
        list.Clear();
        addEmptyRows(13);
        m_host.SetListRedraw(true);
        m_options.chkNS = 0;
        m_host.SetNsChecked(false);
        m_host.SetNsEnabled(false);
        ProcessAllFiles(caseSensitive, SearchOnly);
    } else {
        if (m_options.chkNS == 0) {
            list.Clear();
            addEmptyRows(13);
            m_host.SetListRedraw(true);
            ProcessAllFiles(caseSensitive, SearchAndReplace);
            m_host.SetNsEnabled(false);
        } else {
            ersetze_nur_selektierte(caseSensitive, SearchAndReplace);
        }
    }

    ProgressBar::Request end{100, 100, 100,
                             Index == SearchOnly ? QStringLiteral("Die Suche ist beendet: ")
                                                 : QStringLiteral("Ersetzen abgeschlossen: "),
                             true};
    m_host.DrawProgress(end);
    if (AbortFlag > 0)
        m_host.DrawProgress({AbortFlag, 1, FileTotal, QStringLiteral("Vorgang durch Benutzer abgebrochen bei: "), true});

    m_host.SetBusyCursor(false);
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    if (Index == SearchAndReplace)
        reportNotWritten();
    m_info = Summary(Index, seconds);
    m_host.SetInfo(m_info);
    m_host.SetInputsEnabled(true);
    if (list.ItemCount() > 0) {
        m_host.SetListToolTip(QStringLiteral("Click -> Zeigt die Fundstellen in einem neuen Fenster an."));
    } else {
        m_host.SetListRedraw(false);
        addEmptyRows(12);
        m_host.SetListRedraw(true);
    }
    m_host.SetSaveEnabled(true);
    AbortFlag = 0;
    m_host.SetStopEnabled(false);
    m_running = false;
    return Outcome::Finished;
}

void SearchRun::addEmptyRows(int n)
{
    ListModel &list = m_host.ResultList();
    for (int i = 0; i < n; ++i)
        list.AddItem();
}

void SearchRun::zeroStatistics()
{
    FilesSearched = FilesWithFinds = TotalFinds = FilesChanged = 0;
    FileTotal = 0;
}

void SearchRun::drawRunningProgress(int value)
{
    m_host.ProcessEvents();
    m_host.DrawProgress({value, 1, FileTotal, QStringLiteral("Bitte warten, der Vorgang läuft: "), true});
}

void SearchRun::ProcessAllFiles(int CaseSensitive, int Index)
{
    zeroStatistics();
    if (!prepareBackup(Index))
        return;
    ListModel &list = m_host.ResultList();
    m_host.SetListRedraw(false);
    list.Clear();
    list.SetColumnCaption(0, Index == SearchOnly ? QStringLiteral("Funde") : QStringLiteral("Ersetzt"));

    // Only spaces are trimmed: a tab or line break would be part of a pattern.
    QString filter = m_options.txtPattern;
    while (filter.startsWith(QLatin1Char(' ')))
        filter.remove(0, 1);
    while (filter.endsWith(QLatin1Char(' ')))
        filter.chop(1);
    if (filter.endsWith(QLatin1Char(';')))
        filter.chop(1);
    if (filter == QLatin1String("*.*")) {
        m_backup.reset();
        m_host.MessageBox(
            QStringLiteral("Mit dem Dateifilter *.* kann hier nicht gesucht werden, da so auch Binärdateien (exe, "
                           "dll, jpg, png...) gefunden würden. Das Programm kann aber nur Texte in "
                           "ASCII-Textdateien (*.txt;*.html;*.php...) ersetzen. Verwenden Sie für die Bearbeitung "
                           "von Binärdateien eine dafür zuständige  Anwendung oder einen HEX-Editor."),
            RunHost::Buttons::Ok, RunHost::Icon::Exclamation, m_host.ApplicationTitle());
        m_host.FocusPattern();
        return;
    }

    m_host.SetBusyCursor(true);
    m_host.ProcessEvents();
    m_host.ShowPreparing(true);
    QStringList files;
    int nextIndex = 0;
    FileCollector collector(AbortFlag, [this] { m_host.ProcessEvents(); });
    collector.CollectFiles(m_options.txtStartFolder, filter, files, m_options.chkUnterordner == 1, nextIndex);
    FileTotal = nextIndex;
    m_host.ShowPreparing(false);

    if (!m_codec)
        m_codec = std::make_unique<cFileResder>();
    const PassInput in(m_options, CaseSensitive, Index);
    for (int i = 0; i < FileTotal; ++i) {
        if (AbortFlag > 0) {
            AbortFlag = i == 0 ? 1 : i;
            break;
        }
        const QString &path = files.at(i);
        if (path.startsWith(FileCollector::Marker) || path.contains(QLatin1String("$RECYCLE.BIN")))
            continue;
        processFile(path, i, in, true);
    }
    m_host.SetListCheckboxes(true);
    m_host.SetListRedraw(true);
    completeBackup(Index);
}

void SearchRun::ersetze_nur_selektierte(int CaseSensitive, int Index)
{
    zeroStatistics();
    if (!prepareBackup(Index))
        return;
    ListModel &list = m_host.ResultList();
    m_host.SetListRedraw(false);
    list.SetColumnCaption(0, Index == SearchOnly ? QStringLiteral("Funde") : QStringLiteral("Ersetzt"));
    FileTotal = list.ItemCount();
    if (!m_codec)
        m_codec = std::make_unique<cFileResder>();
    const PassInput in(m_options, CaseSensitive, Index);
    for (int row = 0; row < FileTotal; ++row) {
        if (!list.ItemChecked(row))
            continue;
        if (AbortFlag > 0) {
            AbortFlag = row == 0 ? 1 : row;
            break;
        }
        const QString path = list.ItemText(row, 4) + list.ItemText(row, 2);
        processFile(path, row, in, false);
    }
    m_host.SetListRedraw(true);
    completeBackup(Index);
}

void SearchRun::processFile(const QString &path, int position, const PassInput &in, bool addRow)
{
    const FileAttributes::Status status = FileAttributes::Query(path);
    if (status.length < 0) {
        // Gone since it was listed: it was not searched. A checked row of a
        // replace pass is reported, since the user asked for that file.
        if (!addRow && in.index == SearchAndReplace)
            m_notWritten.push_back({path, QStringLiteral("Datei nicht gefunden")});
        return;
    }
    if (status.length == 0) {
        ++FilesSearched;
        return;
    }
    const bool readOnly = status.attributes & FileAttributes::ReadOnly;
    if (readOnly && !in.alsoReadOnly)
        return;
    const ReadOnlyGuard guard(path, readOnly, status.mode);

    QByteArray raw;
    const QString text = m_codec->FileRead(path, false, in.index == SearchAndReplace ? &raw : nullptr);
    const int encoding = m_codec->Encoding;
    int count;
    if (!in.wholeWords)
        count = TextSearch::CountOccurrences(text, in.pattern, 1);
    else
        count = TextSearch::ReplaceNurGanzeWorte(text, in.find, in.replacement, in.compare, in.index, ReplacedText);

    if (count > 0 && addRow) {
        ListModel &list = m_host.ResultList();
        const int row = list.AddItem();
        list.SetItemText(row, 0, NumberFormat::RightAlign6(NumberFormat::Grouped(count, m_host.Locale())));
        list.SetItemText(row, 2, FileNames::FileNameOf(path));
        list.SetItemText(row, 4, FileNames::FolderOf(path));
        list.SetItemText(row, 6, cFileResder::EncodingLabel(encoding));
    }
    if (in.index == SearchAndReplace)
        replaceStep(path, text, raw, encoding, count, in);
    if (count > 0) {
        ++FilesWithFinds;
        TotalFinds += count;
    }
    ++FilesSearched;
    drawRunningProgress(position);
}

void SearchRun::replaceStep(const QString &path, const QString &text, const QByteArray &raw, int encoding,
                            int count, const PassInput &in)
{
    if (!in.wholeWords)
        ReplacedText = count > 0 ? TextSearch::ReplaceAll(text, in.find, in.replacement, in.compare) : text;
    if (ReplacedText == text)
        return;
    // Bytes that the read could not represent would be lost by the write.
    if (cFileResder::EncodeText(text, encoding) != raw) {
        m_notWritten.push_back(
            {path, QStringLiteral("Die Datei lässt sich in ihrer Kodierung (%1) nicht verlustfrei zurückschreiben")
                       .arg(cFileResder::EncodingVerbose(encoding))});
        return;
    }
    if (!cFileResder::CanEncodeLosslessly(ReplacedText, encoding)) {
        m_notWritten.push_back(
            {path, QStringLiteral("Der neue Text enthält Zeichen, die in der Kodierung %1 nicht darstellbar sind")
                       .arg(cFileResder::EncodingVerbose(encoding))});
        return;
    }
    // The archive gets exactly the bytes the write will replace: the writer
    // refuses the file if it no longer holds them.
    if (m_backup && !m_backup->AddFile(path, raw)) {
        m_notWritten.push_back({path, QStringLiteral("Die Datei konnte nicht gesichert werden")});
        return;
    }
    const QString reason = SafeFileWriter::Replace(path, raw, cFileResder::EncodeText(ReplacedText, encoding));
    if (!reason.isEmpty()) {
        m_notWritten.push_back({path, reason});
        return;
    }
    ++FilesChanged;
}

void SearchRun::reportNotWritten()
{
    if (m_notWritten.empty())
        return;
    const int n = static_cast<int>(m_notWritten.size());
    QString text = n == 1 ? QStringLiteral("1 Datei mit Funden wurde nicht geändert:")
                          : QStringLiteral("%1 Dateien mit Funden wurden nicht geändert:")
                                .arg(NumberFormat::Grouped(n, m_host.Locale()));
    text += CrLf;
    const int shown = std::min(n, 20);
    for (int i = 0; i < shown; ++i)
        text += CrLf + m_notWritten[static_cast<std::size_t>(i)].path + QStringLiteral(" – ") +
                m_notWritten[static_cast<std::size_t>(i)].reason;
    if (n > shown)
        text += CrLf + QStringLiteral("… und %1 weitere.").arg(NumberFormat::Grouped(n - shown, m_host.Locale()));
    m_host.MessageBox(text, RunHost::Buttons::Ok, RunHost::Icon::Exclamation, m_host.ApplicationTitle());
}
