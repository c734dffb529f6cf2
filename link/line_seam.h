// The serial port seen as two link wires: the two line primitives that all link traffic rests
// on. Each system has its own (Win32, POSIX); the tests put a virtual cable behind it.
#pragma once

#include "link/link_lines.h"

class JobEvents;

class LineSeam {
  public:
    virtual ~LineSeam() = default;
    // Writes both outputs, RTS then DTR, whatever their state (see link_lines.h).
    virtual void SetLinkLines(LinkLines lines) = 0;
    // Reads both inputs into *lines (0 to 3); false when the status could not be read.
    virtual bool ReadLinkLines(LinkLines* lines) = 0;
    // Tells the user that a status read failed; once per job (the job gives the link up).
    virtual void TellStatusReadFailure(JobEvents& events) = 0;
};
