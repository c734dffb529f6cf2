// calquin stopped: by a pulled cable, by Ctrl-C once or twice, and kept off a port that another
// calquin holds. Whatever stops it, it lets go of both wires.
#include "tests/cli/cli_harness.h"

#include "sim/virtual_cable.h"

#include <cctype>
#include <csignal>
#include <filesystem>
#include <sys/stat.h>

namespace {
constexpr int kNobody = 65534;

const char kStopping[] =
    "calquin: stopping after the variable under way (Ctrl-C again stops at once)";

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The percentage a terminal status line shows last ("LONG  [###...]  42%  ...").
int LastPercent(const std::string& shown) {
    std::size_t sign = shown.rfind('%');
    if (sign == std::string::npos)
        return -1;
    std::size_t start = sign;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(shown[start - 1])))
        --start;
    return start == sign ? -1 : std::stoi(shown.substr(start, sign - start));
}

// Each bit waits a little at the calculator's end: a few thousand bytes take seconds.
const std::vector<std::string> kSlowly = {"--slow", "40"};
} // namespace

TEST_F(CliTest, APulledCableIsReportedAndTheWiresAreLetGo) {
    TestVariable pulled = Variable("PULL", 1500, 9);
    WriteFile("pull.85p", FileOf({pulled}));
    StartCalculator({"--unplug-at-byte", "630"}); // inside the data
    EXPECT_EQ(RunCalquin({"--port", Port(), "pull.85p"}), 3) << output;
    EXPECT_EQ(CalculatorResult(), "unplugged");
    EXPECT_EQ(Trace().find("EOT"), std::string::npos) << Trace();
    EXPECT_NE(output.find("\ncalquin: The calculator stopped answering. Check the cable and that "
                          "the calculator is waiting to receive.\n"),
              std::string::npos)
        << output;
    EXPECT_EQ(output.rfind("PULL", 0), 0u) << output; // how far the data got
    EXPECT_EQ(Cable().pc.Pulled(), 0);
}

TEST_F(CliTest, CtrlCWhileTheCalculatorDoesNotAnswerGivesItUpWithinASecond) {
    WriteFile("nobody.85p", FileOf({Variable("N", 50)}));
    std::unique_ptr<ChildProcess> program = StartCalquin({"--port", Port(), "nobody.85p"});
    ASSERT_TRUE(WaitUntilAWireIsPulled(30)); // the header's first bit waits for an answer
    auto interrupted = std::chrono::steady_clock::now();
    program->Signal(SIGINT);
    ASSERT_TRUE(program->Wait(SecondsFromNow(20)));
    EXPECT_LT(SecondsSince(interrupted), 5.0);
    EXPECT_EQ(program->ExitCode(), 130);
    EXPECT_EQ(program->Output(), std::string(kStopping) + "\n");
    EXPECT_EQ(Cable().pc.Pulled(), 0);
}

TEST_F(CliTest, SigtermStopsAtOnceAndStillLetsGoOfTheWires) {
    WriteFile("nobody.85p", FileOf({Variable("N", 50)}));
    std::unique_ptr<ChildProcess> program = StartCalquin({"--port", Port(), "nobody.85p"});
    ASSERT_TRUE(WaitUntilAWireIsPulled(30));
    program->Signal(SIGTERM);
    ASSERT_TRUE(program->Wait(SecondsFromNow(20)));
    EXPECT_EQ(program->ExitCode(), 143);
    EXPECT_EQ(program->Output(), "calquin: stopping now\n");
    EXPECT_EQ(Cable().pc.Pulled(), 0);
}

TEST_F(CliTest, CtrlCWhileSendingFinishesTheVariableStartsNoOtherAndSendsTheEot) {
    TestVariable long1 = Variable("LONG", 250, 1), next = Variable("NEXT", 100);
    WriteFile("long.85g", FileOf({long1, next}));
    WriteFile("last.85p", FileOf({Variable("LAST", 100)}));
    StartCalculator(kSlowly);
    std::unique_ptr<ChildProcess> program =
        StartCalquin({"--port", Port(), "long.85g", "last.85p"}, true);
    ASSERT_TRUE(program->WaitForOutput(
        [](const std::string& shown) { return LastPercent(shown) >= 5; }, SecondsFromNow(60)))
        << program->Output();
    program->Signal(SIGINT);
    ASSERT_TRUE(program->Wait(SecondsFromNow(60)));
    EXPECT_EQ(program->ExitCode(), 130);
    EXPECT_EQ(CalculatorResult(), "end of transmission");
    ExpectReceived({long1});
    EXPECT_EQ(Trace(), Taken() + EndOfTransmission());
    std::string shown = program->Output();
    EXPECT_NE(shown.find(kStopping), std::string::npos) << shown;
    EXPECT_EQ(LastPercent(shown), 100) << shown;
    EXPECT_EQ(Cable().pc.Pulled(), 0);
}

