#include "ui/terminal_output.h"

#include <chrono>
#include <mutex>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

// A redraw for every change would cost more than the link on a fast cable.
constexpr std::chrono::milliseconds kRedrawInterval{50};

std::mutex outputLock;
bool statusOpen = false;
std::string terminalStatus; // the status line's last state on a terminal
std::string plainStatus;    // and elsewhere
std::string drawnStatus;    // what the terminal shows of it
Clock::time_point lastDraw;

void Write(const std::string& text) {
    const char* at = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t written = write(STDERR_FILENO, at, left);
        if (written <= 0)
            return; // a closed or full stderr costs the status, never the transfer
        at += written;
        left -= static_cast<std::size_t>(written);
    }
}

// Plain spaces over the rest of the old line, no control sequence: any terminal will do.
void Redraw(const std::string& text) {
    std::string line = "\r" + text;
    if (text.size() < drawnStatus.size())
        line += std::string(drawnStatus.size() - text.size(), ' ') + "\r" + text;
    Write(line);
    drawnStatus = text;
    lastDraw = Clock::now();
}

void EndLocked() {
    if (!statusOpen)
        return;
    if (!StderrIsTerminal()) {
        if (!plainStatus.empty())
            Write(plainStatus + "\n");
    } else {
        if (terminalStatus != drawnStatus)
            Redraw(terminalStatus);
        Write("\n");
    }
    statusOpen = false;
    drawnStatus.clear();
}
} // namespace

bool StderrIsTerminal() {
    static const bool terminal = isatty(STDERR_FILENO) == 1;
    return terminal;
}

int TerminalColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

void UpdateStatusLine(const std::string& terminalText, const std::string& plainText, bool drawNow) {
    std::lock_guard<std::mutex> hold(outputLock);
    bool fresh = !statusOpen;
    statusOpen = true;
    terminalStatus = terminalText;
    plainStatus = plainText;
    if (StderrIsTerminal() && (fresh || drawNow || Clock::now() - lastDraw >= kRedrawInterval))
        Redraw(terminalText);
}

void EndStatusLine() {
    std::lock_guard<std::mutex> hold(outputLock);
    EndLocked();
}

void DropStatusLine() {
    std::lock_guard<std::mutex> hold(outputLock);
    if (statusOpen && StderrIsTerminal())
        Redraw("");
    statusOpen = false;
    drawnStatus.clear();
}

void WritePermanentLine(const std::string& text) {
    std::lock_guard<std::mutex> hold(outputLock);
    EndLocked();
    Write(text + "\n");
}
