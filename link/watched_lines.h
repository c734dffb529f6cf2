// The port's lines as the jobs use them, watched: how long a line call takes (through a USB
// adapter each is a round trip), and whether the driver carries out the PC's pulls; an output
// whose pull it ignored is switched another way from then on (line_seam.h).
#pragma once

#include "link/ignored_pull_check.h"
#include "link/line_seam.h"
#include "link/report_lateness.h"

#include <array>
#include <chrono>

// The recent line calls' durations. The smallest stands for the call time: the program's own
// stalls can only make a call look longer.
class LineCallTimes {
  public:
    using Clock = std::chrono::steady_clock;

    void Note(Clock::duration call);
    // Zero before any call.
    Clock::duration Typical() const;

  private:
    std::array<Clock::duration, 16> recent{};
    unsigned count = 0;
};

class WatchedLines : public LineSeam {
  public:
    using Clock = std::chrono::steady_clock;

    // `lateness` is the port's: it gives the time a pull may take to show, and is told of a
    // write made again another way.
    WatchedLines(LineSeam& seam, ReportLateness& lateness) : seam(seam), lateness(lateness) {}

    void SetLinkLines(LinkLines lines) override;
    bool ReadLinkLines(LinkLines* lines) override;
    void TellStatusReadFailure(JobEvents& events) override { seam.TellStatusReadFailure(events); }
    bool SwitchAnotherWay(Wire wire) override { return seam.SwitchAnotherWay(wire); }
    std::string LatencyTimerSetting() const override { return seam.LatencyTimerSetting(); }

    Clock::duration CallTime() const { return calls.Typical(); }
    // Whether the output of `wire` has been switched another way since the driver ignored it.
    bool SwitchedAnotherWay(Wire wire) const;

  private:
    LineSeam& seam;
    ReportLateness& lateness;
    IgnoredPullCheck pulls;
    LineCallTimes calls;
    LinkLines lastWritten = kReleaseBoth;
    bool anotherWay[2] = {false, false};
};
