// Whole jobs against calculators that see the link as a real TI-85 does: wire levels looked at
// every so often, a level counted once it has held, a pause before each answer; through USB
// serial adapters on a busy PC; and a calculator that makes the PC wait for a person. Each case
// sits out real time, so a batch runs its cases side by side in processes of their own.
#include "protocol/packet.h"
#include "tests/support/parallel_scenarios.h"
#include "tests/support/recorded_variables.h"
#include "tests/support/same_variables.h"
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
// The slowest adapter's batch: a variable through a port that reports every 16 ms, with room
// for a loaded machine.
constexpr auto kSessionLimit = std::chrono::seconds(100);
constexpr auto kAdapterBatchLimit = std::chrono::seconds(120);

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

// Through a USB serial adapter as its driver presents it, the job's thread held off the
// processor now and then: a 40-byte variable, or a 1,700-byte backup, against a calculator with
// its own defaults that turns round `turnaround` after the PC's last byte of a packet. With
// `rtsIgnored`, the driver carries RTS out only with a change of DTR until the link switches it
// another way.
void ThroughAnAdapter(const AdapterModel& adapter, std::chrono::microseconds turnaround,
                      bool backup, bool rtsIgnored = false) {
    Ti85Options options;
    options.link.turnaround = turnaround;
    SimulatedLink link(options, kSessionLimit);
    link.Pc().Lines().Model(adapter);
    link.Pc().Lines().SetStalls(BusyPc());
    if (rtsIgnored)
        link.Pc().Lines().IgnoreRtsUnlessDtrChanges();
    if (backup) {
        const std::vector<Bytes> chunks = {Pattern(1000, 1), Pattern(500, 2), Pattern(200, 3)};
        ExpectDelivered(link, {VariableFileOf({BackupEntry(chunks[0], chunks[1], chunks[2])})},
                        {chunks}, true);
    } else {
        const Bytes data = Pattern(40, 0x80);
        ExpectDelivered(link, {VariableFileOf({Entry("ADAPT", data)})}, {{data}});
    }
    EXPECT_GT(link.Pc().Lines().StallCount(), 0u);
    EXPECT_EQ(link.Pc().ThePort().Watch().SwitchedAnotherWay(Wire::RtsCts), rtsIgnored);
}

// And the other way through such an adapter on a busy PC: the calculator sends two variables.
void ReceivedThroughAnAdapter(const AdapterModel& adapter) {
    Ti85Options sending = TestTi85();
    sending.send = {{VariableHeader(0x12, "SLOW", 12), {Pattern(12, 0x80)}, false, ""},
                    {VariableHeader(0x00, "X", 9), {Pattern(9, 1)}, false, ""}};
    SimulatedLink back(sending, kSessionLimit);
    back.Pc().Lines().Model(adapter);
    back.Pc().Lines().SetStalls(BusyPc());
    RecordedVariables received;
    EXPECT_EQ(ReceiveBatch(back.Link(), received).end, ReceiveEnd::Completed);
    EXPECT_TRUE(back.Ui().messages.empty());
    ExpectSameVariables(received.entries, sending.send);
}

std::vector<Scenario> AdapterScenarios() {
    std::vector<Scenario> scenarios;
    for (int turnaround : {3000, 1000}) {
        const std::chrono::microseconds turn(turnaround);
        const std::string calculator = ", turn-around " + std::to_string(turnaround) + " us";
        for (const AdapterModel* adapter : {&kWindowsReports1ms, &kWindowsReports16ms,
                                            &kLinuxCalls100us, &kLinuxCalls250us, &kLinuxCalls1ms})
            scenarios.push_back({std::string("variable, ") + adapter->name + calculator,
                                 [=] { ThroughAnAdapter(*adapter, turn, false); }});
        scenarios.push_back({std::string("backup, ") + kLinuxCalls100us.name + calculator,
                             [=] { ThroughAnAdapter(kLinuxCalls100us, turn, true); }});
        scenarios.push_back(
            {"variable, RTS only with DTR, " + std::string(kWindowsReports1ms.name) + calculator,
             [=] { ThroughAnAdapter(kWindowsReports1ms, turn, false, true); }});
        scenarios.push_back(
            {"backup, RTS only with DTR, " + std::string(kLinuxCalls100us.name) + calculator,
             [=] { ThroughAnAdapter(kLinuxCalls100us, turn, true, true); }});
    }
    for (const AdapterModel* adapter : {&kWindowsReports1ms, &kWindowsReports16ms, &kLinuxCalls1ms})
        scenarios.push_back({std::string("received, ") + adapter->name,
                             [=] { ReceivedThroughAnAdapter(*adapter); }});
    return scenarios;
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

TEST(RealisticLink, AVariableAndABackupArriveThroughEachAdapterOnABusyPcAndTwoVariablesComeBack) {
    RunScenariosInParallel(AdapterScenarios(), kAdapterBatchLimit);
}

TEST(RealisticLink, APromptAndACalculatorNotYetInReceiveModeAreWaitedFor) {
    RunScenariosInParallel(
        {{"a prompt of 10 s", APrompt}, {"receive mode after 3 s", NotYetInReceiveMode}},
        kBatchLimit);
}
