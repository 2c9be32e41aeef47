// Works ahead of a replace pass on a thread of its own: reads the files the
// pass comes to next, plans their replace and deflates their originals.
#pragma once

#include "ChunkedSearch.h"
#include "ZipStreamWriter.h"

#include <QByteArray>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

// What was made of a file ahead of its turn. It is a guess at most: the
// pass uses it only where the file still holds exactly raw when its turn
// comes, and then the plan and the deflated original are what it would
// have made itself.
struct PreparedFile
{
    QByteArray raw;
    ChunkedSearch::Replaced plan;
    std::shared_ptr<const ZipStreamWriter::Deflated> deflated; // with a backup, for a file that changes
};

// The pass writes one file after another and mostly waits for the disk; the
// work of the files to come is done meanwhile on another core, at most a few
// files and a few MiB ahead. A file the pass reaches before this thread did
// is left to the pass, so the pass never waits for work it could do itself.
class ReplaceAhead
{
public:
    // prepare(i, stop) makes item i ready, or gives nullptr for an item not
    // worth it (skipped, unreadable, too large); it should give up once stop
    // is set.
    using Prepare =
        std::function<std::shared_ptr<const PreparedFile>(std::size_t index, const std::atomic<bool> &stop)>;

    ReplaceAhead(std::size_t count, Prepare prepare);
    // Stops the thread, waiting for the item at work.
    ~ReplaceAhead();
    ReplaceAhead(const ReplaceAhead &) = delete;
    ReplaceAhead &operator=(const ReplaceAhead &) = delete;

    // The pass is at item index (items are taken in rising order; those
    // passed over are dropped): what was made of it, waiting while it is at
    // work, or nullptr.
    std::shared_ptr<const PreparedFile> Take(std::size_t index);

private:
    void work();

    const std::size_t m_count;
    const Prepare m_prepare;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_next = 0;   // the next item to prepare
    std::size_t m_atWork;     // the item being prepared, else m_count
    std::size_t m_passAt = 0; // the item the pass is at: those before it are passed
    std::size_t m_heldBytes = 0;
    std::deque<std::pair<std::size_t, std::shared_ptr<const PreparedFile>>> m_held; // in rising order
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
