// Whole jobs against calculators that see the link as a real TI-85 does: wire levels looked at
// every so often, a level counted once it has held, a pause before each answer; over a slow
// line; and a calculator that makes the PC wait for a person. Each case sits out real time, so
// a batch runs its cases side by side in processes of their own.
#include "protocol/packet.h"
#include "tests/support/parallel_scenarios.h"
#include "tests/support/recorded_variables.h"
#include "tests/transfer/job_runner.h"
#include "tests/transfer/sample_files.h"
#include "tests/transfer/simulated_link.h"
#include "transfer/batch_receiver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kBatchLimit = std::chrono::seconds(60);

// One job of `files`, expected to end well: the calculator took every variable of `expected`
// and the EOT (none after a backup), nothing was given up and nobody was told anything.
void ExpectDelivered(SimulatedLink& link, const std::vector<Bytes>& files,
                     const std::vector<std::vector<Bytes>>& expected, bool backup = false) {
    std::vector<std::unique_ptr<TempFile>> temporary;
    PathList list;
    for (const Bytes& file : files) {
        temporary.push_back(std::make_unique<TempFile>(file));
        list.paths.push_back(temporary.back()->Path());
    }
    RunJob(link.Pc(), &list);
    EXPECT_EQ(link.Link().Outcome(), LinkOutcome::Running);
    EXPECT_TRUE(link.Ui().messages.empty());
    ASSERT_TRUE(link.WaitUntilDone());
    EXPECT_EQ(link.Calculator().Failure(), "");
    EXPECT_EQ(link.Calculator().EotCount(), backup ? 0 : 1);
    std::vector<ReceivedVariable> received = link.Calculator().Variables();
    ASSERT_EQ(received.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(received[i].chunks, expected[i]) << "variable " << i;
}

// Both turn-arounds of a variable's exchange: the calculator's answer after the PC's packet, and
// the PC's packet after the calculator's (the PC's last acknowledgement must be seen released).
void TakesAVariable(std::chrono::microseconds hold, std::chrono::microseconds samplePeriod) {
    Ti85Options options = TestTi85();
    options.link.hold = hold;
    options.link.samplePeriod = samplePeriod;
    SimulatedLink link(options);
    const Bytes data = Pattern(6, 0x3C);
    ExpectDelivered(link, {VariableFileOf({Entry("TURN", data)})}, {{data}});
}

std::vector<Scenario> TurnaroundScenarios() {
    std::vector<Scenario> scenarios;
    for (int hold : {0, 10, 100, 1000})
        for (int period : {0, 5, 100})
            scenarios.push_back({"hold " + std::to_string(hold) + " us, looks every " +
                                     std::to_string(period) + " us",
                                 [=] {
                                     TakesAVariable(std::chrono::microseconds(hold),
                                                    std::chrono::microseconds(period));
                                 }});
    return scenarios;
}

// A USB serial adapter: every line call costs a millisecond. Under Windows its driver may also
// answer status reads from the adapter's last report (`reportPeriod`), so that a reading may still
// show the PC's own pull after it has let go.
void OverAnAdapter(std::chrono::microseconds reportPeriod) {
    SimulatedLink link;
    link.Pc().Lines().SetCallTime(1ms);
    link.Pc().Lines().SetReportPeriod(reportPeriod);
    const Bytes data = Pattern(12, 0x80);
    const std::vector<Bytes> chunks = {Pattern(9, 1), Pattern(0), Pattern(11, 2)};
    ExpectDelivered(link,
                    {VariableFileOf({Entry("SLOW", data)}),
                     VariableFileOf({BackupEntry(chunks[0], chunks[1], chunks[2])})},
                    {{data}, chunks}, true);

    // And the other way over such a line: the calculator sends two variables.
    Ti85Options sending = TestTi85();
    sending.send = {{VariableHeader(0x12, "SLOW", 12), {data}, false, ""},
                    {VariableHeader(0x00, "X", 9), {chunks[0]}, false, ""}};
    SimulatedLink back(sending);
    back.Pc().Lines().SetCallTime(1ms);
    back.Pc().Lines().SetReportPeriod(reportPeriod);
    RecordedVariables received;
    EXPECT_EQ(ReceiveBatch(back.Link(), received).end, ReceiveEnd::Completed);
    EXPECT_TRUE(back.Ui().messages.empty());
    ASSERT_EQ(received.entries.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(received.entries[i].header, sending.send[i].header) << i;
        EXPECT_EQ(received.entries[i].chunks, sending.send[i].chunks) << i;
    }
}

// The job waits for a person as long as it takes, and then goes on.
void WaitedFor(Ti85Options options, Clock::duration delay) {
    const Clock::time_point start = Clock::now();
    SimulatedLink link(options);
    const Bytes data = Pattern(5, 0x11);
    ExpectDelivered(link, {VariableFileOf({Entry("LATE", data)})}, {{data}});
    EXPECT_GE(Clock::now() - start, delay);
}

void APrompt() {
    Ti85Options options = TestTi85();
    options.prompts[0] = 10s; // the name exists: Overwrite? Rename?
    WaitedFor(options, 10s);
}

void NotYetInReceiveMode() {
    Ti85Options options = TestTi85();
    options.receiveModeAfter = 3s;
    WaitedFor(options, 3s);
}
} // namespace

TEST(RealisticLink, AVariableTurnsRoundBothWaysWhateverTheCalculatorsHoldAndLookingPeriod) {
    RunScenariosInParallel(TurnaroundScenarios(), kBatchLimit);
}

TEST(RealisticLink, VariablesAndABackupGoBothWaysOverASlowLineAndOneThatReportsLate) {
    RunScenariosInParallel({{"slow line", [] { OverAnAdapter(0us); }},
                            {"line that reports every 2 ms", [] { OverAnAdapter(2ms); }}},
                           kBatchLimit);
}

TEST(RealisticLink, APromptAndACalculatorNotYetInReceiveModeAreWaitedFor) {
    RunScenariosInParallel(
        {{"a prompt of 10 s", APrompt}, {"receive mode after 3 s", NotYetInReceiveMode}},
        kBatchLimit);
}
