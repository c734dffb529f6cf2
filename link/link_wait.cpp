#include "link/link_wait.h"

#include "link/link_state.h"

#include <algorithm>
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

Clock::duration reportLag{0};
Clock::time_point lastWrite;
LinkLines pendingPull = 0; // the reading bit of a pull not shown yet (1 CTS, 2 DSR), or 0
unsigned readingsSincePull = 0;

void NoteReading(LinkLines reading) {
    if (pendingPull == 0)
        return;
    ++readingsSincePull;
    if ((reading & pendingPull) != 0)
        return;
    if (readingsSincePull > 1)
        reportLag = std::max(reportLag, Clock::now() - lastWrite);
    pendingPull = 0;
}

Clock::duration LateReportBound() {
    if (reportLag == Clock::duration::zero())
        return reportLag;
    return 2 * reportLag + std::chrono::milliseconds(2);
}

// Both wires low while the PC pulls neither is the calculator's error signal; but a port that
// reports late still shows both low for a while after the PC has let go of its wire, as they
// were while it held it against the calculator's acknowledgement. Any other reading of the wait
// shows the port has caught up; until then the signal must also last kErrorSignalWait, since
// the first pulls of a job may not yet have shown how late the port reports.
constexpr std::chrono::milliseconds kErrorSignalWait{20};
class ErrorSignalWatch {
  public:
    bool Seen(LinkLines reading) {
        if (reading != 0) {
            caughtUp = true;
            return false;
        }
        if (!caughtUp && Clock::now() - lastWrite < LateReportBound() + kErrorSignalWait)
            return false;
        GiveUpLink(LinkOutcome::NoAnswer);
        return true;
    }

  private:
    bool caughtUp = false;
};
} // namespace

void NoteLinkWrite(LinkLines lines, bool newJob) {
    if (newJob)
        reportLag = Clock::duration::zero();
    lastWrite = Clock::now();
    pendingPull = lines == 3 ? 0 : lines;
    readingsSincePull = 0;
}

bool ReadingMayBeLate() {
    return Clock::now() - lastWrite < LateReportBound();
}

bool AwaitLines(bool (*IsDone)(LinkLines reading), bool patient, LinkLines* last, bool released) {
    const Clock::time_point start = Clock::now();
    bool sleeping = false; // a patient wait that has gone unanswered for kLinkSleepAfter
    ErrorSignalWatch errorSignal;
    for (unsigned polls = 1;; ++polls) {
        LinkLines reading = ReadLinkLines();
        NoteReading(reading);
        *last = reading;
        if (LinkGivenUp() || (released && errorSignal.Seen(reading)))
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
    ErrorSignalWatch errorSignal;
    for (;;) {
        LinkLines reading = ReadLinkLines();
        NoteReading(reading);
        const Clock::time_point now = Clock::now();
        if (LinkGivenUp() || errorSignal.Seen(reading))
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
