// Puts the files of a replace run back from its backup archive.
#include "RestoreRun.h"

#include "BackupArchive.h"
#include "BackupRecord.h"
#include "BeneathOpener.h"
#include "Crc32.h"
#include "LocaleDateTime.h"
#include "NativePath.h"
#include "NumberFormat.h"
#include "PosixFile.h"
#include "ProgressBar.h"
#include "RunBackup.h"
#include "SafeFileWriter.h"
#include "StopSignals.h"
#include "UnreadableFiles.h"
#include "ZipReader.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString CrLf = QStringLiteral("\r\n");

QString systemWords(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A relative path of plain names: none empty, "." or "..".
bool plainRelative(const QByteArray &path)
{
    if (path.isEmpty() || path.startsWith('/'))
        return false;
    for (const QByteArray &part : path.split('/'))
        if (part.isEmpty() || part == "." || part == "..")
            return false;
    return true;
}

QString archiveFault(ZipReader::Error error, int systemError)
{
    switch (error) {
    case ZipReader::Error::Io:
    case ZipReader::Error::Sink:
        return systemWords(systemError);
    case ZipReader::Error::NotZip:
        return QStringLiteral("es ist kein ZIP-Archiv oder unvollständig");
    case ZipReader::Error::Truncated:
        return QStringLiteral("es ist unvollständig");
    case ZipReader::Error::Unsupported:
        return QStringLiteral("es enthält Einträge in einem nicht unterstützten Format");
    default:
        return QStringLiteral("sein Inhaltsverzeichnis ist beschädigt");
    }
}

QString countOf(int n, const QLocale &locale)
{
    return NumberFormat::Grouped(n, locale) + (n == 1 ? QStringLiteral(" Datei") : QStringLiteral(" Dateien"));
}

} // namespace

RestoreRun::RestoreRun(RunDialogs &dialogs, RunView &view)
    : m_dialogs(dialogs), m_view(view), m_opener(std::make_unique<BeneathOpener>())
{}

RestoreRun::~RestoreRun()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString RestoreRun::Plan(const QString &archive, const QString &startFolder, bool inspectFiles)
{
    m_items.clear();
    m_hasPaths = false;
    m_reader = std::make_unique<ZipReader>();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = ::open(NativePath::Encode(archive).constData(), O_RDONLY | O_CLOEXEC);
    const ZipReader::Error error = m_fd < 0 ? ZipReader::Error::Io : m_reader->Open(m_fd);
    if (error != ZipReader::Error::None)
        return QStringLiteral("Das Backup-Archiv \"%1\" kann nicht verwendet werden: %2.")
            .arg(NativePath::Display(archive), archiveFault(error, m_fd < 0 ? errno : m_reader->SystemError()));
    placeEntries(startFolder);
    if (m_items.empty())
        return QStringLiteral("Das Backup-Archiv \"%1\" enthält keine Dateien.").arg(NativePath::Display(archive));
    if (!m_hasPaths && startFolder.isEmpty())
        return QStringLiteral("Das Backup-Archiv \"%1\" verzeichnet nicht, wo seine Dateien lagen. Bitte den "
                              "Startordner des Laufs angeben, aus dem es stammt.")
            .arg(NativePath::Display(archive));
    for (std::size_t i = 0; inspectFiles && i < m_items.size(); ++i) {
        if (m_items[i].state == State::Restore)
            inspect(m_items[i], nullptr);
        progress(i);
    }
    return QString();
}

