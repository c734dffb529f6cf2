// The Linux program's job events on standard error: a status line per variable (name, bar,
// percentage, bytes per second), redrawn on a terminal and written once elsewhere, and the
// messages as lines of their own after the program's name.
#pragma once

#include "ui/job_events.h"
#include "ui/status_text.h"

#include <chrono>

class TerminalEvents : public JobEvents {
  public:
    void VariableStarted(const char* name) override;
    void Progress(int percent, std::uint32_t bytesSent) override;
    // "calquin: " and the text, the argument (a path) escaped.
    void Message(MessageKind kind, const char* format, const char* argument) override;
    // The last variable's line is finished.
    void JobEnded(LinkOutcome outcome) override;

  private:
    using Clock = std::chrono::steady_clock;

    void Update(bool drawNow);
    void FinishVariable();

    // The variable under way. The rate is that of the data, from its first shown percentage
    // on: the header exchange and a calculator's prompt before it do not count.
    bool shown = false;
    VariableProgress progress;
    bool dataStarted = false;
    std::uint32_t bytesAtDataStart = 0;
    Clock::time_point dataStart;
};
