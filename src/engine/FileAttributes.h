// File attributes as the runs know them, mapped onto permission bits: a file
// is read-only when the current user may not write it, hidden when its name
// starts with a dot.
#pragma once

#include <QString>

class FileAttributes
{
public:
    enum : int {
        ReadOnly = 1,
        Hidden = 2,
        Directory = 16,
        Normal = 128,
    };

    // Normal adds the owner's write permission, ReadOnly removes every write
    // permission; Hidden cannot be set (it is part of the name).
    static bool SetAttributesLong(const QString &Path, int Attributes);

    // Sets the permission bits exactly, as Query reported them.
    static bool SetMode(const QString &Path, int mode);

    // Size in bytes; -1 when the file cannot be queried.
    static qint64 Length(const QString &Path);

    // Size, attribute bits and permission bits with one query (all -1 when
    // the file cannot be queried).
    struct Status
    {
        qint64 length = -1;
        int attributes = -1;
        int mode = -1;
    };
    static Status Query(const QString &Path);
};
