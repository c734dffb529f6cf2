// The program's exit status: what the worst thing that happened was.
//
//   0   every file sent (received)  3   the calculator stopped answering (sending)
//   1   a file refused (batch on),  4   the port could not be opened or is in use
//       or one not written          64  usage
//   2   the calculator declined     130 stopped with Ctrl-C (128 + n for SIGTERM, SIGHUP)
//       or ended the batch
//
// When several apply, the most serious wins: a stop signal, then 4, 3, 2, 1.
#pragma once

#include "link/link_outcome.h"
#include "transfer/batch_report.h"

constexpr int kUsageStatus = 64;

struct RunSummary {
    int stopSignal = 0; // the first stop signal received, 0 when none
    bool portFailed = false;
    LinkOutcome linkOutcome = LinkOutcome::Running;
    BatchReport report;
    bool writeFailed = false; // receiving: a received variable could not be written
};

int ExitStatus(const RunSummary& summary);
