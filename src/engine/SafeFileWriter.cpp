// Replaces a file's content without ever leaving it missing, empty or
// half-written, and only when nobody changed it since it was read.
#include "SafeFileWriter.h"

#include "NativePath.h"
#include "PosixFile.h"

#include <cerrno>
#include <cstring>

SafeFileWriter::Result SafeFileWriter::Replace(const QString &path, const QByteArray &expectedBytes,
                                               const QByteArray &newBytes)
{
    PosixFile::ReplaceOptions options;
    options.inPlaceFallback = true;
    // Another program may have saved the file since it was read: the new
    // content was made from the old one and would undo that change.
    options.check = [&expectedBytes](const char *target) {
        QByteArray current;
        return PosixFile::ReadAll(target, current) == 0 && current == expectedBytes ? 0 : ESTALE;
    };
    const PosixFile::ReplaceResult result = PosixFile::Replace(
        NativePath::Encode(path).constData(), newBytes.constData(), static_cast<std::size_t>(newBytes.size()), options);
    switch (result.step) {
    case PosixFile::ReplaceResult::Step::None:
        return {};
    case PosixFile::ReplaceResult::Step::Resolve:
        return {Status::Gone, {}};
    case PosixFile::ReplaceResult::Step::Check:
        return {Status::ChangedOnDisk, {}};
    case PosixFile::ReplaceResult::Step::Write:
        break;
    }
    return {Status::Failed, QString::fromLocal8Bit(std::strerror(result.error))};
}
