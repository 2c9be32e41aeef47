// Reads a text file a piece at a time, recognising its encoding as
// cFileResder::FileRead does, so a file of any size is read in bounded memory.
#pragma once

#include "TextEncoding.h"

#include <QByteArray>
#include <QString>

class ChunkedTextReader
{
public:
    // Bytes read at a time: chunkBytes (at least 4) of the file's bytes give
    // at most as many code units.
    static constexpr qsizetype DefaultChunkBytes = 4 << 20;
    explicit ChunkedTextReader(qsizetype chunkBytes = DefaultChunkBytes);

    // Starts on an open regular file, from its first byte. The descriptor
    // stays the caller's. With the size the file had when it was opened, a
    // short read that reaches it is taken as the end, which saves the read
    // that would only say so (a file that grew since then is read to its
    // end, as without).
    void Start(int fd, qint64 knownSize = -1);

    enum class Step {
        More,    // a piece was appended; more follow
        Last,    // the last piece was appended (it may be empty)
        Restart, // the file is not UTF-8 after all: the text handed out so far
                 // is void, and the next call starts it over as ANSI
        Failed,  // the file could not be read (Error() says why)
    };
    // Appends the text of the next piece to out.
    Step Next(QString &out);

    // The encoding of the text handed out (final after Last).
    TextEncoding Encoding() const { return m_encoding; }
    // The errno of a failed read.
    int Error() const { return m_error; }

private:
    qsizetype m_chunkBytes;
    int m_fd = -1;
    qint64 m_knownSize = -1;
    qint64 m_offset = 0;   // where the next read starts
    qsizetype m_carry = 0; // bytes at the front of m_bytes left from the last piece
    bool m_first = true;   // the mark is still to be looked for
    TextEncoding m_encoding = TextEncoding::Ansi;
    int m_error = 0;
    QByteArray m_bytes; // reused from piece to piece and from file to file
};
