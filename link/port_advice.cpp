#include "link/port_advice.h"

#include "link/port.h"

#include <cstdio>

namespace {
// A 1 KB program's exchange: its header and data packets (1,024 bytes of data, the framing and
// the checksums), the PC's acknowledgements and EOT, and the calculator's replies.
constexpr double kKilobyteProgramBytes = 1080;

std::string Formatted(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string LatencyTimerAdvice(const PortFindings& findings) {
    std::string where = findings.latencyTimerSetting.empty()
                            ? "in its driver's settings"
                            : "(" + findings.latencyTimerSetting + ")";
    return "The port reported the wires up to " + Milliseconds(findings.reportLag) +
           " late, which can hide the calculator's quick answers: if it is a USB adapter, set "
           "its latency timer to 1 ms " +
           where + ".";
}
} // namespace

PortFindings FindingsOf(const Port& port) {
    PortFindings findings;
    findings.reportLag = port.Lateness().LearntLag();
    findings.callTime = port.Watch().CallTime();
    findings.rtsAnotherWay = port.Watch().SwitchedAnotherWay(Wire::RtsCts);
    findings.dtrAnotherWay = port.Watch().SwitchedAnotherWay(Wire::DtrDsr);
    findings.latencyTimerSetting = port.Watch().LatencyTimerSetting();
    return findings;
}

std::string LinkAdvice(const PortFindings& findings) {
    std::string advice;
    auto add = [&advice](const std::string& sentence) {
        advice += (advice.empty() ? "" : " ") + sentence;
    };
    if (findings.reportLag >= kLateReport)
        add(LatencyTimerAdvice(findings));
    if (findings.callTime >= kSlowCall)
        add("Each switch or reading of a line took " + Milliseconds(findings.callTime) +
            " (a 1 KB program needs at least " + RoughSeconds(KilobyteProgramSeconds(findings)) +
            "); a built-in serial port or an adapter with a faster driver does better.");
    if (findings.rtsAnotherWay || findings.dtrAnotherWay) {
        const char* line = findings.rtsAnotherWay && findings.dtrAnotherWay ? "RTS and DTR"
                           : findings.rtsAnotherWay                         ? "RTS"
                                                                            : "DTR";
        add(std::string("The port's driver ignored switching ") + line +
            " (Calquin then switched it another way); if this goes on failing, install the "
            "adapter maker's driver or try another adapter.");
    }
    return advice;
}

double KilobyteProgramSeconds(const PortFindings& findings) {
    const double bit = 6 * std::chrono::duration<double>(findings.callTime).count() +
                       2 * std::chrono::duration<double>(findings.reportLag).count();
    return kKilobyteProgramBytes * 8 * bit;
}

std::string Milliseconds(PortFindings::Duration duration) {
    const double ms = std::chrono::duration<double, std::milli>(duration).count();
    if (ms < 0.01)
        return "under 0.01 ms";
    if (ms >= 10)
        return Formatted("%.0f ms", ms);
    return Formatted(ms >= 1 ? "%.1f ms" : "%.2f ms", ms);
}

std::string RoughSeconds(double seconds) {
    if (seconds >= 120)
        return Formatted("%.0f min", seconds / 60);
    return Formatted(seconds >= 10 ? "%.0f s" : "%.1f s", seconds);
}
