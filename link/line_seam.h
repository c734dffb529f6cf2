// The serial port seen as two link wires: the two line primitives that all link traffic rests
// on. Each system has its own (Win32, POSIX); the tests put a virtual cable behind it.
#pragma once

#include "link/link_lines.h"

#include <string>

class JobEvents;

class LineSeam {
  public:
    virtual ~LineSeam() = default;
    // Writes both outputs (see link_lines.h); a seam that knows an output's state may leave it
    // alone when it is already as asked.
    virtual void SetLinkLines(LinkLines lines) = 0;
    // Reads both inputs into *lines (0 to 3); false when the status could not be read.
    virtual bool ReadLinkLines(LinkLines* lines) = 0;
    // Tells the user that a status read failed; once per job (the job gives the link up).
    virtual void TellStatusReadFailure(JobEvents& events) = 0;
    // The driver ignored a pull of `wire` (its own input never showed it): from now on the
    // output of that wire is switched another way. False when the seam has no other way.
    virtual bool SwitchAnotherWay(Wire) { return false; }
    // Where the user sets the port's latency timer (a USB adapter's), for advice; empty when
    // the seam cannot tell.
    virtual std::string LatencyTimerSetting() const { return {}; }
};
