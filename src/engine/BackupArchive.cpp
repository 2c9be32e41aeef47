// The backup of one replace pass, written as one ZIP archive at the end.
#include "BackupArchive.h"

#include "FileNames.h"
#include "LocaleDateTime.h"
#include "NativePath.h"
#include "PosixFile.h"

#include <cstring>

namespace {

QString reasonOf(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// The whole archive or nothing: an archive cut short by a full disk would
// look like a backup and hold less than one.
QString writeArchive(const QString &path, const std::vector<std::uint8_t> &bytes)
{
    PosixFile::ReplaceOptions options;
    options.newFileMode = 0644;
    const PosixFile::ReplaceResult result =
        PosixFile::Replace(NativePath::Encode(path).constData(), bytes.data(), bytes.size(), options);
    return result ? QString() : reasonOf(result.error);
}

} // namespace

BackupArchive::BackupArchive(const QString &folder, const QString &startFolder, const QDateTime &now,
                             const QLocale &locale)
    : m_path(FileNames::AddBackslash(folder) + QStringLiteral("backup-") + LocaleDateTime::ForFileName(now, locale) +
             QStringLiteral(".zip")),
      m_nameBase(FileNames::FolderOf(startFolder))
{}

QString BackupArchive::EntryName(const QString &path) const
{
    if (!m_nameBase.isEmpty() && path.startsWith(m_nameBase))
        return path.mid(m_nameBase.size());
    // A file from outside the start folder (a row of an earlier search):
    // its whole path, without the leading separator.
    QString name = path;
    while (name.startsWith(FileNames::Separator))
        name.remove(0, 1);
    return name;
}

bool BackupArchive::AddFile(const QString &path, const QByteArray &bytes)
{
    auto stream = std::make_shared<cMemoryStream>();
    stream->SetContents(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    // A name that is not UTF-8 is stored as it shows, with U+FFFD for what
    // cannot be decoded (and so flagged as UTF-8).
    if (!m_zip.AddFile(stream, NativePath::Display(EntryName(path)).toStdString(), {}, {}, 0, -1))
        return false;
    ++m_added;
    return true;
}

QString BackupArchive::Write(QString &writtenTo, const QString &fallbackFolder)
{
    writtenTo.clear();
    if (!m_zip.CompressArchive(m_target, {}, 7, -2))
        return QString::fromStdString(m_zip.LastError());
    const std::vector<std::uint8_t> bytes = m_target->Contents();
    if (bytes.empty())
        return QStringLiteral("Das Archiv ist leer");
    QString reason = writeArchive(m_path, bytes);
    if (reason.isEmpty()) {
        writtenTo = m_path;
        return QString();
    }
    const QString fallback = FileNames::AddBackslash(fallbackFolder) + FileNames::FileNameOf(m_path);
    if (writeArchive(fallback, bytes).isEmpty())
        writtenTo = fallback;
    return reason;
}

QString BackupArchive::CheckFolder(const QString &folder)
{
    const int err = PosixFile::CheckFolder(NativePath::Encode(FileNames::AddBackslash(folder)).constData());
    return err == 0 ? QString() : reasonOf(err);
}
