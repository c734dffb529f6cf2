// The port check on the virtual cable with nothing at its far end: a prompt port, one that
// reports late, and ports that lack a wire.
#include "link/port_check.h"

#include "sim/virtual_cable.h"
#include "tests/support/virtual_lines.h"

#include <gtest/gtest.h>

namespace {
using namespace std::chrono_literals;

// An adapter whose DSR input is not wired: it reads low whatever the wire does.
class WithoutDsr : public LineSeam {
  public:
    explicit WithoutDsr(LineSeam& lines) : lines(lines) {}
    void SetLinkLines(LinkLines written) override { lines.SetLinkLines(written); }
    bool ReadLinkLines(LinkLines* reading) override {
        const bool read = lines.ReadLinkLines(reading);
        *reading &= ~kDsrHigh;
        return read;
    }
    void TellStatusReadFailure(JobEvents& events) override { lines.TellStatusReadFailure(events); }

  private:
    LineSeam& lines;
};
} // namespace

TEST(PortCheck, APromptPortCarriesBothWiresAndLeavesThemReleased) {
    VirtualCable cable;
    VirtualLines lines(cable);
    const PortCheck check = CheckPort(lines);
    EXPECT_TRUE(check.Fit());
    EXPECT_LT(check.findings.reportLag, kLateReport);
    EXPECT_EQ(cable.pc.Pulled(), 0);
    const std::string text = PortCheckText(check);
    EXPECT_EQ(text.rfind("RTS/CTS wire: carried\nDTR/DSR wire: carried\nA line call takes ", 0), 0u)
        << text;
    EXPECT_NE(text.find("\nThe port adds under a second to a 1 KB program: the calculator sets "
                        "the pace.\nThe port carries the link.\n"),
              std::string::npos)
        << text;
}

// Reports every 16 ms, as an FTDI adapter's default latency timer under Windows: the lateness
// shows, and the advice names the latency timer.
TEST(PortCheck, APortThatReportsLateIsMeasuredAndToldAboutItsLatencyTimer) {
    VirtualCable cable;
    VirtualLines lines(cable);
    lines.SetReportPeriod(16ms);
    const PortCheck check = CheckPort(lines);
    EXPECT_TRUE(check.Fit());
    EXPECT_GE(check.findings.reportLag, 8ms);
    EXPECT_LE(check.findings.reportLag, 16ms + 5ms);
    const std::string text = PortCheckText(check);
    EXPECT_NE(text.find("\nA 1 KB program takes at least "), std::string::npos) << text;
    EXPECT_NE(text.find("set its latency timer to 1 ms"), std::string::npos) << text;
    EXPECT_NE(text.find("\nThe port carries the link.\n"), std::string::npos) << text;
}

TEST(PortCheck, AWireThatIsNotCarriedIsNamed) {
    VirtualCable cable;
    VirtualLines lines(cable);
    WithoutDsr adapter(lines);
    PortCheck check = CheckPort(adapter);
    EXPECT_FALSE(check.Fit());
    EXPECT_TRUE(check.rtsCts.Carried());
    EXPECT_FALSE(check.dtrDsr.highWhenReleased);
    EXPECT_EQ(PortCheckText(check).rfind("RTS/CTS wire: carried\nDTR/DSR wire: not carried (DSR "
                                         "reads low with DTR released)\nThe port cannot carry "
                                         "the link: ",
                                         0),
              0u)
        << PortCheckText(check);

    // A wire held low from the far end does not follow the PC's release either.
    cable.calculator.Pull(kRtsCtsWire);
    check = CheckPort(lines);
    EXPECT_FALSE(check.rtsCts.Carried());
    EXPECT_TRUE(check.dtrDsr.Carried());

    lines.FailStatusReads(true);
    EXPECT_EQ(PortCheckText(CheckPort(lines)),
              "The port's modem lines could not be read: it cannot carry the link.\n");
}
