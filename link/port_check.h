// The port check: with no calculator listening, each wire is pulled for a moment and let go
// again, a few times, to see whether the port carries both modem lines to the cable, how long a
// line call takes and how late the port reports the wires; and what that means for a transfer.
// Run by the Linux program's --check and the Windows program's /check.
#pragma once

#include "link/line_seam.h"
#include "link/port_advice.h"

#include <string>

struct WireCheck {
    bool highWhenReleased = false; // read high while neither end pulls it
    bool followsPull = false;      // read low while pulled, and high again once let go
    bool Carried() const { return highWhenReleased && followsPull; }
};

struct PortCheck {
    WireCheck rtsCts;
    WireCheck dtrDsr;
    bool statusReadFailed = false;
    PortFindings findings; // the call time and the port's lateness, as measured
    bool Fit() const { return !statusReadFailed && rtsCts.Carried() && dtrDsr.Carried(); }
};

// Leaves both lines released.
PortCheck CheckPort(LineSeam& lines);

// The result for the user: one line per wire, the figures, the advice, and the verdict.
std::string PortCheckText(const PortCheck& check);
