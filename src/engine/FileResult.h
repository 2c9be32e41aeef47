// What a pass did with one file, as values: the front ends (list, command
// line, log, tests) format it themselves.
#pragma once

#include "TextEncoding.h"

#include <QString>

struct FileResult
{
    enum class Outcome {
        Searched,  // read and counted (a search pass)
        Empty,     // a file of 0 bytes: counted as searched, never read
        Unchanged, // a replace pass read it, and replacing changed nothing
        Written,   // a replace pass wrote the new content
        // Not searched:
        SkippedReadOnly, // read-only, and read-only files were not asked for
        Missing,         // gone (or no longer a file) since it was listed
        Unreadable,      // it could not be opened or read (see `error`)
        // Searched, with finds, but not written:
        LossyOriginal,   // its bytes do not come back from its text in its encoding
        LossyNewText,    // the new text holds characters its encoding cannot hold
        BackupFailed,    // its original could not be added to the backup
        ChangedOnDisk,   // its bytes changed since they were read
        GoneBeforeWrite, // it vanished between reading and writing
        WriteFailed,     // the system refused the write (see `error`)
        // Not searched, and not written:
        TooLarge, // its work needed more memory than there was
        // Changed, but not as asked:
        Damaged, // an in-place write failed (see `error`) and its original could not be put back
    };

    QString path;        // as the file system gives it (see NativePath)
    QString displayPath; // for people: undecodable bytes shown as U+FFFD
    qint64 count = 0;    // finds; 0 when the file was not read
    TextEncoding encoding = TextEncoding::Ansi;
    Outcome outcome = Outcome::Searched;
    QString error; // the system's words for Unreadable, WriteFailed and Damaged

    // Whether the file counts as searched in the run's statistics.
    bool Searched() const
    {
        return outcome != Outcome::SkippedReadOnly && outcome != Outcome::Missing && outcome != Outcome::Unreadable &&
               outcome != Outcome::TooLarge;
    }
    // Whether a replace pass left a file with finds as it was against the
    // user's wish; Reason() says why. (Files it could not read or take into
    // memory are listed with those it could not read.)
    bool NotWritten() const
    {
        return outcome >= Outcome::LossyOriginal && outcome != Outcome::Damaged && outcome != Outcome::TooLarge;
    }
    // The finds a search counted, or the replacements a replace wrote: a file
    // refused its write made none, whatever it held.
    qint64 CountMade() const { return NotWritten() || outcome == Outcome::Damaged ? 0 : count; }
    // The German reason shown for a file that was not written or read.
    QString Reason() const;
};