void RestoreRun::placeEntries(const QString &startFolder)
{
    const QByteArray start = startFolder.isEmpty() ? QByteArray() : NativePath::AbsoluteBytes(startFolder);
    // The backup names a file from the start folder's own name on, or from
    // inside it when the folder was given with a closing separator.
    const bool namesInside = startFolder.endsWith(QLatin1Char('/'));
    const QByteArray startName = start.mid(start.lastIndexOf('/') + 1);
    const QByteArray startParent = start.left(std::max<qsizetype>(start.lastIndexOf('/'), 0));
    const std::vector<ZipReader::Entry> &entries = m_reader->Entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ZipReader::Entry &e = entries[i];
        if (e.isFolder())
            continue;
        Item item;
        item.entry = i;
        item.state = State::Restore;
        const QString name = QString::fromStdString(e.name);
        if (const std::optional<BackupRecord> record = BackupRecord::Decode(e.extra)) {
            m_hasPaths = true;
            item.native = record->path;
            const int cut = record->startLength;
            const QByteArray below = item.native.mid(cut == 1 ? 1 : cut + 1);
            // The path must be what the name says, with nothing that climbs
            // out of the folder it names.
            if (!item.native.startsWith('/') ||
                (cut > 1 && (cut >= item.native.size() || item.native.at(cut) != '/')) || !plainRelative(below) ||
                !NativePath::Display(NativePath::Decode(item.native)).endsWith(QLatin1Char('/') + name))
                item.state = State::Refused;
            item.start = item.native.left(cut);
            if (!start.isEmpty()) {
                if (start == "/" || item.native.startsWith(start + '/'))
                    item.start = start;
                else if (item.state == State::Restore)
                    item.state = State::Outside;
            }
        } else {
            const QByteArray relative = NativePath::Encode(name);
            item.start = start;
            if (start.isEmpty()) {
                item.native = relative;
                item.state = State::Refused;
            } else if (namesInside || start == "/") {
                item.native = (start == "/" ? QByteArray() : start) + '/' + relative;
                if (!plainRelative(relative))
                    item.state = State::Refused;
            } else {
                item.native = startParent + '/' + relative;
                if (!plainRelative(relative) || !relative.startsWith(startName + '/'))
                    item.state = State::Refused;
            }
        }
        item.path = NativePath::Decode(item.native);
        m_items.push_back(std::move(item));
    }
    // The run's date: its entries were stamped as they were written.
    m_runDate = QDateTime();
    for (const Item &item : m_items) {
        std::tm t = entries[item.entry].modified;
        const QDateTime when(QDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday), QTime(t.tm_hour, t.tm_min, t.tm_sec));
        if (when.isValid() && (!m_runDate.isValid() || when < m_runDate))
            m_runDate = when;
    }
}

int RestoreRun::openTarget(Item &item, struct stat &st)
{
    if (item.start != m_openerStart) {
        m_opener = std::make_unique<BeneathOpener>();
        m_opener->SetStart(item.start.toStdString());
        m_openerStart = item.start;
    }
    const qsizetype slash = item.native.lastIndexOf('/');
    const QByteArray folder = item.native.left(std::max<qsizetype>(slash, 1));
    int err = m_opener->Enter(folder.toStdString());
    if (err != 0) {
        item.state = err == ENOENT                    ? State::Missing
                     : err == ELOOP || err == ENOTDIR ? State::Blocked
                                                      : State::Unreadable;
        item.detail = systemWords(err);
        return -err;
    }
    const int fd = m_opener->OpenFile(item.native.constData() + slash + 1, false, st);
    if (fd < 0) {
        err = -fd;
        item.state = err == ENOENT                    ? State::Missing
                     : err == ELOOP                   ? State::Link
                     : err == EISDIR || err == EINVAL ? State::NotRegular
                                                      : State::Unreadable;
        item.detail = systemWords(err);
    }
    return fd;
}

