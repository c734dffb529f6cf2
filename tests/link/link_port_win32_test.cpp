// The Win32 line primitives, built natively against a recording <windows.h>.
#include "app/port_name.h"
#include "link/job_link.h"
#include "link/link_port_win32.h"
#include "tests/link/fake_windows/fake_windows.h"
#include "ui/job_events.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace {
std::vector<std::string> Functions() {
    std::vector<std::string> names;
    for (const FakeCall& call : Fake().calls)
        names.push_back(call.function);
    return names;
}

// Every call that takes a handle got the open port's.
void ExpectAllOnLinkPort() {
    for (const FakeCall& call : Fake().calls) {
        if (call.function != "CreateFileA" && call.function != "MessageBoxA") {
            EXPECT_EQ(call.handle, LinkPort) << call.function;
        }
    }
}

// A port with every field set to something the open must either change or keep.
DCB ReportedDcb() {
    DCB dcb;
    std::memset(&dcb, 0x5A, sizeof dcb);
    dcb.DCBlength = 0;
    dcb.BaudRate = 115200;
    dcb.fBinary = 0;
    dcb.fParity = 1;
    dcb.fOutxCtsFlow = 1;
    dcb.fOutxDsrFlow = 1;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.fDsrSensitivity = 1;
    dcb.fTXContinueOnXoff = 0;
    dcb.fOutX = 1;
    dcb.fInX = 1;
    dcb.fErrorChar = 1;
    dcb.fNull = 1;
    dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    dcb.fAbortOnError = 1;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    return dcb;
}

// `reported` with the open's framing written over it: nothing else may differ.
DCB Configured(DCB dcb) {
    dcb.DCBlength = 28;
    dcb.BaudRate = 9600;
    dcb.fBinary = 1;
    dcb.fParity = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fAbortOnError = 0;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    return dcb;
}

DCB ReportedDcbWith(DWORD dtrControl, DWORD rtsControl) {
    DCB dcb = ReportedDcb();
    dcb.fDtrControl = dtrControl;
    dcb.fRtsControl = rtsControl;
    return dcb;
}

// The block the open writes over a port that reports `reported`.
DCB WrittenAtOpen(const DCB& reported) {
    ResetFake();
    Fake().portDcb = reported;
    EXPECT_TRUE(OpenLinkPort(portName));
    EXPECT_EQ(Fake().setDcbs.size(), 1u);
    return Fake().setDcbs.empty() ? DCB{} : Fake().setDcbs[0];
}

bool SameBytes(const DCB& a, const DCB& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The line seam tells the user itself; a job's other events play no part here.
class NoEvents : public JobEvents {
  public:
    void VariableStarted(const char*) override {}
    void Progress(int, std::uint32_t) override {}
    void Message(MessageKind, const char*, const char*) override {}
    void JobEnded(LinkOutcome) override {}
};

class Win32LinkPort : public testing::Test {
  protected:
    void SetUp() override {
        ResetFake();
        LinkPort = Fake().openedHandle;
    }
    void TearDown() override { portName[3] = '2'; }

    LinkLines ReadLinkLines() {
        LinkLines read = 0xFF;
        EXPECT_TRUE(lines.ReadLinkLines(&read));
        return read;
    }

    HWND owner = nullptr;
    Win32Lines lines{owner};
    Port port{lines};
    NoEvents events;
    JobLink link{port, events};
};
} // namespace

TEST_F(Win32LinkPort, PortNameIsCom2BeforeStartUpWritesADigit) {
    EXPECT_STREQ(portName, "COM2");
}

TEST_F(Win32LinkPort, OpenOpensTheNamedPortForThisProcessAloneAndConfiguresIt) {
    LinkPort = nullptr;
    Fake().portDcb = ReportedDcb();
    portName[3] = '4';
    EXPECT_TRUE(OpenLinkPort(portName));
    EXPECT_EQ(LinkPort, Fake().openedHandle);
    ASSERT_EQ(Fake().creates.size(), 1u);
    const FakeCreate& open = Fake().creates[0];
    EXPECT_EQ(open.name, "COM4");
    EXPECT_EQ(open.access, GENERIC_READ | GENERIC_WRITE);
    EXPECT_EQ(open.shareMode, 0u);
    EXPECT_EQ(open.security, nullptr);
    EXPECT_EQ(open.creation, static_cast<DWORD>(OPEN_EXISTING));
    EXPECT_EQ(open.flags, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_NO_BUFFERING);
    EXPECT_EQ(open.templateFile, nullptr);
    // No line is switched at the open: the wires stay as the port left them.
    EXPECT_EQ(Functions(),
              (std::vector<std::string>{"CreateFileA", "GetCommState", "SetCommState"}));
    ExpectAllOnLinkPort();
}

