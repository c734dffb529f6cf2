// The port for as long as it is open: its line seam and what has been learnt about it. Owned by
// the front end; each job's link (job_link.h) works through it.
#pragma once

#include "link/line_seam.h"
#include "link/report_lateness.h"

class Port {
  public:
    explicit Port(LineSeam& lines) : lines(lines) {}
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    LineSeam& Lines() { return lines; }
    ReportLateness& Lateness() { return lateness; }

  private:
    LineSeam& lines;
    ReportLateness lateness;
};
