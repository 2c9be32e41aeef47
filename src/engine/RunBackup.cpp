// The backup of one replace pass, with its messages.
#include "RunBackup.h"

#include "BackupArchive.h"
#include "NativePath.h"

namespace {

const QString CrLf = QStringLiteral("\r\n");

} // namespace

RunBackup::RunBackup(RunDialogs &dialogs) : m_dialogs(dialogs) {}

RunBackup::~RunBackup() = default;

void RunBackup::Release()
{
    m_archive.reset();
}

bool RunBackup::Prepare(const QString &folder, const QString &startFolder)
{
    // No file may change before it is certain that the archive can be
    // written where the user expects it.
    auto archive = std::make_unique<BackupArchive>(folder, startFolder, m_dialogs.Now(), m_dialogs.Locale());
    const QString reason = archive->Open();
    if (!reason.isEmpty()) {
        m_dialogs.MessageBox(
            QStringLiteral("Im Backupordner \"%1\" kann keine Datei angelegt werden (%2).").arg(folder, reason) + CrLf +
                QStringLiteral("Es wurde keine Datei geändert. Bitte einen anderen Backupordner wählen."),
            RunDialogs::Buttons::Ok, RunDialogs::Icon::Exclamation, m_dialogs.ApplicationTitle());
        return false;
    }
    m_archive = std::move(archive);
    return true;
}

void RunBackup::Complete()
{
    std::unique_ptr<BackupArchive> backup = std::move(m_archive);
    m_onDisk.clear();
    if (!backup)
        return;
    const QString reason = backup->Complete();
    if (reason.isEmpty()) {
        if (backup->EntryCount() > 0)
            m_onDisk = backup->ArchivePath();
        return;
    }
    if (backup->PartialKept())
        m_onDisk = backup->PartialPath();
    if (reason.isEmpty())
        return;
    const QString partial = NativePath::Display(backup->PartialPath());
    if (!m_onDisk.isEmpty()) {
        // Every file that changed had its original written to the partial
        // file first; only the closing directory or the name is missing.
        m_dialogs.MessageBox(
            QStringLiteral("Die Sicherung konnte nicht abgeschlossen werden (%1).").arg(reason) + CrLf +
                QStringLiteral("Die Originale aller geänderten Dateien liegen in dieser Datei:") + CrLf + partial +
                CrLf + CrLf +
                QStringLiteral("So lassen sie sich in einem leeren Ordner auspacken (Paket libarchive-tools):") + CrLf +
                QStringLiteral("bsdtar --options hdrcharset=CP437 -xf \"%1\"").arg(partial),
            RunDialogs::Buttons::Ok, RunDialogs::Icon::Exclamation, m_dialogs.ApplicationTitle());
        return;
    }
    m_dialogs.MessageBox(QStringLiteral("Die Sicherung konnte nicht gespeichert werden:") + CrLf + partial +
                             QStringLiteral(" (") + reason + QStringLiteral(")") + CrLf + CrLf +
                             QStringLiteral("Es gibt KEINE Sicherung der geänderten Dateien!"),
                         RunDialogs::Buttons::Ok, RunDialogs::Icon::Critical, m_dialogs.ApplicationTitle());
}