TEST_F(Win32LinkPort, OpenChangesTheFramingAndKeepsTheLineControlModes) {
    static_assert(sizeof(DCB) == 28, "the stand-in DCB has the Win32 layout");
    for (DWORD dtr : {DTR_CONTROL_DISABLE, DTR_CONTROL_ENABLE}) {
        for (DWORD rts : {RTS_CONTROL_DISABLE, RTS_CONTROL_ENABLE}) {
            const DCB reported = ReportedDcbWith(dtr, rts);
            const DCB written = WrittenAtOpen(reported);
            EXPECT_EQ(written.DCBlength, 28u);
            EXPECT_EQ(written.BaudRate, 9600u);
            EXPECT_EQ(written.ByteSize, 8);
            EXPECT_EQ(written.Parity, NOPARITY);
            EXPECT_EQ(written.fOutX, 0u);
            EXPECT_EQ(written.fInX, 0u);
            EXPECT_EQ(written.fDtrControl, dtr);
            EXPECT_EQ(written.fRtsControl, rts);
            EXPECT_EQ(written.fOutxCtsFlow, reported.fOutxCtsFlow);
            EXPECT_EQ(written.fOutxDsrFlow, reported.fOutxDsrFlow);
            EXPECT_EQ(written.fDsrSensitivity, reported.fDsrSensitivity);
            EXPECT_EQ(written.fTXContinueOnXoff, reported.fTXContinueOnXoff);
            EXPECT_TRUE(SameBytes(written, Configured(reported)))
                << "a field beyond the framing changed";
        }
    }
}

// EscapeCommFunction fails on a line in handshake or toggle mode: such a line is set to enable,
// which keeps it released as those modes keep it while nothing flows.
TEST_F(Win32LinkPort, OpenSetsHandshakeAndToggleModesToEnable) {
    for (DWORD rts : {RTS_CONTROL_HANDSHAKE, RTS_CONTROL_TOGGLE}) {
        const DCB reported = ReportedDcbWith(DTR_CONTROL_HANDSHAKE, rts);
        DCB expected = Configured(reported);
        expected.fRtsControl = RTS_CONTROL_ENABLE;
        expected.fDtrControl = DTR_CONTROL_ENABLE;
        EXPECT_TRUE(SameBytes(WrittenAtOpen(reported), expected)) << "RTS mode " << rts;
    }
}

TEST_F(Win32LinkPort, OpenHandsOnNoUnfilledBlockWhenGetCommStateFails) {
    Fake().getCommStateResult = FALSE;
    EXPECT_TRUE(OpenLinkPort(portName));
    ASSERT_EQ(Fake().setDcbs.size(), 1u);
    EXPECT_TRUE(SameBytes(Fake().setDcbs[0], Configured(DCB{})));
}

TEST_F(Win32LinkPort, AFailedOpenReturnsFalseAndKeepsTheInvalidHandle) {
    LinkPort = nullptr;
    Fake().openedHandle = INVALID_HANDLE_VALUE;
    EXPECT_FALSE(OpenLinkPort(portName));
    EXPECT_EQ(LinkPort, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Functions(), std::vector<std::string>{"CreateFileA"});
    EXPECT_TRUE(Fake().boxes.empty());
}

TEST_F(Win32LinkPort, SetLinkLinesSwitchesBothLinesFirstThenOnlyTheOneThatChanges) {
    const std::vector<std::vector<DWORD>> both = {
        {CLRRTS, CLRDTR}, {CLRRTS, SETDTR}, {SETRTS, CLRDTR}, {SETRTS, SETDTR}};
    for (LinkLines first = 0; first < 4; ++first) {
        for (LinkLines highBits : {0x00, 0xFC}) { // only the two low bits count
            ResetFake();
            Win32Lines fresh(owner);
            fresh.SetLinkLines(static_cast<LinkLines>(first | highBits));
            EXPECT_EQ(Fake().Escapes(), both[first]) << "lines " << int(first | highBits);
            for (LinkLines next = 0; next < 4; ++next) {
                Fake().calls.clear();
                fresh.SetLinkLines(next);
                std::vector<DWORD> expected;
                const LinkLines changed = next ^ first;
                if (changed & kRtsOn)
                    expected.push_back(both[next][0]);
                if (changed & kDtrOn)
                    expected.push_back(both[next][1]);
                EXPECT_EQ(Fake().Escapes(), expected) << int(first) << " then " << int(next);
                ExpectAllOnLinkPort();
                fresh.SetLinkLines(first);
            }
        }
    }
}

TEST_F(Win32LinkPort, AFailedSwitchIsMadeAgainAtTheNextWrite) {
    Fake().rtsOnlyWithDtr = true; // every RTS escape fails
    lines.SetLinkLines(kReleaseBoth);
    Fake().calls.clear();
    lines.SetLinkLines(kReleaseBoth);
    EXPECT_EQ(Fake().Escapes(), std::vector<DWORD>{SETRTS});
}

