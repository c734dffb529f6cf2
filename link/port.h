// The port for as long as it is open: its line seam and what has been learnt about it. Owned by
// the front end; each job's link (job_link.h) works through it.
#pragma once

#include "link/line_seam.h"
#include "link/report_lateness.h"
#include "link/watched_lines.h"

class Port {
  public:
    explicit Port(LineSeam& seam) : lines(seam, lateness) {}
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    // The seam, watched (watched_lines.h).
    LineSeam& Lines() { return lines; }
    // How late the port reports its inputs (LearntLag): with the line-call time below, what
    // limits the link through an adapter.
    ReportLateness& Lateness() { return lateness; }
    const ReportLateness& Lateness() const { return lateness; }
    // How long a line call takes; which outputs the driver made the link switch another way.
    const WatchedLines& Watch() const { return lines; }

  private:
    ReportLateness lateness;
    WatchedLines lines;
};
