// Walks a list of files: read, count, replace, back up, write.
#include "FilePass.h"

#include "BackupArchive.h"
#include "Crc32.h"
#include "NativePath.h"
#include "PosixFile.h"
#include "ReplaceAhead.h"
#include "SafeFileWriter.h"
#include "SearchAhead.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <new>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<int> g_threads{0};
// Larger files are left to the replace itself: their turn is long enough
// to hide nothing, and they would be in memory twice.
constexpr qint64 kLargestAhead = 4 << 20;
// Reads in flight on a cold disk: more hide more of its latency until the
// threads cost more than they wait (16 did best against 8 and 32).
constexpr int kMinWorkers = 16;

// Gives a read-only file the owner's write permission for the time of its
// replace and sets the permissions back however that ends. Works relative to
// the folder the file was opened in, so a folder link swapped in meanwhile
// cannot turn it onto another file.
class ReadOnlyGuard
{
public:
    ReadOnlyGuard(int folderFd, const char *name, bool add, mode_t mode) : m_folderFd(folderFd), m_name(name)
    {
        if (add && ::fchmodat(folderFd, name, mode | S_IWUSR, 0) == 0)
            m_mode = static_cast<int>(mode);
    }
    ~ReadOnlyGuard()
    {
        // The replace may have put a new file in the old one's place: the
        // name, not the old file, gets its permissions back.
        if (m_mode >= 0)
            ::fchmodat(m_folderFd, m_name, static_cast<mode_t>(m_mode), 0);
    }
    ReadOnlyGuard(const ReadOnlyGuard &) = delete;
    ReadOnlyGuard &operator=(const ReadOnlyGuard &) = delete;

private:
    int m_folderFd;
    const char *m_name;
    int m_mode = -1;
};

