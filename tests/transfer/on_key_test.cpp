// The user presses ON on the calculator in the middle of a job: it pulls both wires low for a
// moment and leaves receive mode. Wherever that comes, in a packet of either side or between
// two packets, the job ends within seconds with the no-answer message and sends nothing more;
// once the calculator is back in receive mode the next Send works. Each case sits out the
// link's answer limit, so they run side by side in processes of their own.
#include "link/link_wait.h"
#include "tests/support/link_watchdog.h"
#include "tests/support/parallel_scenarios.h"
#include "tests/transfer/job_runner.h"
#include "tests/transfer/sample_files.h"
#include "tests/transfer/simulated_link.h"

#include <gtest/gtest.h>

#include <string>

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Room for a loaded machine: the cases of the batch share two processors.
constexpr auto kLateMargin = 1500ms;

// Where ON comes: before the calculator's first move of bit `bit` of link byte `byte`, or after
// it. Each file's exchange: VAR 0-11, ACK 12-15, CTS 16-19, the PC's ACK 20-23, DATA 24-49,
// ACK 50-53; the second file's VAR starts at 54.
struct OnKeyPoint {
    const char* where;
    long byte;
    int bit;
    bool afterFirstMove;
};

const OnKeyPoint kPoints[] = {
    {"the job's first bit", 0, 0, true},
    {"in the VAR", 5, 3, true},
    {"at the VAR's last bit", 11, 7, false},
    {"before the answer to the VAR", 12, 0, false},
    {"in the ACK of the VAR", 13, 6, true},
    {"between the ACK and the CTS", 16, 0, false},
    {"in the CTS", 18, 2, false},
    {"before the PC's ACK", 20, 0, false},
    {"in the PC's ACK", 22, 5, true},
    {"before the DATA", 24, 0, false},
    {"in the DATA", 30, 0, true},
    {"further in the DATA", 37, 4, false},
    {"at the DATA's last bit", 49, 7, true},
    {"before the answer to the DATA", 50, 0, false},
    {"in the ACK of the DATA", 52, 1, true},
    {"between two files", 54, 0, false},
};
constexpr long kSecondFile = 54;

Bytes TheFile() {
    return VariableFileOf({Entry("ON", Pattern(20, 0x61))});
}

// No PC line change after `since` (cable clock) pulls a wire.
bool PulledNothingSince(const VirtualCable& cable, std::uint64_t since) {
    for (std::uint64_t i = 0; i < cable.pcChanges.Changes(); ++i)
        if (cable.pcChanges.TimeOfChange(i) > since && cable.pcChanges.PullsOfChange(i) != 0)
            return false;
    return true;
}

// `adapter`: through that adapter model, or null for a direct line.
void PressOnAt(const OnKeyPoint& point, const AdapterModel* adapter = nullptr) {
    Ti85Options options = TestTi85();
    options.link.stopAtByte = point.byte;
    options.link.stopAtBit = point.bit;
    options.link.stopAfterFirstMove = point.afterFirstMove;
    options.link.stopKind = StopKind::OnKey;
    // Held longer than the calculator's 100 ms: the cases share two processors, each polling, and
    // a PC thread held off for the whole signal takes it for an acknowledgement it cannot tell
    // apart, and pulls once more before it gives up.
    options.link.onKeySignal = 400ms;
    SimulatedLink link(options, std::chrono::seconds(adapter ? 100 : 20));
    if (adapter)
        link.Pc().Lines().Model(*adapter);
    // A job that waited for the calculator for good fails, not hangs.
    LinkWatchdog watchdog(link.Pc(), std::chrono::seconds(adapter ? 100 : 20));
    TempFile first(TheFile()), second(TheFile());
    PathList list{{first.Path(), second.Path()}};
    RunJob(link.Pc(), &list);
    const Clock::time_point ended = Clock::now();

    ASSERT_TRUE(link.WaitUntilDone());
    EXPECT_EQ(link.Calculator().Failure(), "ON key");
    EXPECT_EQ(link.Link().Outcome(), LinkOutcome::NoAnswer);
    // Through a port that reports late, the message is followed by a line on what limited it.
    ASSERT_EQ(link.Ui().messages.size(), 1u);
    const std::string& message = link.Ui().messages[0];
    EXPECT_EQ(message.substr(0, message.find('\n')), kNoAnswer);
    EXPECT_EQ(message.find("latency timer") != std::string::npos,
              adapter != nullptr && adapter->reportPeriod >= std::chrono::milliseconds(16))
        << message;
    EXPECT_LT(ended - link.Calculator().Link().StoppedAnsweringAt(),
              kLinkAnswerLimit + kLateMargin);
    EXPECT_EQ(list.taken, point.byte < kSecondFile ? 1u : 2u);
    EXPECT_TRUE(
        PulledNothingSince(link.Cable(), link.Calculator().Link().StoppedAnsweringOnCableClock()));
    EXPECT_EQ(link.Cable().pc.Pulled(), 0);

    // Back in receive mode, the calculator takes the file whole.
    const std::size_t taken = link.Calculator().Variables().size();
    link.Calculator().Replug();
    link.Pc().Events().Clear();
    PathList again{{first.Path()}};
    RunJob(link.Pc(), &again);
    ASSERT_TRUE(link.WaitUntilDone());
    EXPECT_EQ(link.Calculator().Failure(), "");
    EXPECT_TRUE(link.Ui().messages.empty());
    std::vector<ReceivedVariable> received = link.Calculator().Variables();
    ASSERT_EQ(received.size(), taken + 1);
    EXPECT_EQ(received.back().chunks, std::vector<Bytes>{Pattern(20, 0x61)});
}

std::vector<Scenario> OnKeyScenarios() {
    std::vector<Scenario> scenarios;
    for (const OnKeyPoint& point : kPoints)
        scenarios.push_back({std::string("ON ") + point.where, [point] { PressOnAt(point); }});
    // A port that reports late shows both wires low for a while after every bit the PC sent:
    // the signal is still told from that.
    for (int point : {3, 7, 10})
        scenarios.push_back(
            {std::string("ON ") + kPoints[point].where + ", " + kWindowsReports16ms.name,
             [point] { PressOnAt(kPoints[point], &kWindowsReports16ms); }});
    return scenarios;
}
} // namespace

TEST(OnKey, AnywhereInAJobItEndsTheJobWithinSecondsAndTheNextSendWorks) {
    RunScenariosInParallel(OnKeyScenarios(), std::chrono::seconds(150));
}
