// What limits the link on a port, in words for the user: how late the port reports the wires,
// how long a line call takes, which output its driver would not switch, and what to do about
// it. Told when a job gives up (after the no-answer message) and by the port check.
#pragma once

#include <chrono>
#include <string>

class Port;

struct PortFindings {
    using Duration = std::chrono::steady_clock::duration;

    Duration reportLag{0};      // how late the port reports the wires, at most
    Duration callTime{0};       // how long one line call takes
    bool rtsAnotherWay = false; // the driver ignored an RTS switch: it is made another way
    bool dtrAnotherWay = false;
    std::string latencyTimerSetting; // where to set the latency timer; empty when not known
};

// What the link has learnt about `port` so far.
PortFindings FindingsOf(const Port& port);

// Beyond these a port limits the link: an adapter with its latency timer above 1 ms, and calls
// that are a USB round trip each.
constexpr PortFindings::Duration kLateReport = std::chrono::milliseconds(3);
constexpr PortFindings::Duration kSlowCall = std::chrono::microseconds(500);

// One line of advice on what limits the link, with what to do; empty when nothing does.
std::string LinkAdvice(const PortFindings& findings);

// The least time a 1 KB program takes over such a port: every bit costs six line calls (pull,
// reading of the answer, release, reading of its end, each reading made twice) and twice the
// port's lateness.
double KilobyteProgramSeconds(const PortFindings& findings);

// "under 0.01 ms", "0.10 ms", "1.5 ms", "16 ms"; "3.5 s", "40 s", "5 min".
std::string Milliseconds(PortFindings::Duration duration);
std::string RoughSeconds(double seconds);
