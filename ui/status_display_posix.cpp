#include "ui/status_display.h"

#include "protocol/packet.h"
#include "ui/status_text.h"
#include "ui/terminal_output.h"

#include <chrono>
#include <cstring>

namespace {
using Clock = std::chrono::steady_clock;

// The variable under way; only the job's thread writes it.
struct Current {
    bool shown = false;
    VariableProgress progress;
    std::uint32_t bytesAtStart = 0;
    Clock::time_point start;
};
Current current;

void Update(bool drawNow) {
    const VariableProgress& progress = current.progress;
    // A variable none of whose data went (declined, or its header sent again) leaves no line
    // where lines are kept.
    UpdateStatusLine(TerminalStatusLine(progress, TerminalColumns()),
                     progress.percent > 0 ? PlainStatusLine(progress) : std::string(), drawNow);
}

// A variable whose data went stays on screen; one still at 0% gives way to the next.
void FinishVariable() {
    if (!current.shown)
        return;
    current.shown = false;
    if (current.progress.percent > 0)
        EndStatusLine();
    else
        DropStatusLine();
}
} // namespace

void ShowVariableName(const char* name) {
    FinishVariable();
    current = Current{};
    current.shown = true;
    current.progress.name = EscapedName(name);
    current.bytesAtStart = bytesSent;
    current.start = Clock::now();
    Update(true);
}

void ShowPercent(int percent) {
    VariableProgress& progress = current.progress;
    progress.percent = percent;
    progress.bytes = bytesSent - current.bytesAtStart;
    double seconds = std::chrono::duration<double>(Clock::now() - current.start).count();
    progress.bytesPerSecond = seconds > 0 ? progress.bytes / seconds : 0;
    Update(percent == 100);
}

// "Close" ends the job: the last variable's line is finished.
void ShowButtonLabel(const char* label) {
    if (std::strcmp(label, "Close") == 0)
        FinishVariable();
}
