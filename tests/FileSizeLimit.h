// Caps the size of the files this process writes while it lives, so that writes fail with EFBIG as on a full disk.
#pragma once

#include <csignal>
#include <cstdint>
#include <sys/resource.h>

// Only the soft limit moves, so the old one can always be set back; the
// signal the kernel sends along with EFBIG is ignored meanwhile.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(std::uint64_t bytes) : m_handler(std::signal(SIGXFSZ, SIG_IGN))
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit capped = m_old;
        capped.rlim_cur = static_cast<rlim_t>(bytes);
        ::setrlimit(RLIMIT_FSIZE, &capped);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    void (*m_handler)(int);
    rlimit m_old{};
};
