// Reads and counts the files of a search on worker threads.
#include "SearchAhead.h"

#include <algorithm>
#include <chrono>
#include <sys/resource.h>

namespace {

// How many items the workers may be ahead of the one taken next. Nothing is
// taken while the list is made, and a worker that had to wait for the
// taking once it is complete would leave its core idle: far.
constexpr std::size_t kAhead = 1 << 16;
// How many items a worker takes at a time.
constexpr std::size_t kBatch = 8;
// With one worker per core a switch between threads costs more than a small
// file: larger batches. With more workers than cores (a cold disk) the file
// to report next should not wait behind a long batch.
constexpr std::size_t kBatchPerCore = 32;

// The blocks this thread has had read from a disk so far: what the page
// cache held costs none.
long blocksRead()
{
    struct rusage usage = {};
    return ::getrusage(RUSAGE_THREAD, &usage) == 0 ? usage.ru_inblock : 0;
}

} // namespace

SearchAhead::SearchAhead(int threads, int atOnce, MakeWork make, long (*diskReads)())
    : m_threads(threads), m_make(std::move(make)), m_diskReads(diskReads ? diskReads : blocksRead),
      m_allStarted(atOnce >= threads)
{
    const std::lock_guard lock(m_mutex);
    for (int t = 0; t < std::min(threads, atOnce); ++t)
        m_workers.emplace_back(&SearchAhead::work, this);
}

SearchAhead::~SearchAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_room.notify_all();
    // No worker starts once the stop is set: the list is complete.
    for (std::thread &w : m_workers)
        w.join();
}

void SearchAhead::Add(std::vector<FilePass::Item> items)
{
    bool more;
    {
        const std::lock_guard lock(m_mutex);
        // Workers wait for whole batches while the list grows: only a new
        // one is worth waking them for.
        const std::size_t batch = batchSize(), waiting = m_items.size() - m_taken;
        for (FilePass::Item &item : items)
            m_items.push_back(std::move(item));
        more = waiting / batch != (m_items.size() - m_taken) / batch;
    }
    if (more)
        m_room.notify_all();
}

void SearchAhead::Close()
{
    {
        const std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_room.notify_all();
}

std::size_t SearchAhead::batchSize() const
{
    return m_allStarted ? kBatch : kBatchPerCore;
}

void SearchAhead::work()
{
    const Work process = m_make(m_stop);
    std::vector<Slot> batch;
    std::vector<const FilePass::Item *> taken;
    const long diskReads = m_diskReads();
    std::unique_lock lock(m_mutex);
    for (;;) {
        const auto go = [&] {
            if (m_stop || (m_closed && m_taken >= m_items.size()))
                return true;
            if (m_taken >= m_items.size())
                return false;
            const std::size_t count = std::min(batchSize(), m_items.size() - m_taken);
            // While the list grows, a batch is waited for whole.
            if (!m_closed && count < batchSize())
                return false;
            return m_taken + count <= m_reported + kAhead;
        };
        // The timeout only guards against a wake-up that was missed.
        while (!go())
            m_room.wait_for(lock, std::chrono::milliseconds(50));
        if (m_stop || m_taken >= m_items.size())
            return;
        const std::size_t first = m_taken, count = std::min(batchSize(), m_items.size() - first);
        m_taken += count;
        m_results.resize(m_taken - m_reported);
        taken.clear();
        for (std::size_t k = 0; k < count; ++k)
            taken.push_back(&m_items[first + k]);
        lock.unlock();
        batch.assign(count, Slot());
        for (std::size_t k = 0; k < count && !m_stop; ++k) {
            if (!taken[k]->skip) {
                std::optional<FileResult> result = process(*taken[k]);
                if (!result)
                    break;
                batch[k].result = std::move(*result);
            }
            batch[k].done = true;
            // Every few files, not only after the batch: a cold disk wants
            // the other workers at once.
            if (k % 8 == 0 && !m_allStarted && m_diskReads() != diskReads) {
                const std::lock_guard grow(m_mutex);
                if (!m_stop && !m_allStarted) {
                    // The other workers start, and batches get smaller: one
                    // may be there for a worker waiting.
                    m_allStarted = true;
                    for (int t = static_cast<int>(m_workers.size()); t < m_threads; ++t)
                        m_workers.emplace_back(&SearchAhead::work, this);
                    m_room.notify_all();
                }
            }
        }
        lock.lock();
        for (std::size_t k = 0; k < count; ++k)
            if (batch[k].done)
                m_results[first + k - m_reported] = std::move(batch[k]);
        // Only the item to take next is waited for.
        if (m_reported >= first && m_reported < first + count)
            m_finished.notify_one();
    }
}

void SearchAhead::TakeReady(std::vector<FileResult> &ready, const int &abortFlag,
                            const std::function<void()> &whileWaiting)
{
    ready.clear();
    {
        std::unique_lock lock(m_mutex);
        // The stop button must work while a large file is read or counted.
        while ((m_results.empty() || !m_results.front().done) && abortFlag <= 0) {
            if (m_finished.wait_for(lock, std::chrono::milliseconds(50)) == std::cv_status::timeout && whileWaiting) {
                lock.unlock();
                whileWaiting();
                lock.lock();
            }
        }
        // Everything finished from here on is taken at once.
        while (!m_results.empty() && m_results.front().done) {
            ready.push_back(std::move(m_results.front().result));
            m_results.pop_front();
            ++m_reported;
        }
    }
    m_room.notify_all();
}
