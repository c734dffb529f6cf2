// Polling the link lines until a condition shows, within the job's give-up policy. One loop
// serves every kind of wait; the kind decides how long it may last and what ends it early.
//
// No single reading decides anything: the reading that meets a wait's condition must be read
// again, alike, before the wait ends (a second read of a level the wire keeps anyway), and both
// wires low is taken for the calculator's error signal only when two readings in a row show it.
// Every reading is judged by the time its read began.
#pragma once

#include "link/job_link.h"

#include <chrono>

// How long a wait that no person holds up may go without the change it waits for. A TI-85
// gives a bit about 2 s before it gives the link up.
constexpr std::chrono::milliseconds kLinkAnswerLimit{2000};
// How long a wait must have gone unanswered before Cancel gives it up.
constexpr std::chrono::milliseconds kLinkCancelGrace{1000};
// How long a wait for a person polls at full speed. Past it, it sleeps between polls: that
// wait may last minutes while the user gets the calculator ready, and costs no processor then.
// A calculator that answers meanwhile loses at most one sleep, once per packet.
constexpr std::chrono::milliseconds kLinkSleepAfter{100};
// How long the link must read idle before the first bit of a packet the PC sends: the release
// of the PC's last acknowledgement must last long enough for a calculator that counts a level
// only once it has held for a few milliseconds.
constexpr std::chrono::milliseconds kLinkIdleHold{3};
// How long a calculator may keep its acknowledgement after the PC let go of its wire, beyond
// what the port's lateness hides. A TI-85 lets go within microseconds, a slow calculator (or a
// simulated one on a busy machine) within milliseconds; a wire held low longer than this after
// the PC's last bit of a packet is the calculator's first bit of its answer. Far below the 2 s a
// calculator holds a bit before it gives up, so that bit is still there.
constexpr std::chrono::milliseconds kLinkAckLongest{200};
// How long a wait for the calculator to start sending sleeps between its looks at the link: the
// calculator holds each bit for about 2 s, so a few milliseconds lose nothing and cost no
// processor. Together with the look itself it stays under 10 ms.
constexpr std::chrono::milliseconds kListenPause{4};

enum class WaitKind {
    // A wait that may wait for a person (the calculator not yet in receive mode, a prompt on
    // it): as long as it takes, until the job is told to stop.
    Person,
    // An answer: given up after kLinkAnswerLimit.
    Answer,
    // The release of the calculator's acknowledgement, while the PC pulls no wire: as Answer,
    // and both wires low can then only be the calculator's error signal (its user pressed ON
    // and it has left receive mode), which gives the wait up at once as not answering, once
    // the reading cannot be a late report of the PC's own last pull.
    AckRelease,
    // The idle link before a packet the PC sends: as AckRelease.
    IdleLink,
    // The wait for the calculator to begin sending (receiving): for a person as Person, but
    // sleeping kListenPause between all its looks, and any stop request ends it at once.
    Listen,
};

// A reading and the time its read began.
struct TimedReading {
    LinkLines lines = kIdleReading;
    std::chrono::steady_clock::time_point at;
};

// One wait's readings. Each Next reads the lines once, after the give-up checks that the
// readings before it call for.
class LineWait {
  public:
    using Clock = std::chrono::steady_clock;

    LineWait(JobLink& link, WaitKind kind);
    // False when the wait is given up (the link is then given up too).
    bool Next(TimedReading* reading);

  private:
    bool GoOn();
    bool ErrorSignalSeen(const TimedReading& reading);

    JobLink& link;
    const WaitKind kind;
    const Clock::time_point start;
    Clock::time_point lastRead;
    bool read = false;
    bool caughtUp = false;   // two readings in a row other than both wires low have come
    bool lastBothLow = true; // the reading before showed both wires low (or none came yet)
    bool signalSeen = false; // the reading before counted as the error signal
};

// Polls until `done(reading, began)` holds for a reading and the next one reads alike, and
// returns that reading in *last. `done` may hold state. False when the wait was given up.
template <typename Condition>
bool AwaitLines(JobLink& link, WaitKind kind, Condition&& done, LinkLines* last) {
    LineWait wait(link, kind);
    TimedReading reading;
    bool shown = false; // the reading before met the condition
    LinkLines candidate = kIdleReading;
    while (wait.Next(&reading)) {
        if (shown && reading.lines == candidate) {
            *last = reading.lines;
            return true;
        }
        shown = done(reading.lines, reading.at);
        candidate = reading.lines;
    }
    return false;
}

// Until the link has read idle for kLinkIdleHold without a break (WaitKind::IdleLink).
bool AwaitIdleLink(JobLink& link);
