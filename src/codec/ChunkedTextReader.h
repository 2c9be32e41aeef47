// Reads a text file a piece at a time, recognising the mark of its encoding,
// so a file of any size is read in bounded memory.
#pragma once

#include "TextEncoding.h"

#include <QByteArray>
#include <QByteArrayView>

class ChunkedTextReader
{
public:
    // Bytes read at a time (at least 4).
    static constexpr qsizetype DefaultChunkBytes = 4 << 20;
    explicit ChunkedTextReader(qsizetype chunkBytes = DefaultChunkBytes);

    // Starts on an open regular file, from its first byte. The descriptor
    // stays the caller's. With the size the file had when it was opened, a
    // short read that reaches it is taken as the end, which saves the read
    // that would only say so (a file that grew since then is read to its
    // end, as without).
    void Start(int fd, qint64 knownSize = -1);

    enum class Step {
        More,   // a piece was read; more follow
        Last,   // the last piece was read (it may be empty)
        Failed, // the file could not be read (Error() says why)
    };
    // Reads the next piece: the bytes kept from the last one (Keep), then up
    // to a chunk of new ones, without the mark. The view holds until the
    // next call.
    Step Next(QByteArrayView &piece);

    // Keeps the last n bytes of the piece just read to begin the next one
    // (a character or a find that may go on there).
    void Keep(qsizetype n);

    // Reads the file once more from its first byte, as ANSI: it has turned
    // out not to be UTF-8 after all.
    void RestartAsAnsi();

    // Known after the first piece: the encoding of the mark, else UTF-8 for
    // a file with bytes (a guess that RestartAsAnsi may end), else ANSI.
    TextEncoding Encoding() const { return m_encoding; }
    // The errno of a failed read.
    int Error() const { return m_error; }

private:
    qsizetype m_chunkBytes;
    int m_fd = -1;
    qint64 m_knownSize = -1;
    qint64 m_offset = 0;   // where the next read starts
    qsizetype m_carry = 0; // bytes at the front of m_bytes kept from the last piece
    qsizetype m_pieceStart = 0, m_pieceSize = 0;
    bool m_first = true;  // the mark is still to be looked for
    bool m_whole = false; // the piece read is the whole file
    bool m_again = false; // the next piece is the whole file, still in the buffer
    TextEncoding m_encoding = TextEncoding::Ansi;
    int m_error = 0;
    QByteArray m_bytes; // reused from piece to piece and from file to file
};
