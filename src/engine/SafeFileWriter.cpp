// Replaces a file's content without ever leaving it missing, empty or
// half-written, and only when nobody changed it since it was read.
#include "SafeFileWriter.h"

#include <cstring>
#include <utility>

namespace {

PosixFile::ReplaceOptions optionsFor(const QByteArray &expectedBytes, std::function<int()> beforeCommit)
{
    PosixFile::ReplaceOptions options;
    options.beforeCommit = std::move(beforeCommit);
    options.inPlaceFallback = true;
    // Another program may have saved the file since it was read: the new
    // content was made from the old one and would undo that change.
    options.expected = std::string_view(expectedBytes.constData(), static_cast<std::size_t>(expectedBytes.size()));
    return options;
}

SafeFileWriter::Result resultOf(const PosixFile::ReplaceResult &result)
{
    using Status = SafeFileWriter::Status;
    switch (result.step) {
    case PosixFile::ReplaceResult::Step::None:
        return {};
    case PosixFile::ReplaceResult::Step::Resolve:
        return {Status::Gone, {}};
    case PosixFile::ReplaceResult::Step::Changed:
        return {Status::ChangedOnDisk, {}};
    case PosixFile::ReplaceResult::Step::Write:
        break;
    case PosixFile::ReplaceResult::Step::Damaged:
        return {Status::Damaged, QString::fromLocal8Bit(std::strerror(result.error))};
    case PosixFile::ReplaceResult::Step::Aborted:
        return {Status::Abandoned, QString::fromLocal8Bit(std::strerror(result.error))};
    }
    return {Status::Failed, QString::fromLocal8Bit(std::strerror(result.error))};
}

} // namespace

SafeFileWriter::Result SafeFileWriter::ReplaceAt(int folderFd, const QByteArray &name, const QByteArray &expectedBytes,
                                                 const PosixFile::Producer &produce, std::function<int()> beforeCommit)
{
    return resultOf(
        PosixFile::ReplaceAt(folderFd, name.constData(), produce, optionsFor(expectedBytes, std::move(beforeCommit))));
}
