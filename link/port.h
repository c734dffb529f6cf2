// The port for as long as it is open: its line seam and what has been learnt about it. Owned by
// the front end; each job's link (job_link.h) works through it.
#pragma once

#include "link/line_call_time.h"
#include "link/line_seam.h"
#include "link/report_lateness.h"

class Port {
  public:
    explicit Port(LineSeam& lines) : lines(lines) {}
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    LineSeam& Lines() { return lines; }
    // How late the port reports its inputs (LearntLag), and how long a line write takes: what
    // limits the link through an adapter.
    ReportLateness& Lateness() { return lateness; }
    const ReportLateness& Lateness() const { return lateness; }
    LineCallTime::Clock::duration CallTime() const { return callTime.Typical(); }
    void NoteCallTime(LineCallTime::Clock::duration call) { callTime.Note(call); }

  private:
    LineSeam& lines;
    ReportLateness lateness;
    LineCallTime callTime;
};
