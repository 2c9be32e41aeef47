// SIGINT and SIGTERM as the stop button while a run lasts.
#include "StopSignals.h"

#include "PosixFile.h"

namespace {

constexpr int Handled[2] = {SIGINT, SIGTERM};

volatile std::sig_atomic_t g_received = 0;

extern "C" void onStopSignal(int signal)
{
    if (g_received == 0) {
        g_received = signal;
        return;
    }
    // Asked twice: the person does not want to wait for the stop.
    // The temporary file of a write in progress would stay behind with a
    // whole copy of the file; this call is async-signal-safe.
    PosixFile::RemovePendingTemporaries();
    std::signal(signal, SIG_DFL);
    // Blocked while this handler runs; delivered, and fatal, on its return.
    std::raise(signal);
}

} // namespace

StopSignals::StopSignals()
{
    g_received = 0;
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    // Interrupted reads and writes resume: the file layer need not know.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int s : Handled)
        sigaddset(&action.sa_mask, s);
    for (int i = 0; i < 2; ++i) {
        if (::sigaction(Handled[i], nullptr, &m_previous[i]) != 0 || m_previous[i].sa_handler == SIG_IGN)
            continue;
        m_installed[i] = ::sigaction(Handled[i], &action, nullptr) == 0;
    }
}

StopSignals::~StopSignals()
{
    for (int i = 0; i < 2; ++i)
        if (m_installed[i])
            ::sigaction(Handled[i], &m_previous[i], nullptr);
}

int StopSignals::Received()
{
    return g_received;
}
