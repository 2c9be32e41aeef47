// A growable in-memory byte stream: the program's archive sources and target.
#include "cMemoryStream.h"

#include <algorithm>
#include <cstring>
#include <limits>

std::vector<std::uint8_t> cMemoryStream::Contents() const
{
    if (m_size < 1)
        return {};
    return std::vector<std::uint8_t>(m_buffer.begin(), m_buffer.begin() + m_size);
}

void cMemoryStream::SetContents(const std::vector<std::uint8_t> &value)
{
    SetContents(std::vector<std::uint8_t>(value));
}

void cMemoryStream::SetContents(std::vector<std::uint8_t> &&value)
{
    m_buffer = std::move(value);
    m_position = 0;
    m_size =
        static_cast<std::int32_t>(std::min<std::size_t>(m_buffer.size(), std::numeric_limits<std::int32_t>::max()));
}

std::int32_t cMemoryStream::VfsSetFilePointer(std::int32_t lPosition, std::int32_t lMoveMethod)
{
    switch (lMoveMethod) {
    case FromStart:
        m_position = lPosition;
        break;
    case FromCurrent:
        m_position += lPosition;
        break;
    case FromEnd:
        m_position = m_size + lPosition;
        break;
    default:
        break;
    }
    return m_position;
}

std::int32_t cMemoryStream::VfsReadFile(void *lPtr, std::int32_t lSize)
{
    if (m_position < 0)
        return 0;
    const std::int32_t n = std::min(lSize, m_size - m_position);
    if (n <= 0)
        return 0;
    std::memcpy(lPtr, m_buffer.data() + m_position, static_cast<std::size_t>(n));
    m_position += n;
    return n;
}

std::int32_t cMemoryStream::VfsWriteFile(const void *lPtr, std::int32_t lSize)
{
    if (lSize <= 0 || m_position < 0)
        return lSize > 0 ? 0 : lSize;
    const std::int64_t need = static_cast<std::int64_t>(m_position) + lSize;
    if (need > std::numeric_limits<std::int32_t>::max())
        return 0;
    if (need > static_cast<std::int64_t>(m_buffer.size())) {
        // 512, then doubling: a new stream gets 512, 1,024, 2,048, ... bytes.
        std::int64_t capacity = m_buffer.size() < 512 ? 512 : static_cast<std::int64_t>(m_buffer.size());
        while (capacity < need)
            capacity *= 2;
        m_buffer.resize(static_cast<std::size_t>(capacity));
    }
    std::memcpy(m_buffer.data() + m_position, lPtr, static_cast<std::size_t>(lSize));
    m_position += lSize;
    m_size = std::max(m_size, m_position);
    return lSize;
}

void cMemoryStream::VfsSetEndOfFile(const std::string &)
{
    m_size = std::max<std::int32_t>(0, m_position);
    if (static_cast<std::size_t>(m_size) > m_buffer.size()) // ended past the data: the gap reads as zeros
        m_buffer.resize(static_cast<std::size_t>(m_size));
}
