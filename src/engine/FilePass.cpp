// Walks a list of files: read, count, replace, back up, write.
#include "FilePass.h"

#include "BackupArchive.h"
#include "FileAttributes.h"
#include "NativePath.h"
#include "SafeFileWriter.h"
#include "TextSearch.h"

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
        const FileResult result = Process(item.path);
        for (ResultSink *sink : m_sinks)
            sink->FileDone(result, item.position);
    }
}

FileResult FilePass::Process(const QString &path)
{
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
    const bool replace = m_settings.mode == RunMode::SearchAndReplace;
    // Only a replace needs to write, and only the user's own file is theirs
    // to change the mode of: another's is written only where the user may.
    const ReadOnlyGuard guard(path, replace && readOnly && status.own, status.mode);

    QByteArray raw;
    const QString text = m_codec.FileRead(path, false, replace ? &raw : nullptr);
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
