// One open source or target of the archive writer: a path, a byte array or a
// stream object, read, written and positioned through the same calls.
#pragma once

#include "VfsStream.h"

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <variant>
#include <vector>

using ByteArray = std::vector<std::uint8_t>;

// What a caller may pass as a source or target: a path, a byte array (a copy,
// or the caller's own array by pointer) or a stream object.
using VfsItem = std::variant<std::string, ByteArray, ByteArray *, std::shared_ptr<VfsStream>>;

class VfsHandle
{
public:
    VfsHandle() = default;
    ~VfsHandle();
    VfsHandle(const VfsHandle &) = delete;
    VfsHandle &operator=(const VfsHandle &) = delete;

    // Opens a source for reading and learns its name, size, attributes and
    // last-write time (local).
    void Open(const VfsItem &item);
    // Makes a target: a path gets its folders created first.
    void Create(const VfsItem &item);
    std::int32_t Read(void *data, std::int32_t size);
    void Write(const void *data, std::int32_t size);
    std::int64_t Seek(std::int64_t distance, int method);
    void SetEof(const std::string &note);
    void Close();

    const std::string &Name() const { return m_name; }
    std::int64_t Size() const { return m_size; }
    std::uint32_t Attributes() const { return m_attributes; }
    const std::tm &LastWrite() const { return m_lastWrite; }

    // "[n] message": an operating-system error as the writer reports it.
    static std::string SystemErrorText(int error);
    // Creates a folder and its missing parents; an error text or empty.
    static std::string CreateFolders(const std::string &folder);

private:
    enum class Kind { None, Path, Bytes, Stream };
    void openPathForReading();
    void openPathForWriting();
    [[noreturn]] void fail(int error, const char *source) const;

    Kind m_kind = Kind::None;
    std::string m_name;
    int m_fd = -1;
    bool m_ownsFd = false;
    bool m_forWriting = false;
    ByteArray m_ownBytes;
    ByteArray *m_bytes = nullptr; // m_ownBytes or the caller's array
    std::int64_t m_used = 0;      // bytes in use of a byte-array target
    std::int64_t m_position = 0;
    std::shared_ptr<VfsStream> m_stream;
    bool m_streamTouched = false;
    std::int64_t m_size = 0;
    std::uint32_t m_attributes = 0;
    std::tm m_lastWrite{};
};
