// The backup of one replace pass: each original written to a ZIP archive on disk before its file changes.
#include "BackupArchive.h"

#include "BackupRecord.h"
#include "FileNames.h"
#include "LocaleDateTime.h"
#include "NativePath.h"
#include "PosixFile.h"
#include "ZipStreamWriter.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The level and name rule the backup has always used.
constexpr int kLevel = 7;
constexpr int kUseUtf8 = -2;

QString reasonOf(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

std::tm localNow()
{
    const std::time_t t = std::time(nullptr);
    std::tm out{};
    localtime_r(&t, &out);
    return out;
}

QString randomSuffix()
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString s;
    for (int i = 0; i < 6; ++i)
        s += QLatin1Char(digits[QRandomGenerator::global()->bounded(int(sizeof digits) - 1)]);
    return s;
}

} // namespace

BackupArchive::BackupArchive(const QString &folder, const QString &startFolder, const QDateTime &now,
                             const QLocale &locale)
    : m_folder(FileNames::AddBackslash(folder)), m_nameBase(FileNames::FolderOf(startFolder)),
      m_start(startFolder.isEmpty() ? QByteArray() : NativePath::AbsoluteBytes(startFolder)),
      m_stem(QStringLiteral("backup-") + LocaleDateTime::ForFileName(now, locale))
{
    m_path = m_folder + m_stem + QStringLiteral(".zip");
}

BackupArchive::~BackupArchive()
{
    if (m_writer)
        Complete();
    if (m_dir >= 0)
        ::close(m_dir);
}

QString BackupArchive::Open()
{
    const QByteArray folder = NativePath::Encode(m_folder);
    if (const int err = PosixFile::CheckFolder(folder.constData()))
        return reasonOf(err);
    // Every later step works relative to the folder as it is now.
    m_dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return m_dir < 0 ? reasonOf(errno) : QString();
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

int BackupArchive::createPartial()
{
    if (m_dir < 0)
        return EBADF;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = m_stem + QLatin1Char('-') + randomSuffix() + QStringLiteral(".zip.part");
        const QByteArray encoded = NativePath::Encode(name);
        m_fd = ::openat(m_dir, encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (m_fd < 0 && errno == EEXIST)
            continue;
        if (m_fd < 0)
            return errno;
        m_partialName = encoded;
        m_partialPath = m_folder + name;
        m_writer = std::make_unique<ZipStreamWriter>(m_fd, kLevel, kUseUtf8, true);
        // The name must survive a crash as well as the entries do.
        return ::fsync(m_dir) == 0 ? 0 : errno;
    }
    return EEXIST;
}

bool BackupArchive::partialIsOurs() const
{
    struct stat mine, named;
    return ::fstat(m_fd, &mine) == 0 && ::fstatat(m_dir, m_partialName.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           mine.st_dev == named.st_dev && mine.st_ino == named.st_ino;
}

bool BackupArchive::AddFile(const QString &path, const QByteArray &bytes, std::uint32_t mode)
{
    m_lastError.clear();
    m_lastRecord.reset();
    auto record = std::make_unique<BackupRecord>();
    record->path = NativePath::AbsoluteBytes(path);
    record->mode = mode;
    // Below the start folder the restore walks as the run did; a file from
    // elsewhere (a row of an earlier search) from its own folder.
    const bool below = m_start.size() > 1 && record->path.startsWith(m_start + '/');
    record->startLength =
        static_cast<std::uint16_t>(below ? m_start.size() : std::max<qsizetype>(record->path.lastIndexOf('/'), 1));
    const std::string extra = record->Encode();
    int err = m_writer ? 0 : createPartial();
    if (err == 0) {
        ZipStreamWriter::Entry entry;
        // A name that is not UTF-8 is stored as it shows, with U+FFFD for what
        // cannot be decoded (and so flagged as UTF-8).
        entry.name = NativePath::Display(EntryName(path)).toStdString();
        entry.modified = localNow();
        entry.extra.assign(extra.begin(), extra.end());
        err = m_writer->Add(entry, reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                            static_cast<std::size_t>(bytes.size()));
    }
    // An entry in a file that someone removed or replaced protects nothing.
    if (err == 0 && !partialIsOurs())
        err = ENOENT;
    if (err != 0) {
        m_lastError = reasonOf(err);
        return false;
    }
    ++m_added;
    m_lastRecord = std::move(record);
    return true;
}

void BackupArchive::Written(std::uint64_t size, std::uint32_t crc)
{
    if (!m_lastRecord || !m_writer)
        return;
    m_lastRecord->written = true;
    m_lastRecord->writtenSize = size;
    m_lastRecord->writtenCrc = crc;
    const std::string extra = m_lastRecord->Encode();
    m_writer->SetCentralExtra(m_writer->EntryCount() - 1, ByteArray(extra.begin(), extra.end()));
    m_lastRecord.reset();
}

int BackupArchive::publish()
{
    bool linkInstead = false;
    for (int n = 1; n < 10000; ++n) {
        const QString name = m_stem + (n == 1 ? QString() : QStringLiteral("-%1").arg(n)) + QStringLiteral(".zip");
        const QByteArray target = NativePath::Encode(name);
        if (!linkInstead) {
            if (::renameat2(m_dir, m_partialName.constData(), m_dir, target.constData(), RENAME_NOREPLACE) == 0) {
                m_path = m_folder + name;
                return 0;
            }
            if (errno == EEXIST)
                continue;
            if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
                return errno;
            // The file system cannot rename without replacing; a new link
            // never replaces either.
            linkInstead = true;
        }
        if (::linkat(m_dir, m_partialName.constData(), m_dir, target.constData(), 0) == 0) {
            ::unlinkat(m_dir, m_partialName.constData(), 0);
            m_path = m_folder + name;
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

QString BackupArchive::Complete()
{
    if (!m_writer)
        return QString();
    if (m_added == 0) {
        // Nothing to keep: a half entry that failed is all it could hold.
        if (partialIsOurs())
            ::unlinkat(m_dir, m_partialName.constData(), 0);
        closePartial();
        return QString();
    }
    int err = m_writer->Finish();
    if (err == 0 && ::fdatasync(m_fd) != 0)
        err = errno;
    if (err == 0 && !partialIsOurs())
        err = ENOENT;
    if (err == 0)
        err = publish();
    if (err == 0) {
        // The new name must survive a crash; the archive itself is on disk.
        ::fsync(m_dir);
    } else {
        m_partialKept = partialIsOurs();
    }
    closePartial();
    return err == 0 ? QString() : reasonOf(err);
}

void BackupArchive::closePartial()
{
    m_writer.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
