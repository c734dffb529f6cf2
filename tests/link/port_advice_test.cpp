// The advice on what limits the link, from what was learnt about a port.
#include "link/port_advice.h"

#include <gtest/gtest.h>

namespace {
using namespace std::chrono_literals;

PortFindings Findings(PortFindings::Duration lag, PortFindings::Duration call) {
    PortFindings findings;
    findings.reportLag = lag;
    findings.callTime = call;
    return findings;
}
} // namespace

TEST(PortAdvice, APromptPortWithQuickCallsNeedsNoAdvice) {
    EXPECT_EQ(LinkAdvice(Findings(0us, 0us)), "");
    // An adapter with its latency timer at 1 ms, through a driver of 0.1 ms calls.
    EXPECT_EQ(LinkAdvice(Findings(2ms, 499us)), "");
}

TEST(PortAdvice, ALatePortIsToldWhereToSetItsLatencyTimer) {
    PortFindings late = Findings(16ms, 100us);
    EXPECT_EQ(LinkAdvice(late),
              "The port reported the wires up to 16 ms late, which can hide the calculator's "
              "quick answers: if it is a USB adapter, set its latency timer to 1 ms in its "
              "driver's settings.");
    late.latencyTimerSetting = "Device Manager > the port";
    EXPECT_NE(LinkAdvice(late).find("set its latency timer to 1 ms (Device Manager > the port)."),
              std::string::npos);
}

TEST(PortAdvice, SlowCallsAndADriverThatIgnoredALineAreToldInTheSameLine) {
    PortFindings findings = Findings(0us, 1ms);
    findings.rtsAnotherWay = true;
    const std::string advice = LinkAdvice(findings);
    EXPECT_EQ(advice,
              "Each switch or reading of a line took 1.0 ms (a 1 KB program needs at least 52 s); "
              "a built-in serial port or an adapter with a faster driver does better. The port's "
              "driver ignored switching RTS (Calquin then switched it another way); if this goes "
              "on failing, install the adapter maker's driver or try another adapter.");
    findings.dtrAnotherWay = true;
    EXPECT_NE(LinkAdvice(findings).find("ignored switching RTS and DTR"), std::string::npos);
}

// Six calls and twice the lateness per bit, over 1,080 bytes.
TEST(PortAdvice, AKilobyteProgramTakesSixCallsAndTwiceTheLatenessPerBit) {
    EXPECT_NEAR(KilobyteProgramSeconds(Findings(0us, 100us)), 5.184, 1e-6);
    EXPECT_NEAR(KilobyteProgramSeconds(Findings(16ms, 1ms)), 328.32, 1e-6);
    EXPECT_EQ(RoughSeconds(3.456), "3.5 s");
    EXPECT_EQ(RoughSeconds(34.56), "35 s");
    EXPECT_EQ(RoughSeconds(311.04), "5 min");
    EXPECT_EQ(Milliseconds(9us), "under 0.01 ms");
    EXPECT_EQ(Milliseconds(100us), "0.10 ms");
    EXPECT_EQ(Milliseconds(1500us), "1.5 ms");
    EXPECT_EQ(Milliseconds(16ms), "16 ms");
}
