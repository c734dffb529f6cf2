// The PC's end of a test, as a front end sets it up: the virtual line seam on a cable, the port
// over it, a recorder for the job's events, and the current job on them.
#pragma once

#include "link/port.h"
#include "tests/support/recorded_ui.h"
#include "tests/support/virtual_lines.h"
#include "transfer/transfer_job.h"

#include <memory>
#include <mutex>

class TestPc {
  public:
    explicit TestPc(VirtualCable& cable);

    VirtualLines& Lines() { return lines; }
    Port& ThePort() { return port; }
    RecordingEvents& Events() { return events; }
    const RecordedUi& Ui() const { return events.State(); }
    TransferJob& Job() { return *job; }
    JobLink& Link() { return job->Link(); }

    // A new job on the same port, as the next Send makes: the last one's Closing carries over,
    // its Cancel and outcome do not. The test's thread, while no job runs.
    TransferJob& NewJob();
    // Asks the current job to stop; any thread.
    void RequestStop(LinkStop stop);

  private:
    VirtualLines lines;
    Port port;
    RecordingEvents events;
    std::mutex jobLock; // NewJob against RequestStop from another thread
    std::unique_ptr<TransferJob> job;
};
