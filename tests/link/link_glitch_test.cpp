// A single wrong reading anywhere in a byte, and the job's thread held off the processor at the
// worst moments: no wrong byte is taken as good, no error signal is seen where there is none,
// and nothing hangs.
#include "link/link_byte.h"
#include "tests/support/calculator_thread.h"
#include "tests/support/parallel_scenarios.h"

#include <gtest/gtest.h>

#include <string>

namespace {
using namespace std::chrono_literals;

// A Linux-like adapter: every line call a round trip of about 0.1 ms, so that a byte takes a
// few dozen readings, each of which is tried wrong in turn.
constexpr auto kAdapterCall = 100us;
constexpr auto kAdapterJitter = 50us;
constexpr std::uint8_t kSent = 0x4D;     // repeated bits and changes of wire
constexpr std::uint8_t kReceived = 0x85; // the calculator's machine byte

struct Exchange {
    std::uint8_t byte = 0;
    LinkOutcome outcome = LinkOutcome::Running;
    std::uint64_t reads = 0;
};

// One byte each way against a calculator that counts a level once it has held for longer than
// two line calls, so that a pull or a release the PC cut short on a wrong reading would go
// unseen; the `nth` reading of the byte (0: none) has the bits of `flip` turned over.
Exchange WithGlitch(bool pcSends, std::uint64_t nth, LinkLines flip) {
    CalculatorLinkOptions options;
    options.hold = 300us;
    CalculatorThread calculator(options, std::chrono::seconds(10));
    VirtualLines& lines = calculator.PcLines();
    lines.SetCallTime(kAdapterCall, kAdapterJitter);
    Exchange result;
    calculator.Run([pcSends](CalculatorLink& link) {
        std::uint8_t byte;
        if (pcSends)
            link.ReceiveByte(&byte);
        else
            link.SendByte(kReceived);
    });
    if (nth > 0)
        lines.GlitchRead(nth, flip);
    const std::uint64_t before = lines.Counts().reads;
    if (pcSends)
        SendLinkByte(calculator.PcLink(), kSent);
    else
        result.byte = ReceiveLinkByte(calculator.PcLink());
    result.reads = lines.Counts().reads - before;
    calculator.Join();
    if (pcSends) {
        const std::vector<std::uint8_t> taken =
            calculator.Link().BytesIn(LinkDirection::PcToCalculator);
        result.byte = taken.size() == 1 ? taken[0] : static_cast<std::uint8_t>(~kSent);
    }
    result.outcome = calculator.PcLink().Outcome();
    return result;
}

void EveryReadingTriedWrong(bool pcSends) {
    const Exchange clean = WithGlitch(pcSends, 0, 0);
    ASSERT_EQ(clean.byte, pcSends ? kSent : kReceived);
    ASSERT_EQ(clean.outcome, LinkOutcome::Running);
    unsigned failures = 0;
    for (std::uint64_t nth = 1; nth <= clean.reads + 2; ++nth)
        for (LinkLines flip : {1, 2, 3}) {
            const Exchange tried = WithGlitch(pcSends, nth, flip);
            const bool right = tried.byte == (pcSends ? kSent : kReceived) &&
                               tried.outcome == LinkOutcome::Running;
            if (!right && ++failures <= 5)
                ADD_FAILURE() << "reading " << nth << " flipped by " << int(flip) << ": byte "
                              << int(tried.byte) << ", outcome " << int(tried.outcome);
        }
    EXPECT_EQ(failures, 0u);
}

// The calculator turns round `turnaround` after the PC's last bit of a packet, on the wire of
// its last acknowledgement (0x43 ends with a 0), while the PC is held off the processor for
// `stall` right after letting go of that bit: it misses the release, and takes the wire held
// long for the first bit of the answer.
void HeldOffAfterThePacketsLastBit(std::chrono::milliseconds stall,
                                   std::chrono::microseconds turnaround) {
    CalculatorLinkOptions options;
    options.turnaround = turnaround;
    CalculatorThread calculator(options);
    calculator.Run([](CalculatorLink& link) {
        std::uint8_t byte;
        if (link.ReceiveByte(&byte) && link.SendByte(0x85))
            link.SendByte(0x3C);
    });
    JobLink& link = calculator.PcLink();
    calculator.PcLines().StallAfterWrite(16, stall); // the release of the last bit
    SendLinkByte(link, 0x43, ByteStart::InPacket, ByteEnd::AnswerNext);
    EXPECT_EQ(ReceiveLinkByte(link, ByteStart::PacketStart), 0x85);
    EXPECT_EQ(ReceiveLinkByte(link), 0x3C);
    EXPECT_EQ(link.Outcome(), LinkOutcome::Running);
    EXPECT_EQ(calculator.PcLines().StallCount(), 1u);
    ASSERT_TRUE(calculator.Join());
}

// A port that reports every 16 ms (writes of 1 ms), the PC held off for 60 ms between reading
// the lines and judging them, often: a late report is still judged by when it was read.
void HeldOffBetweenReadingAndJudging() {
    CalculatorThread calculator(CalculatorLinkOptions{}, std::chrono::seconds(60));
    VirtualLines& lines = calculator.PcLines();
    lines.SetCallTime(1ms);
    lines.SetReportPeriod(16ms);
    VirtualLines::Stalls stalls;
    stalls.reads = 2;
    stalls.shortest = stalls.longest = 60ms;
    stalls.spacing = 0ms;
    const std::vector<std::uint8_t> bytes = {0xFF, 0x00, 0xFD};
    calculator.Run([bytes](CalculatorLink& link) {
        std::uint8_t byte;
        for (std::uint8_t value : bytes)
            if (!link.SendByte(value))
                return;
        link.ReceiveByte(&byte);
    });
    JobLink& link = calculator.PcLink();
    // The first bits teach the port's lateness, as a packet's header would.
    lines.SetStalls(stalls);
    for (std::uint8_t value : bytes)
        EXPECT_EQ(ReceiveLinkByte(link), value);
    SendLinkByte(link, 0xFF);
    EXPECT_EQ(link.Outcome(), LinkOutcome::Running);
    EXPECT_GT(lines.StallCount(), 8u);
    ASSERT_TRUE(calculator.Join());
    EXPECT_EQ(calculator.Link().BytesIn(LinkDirection::PcToCalculator),
              std::vector<std::uint8_t>{0xFF});
}

std::vector<Scenario> StallScenarios() {
    std::vector<Scenario> scenarios;
    for (int stall : {5, 30, 50})
        for (int turnaround : {50, 1000, 3000})
            scenarios.push_back({"held off " + std::to_string(stall) + " ms, turn-around " +
                                     std::to_string(turnaround) + " us",
                                 [=] {
                                     HeldOffAfterThePacketsLastBit(
                                         std::chrono::milliseconds(stall),
                                         std::chrono::microseconds(turnaround));
                                 }});
    scenarios.push_back({"held off between reading and judging", HeldOffBetweenReadingAndJudging});
    return scenarios;
}
} // namespace

TEST(LinkGlitch, AnyOneWrongReadingOfASentByteChangesNothing) {
    EveryReadingTriedWrong(true);
}

TEST(LinkGlitch, AnyOneWrongReadingOfAReceivedByteChangesNothing) {
    EveryReadingTriedWrong(false);
}

TEST(LinkBusyPc, HeldOffAtTheWorstMomentsTheBytesStillArrive) {
    RunScenariosInParallel(StallScenarios(), std::chrono::seconds(60));
}
