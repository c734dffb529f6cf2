// The calculator misbehaving, the cable pulled, and the user's Cancel and Close, with the real
// calquin.exe under Wine.
#include "tests/e2e/calquin_e2e.h"

#include "sim/virtual_cable.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

namespace {
const char kStoppedAnswering[] = "ok Calquin Error|The calculator stopped answering. Check the "
                                 "cable and that the calculator is waiting to receive.";

bool Answered(const std::string& answer) {
    return answer.rfind("ok", 0) == 0;
}

class LinkTest : public CalquinE2eTest {
  protected:
    void SetUp() override {
        CalquinE2eTest::SetUp();
        StorePort(2);
    }

    void StartProgramAndWait() {
        StartProgram();
        ASSERT_EQ(Ask("wait main 30000"), "ok");
    }

    // The job's data packet is on its way: the percentage has moved.
    void WaitForData() {
        std::string shown = Ask("above main 121 30000 2");
        ASSERT_TRUE(Answered(shown)) << shown;
    }
};

// A calculator slow enough that a few thousand bytes take seconds: the user's clicks come
// while the transfer is under way.
Ti85Options Slowly() {
    Ti85Options options = TestTi85();
    options.link.bitDelay = std::chrono::microseconds(60);
    return options;
}

// The percentages in a driver's answer ("ok 4%|8%|...").
std::vector<int> Percents(const std::string& shown) {
    std::vector<int> values;
    std::size_t start = shown.find(' ');
    while (start != std::string::npos) {
        values.push_back(std::atoi(shown.c_str() + start + 1));
        start = shown.find('|', start + 1);
    }
    return values;
}

// Where the shown percentage went down: the starts of a resent packet.
int Drops(const std::vector<int>& values) {
    int drops = 0;
    for (std::size_t i = 1; i < values.size(); ++i)
        drops += values[i] < values[i - 1];
    return drops;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
} // namespace

TEST_F(LinkTest, EachSkipReasonIsTreatedAsTheProgramDecided) {
    TestVariable x = Variable("X", 40, 1), y = Variable("Y", 50, 2), z = Variable("Z", 60, 3),
                 t = Variable("T", 30, 4);
    WriteFile("xyz.85g", FileOf({x, y, z}));
    WriteFile("t.85p", FileOf({t}));
    StartProgramAndWait();

    // 2, "skip": the file goes on with its next variable, and so does the batch.
    Ti85Options skip = TestTi85();
    skip.skipReasons[0] = 2;
    StartCalculator(skip);
    SendPicked("\"xyz.85g\" \"t.85p\"");
    ASSERT_TRUE(Calculator().WaitUntilDone(SecondsFromNow(60))) << Trace();
    ASSERT_TRUE(WaitForIdle(20));
    ExpectReceived({y, z, t});
    EXPECT_EQ(Trace(), Declined() + Taken() + Taken() + Taken() + EndOfTransmission());

    // 1, "exit": the file and the batch end quietly; the header went out, so EOT follows.
    Ti85Options exit = TestTi85();
    exit.skipReasons[0] = 1;
    StartCalculator(exit);
    SendPicked("\"xyz.85g\" \"t.85p\"");
    ASSERT_TRUE(Calculator().WaitUntilDone(SecondsFromNow(60))) << Trace();
    ASSERT_TRUE(WaitForIdle(20));
    EXPECT_EQ(Ask("message 0"), "timeout");
    ExpectReceived({});
    EXPECT_EQ(Trace(), Declined() + EndOfTransmission());

    // 3, "memory full": the same, and the user is told once the EOT is through.
    Ti85Options full = TestTi85();
    full.skipReasons[1] = 3;
    StartCalculator(full);
    SendPicked("\"xyz.85g\" \"t.85p\"");
    EXPECT_EQ(Ask("message 30000"), "ok Calquin Error|The calculator is out of memory.");
    // Shown once the exchange is over: the calculator is not kept waiting for its EOT.
    EXPECT_TRUE(Calculator().WaitUntilDone(SecondsFromNow(10))) << Trace();
    ASSERT_EQ(Ask("dismiss 5000"), "ok");
    ASSERT_TRUE(WaitForIdle(20));
    ExpectReceived({x});
    EXPECT_EQ(Trace(), Taken() + Declined() + EndOfTransmission());
    CloseAndExpectExit(0);
}

TEST_F(LinkTest, RejectedPacketsAreSentAgainAndTheProgressStartsOver) {
    TestVariable r = Variable("R", 400, 7);
    std::string path = WriteFile("r.85p", FileOf({r}));
    StartProgramAndWait();
    Ti85Options options = TestTi85();
    options.rejectPackets = 1; // the VAR
    StartCalculator(options);
    SendPicked(path);
    // VAR, rejection, VAR, ACK, CTS, ACK: then the DATA is rejected once as well.
    ASSERT_TRUE(Calculator().WaitForPackets(6, SecondsFromNow(30))) << Trace();
    Calculator().RejectPackets(1);
    // The driver samples the percentage, so it may miss the first attempt's last values and the
    // resend's first ones; what it must see is the percentage falling back once, from well on
    // to near the start, and then climbing to 100%.
    std::vector<int> shown;
    while (Drops(shown) == 0 || shown.back() != 100) {
        std::string answer = Ask("until main 121 30000 100%");
        ASSERT_EQ(answer.rfind("ok", 0), 0u) << answer;
        for (int value : Percents(answer))
            if (shown.empty() || value != shown.back())
                shown.push_back(value);
        ASSERT_LT(shown.size(), 500u);
    }
    EXPECT_EQ(Drops(shown), 1);
    auto drop = std::adjacent_find(shown.begin(), shown.end(), std::greater<int>());
    EXPECT_GE(drop[0], 50);
    EXPECT_LE(drop[1], 10);
    ASSERT_TRUE(Calculator().WaitUntilDone(SecondsFromNow(60))) << Trace();
    ASSERT_TRUE(WaitForIdle(20));
    ExpectReceived({r});
    EXPECT_EQ(Trace(),
              "PC:VAR TI:0x5A PC:VAR TI:ACK TI:CTS PC:ACK PC:DATA TI:0x5A PC:DATA TI:ACK " +
                  EndOfTransmission());
    CloseAndExpectExit(0);
}

TEST_F(LinkTest, ACablePulledMidTransferIsReportedWithinSecondsAndTheNextSendWorks) {
    TestVariable p = Variable("PULL", 1500, 9);
    std::string path = WriteFile("p.85p", FileOf({p}));
    StartProgramAndWait();
    Ti85Options options = TestTi85();
    options.link.stopAtByte = 30 + 600; // inside the data: VAR 14, ACK, CTS, ACK, DATA header
    StartCalculator(options);
    SendPicked(path);
    ASSERT_TRUE(Calculator().WaitUntilDone(SecondsFromNow(60)));
    EXPECT_EQ(Calculator().Failure(), "unplugged");
    auto pulled = std::chrono::steady_clock::now();
    EXPECT_EQ(Ask("message 10000"), kStoppedAnswering);
    EXPECT_LT(SecondsSince(pulled), 5.0);
    ASSERT_EQ(Ask("dismiss 5000"), "ok");
    ASSERT_TRUE(WaitForIdle(10));
    EXPECT_EQ(Trace().find("EOT"), std::string::npos) << Trace();
    EXPECT_EQ(Cable().pc.Pulled(), 0); // the program let go of the wires

    Calculator().Replug();
    SendPicked(path);
    ASSERT_TRUE(Calculator().WaitUntilDone(SecondsFromNow(60))) << Trace();
    ASSERT_TRUE(WaitForIdle(20));
    ExpectReceived({p});
    std::string trace = Trace();
    std::string tail = Taken() + EndOfTransmission();
    ASSERT_GE(trace.size(), tail.size());
    EXPECT_EQ(trace.substr(trace.size() - tail.size()), tail) << trace;
    CloseAndExpectExit(0);
}

TEST_F(LinkTest, CancelDuringATransferLetsItFinishWithEot) {
    TestVariable v = Variable("LONG", 2500, 3);
    std::string path = WriteFile("long.85p", FileOf({v}));
    StartProgramAndWait();
    StartCalculator(Slowly());
    SendPicked(path);
    WaitForData();
    ASSERT_EQ(Ask("click main 1"), "ok");
    EXPECT_TRUE(Answered(Ask("until main 1 1000 Close")));
    EXPECT_NE(Ask("text main 121"), "ok 100%"); // still under way
    // The transfer goes on: 2.5 KB, about 80 s through an adapter that reports every 1 ms.
    std::string shown = Ask("until main 121 150000 100%");
    EXPECT_EQ(shown.rfind("ok", 0), 0u) << shown;
    ASSERT_TRUE(Calculator().WaitUntilDone(SecondsFromNow(60))) << Trace();
    ASSERT_TRUE(WaitForIdle(20));
    ExpectReceived({v});
    EXPECT_EQ(Trace(), Taken() + EndOfTransmission());
    CloseAndExpectExit(0);
}

TEST_F(LinkTest, CancelWhileTheCalculatorDoesNotAnswerEndsTheJobWithinASecondQuietly) {
    std::string path = WriteFile("nobody.85p", FileOf({Variable("N", 50)}));
    StartProgramAndWait(); // no calculator on the cable
    SendPicked(path);
    ASSERT_EQ(Ask("until main 1 10000 Cancel"), "ok Cancel");
    // The job waits at the header's first bit; give it a moment there before cancelling.
    EXPECT_EQ(Ask("enabled main 102 1500"), "timeout");
    auto cancelled = std::chrono::steady_clock::now();
    ASSERT_EQ(Ask("click main 1"), "ok");
    ASSERT_EQ(Ask("enabled main 102 5000"), "ok");
    EXPECT_LT(SecondsSince(cancelled), 2.5);
    EXPECT_EQ(Ask("message 1500"), "timeout");
    EXPECT_EQ(Ask("text main 1"), "ok Close");
    EXPECT_EQ(Cable().pc.Pulled(), 0);
    CloseAndExpectExit(0);
}

TEST_F(LinkTest, CancelWhileTheCalculatorKeepsRefusingEndsTheJobAtTheNextRefusalQuietly) {
    std::string path = WriteFile("refused.85p", FileOf({Variable("R", 200)}));
    StartProgramAndWait();
    Ti85Options options = TestTi85();
    options.rejectPackets = 1000000; // every packet, for ever
    StartCalculator(options);
    SendPicked(path);
    ASSERT_TRUE(Calculator().WaitForPackets(6, SecondsFromNow(30))) << Trace(); // 3 refusals
    ASSERT_EQ(Ask("click main 1"), "ok");
    ASSERT_EQ(Ask("enabled main 102 10000"), "ok") << Trace();
    EXPECT_EQ(Ask("message 1500"), "timeout");
    EXPECT_EQ(Ask("text main 1"), "ok Close");
    // Only the header and its refusals, the last word the calculator's: no ACK, no EOT. (A
    // refusal is recorded once its last bit is through, which may come after the job's end.)
    std::size_t packets = Calculator().Packets().size();
    Calculator().WaitForPackets(packets + packets % 2, SecondsFromNow(10));
    std::string trace = Trace(), refused = "PC:VAR TI:0x5A ";
    ASSERT_EQ(trace.size() % refused.size(), 0u) << trace;
    for (std::size_t at = 0; at < trace.size(); at += refused.size())
        ASSERT_EQ(trace.substr(at, refused.size()), refused) << trace;
    EXPECT_EQ(Cable().pc.Pulled(), 0);
    CloseAndExpectExit(0);
}

TEST_F(LinkTest, CloseAfterCancelEndsTheProgramPromptlyAfterTheJobHasStopped) {
    std::string path = WriteFile("long.85p", FileOf({Variable("LONG", 3000, 4)}));
    StartProgramAndWait();
    StartCalculator(Slowly());
    SendPicked(path);
    WaitForData();
    ASSERT_EQ(Ask("click main 1"), "ok"); // Cancel
    ASSERT_TRUE(Answered(Ask("until main 1 1000 Close")));
    auto closed = std::chrono::steady_clock::now();
    ASSERT_EQ(Ask("click main 1"), "ok"); // Close
    ASSERT_TRUE(Program().Wait(SecondsFromNow(10)));
    EXPECT_LT(SecondsSince(closed), 5.0);
    EXPECT_EQ(Program().ExitCode(), 0);
    // The job stopped before the port closed: it let go of both wires on its way out, and the
    // batch got no EOT.
    EXPECT_EQ(Cable().pc.Pulled(), 0);
    EXPECT_EQ(Calculator().EotCount(), 0);
    EXPECT_TRUE(Calculator().Variables().empty());
}