struct FileCloser
{
    int fd;
    ~FileCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

QString systemWords(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

FilePass::FilePass(const PassSettings &settings, BackupArchive *backup)
    : m_settings(settings), m_pattern(settings.find, settings.compare), m_search(m_pattern, settings.wholeWords),
      m_breaks(LineBreak::In(settings.find) || LineBreak::In(settings.replacement)), m_backup(backup)
{}

FilePass::~FilePass() = default;

const QString &FilePass::useLineBreaksOf(int fd, const QByteArray *bytes)
{
    m_search.SetPattern(m_pattern);
    if (!m_breaks)
        return m_settings.replacement;
    // A file without a line break holds no find with one, and has no form a
    // new text could keep: the texts stay as given.
    const std::optional<LineBreak::Form> form =
        bytes ? LineBreak::FirstInBytes(bytes->constData(), bytes->size()) : LineBreak::FirstInFile(fd);
    if (!form)
        return m_settings.replacement;
    const auto i = static_cast<std::size_t>(*form);
    if (!m_formPatterns[i]) {
        m_formPatterns[i].emplace(LineBreak::InForm(m_settings.find, *form), m_settings.compare);
        m_formReplacements[i] = LineBreak::InForm(m_settings.replacement, *form);
    }
    m_search.SetPattern(*m_formPatterns[i]);
    return m_formReplacements[i];
}

void FilePass::SetThreads(int threads)
{
    g_threads = std::max(0, threads);
}

int FilePass::Threads()
{
    const int set = g_threads;
    // One per core counts on every core; a cold disk wants more reads in
    // flight than a small machine has cores, and a worker waiting for the
    // disk costs nothing.
    return set > 0 ? set : std::max(kMinWorkers, static_cast<int>(std::thread::hardware_concurrency()));
}

void FilePass::Add(std::vector<Item> items)
{
    // Only a search is free of side effects that would have to happen in
    // order: a replace writes, backs up and runs the hook between read and
    // write, so it stays on this thread.
    const int threads = Threads();
    if (!m_ahead && threads > 1 && m_settings.mode == RunMode::SearchOnly && !m_beforeWrite) {
        // One worker per core counts; the others only join once a worker has
        // waited for the disk, where reads in flight are what counts.
        const int cores = std::max(2, static_cast<int>(std::thread::hardware_concurrency()));
        m_ahead = std::make_unique<SearchAhead>(threads, g_threads > 0 ? threads : cores,
                                                [this](const std::atomic<bool> &stop) { return worker(stop); });
    }
    if (m_ahead)
        m_ahead->Add(std::move(items));
    else
        m_added.insert(m_added.end(), std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
}

std::function<std::optional<FileResult>(const FilePass::Item &)> FilePass::worker(const std::atomic<bool> &stop) const
{
    auto pass = std::make_shared<FilePass>(m_settings);
    pass->SetStartFolder(m_startFolder);
    pass->m_stopAll = &stop;
    return [pass](const Item &item) -> std::optional<FileResult> {
        FileResult result = pass->Process(item);
        if (pass->m_stopped)
            return std::nullopt;
        return result;
    };
}

void FilePass::Run(int &abortFlag)
{
    m_abortFlag = &abortFlag;
    if (m_ahead)
        runAhead(abortFlag);
    else
        runInOrder(m_added, abortFlag);
    m_ahead.reset();
    m_added.clear();
    m_abortFlag = nullptr;
}

void FilePass::Run(std::vector<Item> items, int &abortFlag)
{
    Add(std::move(items));
    Run(abortFlag);
}

void FilePass::report(const FileResult &result, int position)
{
    for (ResultSink *sink : m_sinks)
        sink->FileDone(result, position);
}

void FilePass::runInOrder(const std::vector<Item> &items, int &abortFlag)
{
    // A replace waits for its writes: another core reads and plans the next
    // files meanwhile, with a pass of its own.
    std::unique_ptr<FilePass> helper;
    std::optional<ReplaceAhead> ahead;
    if (m_settings.mode == RunMode::SearchAndReplace && items.size() > 1 && Threads() > 1) {
        helper = std::make_unique<FilePass>(m_settings);
        helper->SetStartFolder(m_startFolder);
        const bool deflate = m_backup != nullptr;
        ahead.emplace(items.size(),
                      [other = helper.get(), &items, deflate](std::size_t i, const std::atomic<bool> &stop) {
                          other->m_stopAll = &stop;
                          return other->prepare(items[i], deflate);
                      });
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Item &item = items[i];
        if (abortFlag <= 0) {
            if (item.skip)
                continue;
            if (ahead)
                m_prepared = ahead->Take(i);
            const FileResult result = Process(item);
            m_prepared.reset();
            if (!m_stopped) {
                report(result, item.position);
                continue;
            }
        }
        abortFlag = item.position == 0 ? 1 : item.position;
        break;
    }
}

void FilePass::runAhead(int &abortFlag)
{
    SearchAhead &ahead = *m_ahead;
    ahead.Close();
    const std::size_t total = ahead.Count();
    std::vector<FileResult> ready;
    std::size_t next = 0;
    while (next < total) {
        ahead.TakeReady(ready, abortFlag, m_whileWorking);
        std::size_t k = 0;
        // The stop flag is looked at before each item, as in a pass in order.
        for (; k < ready.size() && abortFlag <= 0; ++k)
            if (!ahead.At(next + k).skip)
                report(ready[k], ahead.At(next + k).position);
        next += k;
        if (k < ready.size() || (ready.empty() && abortFlag > 0)) {
            const int position = ahead.At(next).position;
            abortFlag = position == 0 ? 1 : position;
            break;
        }
    }
}

bool FilePass::stopRequested()
{
    if (m_whileWorking)
        m_whileWorking();
    m_stopped = (m_abortFlag && *m_abortFlag > 0) || (m_stopAll && *m_stopAll);
    return m_stopped;
}

void FilePass::SetStartFolder(const QString &folder)
{
    m_startFolder = folder;
    m_folders.SetStart(NativePath::Encode(folder).toStdString());
}

int FilePass::openItem(const Item &item, QByteArray &native, const char *&name, struct stat &st,
                       PosixFile::MoreStatus *more)
{
    native = NativePath::Encode(item.path);
    const qsizetype slash = native.lastIndexOf('/');
    const std::string_view folder =
        slash < 0 ? std::string_view(".") : std::string_view(native.constData(), std::max<qsizetype>(slash, 1));
    name = native.constData() + slash + 1;
    const int err = m_folders.Enter(folder);
    return err != 0 ? -err : m_folders.OpenFile(name, !item.plainFile, st, more);
}

std::shared_ptr<const PreparedFile> FilePass::prepare(const Item &item, bool deflate)
{
    if (item.skip)
        return nullptr;
    QByteArray native;
    const char *name = nullptr;
    struct stat st = {};
    const FileCloser closer{openItem(item, native, name, st, nullptr)};
    if (closer.fd < 0 || st.st_size == 0 || st.st_size > kLargestAhead)
        return nullptr;
    auto file = std::make_shared<PreparedFile>();
    const QString *replacement = nullptr;
    if (readAndPlan(closer.fd, st.st_size, file->raw, file->plan, replacement) != 0 || file->raw.isEmpty() ||
        file->plan.end != ChunkedSearch::End::Done)
        return nullptr;
    if (deflate && file->plan.changed && file->plan.originalComesBack && file->plan.newTextLossless)
        file->deflated = BackupArchive::Deflate(file->raw);
    return file;
}

int FilePass::readAndPlan(int fd, qint64 size, QByteArray &raw, ChunkedSearch::Replaced &plan,
                          const QString *&replacement)
{
    raw.resize(static_cast<qsizetype>(size));
    const ssize_t got = PosixFile::ReadFull(fd, raw.data(), static_cast<std::size_t>(raw.size()));
    if (got < 0)
        return static_cast<int>(-got);
    raw.resize(got); // the file shrank since its size was taken: the rest is its content
    replacement = &useLineBreaksOf(fd, &raw);
    plan = m_search.ReplaceBytes(raw, *replacement, {}, [this] { return stopRequested(); });
    return 0;
}

FileResult FilePass::Process(const Item &item)
{
    const QString &path = item.path;
    FileResult r;
    m_stopped = false;
    r.path = path;
    r.displayPath = NativePath::Display(path);
    QByteArray native;
    const char *name = nullptr;
    struct stat st = {};
    PosixFile::MoreStatus more;
    const int fd = openItem(item, native, name, st, &more);
    const int err = fd < 0 ? -fd : 0;
    const FileCloser closer{fd};
    // Another file in the place of the one collected counts as gone, like a
    // link in the way or what is no longer a regular file.
    const bool gone =
        err == 0 ? item.inode != 0 && (st.st_dev != item.device || st.st_ino != item.inode)
                 : err == ENOENT || err == ENOTDIR || err == ELOOP || err == EXDEV || err == EISDIR || err == EINVAL;
    if (gone) {
        r.outcome = FileResult::Outcome::Missing;
        return r;
    }
    if (err != 0) {
        r.outcome = FileResult::Outcome::Unreadable;
        r.error = systemWords(err);
        return r;
    }
    if (st.st_size == 0) {
        r.outcome = FileResult::Outcome::Empty;
        return r;
    }
    // Read-only means the user running the program may not write it, whatever
    // the owner's bits say (root may write a 0444 file of its own). A search
    // that takes read-only files in need not know; one that leaves them out
    // asks once per folder where it can, a replace always asks the kernel.
    const bool replace = m_settings.mode == RunMode::SearchAndReplace;
    bool readOnly = false;
    if (replace) {
        readOnly = ::faccessat(m_folders.FolderFd(), name, W_OK, AT_EACCESS) != 0;
    } else if (!m_settings.alsoReadOnly) {
        if (m_accessFolder != m_folders.FoldersOpened()) {
            m_access.SetFolder(m_folders.FolderFd());
            m_accessFolder = m_folders.FoldersOpened();
        }
        readOnly = !m_access.Writable(name, st, more);
    }
    if (readOnly && !m_settings.alsoReadOnly) {
        r.outcome = FileResult::Outcome::SkippedReadOnly;
        return r;
    }
    // Only a replace needs to write, and only the user's own file is theirs
    // to change the mode of: another's is written only where the user may.
    const ReadOnlyGuard guard(m_folders.FolderFd(), name, replace && readOnly && st.st_uid == ::geteuid(),
                              st.st_mode & 07777);

    try {
        if (replace)
            replaceFile(fd, st, name, r);
        else
            searchFile(fd, st.st_size, r);
    } catch (const std::bad_alloc &) {
        // Whatever was taken for this file is given back by now; the pass goes on.
        r.count = 0;
        r.outcome = FileResult::Outcome::TooLarge;
    }
    return r;
}

void FilePass::searchFile(int fd, qint64 size, FileResult &r)
{
    useLineBreaksOf(fd, nullptr);
    const ChunkedSearch::Counted counted = m_search.CountFile(
        fd, [this] { return stopRequested(); }, size);
    if (counted.end == ChunkedSearch::End::ReadFailed) {
        if (counted.error == ENOMEM)
            throw std::bad_alloc();
        r.outcome = FileResult::Outcome::Unreadable;
        r.error = systemWords(counted.error);
        return;
    }
    r.outcome = FileResult::Outcome::Searched;
    if (counted.end == ChunkedSearch::End::Done) {
        r.count = counted.count;
        r.encoding = counted.encoding;
    }
}

void FilePass::replaceFile(int fd, const struct stat &st, const char *name, FileResult &r)
{
    // The file's bytes stay whole: the backup and the check before the write
    // need them. Its text and its new text are only ever held a piece at a time.
    QByteArray raw;
    ChunkedSearch::Replaced plan;
    std::shared_ptr<const ZipStreamWriter::Deflated> deflated;
    const QString *replacement = nullptr;
    if (m_prepared && m_prepared->raw.size() == st.st_size &&
        PosixFile::Holds(fd, {m_prepared->raw.constData(), static_cast<std::size_t>(m_prepared->raw.size())}) == 0) {
        // The same bytes make the same plan and the same entry.
        raw = m_prepared->raw;
        replacement = &useLineBreaksOf(fd, &raw);
        plan = m_prepared->plan;
        deflated = m_prepared->deflated;
    } else if (const int err = readAndPlan(fd, st.st_size, raw, plan, replacement)) {
        r.outcome = FileResult::Outcome::Unreadable;
        r.error = systemWords(err);
        return;
    }
    r.count = plan.count;
    r.encoding = plan.encoding;
    if (plan.end == ChunkedSearch::End::Done)
        r.outcome = replaceStep(r.path, name, st.st_mode, raw, *replacement, plan, std::move(deflated), r.error);
}

FileResult::Outcome FilePass::replaceStep(const QString &path, const char *name, mode_t mode, const QByteArray &raw,
                                          const QString &replacement, const ChunkedSearch::Replaced &plan,
                                          std::shared_ptr<const ZipStreamWriter::Deflated> deflated, QString &error)
{
    using Outcome = FileResult::Outcome;
    if (!plan.changed)
        return Outcome::Unchanged;
    // Bytes that the read could not represent would be lost by the write.
    if (!plan.originalComesBack)
        return Outcome::LossyOriginal;
    if (!plan.newTextLossless)
        return Outcome::LossyNewText;
    // The archive gets exactly the bytes the write will replace: the writer
    // refuses the file if it no longer holds them. The original is compressed
    // and written in the background while the new content is made; the file
    // changes only once the original is on disk.
    const BackupArchive::Ticket ticket = m_backup ? m_backup->Begin(path, raw, mode, std::move(deflated)) : 0;
    std::function<int()> backedUp;
    if (m_backup)
        backedUp = [this, ticket] { return m_backup->Wait(ticket) ? 0 : ECANCELED; };
    if (m_beforeWrite)
        m_beforeWrite(path);
    // The new content is made a second time and goes to the disk as it comes,
    // relative to the folder the file was read from. Once the original is in
    // the backup, the file is finished whatever the stop button says.
    // What goes to the disk is summed up for the backup as it goes: the last
    // production (a write in place may follow a failed one) is the content.
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    const PosixFile::Producer produce = [&](const PosixFile::Put &put) {
        int err = 0;
        size = 0;
        crc = 0xFFFFFFFF;
        const auto write = [&](QByteArrayView piece) {
            if (err != 0)
                return;
            err = put(piece.data(), static_cast<std::size_t>(piece.size()));
            crc = Crc32Update(crc, piece.data(), static_cast<std::size_t>(piece.size()));
            size += static_cast<std::uint64_t>(piece.size());
        };
        m_search.ReplaceBytes(raw, replacement, write, [] { return false; });
        return err;
    };
    const SafeFileWriter::Result written =
        SafeFileWriter::ReplaceAt(m_folders.FolderFd(), QByteArray(name), raw, produce, backedUp);
    if (written.status == SafeFileWriter::Status::Written) {
        if (m_backup)
            m_backup->Written(ticket, size, ~crc);
        return Outcome::Written;
    }
    // A file left as it was for whatever reason whose original could not be
    // saved either is reported as that: the backup is what failed first.
    if (m_backup && !m_backup->Wait(ticket)) {
        error = m_backup->LastError();
        return Outcome::BackupFailed;
    }
    switch (written.status) {
    case SafeFileWriter::Status::Gone:
        return Outcome::GoneBeforeWrite;
    case SafeFileWriter::Status::ChangedOnDisk:
        return Outcome::ChangedOnDisk;
    case SafeFileWriter::Status::Written:   // handled above
    case SafeFileWriter::Status::Abandoned: // only by a failed backup, handled above
    case SafeFileWriter::Status::Failed:
        break;
    case SafeFileWriter::Status::Damaged:
        error = written.error;
        return Outcome::Damaged;
    }
    error = written.error;
    return Outcome::WriteFailed;
}