// The driver that carries RTS out only with a DTR change: the PC's pull of the RTS/CTS wire
// never shows on CTS, so the link switches RTS by SetCommState from then on, and the handshake
// sees its pull.
TEST_F(Win32LinkPort, AnIgnoredRtsSwitchIsMadeBySetCommStateFromThenOn) {
    Fake().loopback = true;
    Fake().rtsOnlyWithDtr = true;
    Fake().portDcb = Configured(ReportedDcb());
    // DTR pulls show at once: the port has shown how fast it reports.
    for (unsigned pull = 0; pull < IgnoredPullCheck::kPullsToKnowThePort; ++pull) {
        link.Write(PullOnly(Wire::DtrDsr));
        EXPECT_EQ(link.Read(), OnlyLow(Wire::DtrDsr));
        link.Write(kReleaseBoth);
        ASSERT_EQ(link.Read(), kIdleReading);
    }
    EXPECT_FALSE(port.Watch().SwitchedAnotherWay(Wire::RtsCts));

    link.Write(PullOnly(Wire::RtsCts));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    LinkLines reading = link.Read();
    while (reading != OnlyLow(Wire::RtsCts) && std::chrono::steady_clock::now() < deadline)
        reading = link.Read();
    EXPECT_EQ(reading, OnlyLow(Wire::RtsCts));
    EXPECT_TRUE(port.Watch().SwitchedAnotherWay(Wire::RtsCts));
    EXPECT_FALSE(port.Watch().SwitchedAnotherWay(Wire::DtrDsr));
    ASSERT_FALSE(Fake().setDcbs.empty());
    EXPECT_EQ(Fake().setDcbs.back().fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    EXPECT_EQ(Fake().setDcbs.back().fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    // Nothing but the control fields differs from what the port reported.
    DCB expected = Configured(ReportedDcb());
    expected.fRtsControl = RTS_CONTROL_DISABLE;
    expected.fDtrControl = DTR_CONTROL_ENABLE;
    EXPECT_TRUE(SameBytes(Fake().setDcbs.back(), expected));

    // From then on RTS goes by SetCommState; DTR keeps its escapes.
    Fake().calls.clear();
    link.Write(kReleaseBoth);
    EXPECT_EQ(link.Read(), kIdleReading);
    link.Write(PullOnly(Wire::DtrDsr));
    EXPECT_EQ(link.Read(), OnlyLow(Wire::DtrDsr));
    EXPECT_EQ(Functions(),
              (std::vector<std::string>{"GetCommState", "SetCommState", "GetCommModemStatus",
                                        "EscapeCommFunction", "GetCommModemStatus"}));
    EXPECT_EQ(Fake().Escapes(), std::vector<DWORD>{CLRDTR});
}

TEST_F(Win32LinkPort, ReadLinkLinesMapsCtsAndDsrWhateverRingAndCarrierShow) {
    for (DWORD ringAndCarrier : {0u, MS_RING_ON, MS_RLSD_ON, MS_RING_ON | MS_RLSD_ON}) {
        const std::vector<std::pair<DWORD, LinkLines>> cases = {
            {0, 0}, {MS_CTS_ON, 1}, {MS_DSR_ON, 2}, {MS_CTS_ON | MS_DSR_ON, 3}};
        for (const auto& [status, lines] : cases) {
            Fake().modemStatus = status | ringAndCarrier;
            EXPECT_EQ(ReadLinkLines(), lines) << "status " << (status | ringAndCarrier);
        }
    }
    ExpectAllOnLinkPort();
    EXPECT_TRUE(Fake().boxes.empty());
}

TEST_F(Win32LinkPort, AFailedStatusReadIsShownOnceAndReleasesTheGivenUpLink) {
    owner = reinterpret_cast<HWND>(0x777);
    Fake().modemStatusResult = FALSE;
    EXPECT_EQ(link.Read(), 3);
    EXPECT_EQ(link.Read(), 3);
    ASSERT_EQ(Fake().boxes.size(), 1u);
    EXPECT_EQ(Fake().boxes[0].owner, owner);
    EXPECT_EQ(Fake().boxes[0].text, "There was an error calling GetCommModemStatus");
    EXPECT_EQ(Fake().boxes[0].caption, "Calquin");
    EXPECT_EQ(Fake().boxes[0].type, MB_OK);
    EXPECT_EQ(link.Outcome(), LinkOutcome::StatusReadFailed);
    EXPECT_EQ(Fake().Escapes(), (std::vector<DWORD>{SETRTS, SETDTR}));
    ExpectAllOnLinkPort();
}
