#include "cli/exit_status.h"

int ExitStatus(const RunSummary& summary) {
    if (summary.stopSignal != 0)
        return 128 + summary.stopSignal;
    if (summary.portFailed)
        return 4;
    // A port whose lines can no longer be read (an adapter pulled out) is a cable gone too.
    if (summary.linkOutcome == LinkOutcome::NoAnswer ||
        summary.linkOutcome == LinkOutcome::StatusReadFailed)
        return 3;
    if (summary.report.endedByCalculator || summary.report.declinedVariables > 0)
        return 2;
    if (summary.report.refusedFiles > 0 || summary.writeFailed)
        return 1;
    return 0;
}
