// The four operations any object offers to serve as an archive's source or
// target.
#pragma once

#include <cstdint>
#include <string>

class VfsStream
{
public:
    enum MoveMethod : std::int32_t { FromStart = 0, FromCurrent = 1, FromEnd = 2 };

    virtual ~VfsStream() = default;
    // Moves the position and returns the new one.
    virtual std::int32_t VfsSetFilePointer(std::int32_t lPosition, std::int32_t lMoveMethod) = 0;
    // Copies up to lSize bytes to lPtr; returns how many.
    virtual std::int32_t VfsReadFile(void *lPtr, std::int32_t lSize) = 0;
    // Writes lSize bytes from lPtr; returns how many.
    virtual std::int32_t VfsWriteFile(const void *lPtr, std::int32_t lSize) = 0;
    // The stream ends at its current position.
    virtual void VfsSetEndOfFile(const std::string &sMetaData) = 0;
};
