// The files with finds that a replace pass did not write.
#include "NotWrittenFiles.h"

#include "NumberFormat.h"

void NotWrittenFiles::FileDone(const FileResult &result, int)
{
    if (result.NotWritten() || (m_withMissing && result.outcome == FileResult::Outcome::Missing))
        m_files.push_back(result);
    if (result.outcome == FileResult::Outcome::Damaged)
        m_damaged.push_back(result);
}

QString NotWrittenFiles::Message(const std::vector<FileResult> &files, const QLocale &locale)
{
    if (files.empty())
        return QString();
    const QString crLf = QStringLiteral("\r\n");
    const int n = static_cast<int>(files.size());
    QString text =
        n == 1 ? QStringLiteral("1 Datei mit Funden wurde nicht geändert:")
               : QStringLiteral("%1 Dateien mit Funden wurden nicht geändert:").arg(NumberFormat::Grouped(n, locale));
    text += crLf;
    const int shown = std::min(n, 20);
    for (int i = 0; i < shown; ++i) {
        const FileResult &f = files[static_cast<std::size_t>(i)];
        text += crLf + f.displayPath + QStringLiteral(" – ") + f.Reason();
    }
    if (n > shown)
        text += crLf + QStringLiteral("… und %1 weitere.").arg(NumberFormat::Grouped(n - shown, locale));
    return text;
}

QString NotWrittenFiles::DamagedMessage(const std::vector<FileResult> &files, const QString &archive)
{
    if (files.empty())
        return QString();
    const QString crLf = QStringLiteral("\r\n");
    QString text =
        files.size() == 1
            ? QStringLiteral("Diese Datei ist beschädigt: Das Schreiben schlug fehl, und ihr ursprünglicher "
                             "Inhalt ließ sich nicht wiederherstellen:")
            : QStringLiteral("Diese Dateien sind beschädigt: Das Schreiben schlug fehl, und ihr ursprünglicher "
                             "Inhalt ließ sich nicht wiederherstellen:");
    text += crLf;
    for (const FileResult &f : files)
        text += crLf + f.displayPath + QStringLiteral(" (") + f.error + QStringLiteral(")");
    text += crLf + crLf;
    if (archive.isEmpty())
        return text + QStringLiteral("Es gibt KEINE Sicherung dieser Dateien!");
    return text + QStringLiteral("Der ursprüngliche Inhalt liegt in der Sicherung:") + crLf + archive;
}
