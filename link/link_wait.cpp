#include "link/link_wait.h"

#include <thread>

namespace {
using Clock = LineWait::Clock;

// Reading the clock costs more than a line read on some systems; look at it every few polls.
constexpr unsigned kPollsPerClockCheck = 16;

// Both wires low while the PC pulls neither is the calculator's error signal; but a port that
// reports late still shows both low for a while after the PC has let go of its wire, as they
// were while it held it against the calculator's acknowledgement. Any other reading of the wait
// shows the port has caught up; until then the signal must also last this long, since the
// first pulls of a job may not yet have shown how late the port reports.
constexpr std::chrono::milliseconds kErrorSignalWait{20};

// The shortest sleep the system gives: about 1 ms under Linux and Wine, one timer tick
// (about 16 ms) under Windows, whose timer resolution is left as it is.
void PauseBetweenPolls(WaitKind kind) {
    std::this_thread::sleep_for(kind == WaitKind::Listen ? kListenPause
                                                         : std::chrono::milliseconds(1));
}

bool WatchesErrorSignal(WaitKind kind) {
    return kind == WaitKind::AckRelease || kind == WaitKind::IdleLink;
}

// The reason to give the wait up after `waited`, or Running to go on.
LinkOutcome GiveUpReason(WaitKind kind, LinkStop stop, Clock::duration waited) {
    if (stop == LinkStop::Closing)
        return LinkOutcome::StopRequested;
    if (kind == WaitKind::Listen)
        return stop == LinkStop::None ? LinkOutcome::Running : LinkOutcome::StopRequested;
    if (kind == WaitKind::PacketStart)
        return stop == LinkStop::Cancel && waited >= kLinkCancelGrace ? LinkOutcome::StopRequested
                                                                      : LinkOutcome::Running;
    return waited >= kLinkAnswerLimit ? LinkOutcome::NoAnswer : LinkOutcome::Running;
}

// The hold is timed from one idle reading to a later one.
class IdleHeld {
  public:
    bool operator()(LinkLines reading) {
        const Clock::time_point now = Clock::now();
        if (reading != kIdleReading) {
            idle = false;
            return false;
        }
        if (!idle) {
            idle = true;
            since = now;
            return false;
        }
        return now - since >= kLinkIdleHold;
    }

  private:
    bool idle = false;
    Clock::time_point since;
};
} // namespace

LineWait::LineWait(JobLink& link, WaitKind kind) : link(link), kind(kind), start(Clock::now()) {}

bool LineWait::Poll(LinkLines* reading) {
    if (polls > 0 && !GoOn())
        return false;
    ++polls;
    *reading = link.Read();
    return !link.GivenUp() && !(WatchesErrorSignal(kind) && ErrorSignalSeen(*reading));
}

bool LineWait::GoOn() {
    if (kind != WaitKind::IdleLink && kind != WaitKind::Listen && !sleeping &&
        polls % kPollsPerClockCheck != 0)
        return true;
    const Clock::duration waited = Clock::now() - start;
    const LinkOutcome reason = GiveUpReason(kind, link.StopRequest(), waited);
    if (reason != LinkOutcome::Running) {
        link.GiveUp(reason);
        return false;
    }
    sleeping =
        kind == WaitKind::Listen || (kind == WaitKind::PacketStart && waited >= kLinkSleepAfter);
    if (sleeping)
        PauseBetweenPolls(kind);
    return true;
}

bool LineWait::ErrorSignalSeen(LinkLines reading) {
    if (reading != kBothLowReading) {
        caughtUp = true;
        return false;
    }
    if (!caughtUp && link.ThePort().Lateness().MayBeStale(Clock::now(), kErrorSignalWait))
        return false;
    link.GiveUp(LinkOutcome::NoAnswer);
    return true;
}

bool AwaitIdleLink(JobLink& link) {
    LinkLines reading;
    return AwaitLines(link, WaitKind::IdleLink, IdleHeld(), &reading);
}
