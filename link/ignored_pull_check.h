// Whether the port's driver carried out the PC's pulls. The
// PC's own pull always shows on its own input (a wire reads low while either end pulls it), so a
// pull that never shows, though the port has had the time it has shown it needs to report, was
// ignored by the driver: Windows' usbser.sys is reported to ignore an RTS switch unless DTR
// changes with it.
//
// A value of its own, fed with the PC's writes and readings and the time of each; it reads no
// clock, so that its rules can be tried in simulated time.
#pragma once

#include "link/link_lines.h"

#include <chrono>

class IgnoredPullCheck {
  public:
    using Clock = std::chrono::steady_clock;

    // Until a few pulls have shown, the port has shown little: the lateness learnt from them
    // may still be short of its report period, and a latency timer may be at its largest
    // (255 ms).
    static constexpr Clock::duration kUnknownPortBound = std::chrono::milliseconds(500);
    static constexpr unsigned kPullsToKnowThePort = 16;
    // Beyond twice the port's learnt lateness: a report that came late for once.
    static constexpr Clock::duration kMargin = std::chrono::milliseconds(20);

    // The PC wrote `written` at `now`.
    void NoteWrite(LinkLines written, Clock::time_point now);
    // A reading whose read began at `began`, on a port whose reports have been learnt to come
    // up to `lateness` late. True, once per wire, when the awaited pull has not shown though
    // the port had the time: `*ignored` is the wire whose output the driver did not switch.
    bool PullIgnored(LinkLines reading, Clock::time_point began, Clock::duration lateness,
                     Wire* ignored);
  private:
    Clock::duration Bound(Clock::duration lateness) const;

    bool awaitsPull = false;
    Wire pulled = Wire::RtsCts;
    Clock::time_point written;
    unsigned pullsShown = 0;
    bool judged[2] = {false, false}; // a wire found ignored once is not judged again
};
