#include "link/link_wait.h"

#include "link/link_state.h"

namespace {
using Clock = std::chrono::steady_clock;

// Reading the clock costs more than a line read on some systems; look at it every few polls.
constexpr unsigned kPollsPerClockCheck = 16;

bool ShouldGiveUp(bool patient, Clock::duration waited, LinkOutcome* reason) {
    LinkStop stop = LinkStopRequest();
    *reason = LinkOutcome::StopRequested;
    if (stop == LinkStop::Closing)
        return true;
    if (patient)
        return stop == LinkStop::Cancel && waited >= kLinkCancelGrace;
    *reason = LinkOutcome::NoAnswer;
    return waited >= kLinkAnswerLimit;
}
} // namespace

bool AwaitLines(bool (*IsDone)(LinkLines reading), bool patient, LinkLines* last) {
    const Clock::time_point start = Clock::now();
    for (unsigned polls = 1;; ++polls) {
        LinkLines reading = ReadLinkLines();
        *last = reading;
        if (LinkGivenUp())
            return false;
        if (IsDone(reading))
            return true;
        if (polls % kPollsPerClockCheck != 0)
            continue;
        LinkOutcome reason;
        if (ShouldGiveUp(patient, Clock::now() - start, &reason)) {
            GiveUpLink(reason);
            return false;
        }
    }
}
