#include "link/ignored_pull_check.h"

void IgnoredPullCheck::NoteWrite(LinkLines written, Clock::time_point now) {
    awaitsPull = PulledWire(written, &pulled);
    this->written = now;
}

IgnoredPullCheck::Clock::duration IgnoredPullCheck::Bound(Clock::duration lateness) const {
    return pullsShown >= kPullsToKnowThePort ? 2 * lateness + kMargin : kUnknownPortBound;
}

bool IgnoredPullCheck::PullIgnored(LinkLines reading, Clock::time_point began,
                                   Clock::duration lateness, Wire* ignored) {
    if (!awaitsPull)
        return false;
    if (!IsHigh(reading, pulled)) {
        awaitsPull = false;
        ++pullsShown;
        return false;
    }
    const int index = pulled == Wire::RtsCts ? 0 : 1;
    // Judged by the time the read began: a read that began late saw the wire at least as it
    // was then, however long the program was off the processor before or during it.
    if (judged[index] || began - written < Bound(lateness))
        return false;
    judged[index] = true;
    awaitsPull = false;
    *ignored = pulled;
    return true;
}
