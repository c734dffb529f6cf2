#include "link/report_lateness.h"

#include <algorithm>

void ReportLateness::NoteWrite(LinkLines written, Clock::time_point now) {
    lastWrite = now;
    awaitsPull = PulledWire(written, &pulled);
    readingsSincePull = 0;
}

void ReportLateness::NoteReading(LinkLines reading, Clock::time_point now) {
    if (!awaitsPull)
        return;
    ++readingsSincePull;
    if (IsHigh(reading, pulled))
        return;
    if (readingsSincePull > 1)
        lag = std::max(lag, now - lastWrite);
    awaitsPull = false;
}

bool ReportLateness::MayBeStale(Clock::time_point now, Clock::duration margin) const {
    Clock::duration bound = margin;
    if (lag != Clock::duration::zero())
        bound += 2 * lag + std::chrono::milliseconds(2);
    return now - lastWrite < bound;
}
