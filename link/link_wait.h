// Polling the link lines until a condition shows, within the job's give-up policy.
#pragma once

#include "link/link_port.h"

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

// The PC's own line writes (lines 1 pulls the RTS/CTS wire, 2 the DTR/DSR wire, 3 lets go), so
// that the waits learn how late the port reports the lines. Some ports do: a USB adapter whose
// driver answers a status read from the adapter's last report, which comes once per latency
// timer (16 ms by default). `newJob` forgets what the last job learnt.
void NoteLinkWrite(LinkLines lines, bool newJob = false);
// Whether a reading now may still be a late report from before the PC's last write: for twice
// the longest time in this job from a pull to the first reading that showed it (counted only
// where the first reading after the pull did not), and 2 ms more; never on a port that has
// reported at once, however slow its calls.
bool ReadingMayBeLate();

// Polls ReadLinkLines until IsDone(reading) holds, and returns that reading in *last. No sleep,
// except in a packet's first wait (patient) once it has gone kLinkSleepAfter unanswered. That
// wait lasts until the job is told to stop; any other gives up after kLinkAnswerLimit. While the
// PC pulls no wire (`released`), both wires low can only be the calculator's error signal (its
// user pressed ON, and it has left receive mode): the wait is given up at once as not
// answering, once the reading cannot be a late report of the PC's own last pull. Returns false
// when the wait was given up (the link is then given up too).
bool AwaitLines(bool (*IsDone)(LinkLines reading), bool patient, LinkLines* last,
                bool released = false);

// Polls until the link has read idle (3) for kLinkIdleHold without a break; gives up like a wait
// inside a packet when that has not come within kLinkAnswerLimit, and at once on the error
// signal. False when given up.
bool AwaitIdleLink();