TEST_F(CliTest, CtrlCTwiceStopsAtOnceWithoutEot) {
    WriteFile("long.85p", FileOf({Variable("LONG", 250, 1)}));
    StartCalculator(kSlowly);
    std::unique_ptr<ChildProcess> program = StartCalquin({"--port", Port(), "long.85p"}, true);
    ASSERT_TRUE(program->WaitForOutput(
        [](const std::string& shown) { return LastPercent(shown) >= 5; }, SecondsFromNow(60)))
        << program->Output();
    program->Signal(SIGINT);
    ASSERT_TRUE(program->WaitForOutput(kStopping, SecondsFromNow(10)));
    auto interrupted = std::chrono::steady_clock::now();
    program->Signal(SIGINT);
    ASSERT_TRUE(program->Wait(SecondsFromNow(20)));
    EXPECT_LT(SecondsSince(interrupted), 5.0);
    EXPECT_EQ(program->ExitCode(), 130);
    EXPECT_LT(LastPercent(program->Output()), 100) << program->Output();
    EXPECT_EQ(Cable().pc.Pulled(), 0);
    EXPECT_EQ(StopCalculator(), "stopped");
    ExpectReceived({});
    EXPECT_EQ(Trace().find("EOT"), std::string::npos) << Trace();
}

TEST_F(CliTest, ASecondProgramOnTheSamePortIsRefusedAndLeavesTheFirstAlone) {
    WriteFile("nobody.85p", FileOf({Variable("N", 50)}));
    std::unique_ptr<ChildProcess> first = StartCalquin({"--port", Port(), "nobody.85p"});
    ASSERT_TRUE(WaitUntilAWireIsPulled(30));
    std::uint8_t pulled = Cable().pc.Pulled();

    // As root the exclusive use does not keep it out; the lock does.
    EXPECT_EQ(RunCalquin({"--port", Port(), "nobody.85p"}), 4) << output;
    EXPECT_EQ(output, "calquin: " + Port() + " is in use by another program.\n");
    // Anyone else is kept out by the exclusive use already.
    ASSERT_EQ(chmod(Port().c_str(), 0666), 0);
    std::unique_ptr<ChildProcess> other =
        StartCalquin({"--port", Port(), "/dev/null"}, false, {}, kNobody);
    ASSERT_TRUE(other->Wait(SecondsFromNow(30)));
    EXPECT_EQ(other->ExitCode(), 4);
    EXPECT_EQ(other->Output(),
              "calquin: " + Port() + " is busy: another program has it open for its sole use.\n");

    EXPECT_EQ(Cable().pc.Pulled(), pulled); // the first one's wire, untouched
    first->Signal(SIGINT);
    first->Signal(SIGINT);
    ASSERT_TRUE(first->Wait(SecondsFromNow(20)));
    EXPECT_EQ(first->ExitCode(), 130);
    EXPECT_EQ(Cable().pc.Pulled(), 0);
}

// Receiving: Ctrl-C while nobody sends ends the wait at once; Ctrl-C once the calculator sends
// lets the variable under way arrive and be saved, then ends the calculator's batch with the
// exit. Nothing is ever half-written.
TEST_F(CliTest, CtrlCWhileReceivingEndsTheWaitOrTheCalculatorsBatch) {
    std::unique_ptr<ChildProcess> waiting = StartCalquin({"--receive", "--port", Port()});
    ASSERT_TRUE(waiting->WaitForOutput("waiting for the calculator", SecondsFromNow(30)));
    auto interrupted = std::chrono::steady_clock::now();
    waiting->Signal(SIGINT);
    ASSERT_TRUE(waiting->Wait(SecondsFromNow(20)));
    EXPECT_LT(SecondsSince(interrupted), 5.0);
    EXPECT_EQ(waiting->ExitCode(), 130) << waiting->Output();
    EXPECT_EQ(Cable().pc.Pulled(), 0);

    std::vector<TestVariable> three = {Variable("X", 500, 1), Variable("Y", 500, 2),
                                       Variable("Z", 500, 3)};
    WriteFile("three.85g", FileOf(three));
    ASSERT_EQ(mkdir(folder.File("in").c_str(), 0755), 0);
    std::vector<std::string> sending = {"--send", folder.File("three.85g")};
    sending.insert(sending.end(), kSlowly.begin(), kSlowly.end());
    StartCalculator(sending);
    std::unique_ptr<ChildProcess> program = StartCalquin({"--receive", "--port", Port(), "in"});
    ASSERT_TRUE(program->WaitForOutput("X.85p\n", SecondsFromNow(60))) << program->Output();
    program->Signal(SIGINT);
    ASSERT_TRUE(program->Wait(SecondsFromNow(60)));
    EXPECT_EQ(program->ExitCode(), 130) << program->Output();
    EXPECT_EQ(CalculatorResult(), "batch sent");
    const std::string trace = Trace();
    const std::string exit = "TI:VAR PC:ACK PC:SKIP TI:ACK ";
    ASSERT_GE(trace.size(), exit.size());
    EXPECT_EQ(trace.substr(trace.size() - exit.size()), exit) << trace;
    std::size_t saved = 0;
    for (const TestVariable& variable : three) {
        const std::string name =
            "in/" + std::string(variable.header.begin() + 4, variable.header.end()) + ".85p";
        struct stat status;
        if (stat(folder.File(name).c_str(), &status) != 0)
            continue;
        ++saved;
        EXPECT_EQ(static_cast<std::size_t>(status.st_size), 55 + 2 + 5 + 2 + 500 + 2) << name;
    }
    EXPECT_GE(saved, 1u);
    EXPECT_LT(saved, 3u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.File("in")),
                            std::filesystem::directory_iterator()),
              static_cast<long>(saved)); // no temporary left
}
