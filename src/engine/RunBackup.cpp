// The backup of one replace pass, with its messages.
#include "RunBackup.h"

#include "BackupArchive.h"

#include <QDir>

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
    const QString reason = BackupArchive::CheckFolder(folder);
    if (!reason.isEmpty()) {
        m_dialogs.MessageBox(
            QStringLiteral("Im Backupordner \"%1\" kann keine Datei angelegt werden (%2).").arg(folder, reason) + CrLf +
                QStringLiteral("Es wurde keine Datei geändert. Bitte einen anderen Backupordner wählen."),
            RunDialogs::Buttons::Ok, RunDialogs::Icon::Exclamation, m_dialogs.ApplicationTitle());
        return false;
    }
    m_archive = std::make_unique<BackupArchive>(folder, startFolder, m_dialogs.Now(), m_dialogs.Locale());
    return true;
}

void RunBackup::Complete(int filesWithFinds)
{
    std::unique_ptr<BackupArchive> backup = std::move(m_archive);
    m_onDisk.clear();
    if (!backup || filesWithFinds == 0 || backup->EntryCount() == 0)
        return;
    QString writtenTo;
    const QString home = QDir::homePath();
    const QString reason = backup->Write(writtenTo, home);
    m_onDisk = reason.isEmpty() ? backup->ArchivePath() : writtenTo;
    if (reason.isEmpty())
        return;
    if (!writtenTo.isEmpty()) {
        m_dialogs.MessageBox(QStringLiteral("Die Sicherung konnte nicht im Backupordner gespeichert werden:") + CrLf +
                                 backup->ArchivePath() + QStringLiteral(" (") + reason + QStringLiteral(")") + CrLf +
                                 CrLf + QStringLiteral("Sie wurde stattdessen hier gespeichert:") + CrLf + writtenTo,
                             RunDialogs::Buttons::Ok, RunDialogs::Icon::Exclamation, m_dialogs.ApplicationTitle());
        return;
    }
    m_dialogs.MessageBox(QStringLiteral("Die Sicherung konnte nicht gespeichert werden:") + CrLf +
                             backup->ArchivePath() + QStringLiteral(" (") + reason + QStringLiteral(")") + CrLf + CrLf +
                             QStringLiteral("Auch im Ausweichordner %1 war das nicht möglich.").arg(home) + CrLf +
                             QStringLiteral("Es gibt KEINE Sicherung der geänderten Dateien!"),
                         RunDialogs::Buttons::Ok, RunDialogs::Icon::Critical, m_dialogs.ApplicationTitle());
}
