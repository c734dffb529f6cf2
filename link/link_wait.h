// Polling the link lines until a condition shows, within the job's give-up policy. One loop
// serves every kind of wait; the kind decides how long it may last and what ends it early.
#pragma once

#include "link/job_link.h"

#include <chrono>

// How long a wait inside a packet may go without the change it waits for.
constexpr std::chrono::milliseconds kLinkAnswerLimit{2000};
// How long a packet's first wait must have gone unanswered before Cancel gives it up.
constexpr std::chrono::milliseconds kLinkCancelGrace{1000};
// How long a packet's first wait polls at full speed. Past it, it sleeps between polls: that
// wait may last minutes while the user gets the calculator ready, and costs no processor then.
// A calculator that answers meanwhile loses at most one sleep, once per packet.
constexpr std::chrono::milliseconds kLinkSleepAfter{100};
// How long the link must read idle before the first bit of a packet the PC sends: the release
// of the PC's last acknowledgement must last long enough for a calculator that counts a level
// only once it has held for up to a millisecond, looking at the wires every 100 us or so.
constexpr std::chrono::microseconds kLinkIdleHold{1500};
// How long a wait for the calculator to start sending sleeps between its looks at the link: the
// calculator holds each bit for about 2 s, so a few milliseconds lose nothing and cost no
// processor. Together with the look itself it stays under 10 ms.
constexpr std::chrono::milliseconds kListenPause{4};

enum class WaitKind {
    // A packet's first wait: as long as a person needs (the calculator not yet in receive mode,
    // a prompt on it), until the job is told to stop; Cancel only after kLinkCancelGrace.
    PacketStart,
    // An answer inside a packet: given up after kLinkAnswerLimit.
    Answer,
    // The release of the calculator's acknowledgement, while the PC pulls no wire: as Answer,
    // and both wires low can then only be the calculator's error signal (its user pressed ON
    // and it has left receive mode), which gives the wait up at once as not answering, once
    // the reading cannot be a late report of the PC's own last pull.
    AckRelease,
    // The idle link before a packet the PC sends: as AckRelease, the clock read at every poll.
    IdleLink,
    // The wait for the calculator to begin sending (receiving): for a person, without limit,
    // sleeping kListenPause between looks; any stop request ends it at once.
    Listen,
};

// One wait's polls. Each Poll reads the lines once, after the give-up checks that the readings
// before it call for.
class LineWait {
  public:
    using Clock = std::chrono::steady_clock;

    LineWait(JobLink& link, WaitKind kind);
    // False when the wait is given up (the link is then given up too).
    bool Poll(LinkLines* reading);

  private:
    bool GoOn();
    bool ErrorSignalSeen(LinkLines reading);

    JobLink& link;
    const WaitKind kind;
    const Clock::time_point start;
    unsigned polls = 0;
    bool sleeping = false; // a packet's first wait that has gone unanswered for kLinkSleepAfter
    bool caughtUp = false; // a reading other than both wires low has come
};

// Polls until `done(reading)` holds, and returns that reading in *last. `done` may hold state.
// False when the wait was given up.
template <typename Condition>
bool AwaitLines(JobLink& link, WaitKind kind, Condition&& done, LinkLines* last) {
    LineWait wait(link, kind);
    while (wait.Poll(last))
        if (done(*last))
            return true;
    return false;
}

// Until the link has read idle for kLinkIdleHold without a break (WaitKind::IdleLink).
bool AwaitIdleLink(JobLink& link);
