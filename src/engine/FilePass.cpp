// Walks a list of files: read, count, replace, back up, write.
#include "FilePass.h"

#include "BackupArchive.h"
#include "FileAttributes.h"
#include "NativePath.h"
#include "PosixFile.h"
#include "SafeFileWriter.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <unistd.h>

namespace {

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

FilePass::FilePass(const PassSettings &settings, BackupArchive *backup)
    : m_settings(settings), m_pattern(settings.find, settings.compare), m_search(m_pattern, settings.wholeWords),
      m_backup(backup)
{}

void FilePass::Run(const std::vector<Item> &items, int &abortFlag)
{
    m_abortFlag = &abortFlag;
    for (const Item &item : items) {
        if (abortFlag <= 0) {
            if (item.skip)
                continue;
            const FileResult result = Process(item.path);
            if (!m_stopped) {
                for (ResultSink *sink : m_sinks)
                    sink->FileDone(result, item.position);
                continue;
            }
        }
        abortFlag = item.position == 0 ? 1 : item.position;
        break;
    }
    m_abortFlag = nullptr;
}

bool FilePass::stopRequested()
{
    if (m_whileWorking)
        m_whileWorking();
    m_stopped = m_abortFlag && *m_abortFlag > 0;
    return m_stopped;
}

FileResult FilePass::Process(const QString &path)
{
    m_stopped = false;
    FileResult r;
    r.path = path;
    r.displayPath = NativePath::Display(path);
    const FileAttributes::Status status = FileAttributes::Query(path);
    if (status.length < 0) {
        r.outcome = FileResult::Outcome::Missing;
        return r;
    }
    if (status.length == 0) {
        r.outcome = FileResult::Outcome::Empty;
        return r;
    }
    const bool readOnly = status.attributes & FileAttributes::ReadOnly;
    if (readOnly && !m_settings.alsoReadOnly) {
        r.outcome = FileResult::Outcome::SkippedReadOnly;
        return r;
    }
    const ReadOnlyGuard guard(path, readOnly, status.mode);

    try {
        if (m_settings.mode == RunMode::SearchAndReplace)
            replaceFile(path, r);
        else
            searchFile(path, r);
    } catch (const std::bad_alloc &) {
        // Whatever was taken for this file is given back by now; the pass goes on.
        r.count = 0;
        r.outcome = FileResult::Outcome::TooLarge;
    }
    return r;
}

void FilePass::searchFile(const QString &path, FileResult &r)
{
    // A file that cannot be read counts as an empty text.
    r.outcome = FileResult::Outcome::Searched;
    const int fd = PosixFile::OpenRegular(NativePath::Encode(path).constData(), O_RDONLY);
    if (fd < 0)
        return;
    const ChunkedSearch::Counted counted = m_search.CountFile(fd, [this] { return stopRequested(); });
    ::close(fd);
    if (counted.end == ChunkedSearch::End::Done) {
        r.count = counted.count;
        r.encoding = counted.encoding;
    }
}

void FilePass::replaceFile(const QString &path, FileResult &r)
{
    // The file's bytes stay whole: the backup and the check before the write
    // need them. Its text and its new text are only ever held a piece at a time.
    QByteArray raw;
    if (PosixFile::ReadAll(NativePath::Encode(path).constData(), raw) == ENOMEM)
        throw std::bad_alloc();
    const ChunkedSearch::Replaced plan =
        m_search.ReplaceBytes(raw, m_settings.replacement, {}, [this] { return stopRequested(); });
    r.count = plan.count;
    r.encoding = plan.encoding;
    if (plan.end == ChunkedSearch::End::Done)
        r.outcome = replaceStep(path, raw, plan, r.error);
}

FileResult::Outcome FilePass::replaceStep(const QString &path, const QByteArray &raw,
                                          const ChunkedSearch::Replaced &plan, QString &error)
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
    // refuses the file if it no longer holds them.
    if (m_backup && !m_backup->AddFile(path, raw))
        return Outcome::BackupFailed;
    if (m_beforeWrite)
        m_beforeWrite(path);
    // The new content is made a second time, now kept, in a buffer of its
    // exact size.
    QByteArray replaced;
    replaced.reserve(plan.newSize);
    const auto append = [&replaced](QByteArrayView piece) { replaced.append(piece); };
    if (m_search.ReplaceBytes(raw, m_settings.replacement, append, [this] { return stopRequested(); }).end !=
        ChunkedSearch::End::Done)
        return Outcome::Unchanged; // stopped: the file is not reported
    const SafeFileWriter::Result written = SafeFileWriter::Replace(path, raw, replaced);
    switch (written.status) {
    case SafeFileWriter::Status::Written:
        return Outcome::Written;
    case SafeFileWriter::Status::Gone:
        return Outcome::GoneBeforeWrite;
    case SafeFileWriter::Status::ChangedOnDisk:
        return Outcome::ChangedOnDisk;
    case SafeFileWriter::Status::Failed:
        break;
    }
    error = written.error;
    return Outcome::WriteFailed;
}
