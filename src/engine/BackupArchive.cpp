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
#include <new>
#include <sys/stat.h>
#include <system_error>
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
    stopThread();
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

// An entry to write, or (update) a new central record of an entry written.
struct BackupArchive::Job
{
    Ticket ticket = 0;
    bool update = false;
    ZipStreamWriter::Entry entry;                           // of an update: only the extra field
    QByteArray bytes;                                       // shared with the caller, never changed
    std::shared_ptr<const ZipStreamWriter::Deflated> ready; // bytes deflated before, if they were
};

namespace {

// Entries under way at once: the one being written and the next one.
constexpr int kUnderWay = 2;
// Records kept for Written.
constexpr std::size_t kRecordsKept = 2;

} // namespace

std::shared_ptr<const ZipStreamWriter::Deflated> BackupArchive::Deflate(const QByteArray &bytes)
{
    try {
        auto ready = std::make_shared<ZipStreamWriter::Deflated>();
        if (ZipStreamWriter::Deflate(kLevel, reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                     static_cast<std::size_t>(bytes.size()), *ready) == 0)
            return ready;
    } catch (const std::bad_alloc &) {
    }
    return nullptr;
}

BackupArchive::Ticket BackupArchive::Begin(const QString &path, QByteArray bytes, std::uint32_t mode,
                                           std::shared_ptr<const ZipStreamWriter::Deflated> ready)
{
    auto record = std::make_unique<BackupRecord>();
    record->path = NativePath::AbsoluteBytes(path);
    record->mode = mode;
    // Below the start folder the restore walks as the run did; a file from
    // elsewhere (a row of an earlier search) from its own folder.
    const bool below = m_start.size() > 1 && record->path.startsWith(m_start + '/');
    record->startLength =
        static_cast<std::uint16_t>(below ? m_start.size() : std::max<qsizetype>(record->path.lastIndexOf('/'), 1));
    const std::string extra = record->Encode();
    auto job = std::make_unique<Job>();
    // A name that is not UTF-8 is stored as it shows, with U+FFFD for what
    // cannot be decoded (and so flagged as UTF-8).
    job->entry.name = NativePath::Display(EntryName(path)).toStdString();
    job->entry.modified = localNow();
    job->entry.extra.assign(extra.begin(), extra.end());
    job->bytes = std::move(bytes);
    job->ready = std::move(ready);

    // Without a writer no thread runs: the partial file is made here.
    const int err = m_writer ? 0 : createPartial();
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        job->ticket = m_outcomes.size();
        m_outcomes.push_back({err == 0 ? Pending : err});
    }
    m_records.emplace_back(job->ticket, std::move(record));
    if (m_records.size() > kRecordsKept)
        m_records.pop_front();
    const Ticket ticket = job->ticket;
    if (err == 0)
        enqueue(std::move(job));
    return ticket;
}

bool BackupArchive::Wait(Ticket ticket)
{
    m_lastError.clear();
    int state = EINVAL;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (ticket < m_outcomes.size()) {
            m_changed.wait(lock, [&] { return m_outcomes[ticket].state != Pending; });
            state = m_outcomes[ticket].state;
        }
    }
    if (state != 0)
        m_lastError = reasonOf(state);
    return state == 0;
}

bool BackupArchive::AddFile(const QString &path, const QByteArray &bytes, std::uint32_t mode)
{
    return Wait(Begin(path, bytes, mode));
}

void BackupArchive::Written(Ticket ticket, std::uint64_t size, std::uint32_t crc)
{
    const auto at = std::find_if(m_records.begin(), m_records.end(),
                                 [ticket](const auto &kept) { return kept.first == ticket && kept.second; });
    if (at == m_records.end() || !m_writer)
        return;
    BackupRecord &record = *at->second;
    record.written = true;
    record.writtenSize = size;
    record.writtenCrc = crc;
    const std::string extra = record.Encode();
    at->second.reset();
    auto job = std::make_unique<Job>();
    job->ticket = ticket;
    job->update = true;
    job->entry.extra.assign(extra.begin(), extra.end());
    enqueue(std::move(job));
}

void BackupArchive::enqueue(std::unique_ptr<Job> job)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_inline && !m_thread.joinable()) {
        m_closing = false;
        try {
            m_thread = std::thread(&BackupArchive::work, this);
        } catch (const std::system_error &) {
            m_inline = true;
        }
    }
    if (m_inline) {
        const std::int64_t index = m_outcomes[job->ticket].index;
        lock.unlock();
        const Outcome outcome = perform(*job, index);
        lock.lock();
        if (!job->update)
            m_outcomes[job->ticket] = outcome;
        return;
    }
    // The originals wait in memory only as long as the one before them is
    // being written.
    if (!job->update) {
        m_changed.wait(lock, [this] { return m_underWay < kUnderWay; });
        ++m_underWay;
    }
    m_jobs.push_back(std::move(job));
    m_changed.notify_all();
}

void BackupArchive::work()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_jobs.empty() || m_closing; });
        if (m_jobs.empty())
            return;
        std::unique_ptr<Job> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        // An update follows its entry: that entry's outcome is known.
        const std::int64_t index = m_outcomes[job->ticket].index;
        lock.unlock();
        const Outcome outcome = perform(*job, index);
        const bool update = job->update;
        const Ticket ticket = job->ticket;
        job.reset(); // the original's bytes go before the next is taken
        lock.lock();
        if (!update) {
            m_outcomes[ticket] = outcome;
            --m_underWay;
        }
        m_changed.notify_all();
    }
}

BackupArchive::Outcome BackupArchive::perform(Job &job, std::int64_t entryIndex)
{
    int err;
    try {
        if (job.update) {
            // Without memory for it the central record keeps what the local one has.
            if (entryIndex >= 0)
                m_writer->SetCentralExtra(static_cast<std::uint64_t>(entryIndex), std::move(job.entry.extra));
            return {0, entryIndex};
        }
        const auto *data = reinterpret_cast<const std::uint8_t *>(job.bytes.constData());
        const auto size = static_cast<std::size_t>(job.bytes.size());
        err = job.ready ? m_writer->Add(job.entry, data, size, *job.ready) : m_writer->Add(job.entry, data, size);
    } catch (const std::bad_alloc &) {
        err = ENOMEM;
    }
    // An entry in a file that someone removed or replaced protects nothing.
    if (err == 0 && !partialIsOurs())
        err = ENOENT;
    if (err != 0)
        return {err};
    ++m_added;
    return {0, static_cast<std::int64_t>(m_writer->EntryCount()) - 1};
}

void BackupArchive::stopThread()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
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
    // Every entry handed over is written (or failed) before the directory.
    stopThread();
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
