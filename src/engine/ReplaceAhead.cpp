// Works ahead of a replace pass on a thread of its own: reads the files the
// pass comes to next, plans their replace and deflates their originals.
#include "ReplaceAhead.h"

#include <new>
#include <system_error>

namespace {

// Enough to keep a core busy while the pass waits for a few writes, little
// against the memory a replace may take for its largest file.
constexpr std::size_t kFilesAhead = 8;
constexpr std::size_t kBytesAhead = 8 << 20;

std::size_t bytesOf(const PreparedFile *file)
{
    if (!file)
        return 0;
    return static_cast<std::size_t>(file->raw.size()) + (file->deflated ? file->deflated->data.size() : 0);
}

} // namespace

ReplaceAhead::ReplaceAhead(std::size_t count, Prepare prepare)
    : m_count(count), m_prepare(std::move(prepare)), m_atWork(count)
{
    try {
        m_thread = std::thread(&ReplaceAhead::work, this);
    } catch (const std::system_error &) {
        // Without the thread the pass does every file itself.
        m_next = m_count;
    }
}

ReplaceAhead::~ReplaceAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void ReplaceAhead::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] {
            return m_stop || m_next >= m_count || (m_held.size() < kFilesAhead && m_heldBytes < kBytesAhead);
        });
        if (m_stop || m_next >= m_count)
            return;
        const std::size_t index = m_next++;
        m_atWork = index;
        lock.unlock();
        std::shared_ptr<const PreparedFile> file;
        try {
            file = m_prepare(index, m_stop);
        } catch (const std::bad_alloc &) {
            // The pass reads the file itself.
        }
        lock.lock();
        m_atWork = m_count;
        if (file && index >= m_passAt) {
            m_heldBytes += bytesOf(file.get());
            m_held.emplace_back(index, std::move(file));
        }
        m_changed.notify_all();
    }
}

std::shared_ptr<const PreparedFile> ReplaceAhead::Take(std::size_t index)
{
    std::unique_lock lock(m_mutex);
    m_passAt = index;
    if (m_next <= index)
        m_next = index + 1; // not begun: the pass does it, this thread goes on after it
    else
        m_changed.wait(lock, [&] { return m_atWork != index; });
    std::shared_ptr<const PreparedFile> file;
    while (!m_held.empty() && m_held.front().first <= index) {
        auto &front = m_held.front();
        m_heldBytes -= bytesOf(front.second.get());
        if (front.first == index)
            file = std::move(front.second);
        m_held.pop_front();
    }
    m_changed.notify_all();
    return file;
}
