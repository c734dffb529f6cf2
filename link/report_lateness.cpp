#include "link/report_lateness.h"

#include <algorithm>

void ReportLateness::NoteWrite(LinkLines written, Clock::time_point now) {
    lastWrite = now;
    awaitsPull = PulledWire(written, &pulled);
    proven = Clock::duration::zero();
}

void ReportLateness::NoteReading(LinkLines reading, Clock::time_point began) {
    if (!awaitsPull)
        return;
    if (IsHigh(reading, pulled)) {
        proven = std::max(proven, began - lastWrite);
        return;
    }
    kept[next] = proven;
    next = (next + 1) % kKept;
    awaitsPull = false;
}

ReportLateness::Clock::duration ReportLateness::LearntLag() const {
    return *std::max_element(kept.begin(), kept.end());
}

bool ReportLateness::MayBeStale(Clock::time_point began, Clock::duration margin) const {
    Clock::duration bound = margin;
    const Clock::duration lag = LearntLag();
    if (lag != Clock::duration::zero())
        bound += 2 * lag + std::chrono::milliseconds(2);
    return began - lastWrite < bound;
}

void ReportLateness::Forget() {
    kept.fill(Clock::duration::zero());
    next = 0;
    awaitsPull = false;
}
