#include "link/link_wait.h"

#include <thread>

namespace {
using Clock = LineWait::Clock;

// Both wires low while the PC pulls neither is the calculator's error signal; but a port that
// reports late still shows both low for a while after the PC has let go of its wire, as they
// were while it held it against the calculator's acknowledgement. Readings other than both low
// show the port has caught up; until then the signal must also last this long, since the first
// pulls of a job may not yet have shown how late the port reports.
constexpr std::chrono::milliseconds kErrorSignalWait{20};

// The shortest sleep the system gives: about 1 ms under Linux and Wine, one timer tick
// (about 16 ms) under Windows, whose timer resolution is left as it is; kListenPause listening.
void PauseBetweenPolls(WaitKind kind) {
    std::this_thread::sleep_for(kind == WaitKind::Listen ? kListenPause
                                                         : std::chrono::milliseconds(1));
}

bool WatchesErrorSignal(WaitKind kind) {
    return kind == WaitKind::AckRelease || kind == WaitKind::IdleLink;
}

// The reason to give the wait up once a reading begun `waited` after its start has not ended
// it, or Running to go on. Cancel gives up a calculator that has not answered for a while.
LinkOutcome GiveUpReason(WaitKind kind, LinkStop stop, Clock::duration waited) {
    if (stop == LinkStop::Closing)
        return LinkOutcome::StopRequested;
    if (kind == WaitKind::Listen)
        return stop == LinkStop::None ? LinkOutcome::Running : LinkOutcome::StopRequested;
    if (stop == LinkStop::Cancel && waited >= kLinkCancelGrace)
        return LinkOutcome::StopRequested;
    if (kind != WaitKind::Person && waited >= kLinkAnswerLimit)
        return LinkOutcome::NoAnswer;
    return LinkOutcome::Running;
}

// The hold is timed from one idle reading to a later one.
class IdleHeld {
  public:
    bool operator()(LinkLines reading, Clock::time_point at) {
        if (reading != kIdleReading) {
            idle = false;
            return false;
        }
        if (!idle) {
            idle = true;
            since = at;
            return false;
        }
        return at - since >= kLinkIdleHold;
    }

  private:
    bool idle = false;
    Clock::time_point since;
};
} // namespace

LineWait::LineWait(JobLink& link, WaitKind kind) : link(link), kind(kind), start(Clock::now()) {}

bool LineWait::Next(TimedReading* reading) {
    if (read && !GoOn())
        return false;
    read = true;
    reading->lines = link.Read(&reading->at);
    lastRead = reading->at;
    return !link.GivenUp() && !(WatchesErrorSignal(kind) && ErrorSignalSeen(*reading));
}

bool LineWait::GoOn() {
    const Clock::duration waited = lastRead - start;
    const LinkOutcome reason = GiveUpReason(kind, link.StopRequest(), waited);
    if (reason != LinkOutcome::Running) {
        link.GiveUp(reason);
        return false;
    }
    if (kind == WaitKind::Listen || (kind == WaitKind::Person && waited >= kLinkSleepAfter))
        PauseBetweenPolls(kind);
    return true;
}

bool LineWait::ErrorSignalSeen(const TimedReading& reading) {
    const bool bothLow = reading.lines == kBothLowReading;
    if (!bothLow) {
        caughtUp = caughtUp || !lastBothLow;
        lastBothLow = false;
        signalSeen = false;
        return false;
    }
    lastBothLow = true;
    if (!caughtUp && link.ThePort().Lateness().MayBeStale(reading.at, kErrorSignalWait))
        return false;
    if (!signalSeen) {
        signalSeen = true;
        return false;
    }
    link.GiveUp(LinkOutcome::NoAnswer);
    return true;
}

bool AwaitIdleLink(JobLink& link) {
    LinkLines reading;
    return AwaitLines(link, WaitKind::IdleLink, IdleHeld(), &reading);
}
