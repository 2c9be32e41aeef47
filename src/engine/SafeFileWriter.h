// Replaces a file's content without ever leaving it missing, empty or
// half-written, and only when nobody changed it since it was read.
#pragma once

#include <QByteArray>
#include <QString>

class SafeFileWriter
{
public:
    // Writes newBytes as the whole content of path, provided the file still
    // holds exactly expectedBytes. The new content goes to a temporary file in
    // the same folder, which then takes the original's place with its
    // permission bits (and owner where possible); a symbolic link is written
    // through to its target. Only where the folder cannot take a new file is
    // the file rewritten in place.
    enum class Status { Written, Gone, ChangedOnDisk, Failed };
    struct Result
    {
        Status status = Status::Written;
        QString error; // the system's words when Failed
    };
    static Result Replace(const QString &path, const QByteArray &expectedBytes, const QByteArray &newBytes);
};
