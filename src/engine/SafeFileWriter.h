// Replaces a file's content without ever leaving it missing, empty or
// half-written, and only when nobody changed it since it was read.
#pragma once

#include "PosixFile.h"

#include <QByteArray>
#include <QString>
#include <functional>

class SafeFileWriter
{
public:
    // Writes the new content as the whole content of a file, provided the file still
    // holds exactly expectedBytes when the new content is ready to take its
    // place. The new content goes to a temporary file in the same folder,
    // which then takes the original's place with its owner, group,
    // permission bits, extended attributes and ACLs; a symbolic link is
    // written through to its target. Where a new file cannot keep those (or
    // the folder takes no new file, or the file has several names), the file
    // is rewritten in place, and a write that fails puts expectedBytes back;
    // Damaged when even that failed. beforeCommit, when given, is asked once
    // right before the file would change (see PosixFile::ReplaceOptions); an
    // errno from it leaves the file as it is: Abandoned.
    enum class Status { Written, Gone, ChangedOnDisk, Failed, Damaged, Abandoned };
    struct Result
    {
        Status status = Status::Written;
        QString error; // the system's words when Failed or Damaged
    };
    // The new content comes from a producer, so that it need not be in
    // memory whole; name is one entry (bytes as on disk) of the open folder.
    static Result ReplaceAt(int folderFd, const QByteArray &name, const QByteArray &expectedBytes,
                            const PosixFile::Producer &produce, std::function<int()> beforeCommit = {});
};
