// The backup of one replace pass, written as one ZIP archive at the end.
#include "BackupArchive.h"

#include "FileNames.h"
#include "LocaleDateTime.h"
#include "cFileResder.h"

#include "NativePath.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString reasonOf(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace

BackupArchive::BackupArchive(const QString &folder, const QString &startFolder, const QDateTime &now,
                             const QLocale &locale)
    : m_path(FileNames::AddBackslash(folder) + QStringLiteral("backup-") + LocaleDateTime::ForFileName(now, locale) +
             QStringLiteral(".zip")),
      m_nameBase(FileNames::FolderOf(startFolder))
{
}

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
    QString reason = WriteBinaryFile(m_path, bytes);
    if (reason.isEmpty()) {
        writtenTo = m_path;
        return QString();
    }
    const QString fallback = FileNames::AddBackslash(fallbackFolder) + FileNames::FileNameOf(m_path);
    if (WriteBinaryFile(fallback, bytes).isEmpty())
        writtenTo = fallback;
    return reason;
}

QString BackupArchive::CheckFolder(const QString &folder)
{
    const QByteArray probe = NativePath::Encode(FileNames::AddBackslash(folder)) + ".velmora-probe-XXXXXX";
    QByteArray name = probe;
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return reasonOf(errno);
    ::close(fd);
    ::unlink(name.constData());
    return QString();
}

QByteArray BackupArchive::ReadBinaryFile(const QString &path)
{
    QByteArray bytes;
    cFileResder::ReadAllBytes(path, bytes);
    return bytes;
}

std::shared_ptr<cMemoryStream> BackupArchive::ReadFileToStream(const QString &path)
{
    const QByteArray bytes = ReadBinaryFile(path);
    auto stream = std::make_shared<cMemoryStream>();
    stream->SetContents(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    return stream;
}

QString BackupArchive::WriteBinaryFile(const QString &sFile, const std::vector<std::uint8_t> &baData)
{
    const QByteArray target = NativePath::Encode(sFile);
    QByteArray temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return reasonOf(errno);
    std::size_t done = 0;
    int err = 0;
    while (done < baData.size() && err == 0) {
        const ssize_t put = ::write(fd, baData.data() + done, baData.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            err = put < 0 ? errno : ENOSPC;
        else
            done += static_cast<std::size_t>(put);
    }
    if (err == 0 && ::fchmod(fd, 0644) != 0)
        err = errno;
    if (err == 0 && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && ::rename(temp.constData(), target.constData()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(temp.constData());
        return reasonOf(err);
    }
    return QString();
}
