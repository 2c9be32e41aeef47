// One open source or target of the archive writer.
#include "VfsHandle.h"

#include "PosixFile.h"
#include "ZipError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::tm localNow()
{
    const std::time_t t = std::time(nullptr);
    std::tm out{};
    localtime_r(&t, &out);
    return out;
}

int deviceFd(const std::string &path)
{
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (lower == "stdin:")
        return STDIN_FILENO;
    if (lower == "stdout:")
        return STDOUT_FILENO;
    if (lower == "stderr:")
        return STDERR_FILENO;
    return -1;
}

constexpr std::uint32_t kArchive = 32;
constexpr std::uint32_t kDirectory = 16;
constexpr std::uint32_t kReadOnly = 1;

} // namespace

VfsHandle::~VfsHandle()
{
    Close();
}

std::string VfsHandle::SystemErrorText(int error)
{
    // Appended piece by piece: GCC 12 at -O3 warns of an overlap that
    // cannot happen in "[" + std::string.
    std::string text(1, '[');
    text += std::to_string(error);
    text += "] ";
    text += std::strerror(error);
    if (text.size() > 2000)
        text.resize(2000);
    return text;
}

void VfsHandle::fail(int error, const char *source) const
{
    throw ZipError(SystemErrorText(error) + " (" + m_name + ")", source);
}

std::string VfsHandle::CreateFolders(const std::string &folder)
{
    if (folder.empty())
        return {};
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? std::string() : "File already exists (" + folder + ")";
    const std::size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        const std::string parent = CreateFolders(folder.substr(0, slash));
        if (!parent.empty())
            return parent;
    }
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        return SystemErrorText(errno) + " (" + folder + ")";
    return {};
}

void VfsHandle::Open(const VfsItem &item)
{
    Close();
    m_forWriting = false;
    m_position = 0;
    m_attributes = kArchive;
    m_lastWrite = localNow();
    if (const auto *path = std::get_if<std::string>(&item)) {
        m_kind = Kind::Path;
        m_name = *path;
        const int dev = deviceFd(*path);
        if (dev >= 0 || (!path->empty() && path->back() == ':')) {
            m_fd = dev;
            m_size = 0;
            return;
        }
        std::string lookup = *path;
        while (lookup.size() > 1 && lookup.back() == '/')
            lookup.pop_back();
        struct stat st;
        if (::stat(lookup.c_str(), &st) != 0)
            fail(errno, "pvVfsOpen");
        m_size = st.st_size;
        m_attributes = S_ISDIR(st.st_mode) ? kDirectory : (kArchive | ((st.st_mode & S_IWUSR) ? 0 : kReadOnly));
        localtime_r(&st.st_mtime, &m_lastWrite);
    } else if (const auto *bytes = std::get_if<ByteArray>(&item)) {
        m_kind = Kind::Bytes;
        m_name = "[buffer]";
        m_ownBytes = *bytes;
        m_bytes = &m_ownBytes;
        m_size = static_cast<std::int64_t>(m_bytes->size());
    } else if (const auto *ref = std::get_if<ByteArray *>(&item)) {
        m_kind = Kind::Bytes;
        m_name = "[buffer]";
        m_bytes = *ref ? *ref : &m_ownBytes;
        m_size = static_cast<std::int64_t>(m_bytes->size());
    } else {
        m_kind = Kind::Stream;
        m_name = "[stream]";
        m_stream = std::get<std::shared_ptr<VfsStream>>(item);
        if (!m_stream)
            throw ZipError("Invalid stream", "pvVfsOpen");
        m_size = m_stream->VfsSetFilePointer(0, VfsStream::FromEnd);
    }
    m_used = m_size;
}

void VfsHandle::Create(const VfsItem &item)
{
    Close();
    m_forWriting = true;
    m_position = 0;
    m_used = 0;
    if (const auto *path = std::get_if<std::string>(&item)) {
        m_kind = Kind::Path;
        m_name = *path;
        const int dev = deviceFd(*path);
        if (dev >= 0) {
            m_fd = dev;
            return;
        }
        const std::size_t slash = path->find_last_of('/');
        if (slash != std::string::npos) {
            const std::string error = CreateFolders(path->substr(0, slash));
            if (!error.empty())
                throw ZipError(error, "pvVfsCreate");
        }
        if (!path->empty() && path->back() != '/')
            openPathForWriting();
    } else if (std::holds_alternative<ByteArray>(item)) {
        throw ZipError("Invalid byte array", "pvVfsCreate");
    } else if (const auto *ref = std::get_if<ByteArray *>(&item)) {
        if (!*ref)
            throw ZipError("Invalid byte array", "pvVfsCreate");
        m_kind = Kind::Bytes;
        m_name = "[buffer]";
        m_bytes = *ref;
    } else {
        m_kind = Kind::Stream;
        m_name = "[stream]";
        m_stream = std::get<std::shared_ptr<VfsStream>>(item);
        if (!m_stream)
            throw ZipError("Invalid stream", "pvVfsCreate");
    }
}

