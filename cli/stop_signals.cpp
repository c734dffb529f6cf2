#include "cli/stop_signals.h"

#include "ui/terminal_output.h"

#include <atomic>
#include <csignal>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace {
std::atomic<int> firstSignal{0};
std::atomic<int> signalCount{0};
std::mutex watchedLock;
TransferJob* watched = nullptr; // the job the signals reach, under watchedLock

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

// Asks the job's link for the stop that the signals so far call for.
void RenewStopRequest(TransferJob& job) {
    if (firstSignal.load() == 0)
        return;
    job.Link().RequestStop(StopsAtOnce() ? LinkStop::Closing : LinkStop::Cancel);
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
        std::lock_guard<std::mutex> hold(watchedLock);
        if (watched) {
            watched->RequestBatchStop();
            RenewStopRequest(*watched);
        }
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

WatchedJob::WatchedJob(TransferJob& job) {
    std::lock_guard<std::mutex> hold(watchedLock);
    watched = &job;
    if (StopSignal() != 0)
        job.RequestBatchStop();
    RenewStopRequest(job);
}

WatchedJob::~WatchedJob() {
    std::lock_guard<std::mutex> hold(watchedLock);
    watched = nullptr;
}
