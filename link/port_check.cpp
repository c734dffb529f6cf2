#include "link/port_check.h"

#include <algorithm>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

// Pulls per wire: enough for a report period's worst case to show in the lateness.
constexpr int kPullsPerWire = 8;
// Longer than any latency timer (255 ms at most) and a USB round trip.
constexpr Clock::duration kShowLimit = std::chrono::milliseconds(500);

class CheckRun {
  public:
    explicit CheckRun(LineSeam& lines) : lines(lines) {}

    void Write(LinkLines written) {
        const Clock::time_point began = Clock::now();
        lines.SetLinkLines(written);
        lastWrite = Clock::now();
        Note(lastWrite - began);
    }

    // Reads until `wire` reads `high`, within the limit. The lateness learnt is the start of
    // the last read that did not yet show it: the port cannot have reported before then,
    // however long the program itself was held up.
    bool AwaitWire(Wire wire, bool high) {
        Clock::duration notYet = Clock::duration::zero();
        for (;;) {
            const Clock::time_point began = Clock::now();
            LinkLines reading = kIdleReading;
            if (!lines.ReadLinkLines(&reading)) {
                failed = true;
                return false;
            }
            Note(Clock::now() - began);
            if (IsHigh(reading, wire) == high) {
                lag = std::max(lag, notYet);
                return true;
            }
            if (began - lastWrite >= kShowLimit)
                return false;
            notYet = began - lastWrite;
        }
    }

    Clock::duration TypicalCall() {
        if (calls.empty())
            return Clock::duration::zero();
        std::nth_element(calls.begin(), calls.begin() + calls.size() / 2, calls.end());
        return calls[calls.size() / 2];
    }

    bool failed = false;
    Clock::duration lag = Clock::duration::zero();

  private:
    // A port that reports late is read many times over while it catches up: a sample is enough.
    void Note(Clock::duration call) {
        if (calls.size() < 4096)
            calls.push_back(call);
    }

    LineSeam& lines;
    Clock::time_point lastWrite;
    std::vector<Clock::duration> calls;
};

WireCheck CheckWire(CheckRun& run, Wire wire) {
    WireCheck check;
    run.Write(kReleaseBoth);
    check.highWhenReleased = run.AwaitWire(wire, true);
    if (!check.highWhenReleased)
        return check;
    check.followsPull = true;
    for (int pull = 0; pull < kPullsPerWire && check.followsPull; ++pull) {
        run.Write(PullOnly(wire));
        check.followsPull = run.AwaitWire(wire, false);
        run.Write(kReleaseBoth);
        check.followsPull = run.AwaitWire(wire, true) && check.followsPull;
    }
    return check;
}

std::string WireLine(const char* wire, const char* output, const char* input,
                     const WireCheck& check) {
    std::string line = std::string(wire) + " wire: ";
    if (check.Carried())
        return line + "carried\n";
    if (!check.highWhenReleased)
        return line + "not carried (" + input + " reads low with " + output + " released)\n";
    return line + "not carried (" + input + " does not follow " + output + ")\n";
}
} // namespace

PortCheck CheckPort(LineSeam& lines) {
    PortCheck check;
    CheckRun run(lines);
    check.rtsCts = CheckWire(run, Wire::RtsCts);
    if (!run.failed)
        check.dtrDsr = CheckWire(run, Wire::DtrDsr);
    run.Write(kReleaseBoth);
    check.statusReadFailed = run.failed;
    check.findings.callTime = run.TypicalCall();
    check.findings.reportLag = run.lag;
    check.findings.latencyTimerSetting = lines.LatencyTimerSetting();
    return check;
}

std::string PortCheckText(const PortCheck& check) {
    if (check.statusReadFailed)
        return "The port's modem lines could not be read: it cannot carry the link.\n";
    std::string text = WireLine("RTS/CTS", "RTS", "CTS", check.rtsCts) +
                       WireLine("DTR/DSR", "DTR", "DSR", check.dtrDsr);
    if (!check.Fit())
        return text + "The port cannot carry the link: the adapter must carry RTS, CTS, DTR and "
                      "DSR (many carry only TX, RX and ground), and the cable must be plugged "
                      "in.\n";
    const PortFindings& findings = check.findings;
    text += "A line call takes " + Milliseconds(findings.callTime) +
            "; the port reports the wires " +
            (findings.reportLag < std::chrono::microseconds(10)
                 ? std::string("at once")
                 : "up to " + Milliseconds(findings.reportLag) + " late") +
            ".\n";
    const double kilobyte = KilobyteProgramSeconds(findings);
    if (kilobyte < 1)
        text += "The port adds under a second to a 1 KB program: the calculator sets the pace.\n";
    else
        text += "A 1 KB program takes at least " + RoughSeconds(kilobyte) + " over this port.\n";
    const std::string advice = LinkAdvice(findings);
    if (!advice.empty())
        text += advice + "\n";
    return text + "The port carries the link.\n";
}
