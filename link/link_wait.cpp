#include "link/link_wait.h"

#include "link/link_state.h"

#include <thread>

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

// The shortest sleep the system gives: about 1 ms under Linux and Wine, one timer tick
// (about 16 ms) under Windows, whose timer resolution is left as it is.
void PauseBetweenPolls() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool GaveUp(bool patient, Clock::duration waited) {
    LinkOutcome reason;
    if (!ShouldGiveUp(patient, waited, &reason))
        return false;
    GiveUpLink(reason);
    return true;
}

bool ErrorSignal(LinkLines reading) {
    if (reading != 0)
        return false;
    GiveUpLink(LinkOutcome::NoAnswer);
    return true;
}
} // namespace

bool AwaitLines(bool (*IsDone)(LinkLines reading), bool patient, LinkLines* last, bool released) {
    const Clock::time_point start = Clock::now();
    bool sleeping = false; // a patient wait that has gone unanswered for kLinkSleepAfter
    for (unsigned polls = 1;; ++polls) {
        LinkLines reading = ReadLinkLines();
        *last = reading;
        if (LinkGivenUp() || (released && ErrorSignal(reading)))
            return false;
        if (IsDone(reading))
            return true;
        if (!sleeping && polls % kPollsPerClockCheck != 0)
            continue;
        const Clock::duration waited = Clock::now() - start;
        if (GaveUp(patient, waited))
            return false;
        sleeping = patient && waited >= kLinkSleepAfter;
        if (sleeping)
            PauseBetweenPolls();
    }
}

// The hold is timed from one idle reading to a later one, so the clock is read at every poll.
bool AwaitIdleLink() {
    const Clock::time_point start = Clock::now();
    Clock::time_point idleSince = start;
    bool idle = false;
    for (;;) {
        LinkLines reading = ReadLinkLines();
        const Clock::time_point now = Clock::now();
        if (LinkGivenUp() || ErrorSignal(reading))
            return false;
        if (reading != 3) {
            idle = false;
        } else if (!idle) {
            idle = true;
            idleSince = now;
        } else if (now - idleSince >= kLinkIdleHold) {
            return true;
        }
        if (GaveUp(false, now - start))
            return false;
    }
}
