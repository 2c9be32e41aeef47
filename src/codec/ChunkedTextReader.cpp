// Reads a text file a piece at a time, recognising the mark of its encoding.
#include "ChunkedTextReader.h"

#include "TextDecoder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

ChunkedTextReader::ChunkedTextReader(qsizetype chunkBytes) : m_chunkBytes(std::max<qsizetype>(chunkBytes, 4)) {}

void ChunkedTextReader::Start(int fd, qint64 knownSize)
{
    m_fd = fd;
    m_knownSize = knownSize;
    m_offset = 0;
    m_carry = m_pieceStart = m_pieceSize = 0;
    m_first = true;
    m_whole = m_again = false;
    m_encoding = TextEncoding::Ansi;
    m_error = 0;
}

void ChunkedTextReader::RestartAsAnsi()
{
    // A file read whole in its first piece is still in the buffer: most
    // ANSI files are that small, and are then read once, not twice.
    m_again = m_whole;
    m_whole = false;
    if (!m_again)
        m_offset = 0;
    m_carry = 0;
    m_first = false;
    m_encoding = TextEncoding::Ansi;
}

void ChunkedTextReader::Keep(qsizetype n)
{
    n = std::clamp<qsizetype>(n, 0, m_pieceSize);
    m_whole = false;
    char *data = m_bytes.data();
    std::memmove(data, data + m_pieceStart + m_pieceSize - n, static_cast<std::size_t>(n));
    m_carry = n;
    m_pieceStart = m_pieceSize = 0;
}

ChunkedTextReader::Step ChunkedTextReader::Next(QByteArrayView &piece)
{
    if (m_again) {
        m_again = false;
        m_carry = 0;
        piece = QByteArrayView(m_bytes.constData(), m_pieceSize);
        return Step::Last;
    }
    // Keeps the buffer's capacity at a chunk and what is kept at most.
    m_bytes.resize(m_carry + m_chunkBytes);
    char *data = m_bytes.data();
    qsizetype got = 0;
    while (got < m_chunkBytes) {
        const ssize_t n = ::pread(m_fd, data + m_carry + got, static_cast<std::size_t>(m_chunkBytes - got),
                                  static_cast<off_t>(m_offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            m_error = errno;
            return Step::Failed;
        }
        if (n == 0)
            break;
        got += n;
        if (got < m_chunkBytes && m_knownSize >= 0 && m_offset + got >= m_knownSize)
            break;
    }
    m_offset += got;
    const qsizetype size = m_carry + got;
    m_pieceStart = 0;
    m_whole = m_first && got < m_chunkBytes;
    if (m_first) {
        m_first = false;
        if (TextDecoder::HasMark(data, size, m_encoding))
            m_pieceStart = TextDecoder::MarkSize(m_encoding);
        else
            m_encoding = size > 0 ? TextEncoding::Utf8 : TextEncoding::Ansi;
    }
    m_pieceSize = size - m_pieceStart;
    m_carry = 0; // unless the caller keeps some
    piece = QByteArrayView(data + m_pieceStart, m_pieceSize);
    return got < m_chunkBytes ? Step::Last : Step::More;
}
