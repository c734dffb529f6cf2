// Ctrl-C, SIGTERM and SIGHUP, taken by a thread of their own rather than by a handler, so that
// what they do needs no care for async-signal safety.
//
// The first Ctrl-C: the variable under way is finished, nothing further starts, the EOT still
// goes out, and a calculator that has not answered for a second is given up. A second Ctrl-C,
// SIGTERM or SIGHUP: every wait is given up at once (the lines are released on the way out).
#pragma once

#include "transfer/transfer_job.h"

// Call before any other thread exists: the signals are blocked in every thread but the
// watcher's.
void WatchStopSignals();
// The first stop signal received, 0 while none has come.
int StopSignal();
// While it lives, the signals reach `job`; made, it asks the job for the stop that the signals
// so far call for.
class WatchedJob {
  public:
    explicit WatchedJob(TransferJob& job);
    ~WatchedJob();
    WatchedJob(const WatchedJob&) = delete;
    WatchedJob& operator=(const WatchedJob&) = delete;
};
