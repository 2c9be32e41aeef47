// Reads a text file a piece at a time, recognising its encoding as
// cFileResder::FileRead does.
//
// A file without a mark is taken for UTF-8 while its bytes are well-formed
// UTF-8; the first byte that is not ends that guess, and the text starts over
// as ANSI. So a UTF-8 file is read once, and any file at most about twice.
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
    m_carry = 0;
    m_first = true;
    m_encoding = TextEncoding::Ansi;
    m_error = 0;
}

ChunkedTextReader::Step ChunkedTextReader::Next(QString &out)
{
    // Keeps the buffer's capacity at a chunk and a carry at most.
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
    const bool last = got < m_chunkBytes;
    const qsizetype size = m_carry + got;
    qsizetype start = 0;
    if (m_first) {
        m_first = false;
        if (TextDecoder::HasMark(data, size, m_encoding))
            start = TextDecoder::MarkSize(m_encoding);
        else
            m_encoding = size > 0 ? TextEncoding::Utf8 : TextEncoding::Ansi;
    }
    const qsizetype taken = TextDecoder::Decode(m_encoding, data + start, size - start, last, out);
    if (taken < 0) {
        m_encoding = TextEncoding::Ansi;
        m_offset = 0;
        m_carry = 0;
        return Step::Restart;
    }
    m_carry = size - start - taken;
    std::memmove(data, data + start + taken, static_cast<std::size_t>(m_carry));
    return last ? Step::Last : Step::More;
}
