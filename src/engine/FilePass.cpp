// Walks a list of files: read, count, replace, back up, write.
#include "FilePass.h"

#include "BackupArchive.h"
#include "FileAttributes.h"
#include "NativePath.h"
#include "SafeFileWriter.h"
#include "TextSearch.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Gives a read-only file the owner's write permission for the time of its
// replace and sets the permissions back however that ends.
class ReadOnlyGuard
{
public:
    ReadOnlyGuard(const QString &path, bool add, int mode) : m_path(path)
    {
        if (add) {
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
    : m_settings(settings), m_pattern(settings.find, settings.compare), m_backup(backup)
{}

void FilePass::Run(const std::vector<Item> &items, int &abortFlag)
{
    for (const Item &item : items) {
        if (abortFlag > 0) {
            abortFlag = item.position == 0 ? 1 : item.position;
            break;
        }
        if (item.skip)
            continue;
        const FileResult result = Process(item);
        for (ResultSink *sink : m_sinks)
            sink->FileDone(result, item.position);
    }
}

void FilePass::SetStartFolder(const QString &folder)
{
    m_folders.SetStart(NativePath::Encode(folder).toStdString());
}

FileResult FilePass::Process(const Item &item)
{
    const QString &path = item.path;
    FileResult r;
    r.path = path;
    r.displayPath = NativePath::Display(path);
    const QByteArray native = NativePath::Encode(path);
    const qsizetype slash = native.lastIndexOf('/');
    const std::string folder = slash < 0 ? std::string(".") : native.left(std::max<qsizetype>(slash, 1)).toStdString();
    const char *name = native.constData() + slash + 1;
    struct stat st = {};
    int fd = -1;
    int err = m_folders.Enter(folder);
    if (err == 0) {
        fd = m_folders.OpenFile(name, !item.plainFile, st);
        err = fd < 0 ? -fd : 0;
    }
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
    // the owner's bits say (root may write a 0444 file of its own).
    const bool readOnly = ::faccessat(m_folders.FolderFd(), name, W_OK, AT_EACCESS) != 0;
    if (readOnly && !m_settings.alsoReadOnly) {
        r.outcome = FileResult::Outcome::SkippedReadOnly;
        return r;
    }
    const bool replace = m_settings.mode == RunMode::SearchAndReplace;
    // Only a replace needs to write, and only the user's own file is theirs
    // to change the mode of: another's is written only where the user may.
    const ReadOnlyGuard guard(path, replace && readOnly && st.st_uid == ::geteuid(), static_cast<int>(st.st_mode & 07777));

    QByteArray raw;
    QString text;
    if (const int readError = m_codec.ReadOpenFile(fd, st.st_size, text, replace ? &raw : nullptr)) {
        r.outcome = FileResult::Outcome::Unreadable;
        r.error = systemWords(readError);
        return r;
    }
    r.encoding = m_codec.Encoding;
    QString replaced;
    if (!m_settings.wholeWords) {
        r.count = TextSearch::CountOccurrences(text, m_pattern, 1);
    } else {
        TextSearch::WholeWords w = TextSearch::ReplaceNurGanzeWorte(text, m_settings.find, m_settings.replacement,
                                                                    m_settings.compare, replace);
        r.count = w.count;
        replaced = std::move(w.text);
    }
    if (!replace) {
        r.outcome = FileResult::Outcome::Searched;
        return r;
    }
    if (!m_settings.wholeWords)
        replaced = r.count > 0
                       ? TextSearch::ReplaceAll(text, m_settings.find, m_settings.replacement, m_settings.compare)
                       : text;
    r.outcome = replaceStep(path, text, replaced, raw, r.encoding, r.error);
    return r;
}

FileResult::Outcome FilePass::replaceStep(const QString &path, const QString &text, const QString &replaced,
                                          const QByteArray &raw, TextEncoding encoding, QString &error)
{
    using Outcome = FileResult::Outcome;
    if (replaced == text)
        return Outcome::Unchanged;
    // Bytes that the read could not represent would be lost by the write.
    if (cFileResder::EncodeText(text, encoding) != raw)
        return Outcome::LossyOriginal;
    if (!cFileResder::CanEncodeLosslessly(replaced, encoding))
        return Outcome::LossyNewText;
    // The archive gets exactly the bytes the write will replace: the writer
    // refuses the file if it no longer holds them.
    if (m_backup && !m_backup->AddFile(path, raw))
        return Outcome::BackupFailed;
    if (m_beforeWrite)
        m_beforeWrite(path);
    const SafeFileWriter::Result written =
        SafeFileWriter::Replace(path, raw, cFileResder::EncodeText(replaced, encoding));
    switch (written.status) {
    case SafeFileWriter::Status::Written:
        return Outcome::Written;
    case SafeFileWriter::Status::Gone:
        return Outcome::GoneBeforeWrite;
    case SafeFileWriter::Status::ChangedOnDisk:
        return Outcome::ChangedOnDisk;
    case SafeFileWriter::Status::Failed:
        break;
    case SafeFileWriter::Status::Damaged:
        error = written.error;
        return Outcome::Damaged;
    }
    error = written.error;
    return Outcome::WriteFailed;
}
