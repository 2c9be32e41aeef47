// SIGINT and SIGTERM as the stop button while a run lasts.
#pragma once

#include <csignal>

// While an instance lives, the first SIGINT or SIGTERM is only noted (the run
// polls Received and stops as after the stop button: the current file is
// finished, the backup archive completed); a second one removes the temporary
// file of a write in progress and ends the program at once. Before and after,
// the signals do what they did before (a signal the program inherited as
// ignored stays ignored). One instance at a time.
class StopSignals
{
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // The first signal received since the last instance was made, 0 when none.
    static int Received();

private:
    struct sigaction m_previous[2];
    bool m_installed[2] = {false, false};
};
