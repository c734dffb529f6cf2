#include "ui/status_display.h"

#include "protocol/packet.h"
#include "ui/status_text.h"
#include "ui/terminal_output.h"

#include <chrono>
#include <cstring>

namespace {
using Clock = std::chrono::steady_clock;

// The variable under way; only the job's thread writes it.
// The rate is that of the data, from its first shown percentage on: the header exchange and
// a calculator's prompt before it do not count.
struct Current {
    bool shown = false;
    VariableProgress progress;
    bool dataStarted = false;
    std::uint32_t bytesAtDataStart = 0;
    Clock::time_point dataStart;
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
    Update(true);
}

void ShowPercent(int percent) {
    VariableProgress& progress = current.progress;
    progress.percent = percent;
    Clock::time_point now = Clock::now();
    if (!current.dataStarted) {
        current.dataStarted = true;
        current.bytesAtDataStart = bytesSent;
        current.dataStart = now;
    }
    double seconds = std::chrono::duration<double>(now - current.dataStart).count();
    if (seconds > 0)
        progress.bytesPerSecond = (bytesSent - current.bytesAtDataStart) / seconds;
    Update(percent == 100);
}

// "Close" ends the job: the last variable's line is finished.
void ShowButtonLabel(const char* label) {
    if (std::strcmp(label, "Close") == 0)
        FinishVariable();
}