void RestoreRun::inspect(Item &item, QByteArray *bytes, struct stat *status)
{
    struct stat ownStatus = {};
    struct stat &st = status ? *status : ownStatus;
    const int fd = openTarget(item, st);
    if (fd < 0)
        return;
    QByteArray own;
    QByteArray &content = bytes ? *bytes : own;
    ssize_t got = -ENOMEM;
    try {
        content.resize(static_cast<qsizetype>(st.st_size));
        got = PosixFile::ReadFull(fd, content.data(), static_cast<std::size_t>(content.size()));
    } catch (const std::bad_alloc &) {
    }
    ::close(fd);
    if (got < 0) {
        item.state = State::Unreadable;
        item.detail = systemWords(static_cast<int>(-got));
        return;
    }
    content.resize(got);
    item.crc = ~Crc32Update(0xFFFFFFFF, content.constData(), static_cast<std::size_t>(content.size()));
    const ZipReader::Entry &e = m_reader->Entries()[item.entry];
    const std::optional<BackupRecord> record = BackupRecord::Decode(e.extra);
    const auto size = static_cast<std::uint64_t>(content.size());
    if (record && record->written && size == record->writtenSize && item.crc == record->writtenCrc)
        item.state = State::Restore;
    else if (size == e.size && item.crc == e.crc)
        item.state = State::Original;
    else
        item.state = State::Changed;
}

int RestoreRun::Count(State state) const
{
    return static_cast<int>(
        std::count_if(m_items.begin(), m_items.end(), [state](const Item &i) { return i.state == state; }));
}

QStringList RestoreRun::Folders() const
{
    QStringList folders;
    for (const Item &item : m_items)
        if (item.state == State::Restore || item.state == State::Changed) {
            const QString folder = NativePath::Display(NativePath::Decode(item.start));
            if (!folders.contains(folder))
                folders << folder;
        }
    return folders;
}

void RestoreRun::Execute(const QString &backupFolder, bool force)
{
    m_saved.clear();
    m_stop = false;
    const auto wanted = [force](State s) { return s == State::Restore || (force && s == State::Changed); };
    const auto first = std::find_if(m_items.begin(), m_items.end(), [&](const Item &i) { return wanted(i.state); });
    if (first == m_items.end())
        return;
    RunBackup saved(m_dialogs);
    if (!saved.Prepare(backupFolder, NativePath::Decode(first->start)))
        return;
    // A signal stops between files, as the stop button does.
    const StopSignals stopSignals;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        Item &item = m_items[i];
        if (!wanted(item.state))
            continue;
        if (m_stop) {
            item.state = State::Stopped;
            continue;
        }
        restoreOne(item, saved.Archive(), force);
        progress(i);
    }
    saved.Complete();
    m_saved = saved.ArchiveOnDisk();
    m_stopSignal = StopSignals::Received();
}

