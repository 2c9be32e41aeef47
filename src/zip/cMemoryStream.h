// A growable in-memory byte stream: the program's archive sources and target.
#pragma once

#include "VfsStream.h"

#include <cstdint>
#include <vector>

class cMemoryStream : public VfsStream
{
public:
    // Bytes 0 .. size-1 as a new array.
    std::vector<std::uint8_t> Contents() const;
    // A copy of value; position 0, size = its length.
    void SetContents(const std::vector<std::uint8_t> &value);
    void SetContents(std::vector<std::uint8_t> &&value);

    std::int32_t VfsSetFilePointer(std::int32_t lPosition, std::int32_t lMoveMethod) override;
    std::int32_t VfsReadFile(void *lPtr, std::int32_t lSize) override;
    std::int32_t VfsWriteFile(const void *lPtr, std::int32_t lSize) override;
    void VfsSetEndOfFile(const std::string &sMetaData) override;

    std::int32_t Capacity() const { return static_cast<std::int32_t>(m_buffer.size()); }
    std::int32_t Size() const { return m_size; }
    std::int32_t Position() const { return m_position; }

private:
    std::vector<std::uint8_t> m_buffer; // its length is the capacity
    std::int32_t m_position = 0;
    std::int32_t m_size = 0;
};
