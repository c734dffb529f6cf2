// A job's events in the main window: the status rows and the IDOK label, written from the job's
// thread through mainWindow; the messages in boxes it owns.
#pragma once

#include "ui/job_events.h"

class WindowEvents : public JobEvents {
  public:
    // A listening job's events show nothing until the calculator begins to send (Shown): the
    // listener's end writes no label, and a port whose status cannot be read is only noted
    // (app/window_lines.h), so that an idle program raises no message of its own. Job thread
    // only.
    explicit WindowEvents(bool quiet = false) : quiet(quiet) {}
    void Shown() { quiet = false; }
    // The port's status could not be read in this job; true when that is not to be shown.
    bool KeepPortFailureQuiet() {
        portFailed = true;
        return quiet;
    }
    bool PortFailed() const { return portFailed; }

    // IDC_VARIABLE.
    void VariableStarted(const char* name) override;
    // IDC_PERCENT as "%d%%", then PBM_SETPOS on IDC_PROGRESS with the same value.
    void Progress(int percent, std::uint32_t bytesSent) override;
    void Message(MessageKind kind, const char* format, const char* argument) override;
    // IDOK reads "Close".
    void JobEnded(LinkOutcome outcome) override;

  private:
    bool quiet;
    bool portFailed = false;
};
