// How late a port reports its input lines, learnt from the PC's own pulls. Some ports do: a USB
// adapter whose driver answers a status read from the adapter's last report, which comes once
// per latency timer (16 ms by default). A reading may then still show the lines as they were
// before the PC's last write.
//
// A value of its own, fed with the PC's writes and readings and the time of each; it reads no
// clock, so that its rules can be tried in simulated time.
#pragma once

#include "link/link_lines.h"

#include <chrono>

class ReportLateness {
  public:
    using Clock = std::chrono::steady_clock;

    // The PC wrote `written` at `now`: a pull is awaited on the inputs.
    void NoteWrite(LinkLines written, Clock::time_point now);
    // Whether a pull is still awaited: only then does NoteReading need the time.
    bool AwaitsPull() const { return awaitsPull; }
    // A reading at `now`. The first one that shows the awaited pull, when it is not the first
    // reading after the write, teaches how late the port reports: the longest such delay counts.
    void NoteReading(LinkLines reading, Clock::time_point now);
    // Whether a reading at `now` may still be a late report from before the last write: for
    // twice the longest delay learnt, and 2 ms more (never on a port that has reported at once,
    // however slow its calls), plus `margin`.
    bool MayBeStale(Clock::time_point now, Clock::duration margin = Clock::duration::zero()) const;
    // Forgets the delay learnt (a new job, perhaps on another port).
    void Forget() {
        lag = Clock::duration::zero();
        pullsAtOnce = 0;
    }
    // Whether the port has shown how it reports: a delay learnt, or kPullsAtOnceProof pulls seen
    // in the first reading after their write. Until then MayBeStale cannot tell a late report.
    bool Known() const;

    Clock::duration LearntLag() const { return lag; }

  private:
    Clock::duration lag{0};
    Clock::time_point lastWrite;
    bool awaitsPull = false;
    Wire pulled = Wire::RtsCts;
    unsigned readingsSincePull = 0;
    unsigned pullsAtOnce = 0;
};
