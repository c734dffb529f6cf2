// A front end that records everything a job tells it, for tests and tools.
#pragma once

#include "ui/job_events.h"

#include <mutex>
#include <string>
#include <vector>

struct RecordedUi {
    std::vector<std::string> variableNames; // every IDC_VARIABLE write
    std::vector<int> percents;              // every IDC_PERCENT/IDC_PROGRESS write
    std::vector<std::string> buttonLabels;  // every IDOK write: "Close" at the job's end
    std::vector<std::string> messages;      // every message box text
    std::vector<std::string> captions;      // and its caption
    std::vector<LinkOutcome> endings;       // the outcome of each job that ended
};

class RecordingEvents : public JobEvents {
  public:
    void VariableStarted(const char* name) override;
    void Progress(int percent, std::uint32_t bytesSent) override;
    // Formatted into the 512-character buffer as the Windows program does; the caption of
    // its box.
    void Message(MessageKind kind, const char* format, const char* argument) override;
    void JobEnded(LinkOutcome outcome) override;

    // For the test's thread once the job has ended (or between its events).
    const RecordedUi& State() const { return recorded; }
    void Clear();

  private:
    RecordedUi recorded;
    std::mutex lock; // tests read from their own thread while the job writes
};