void RestoreRun::restoreOne(Item &item, BackupArchive *saved, bool force)
{
    // The file is looked at again: it may have changed since the plan.
    QByteArray current;
    struct stat st = {};
    item.detail.clear();
    inspect(item, &current, &st);
    if (item.state != State::Restore && !(force && item.state == State::Changed))
        return;
    // The original is taken whole and checked before anything is written.
    const ZipReader::Entry &e = m_reader->Entries()[item.entry];
    QByteArray original;
    ZipReader::Error error = ZipReader::Error::None;
    try {
        original.reserve(static_cast<qsizetype>(std::min<std::uint64_t>(e.size, 1u << 30)));
        error = m_reader->Extract(e, [&original](const std::uint8_t *data, std::size_t size) {
            original.append(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
            return 0;
        });
    } catch (const std::bad_alloc &) {
        error = ZipReader::Error::Sink;
    }
    if (error != ZipReader::Error::None) {
        item.state = State::Damaged;
        return;
    }
    // The current content is compressed and synced on the archive's thread
    // while the original goes to its temporary file; the file changes only
    // once the current content is on disk.
    const BackupArchive::Ticket ticket = saved ? saved->Begin(item.path, current, st.st_mode) : 0;
    std::function<int()> savedFirst;
    if (saved)
        savedFirst = [saved, ticket] { return saved->Wait(ticket) ? 0 : ECANCELED; };
    const qsizetype slash = item.native.lastIndexOf('/');
    const PosixFile::Producer produce = [&original](const PosixFile::Put &put) {
        return put(original.constData(), static_cast<std::size_t>(original.size()));
    };
    const SafeFileWriter::Result written =
        SafeFileWriter::ReplaceAt(m_opener->FolderFd(), item.native.mid(slash + 1), current, produce, savedFirst);
    if (written.status == SafeFileWriter::Status::Written) {
        item.state = State::Restored;
        if (saved)
            saved->Written(ticket, static_cast<std::uint64_t>(original.size()), e.crc);
        return;
    }
    if (saved && !saved->Wait(ticket)) {
        item.state = State::Unsaved;
        item.detail = saved->LastError();
        return;
    }
    switch (written.status) {
    case SafeFileWriter::Status::Gone:
        item.state = State::Missing;
        return;
    case SafeFileWriter::Status::ChangedOnDisk:
        item.state = State::Changed;
        return;
    case SafeFileWriter::Status::Written:
    case SafeFileWriter::Status::Failed:
    case SafeFileWriter::Status::Damaged:
    case SafeFileWriter::Status::Abandoned:
        item.state = State::WriteFailed;
        item.detail = written.error;
        return;
    }
}

void RestoreRun::progress(std::size_t done)
{
    m_view.DrawProgress({static_cast<int>(done + 1), 1, static_cast<int>(m_items.size()),
                         QStringLiteral("Bitte warten, der Vorgang läuft: "), true});
    m_view.ProcessEvents();
    if (StopSignals::Received() != 0)
        m_stop = true;
}

QString RestoreRun::Reason(const Item &item)
{
    const auto with = [&item](const QString &text) {
        return item.detail.isEmpty() ? text : text + QStringLiteral(" (") + item.detail + QLatin1Char(')');
    };
    switch (item.state) {
    case State::Restore:
    case State::Restored:
        return QString();
    case State::Original:
        return QStringLiteral("hat schon den Inhalt aus dem Backup");
    case State::Changed:
        return QStringLiteral("wurde seit dem Lauf geändert");
    case State::Missing:
        return QStringLiteral("fehlt");
    case State::Link:
        return QStringLiteral("ist jetzt eine Verknüpfung");
    case State::NotRegular:
        return QStringLiteral("ist keine gewöhnliche Datei mehr");
    case State::Blocked:
        return QStringLiteral("ein Ordner auf dem Weg ist jetzt eine Verknüpfung");
    case State::Refused:
        return QStringLiteral("das Archiv nennt einen unzulässigen Pfad");
    case State::Outside:
        return QStringLiteral("liegt außerhalb des Startordners");
    case State::Unreadable:
        return with(QStringLiteral("kann nicht gelesen werden"));
    case State::Damaged:
        return QStringLiteral("der Eintrag im Backup-Archiv ist beschädigt");
    case State::Unsaved:
        return with(QStringLiteral("der jetzige Inhalt konnte nicht gesichert werden"));
    case State::WriteFailed:
        return with(QStringLiteral("konnte nicht geschrieben werden"));
    case State::Stopped:
        return QStringLiteral("nicht erreicht: abgebrochen");
    }
    return QString();
}

QString RestoreRun::ConfirmationText() const
{
    const QLocale locale = m_dialogs.Locale();
    QString text = QStringLiteral("%1 aus dem Backup vom %2 wiederherstellen?")
                       .arg(countOf(Count(State::Restore), locale), LocaleDateTime::Format(m_runDate, locale));
    text += CrLf + CrLf + QStringLiteral("Zielordner:") + CrLf + Folders().join(CrLf);
    if (const int changed = Count(State::Changed))
        text += CrLf + CrLf +
                QStringLiteral("%1 seit dem Lauf geändert (danach wird gefragt).").arg(countOf(changed, locale));
    const int kept =
        static_cast<int>(m_items.size()) - Count(State::Restore) - Count(State::Changed) - Count(State::Original);
    if (kept > 0)
        text += CrLf + QStringLiteral("%1 nicht wiederherstellbar.").arg(countOf(kept, locale));
    return text + CrLf + CrLf +
           QStringLiteral("Der jetzige Inhalt der Dateien wird vorher in einem neuen Backup-Archiv gesichert.");
}

QString RestoreRun::ChangedQuestion() const
{
    return QStringLiteral("%1 seit dem Lauf geändert. Sollen sie trotzdem wiederhergestellt werden?")
               .arg(countOf(Count(State::Changed), m_dialogs.Locale())) +
           CrLf + QStringLiteral("Ihr jetziger Inhalt kommt ebenfalls in das neue Backup-Archiv.");
}

QString RestoreRun::Summary(double seconds) const
{
    const QLocale locale = m_dialogs.Locale();
    const int done = Count(State::Restored) + Count(State::Original);
    return QStringLiteral("Wiederherstellen abgeschlossen! %1 von %2 wiederhergestellt.   Bearbeitungszeit: %3 Sek.")
        .arg(NumberFormat::Grouped(done, locale), countOf(static_cast<int>(m_items.size()), locale),
             NumberFormat::Seconds(seconds, locale));
}

QString RestoreRun::NotRestoredText(std::size_t shown) const
{
    std::vector<UnreadableFiles::Entry> entries;
    for (const Item &item : m_items)
        if (item.state != State::Restored && item.state != State::Original)
            entries.push_back({NativePath::Display(item.path), Reason(item)});
    return UnreadableFiles::Message(QStringLiteral("Folgende Dateien wurden nicht wiederhergestellt:"), entries,
                                    m_dialogs.Locale(), shown);
}

RestoreRun::Outcome RestoreRun::Run(const QString &archive, const QString &startFolder, const QString &backupFolder)
{
    const QString title = m_dialogs.ApplicationTitle();
    m_view.SetBusyCursor(true);
    const QString fault = Plan(archive, startFolder);
    m_view.SetBusyCursor(false);
    if (!fault.isEmpty()) {
        m_dialogs.MessageBox(fault, RunDialogs::Buttons::Ok, RunDialogs::Icon::Exclamation, title);
        return Outcome::Refused;
    }
    if (Count(State::Restore) + Count(State::Changed) == 0) {
        QString text = QStringLiteral("Keine Datei aus diesem Backup muss wiederhergestellt werden.");
        if (const QString list = NotRestoredText(20); !list.isEmpty())
            text += CrLf + CrLf + list;
        m_dialogs.MessageBox(text, RunDialogs::Buttons::Ok, RunDialogs::Icon::Information, title);
        return Outcome::Refused;
    }
    if (m_dialogs.MessageBox(ConfirmationText(), RunDialogs::Buttons::YesNo, RunDialogs::Icon::Question, title) !=
        RunDialogs::Answer::Yes)
        return Outcome::Declined;
    const bool force =
        Count(State::Changed) > 0 && m_dialogs.MessageBox(ChangedQuestion(), RunDialogs::Buttons::YesNo,
                                                          RunDialogs::Icon::Question, title) == RunDialogs::Answer::Yes;
    QElapsedTimer timer;
    timer.start();
    m_view.SetInputsEnabled(false);
    m_view.SetStopEnabled(true);
    Execute(backupFolder, force);
    m_view.SetStopEnabled(false);
    m_view.SetInputsEnabled(true);
    m_view.DrawProgress({1, 1, 1, QStringLiteral("Wiederherstellen abgeschlossen: "), true});
    m_view.SetInfo(Summary(static_cast<double>(timer.elapsed()) / 1000.0));
    if (const QString list = NotRestoredText(20); !list.isEmpty())
        m_dialogs.MessageBox(list, RunDialogs::Buttons::Ok, RunDialogs::Icon::Exclamation, title);
    return Outcome::Finished;
}
