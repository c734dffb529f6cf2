// How late a port reports its input lines, learnt from the PC's own pulls. Some ports do: a USB
// adapter whose driver answers a status read from the adapter's last report, which comes once
// per latency timer (16 ms by default). A reading may then still show the lines as they were
// before the PC's last write.
//
// A value of its own, fed with the PC's writes and readings and the time of each; it reads no
// clock, so that its rules can be tried in simulated time.
#pragma once

#include "link/link_lines.h"

#include <array>
#include <chrono>
#include <cstddef>

class ReportLateness {
  public:
    using Clock = std::chrono::steady_clock;

    // The PC's write of `written` had reached the port by `now` (the write call had returned):
    // a pull is then awaited on the inputs.
    void NoteWrite(LinkLines written, Clock::time_point now);
    // Whether a pull is still awaited: only then does NoteReading need the time.
    bool AwaitsPull() const { return awaitsPull; }
    // A reading whose read began at `began`. A reading that does not yet show the awaited pull
    // proves the port at least that late (whatever kept the program from reading sooner); the
    // first one that shows it closes the pull's observation: the latest such proof, or none.
    void NoteReading(LinkLines reading, Clock::time_point began);
    // Whether a reading begun at `began` may still be a late report from before the last write:
    // for twice the lag learnt, and 2 ms more (never on a port that has reported at once,
    // however slow its calls), plus `margin`.
    bool MayBeStale(Clock::time_point began,
                    Clock::duration margin = Clock::duration::zero()) const;
    // Forgets what was learnt (a new job, perhaps on another port).
    void Forget();

    // The largest of the last kKept observations: it follows the port down as well as up.
    Clock::duration LearntLag() const;

    static constexpr std::size_t kKept = 16; // two bytes' worth of pulls

  private:
    std::array<Clock::duration, kKept> kept{};
    std::size_t next = 0;
    Clock::time_point lastWrite;
    Clock::duration proven{0}; // the current pull's: how late its readings have shown the port
    bool awaitsPull = false;
    Wire pulled = Wire::RtsCts;
};
