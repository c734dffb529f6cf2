#include "cli/stop_signals.h"

#include "link/link_state.h"
#include "transfer/batch_stop.h"
#include "ui/terminal_output.h"

#include <atomic>
#include <csignal>
#include <pthread.h>
#include <thread>

namespace {
std::atomic<int> firstSignal{0};
std::atomic<int> signalCount{0};

sigset_t StopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

bool StopsAtOnce() {
    return signalCount.load() > 1 || (firstSignal.load() != 0 && firstSignal.load() != SIGINT);
}

void Watch(sigset_t set) {
    for (;;) {
        int signal = 0;
        if (sigwait(&set, &signal) != 0)
            continue;
        int expected = 0;
        firstSignal.compare_exchange_strong(expected, signal);
        ++signalCount;
        // Told before it is asked for: the program may end as soon as the link lets go.
        if (StopsAtOnce())
            WritePermanentLine("calquin: stopping now");
        else
            WritePermanentLine("calquin: stopping after the variable under way "
                               "(Ctrl-C again stops at once)");
        RequestBatchStop();
        RenewStopRequest();
    }
}
} // namespace

void WatchStopSignals() {
    sigset_t set = StopSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread(Watch, set).detach();
}

int StopSignal() {
    return firstSignal.load();
}

void RenewStopRequest() {
    if (StopSignal() == 0)
        return;
    RequestLinkStop(StopsAtOnce() ? LinkStop::Closing : LinkStop::Cancel);
}
