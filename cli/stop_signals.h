// Ctrl-C, SIGTERM and SIGHUP, taken by a thread of their own rather than by a handler, so that
// what they do needs no care for async-signal safety.
//
// The first Ctrl-C: the variable under way is finished, nothing further starts, the EOT still
// goes out, and a calculator that has not answered for a second is given up. A second Ctrl-C,
// SIGTERM or SIGHUP: every wait is given up at once (the lines are released on the way out).
#pragma once

// Call before any other thread exists: the signals are blocked in every thread but the
// watcher's.
void WatchStopSignals();
// The first stop signal received, 0 while none has come.
int StopSignal();
// Asks the link again for the stop that the signals so far call for: a job's start forgets a
// Cancel asked for before it.
void RenewStopRequest();
