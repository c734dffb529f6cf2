#include "ui/terminal_events.h"

#include "ui/terminal_output.h"

#include <string>

void TerminalEvents::Update(bool drawNow) {
    // A variable none of whose data went (declined, or its header sent again) leaves no line
    // where lines are kept.
    UpdateStatusLine(TerminalStatusLine(progress, TerminalColumns()),
                     progress.percent > 0 ? PlainStatusLine(progress) : std::string(), drawNow);
}

// A variable whose data went stays on screen; one still at 0% gives way to the next.
void TerminalEvents::FinishVariable() {
    if (!shown)
        return;
    shown = false;
    if (progress.percent > 0)
        EndStatusLine();
    else
        DropStatusLine();
}

void TerminalEvents::VariableStarted(const char* name) {
    FinishVariable();
    shown = true;
    progress = VariableProgress{};
    progress.name = EscapedName(name);
    dataStarted = false;
    Update(true);
}

void TerminalEvents::Progress(int percent, std::uint32_t bytesSent) {
    progress.percent = percent;
    Clock::time_point now = Clock::now();
    if (!dataStarted) {
        dataStarted = true;
        bytesAtDataStart = bytesSent;
        dataStart = now;
    }
    double seconds = std::chrono::duration<double>(now - dataStart).count();
    if (seconds > 0)
        progress.bytesPerSecond = (bytesSent - bytesAtDataStart) / seconds;
    Update(percent == 100);
}

void TerminalEvents::Message(MessageKind, const char* format, const char* argument) {
    std::string text = format;
    std::size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, EscapedPath(argument));
    WritePermanentLine("calquin: " + text);
}

void TerminalEvents::JobEnded(LinkOutcome) {
    FinishVariable();
}
