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
    else
        ++pullsAtOnce;
    awaitsPull = false;
}

bool ReportLateness::Known() const {
    // A port that reports late still shows a pull at once now and then, when a report happens to
    // come just after the write; so many in a row it does not show.
    constexpr unsigned kPullsAtOnceProof = 16;
    return lag != Clock::duration::zero() || pullsAtOnce >= kPullsAtOnceProof;
}

bool ReportLateness::MayBeStale(Clock::time_point now, Clock::duration margin) const {
    Clock::duration bound = margin;
    if (lag != Clock::duration::zero())
        bound += 2 * lag + std::chrono::milliseconds(2);
    return now - lastWrite < bound;
}
