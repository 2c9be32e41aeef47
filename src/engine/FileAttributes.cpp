// File attributes as the runs know them, mapped onto permission bits.
#include "FileAttributes.h"

#include "FileNames.h"
#include "NativePath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool statOf(const QString &path, struct stat &st)
{
    return !path.isEmpty() && ::stat(NativePath::Encode(path).constData(), &st) == 0;
}

} // namespace

namespace {

int attributesOf(const QString &Path, const struct stat &st)
{
    int bits = 0;
    // Whoever runs the program decides, not the owner's bits: root may write
    // a file of mode 0444, nobody may write another user's file of mode 0644.
    if (::faccessat(AT_FDCWD, NativePath::Encode(Path).constData(), W_OK, AT_EACCESS) != 0)
        bits |= FileAttributes::ReadOnly;
    if (FileNames::FileNameOf(Path).startsWith(QLatin1Char('.')))
        bits |= FileAttributes::Hidden;
    if (S_ISDIR(st.st_mode))
        bits |= FileAttributes::Directory;
    return bits ? bits : FileAttributes::Normal;
}

} // namespace

FileAttributes::Status FileAttributes::Query(const QString &Path)
{
    struct stat st;
    if (!statOf(Path, st))
        return {};
    return {static_cast<qint64>(st.st_size), attributesOf(Path, st), static_cast<int>(st.st_mode & 07777)};
}

bool FileAttributes::SetAttributesLong(const QString &Path, int Attributes)
{
    struct stat st;
    if (!statOf(Path, st))
        return false;
    mode_t mode = st.st_mode & 07777;
    if (Attributes & ReadOnly)
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;
    return ::chmod(NativePath::Encode(Path).constData(), mode) == 0;
}

bool FileAttributes::SetMode(const QString &Path, int mode)
{
    return mode >= 0 && ::chmod(NativePath::Encode(Path).constData(), static_cast<mode_t>(mode)) == 0;
}

qint64 FileAttributes::Length(const QString &Path)
{
    struct stat st;
    return statOf(Path, st) ? static_cast<qint64>(st.st_size) : -1;
}