void VfsHandle::openPathForReading()
{
    const int fd = PosixFile::OpenRegular(m_name.c_str(), O_RDONLY);
    if (fd < 0)
        fail(-fd, "pvVfsRead");
    m_fd = fd;
    m_ownsFd = true;
}

void VfsHandle::openPathForWriting()
{
    const int fd = PosixFile::OpenRegular(m_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC);
    if (fd < 0)
        fail(-fd, "pvVfsCreate");
    m_fd = fd;
    m_ownsFd = true;
}

std::int32_t VfsHandle::Read(void *data, std::int32_t size)
{
    if (size <= 0)
        return 0;
    switch (m_kind) {
    case Kind::Path: {
        if (m_fd < 0)
            openPathForReading();
        const ssize_t got = PosixFile::ReadFull(m_fd, data, static_cast<std::size_t>(size));
        if (got < 0)
            fail(static_cast<int>(-got), "pvVfsRead");
        return static_cast<std::int32_t>(got);
    }
    case Kind::Bytes: {
        const std::int64_t n = std::min<std::int64_t>(size, static_cast<std::int64_t>(m_bytes->size()) - m_position);
        if (n <= 0)
            return 0;
        std::memcpy(data, m_bytes->data() + m_position, static_cast<std::size_t>(n));
        m_position += n;
        return static_cast<std::int32_t>(n);
    }
    case Kind::Stream:
        if (!m_streamTouched) {
            m_stream->VfsSetFilePointer(0, VfsStream::FromStart);
            m_streamTouched = true;
        }
        return m_stream->VfsReadFile(data, size);
    case Kind::None:
        break;
    }
    return 0;
}

void VfsHandle::Write(const void *data, std::int32_t size)
{
    if (size <= 0)
        return;
    switch (m_kind) {
    case Kind::Path: {
        if (m_fd < 0)
            openPathForWriting();
        if (const int err = PosixFile::WriteAll(m_fd, data, static_cast<std::size_t>(size)))
            fail(err, "pvVfsWrite");
        return;
    }
    case Kind::Bytes: {
        const std::int64_t need = m_position + size;
        if (need > static_cast<std::int64_t>(m_bytes->size())) {
            // Large arrays grow by 16 MiB steps, small ones to the next power
            // of two (at least 8 KiB): few reallocations either way.
            constexpr std::int64_t step = 16 << 20;
            std::int64_t grown;
            if (need > step) {
                grown = (need + step - 1) / step * step;
            } else {
                grown = 8192;
                while (grown <= need)
                    grown *= 2;
            }
            m_bytes->resize(static_cast<std::size_t>(grown));
        }
        std::memcpy(m_bytes->data() + m_position, data, static_cast<std::size_t>(size));
        m_position += size;
        m_used = std::max(m_used, m_position);
        return;
    }
    case Kind::Stream:
        if (!m_streamTouched) {
            m_stream->VfsSetFilePointer(0, VfsStream::FromStart);
            m_streamTouched = true;
        }
        m_stream->VfsWriteFile(data, size);
        return;
    case Kind::None:
        break;
    }
}

std::int64_t VfsHandle::Seek(std::int64_t distance, int method)
{
    switch (m_kind) {
    case Kind::Path: {
        if (m_fd < 0) {
            if (m_forWriting)
                openPathForWriting();
            else
                openPathForReading();
        }
        const off_t at = ::lseek(m_fd, static_cast<off_t>(distance),
                                 method == 0   ? SEEK_SET
                                 : method == 1 ? SEEK_CUR
                                               : SEEK_END);
        if (at < 0)
            fail(errno, "pvVfsSeek");
        return at;
    }
    case Kind::Bytes: {
        const std::int64_t end = m_forWriting ? m_used : static_cast<std::int64_t>(m_bytes->size());
        m_position = method == 0 ? distance : method == 1 ? m_position + distance : end + distance;
        return m_position;
    }
    case Kind::Stream:
        return m_stream->VfsSetFilePointer(static_cast<std::int32_t>(distance), method);
    case Kind::None:
        break;
    }
    return 0;
}

void VfsHandle::SetEof(const std::string &note)
{
    switch (m_kind) {
    case Kind::Path:
        if (m_fd >= 0 && m_ownsFd) {
            const off_t at = ::lseek(m_fd, 0, SEEK_CUR);
            if (at < 0 || ::ftruncate(m_fd, at) != 0)
                fail(errno, "pvVfsSetEof");
        }
        return;
    case Kind::Bytes:
        m_bytes->resize(static_cast<std::size_t>(std::max<std::int64_t>(0, m_position)));
        m_used = m_position;
        return;
    case Kind::Stream:
        m_stream->VfsSetEndOfFile(note);
        return;
    case Kind::None:
        break;
    }
}

void VfsHandle::Close()
{
    if (m_ownsFd && m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_ownsFd = false;
    m_stream.reset();
    m_streamTouched = false;
    m_ownBytes.clear();
    m_bytes = nullptr;
    m_kind = Kind::None;
}
