// The workers of a search: they read and count the files of a list, in list
// order, as soon as they are listed, and hand the results back in list order.
#pragma once

#include "FilePass.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Workers take the items a few at a time, each with a work of its own (a
// pass, with its pattern and open folder), and may run far ahead of the
// item to report next: nothing can be reported before the list is
// complete, and then a core should not wait for the reporting. Only the
// thread that takes the results hands them on: results, figures and the
// stop stay those of a pass in order. Items change hands in batches: with many small
// files a thread switch per file would cost more than the file.
class SearchAhead
{
public:
    // A worker's work on one item: its result, or nothing when the stop came
    // while the file was worked on.
    using Work = std::function<std::optional<FileResult>(const FilePass::Item &)>;
    // Makes one worker's work, which gives up inside a file once stop is set.
    using MakeWork = std::function<Work(const std::atomic<bool> &stop)>;

    // Starts `atOnce` workers, and the others up to `threads` once one of
    // them has waited for the disk: where the files are in memory more
    // workers than cores only take turns on the same cores.
    // diskReads gives the blocks the calling thread has had read from a
    // disk so far (tests give their own).
    SearchAhead(int threads, int atOnce, MakeWork make, long (*diskReads)() = nullptr);
    // Stops the workers (each after its file at work) and waits for them.
    ~SearchAhead();
    SearchAhead(const SearchAhead &) = delete;
    SearchAhead &operator=(const SearchAhead &) = delete;

    // The next items of the list, on the thread that makes it.
    void Add(std::vector<FilePass::Item> items);
    // The list is complete. Count() and At() are then the items added.
    void Close();
    std::size_t Count() const { return m_items.size(); }
    const FilePass::Item &At(std::size_t index) const { return m_items[index]; }

    // After Close: waits until the result of the next item not yet taken is
    // there, or abortFlag is set, and moves it and the results that follow
    // it without a gap into ready (empty only when abortFlag is set).
    // whileWaiting runs every 50 ms of waiting.
    void TakeReady(std::vector<FileResult> &ready, const int &abortFlag, const std::function<void()> &whileWaiting);

private:
    struct Slot
    {
        FileResult result;
        bool done = false;
    };
    void work();
    // How many items a worker takes at a time.
    std::size_t batchSize() const;

    const int m_threads;
    const MakeWork m_make;
    long (*const m_diskReads)();
    std::mutex m_mutex;
    std::condition_variable m_finished, m_room;
    std::deque<FilePass::Item> m_items; // references stay valid while it grows
    bool m_closed = false;
    std::size_t m_taken = 0;        // the next item a worker takes
    std::size_t m_reported = 0;     // the items before it were taken by TakeReady
    std::deque<Slot> m_results;     // the items from m_reported to m_taken
    std::atomic<bool> m_allStarted; // all m_threads workers run
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_workers; // grows under m_mutex until the stop
};
