// Waits that are never answered. Each scenario sits out a time limit, so a batch runs its
// scenarios side by side in processes of their own.
#include "link/link_byte.h"
#include "link/link_wait.h"
#include "tests/link/link_expectations.h"
#include "tests/support/calculator_thread.h"
#include "tests/support/parallel_scenarios.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Writes = std::vector<LinkLines>;

// Room for a loaded machine: the scenarios of a batch share two processors, and may share them
// with other tests.
constexpr auto kLateMargin = 1500ms;
constexpr auto kBatchLimit = std::chrono::seconds(30);

constexpr std::uint8_t kFirstByte = 0x5A;
constexpr std::uint8_t kStopByte = 0xC3;

void Send(JobLink& link, ByteStart start = ByteStart::InPacket) {
    SendLinkByte(link, kStopByte, start);
}
void Receive(JobLink& link, ByteStart start = ByteStart::InPacket) {
    ReceiveLinkByte(link, start);
}

Clock::duration Timed(void (*exchange)(JobLink&, ByteStart), JobLink& link) {
    const Clock::time_point start = Clock::now();
    exchange(link, ByteStart::InPacket);
    return Clock::now() - start;
}

// Once given up, the job's link calls return at once without touching the lines.
void ExpectSilentLink(CalculatorThread& calculator) {
    VirtualLines& lines = calculator.PcLines();
    lines.ClearRecordedWrites();
    const VirtualPortCounters before = lines.Counts();
    const Clock::time_point start = Clock::now();
    SendLinkByte(calculator.PcLink(), 0xFF);
    EXPECT_EQ(ReceiveLinkByte(calculator.PcLink()), 0);
    EXPECT_LT(Clock::now() - start, 100ms);
    EXPECT_TRUE(lines.RecordedWrites().empty());
    EXPECT_EQ(lines.Counts().reads, before.reads);
    EXPECT_EQ(lines.Counts().writes, before.writes);
}

// The calculator takes the packet's first byte, then stops at `bit` of the second one: the
// cable pulled before the bit, or frozen holding its wire after its first move of the bit.
void CalculatorStops(bool pcSends, int bit, bool holding) {
    CalculatorLinkOptions options = TestCalculatorLink();
    options.stopAtByte = 1;
    options.stopAtBit = bit;
    options.stopAfterFirstMove = holding;
    options.stopKind = holding ? StopKind::Freeze : StopKind::Unplug;
    CalculatorThread calculator(options);
    calculator.Run([pcSends](CalculatorLink& link) {
        std::uint8_t byte;
        if (pcSends)
            link.ReceiveByte(&byte) && link.ReceiveByte(&byte);
        else
            link.SendByte(kFirstByte) && link.SendByte(kStopByte);
    });
    JobLink& link = calculator.PcLink();
    VirtualLines& lines = calculator.PcLines();
    lines.RecordWrites(true);
    // Only the packet's very first wait may last.
    if (pcSends) {
        SendLinkByte(link, kFirstByte, ByteStart::PacketStart);
    } else {
        ASSERT_EQ(ReceiveLinkByte(link, ByteStart::PacketStart), kFirstByte);
    }
    ASSERT_EQ(link.Outcome(), LinkOutcome::Running);

    lines.ClearRecordedWrites();
    const Clock::duration waited = Timed(pcSends ? Send : Receive, link);
    const Clock::duration sinceStop = Clock::now() - calculator.Link().StoppedAnsweringAt();
    EXPECT_EQ(link.Outcome(), LinkOutcome::NoAnswer);
    EXPECT_GE(waited, kLinkAnswerLimit);
    EXPECT_LT(sinceStop, kLinkAnswerLimit + kLateMargin); // the PC's last wait began near the stop

    // The bits before, then the unanswered step, then the release of the given-up link.
    Writes expected = pcSends ? SentBitWrites(kStopByte, bit) : ReceivedBitWrites(kStopByte, bit);
    const bool one = (kStopByte >> bit) & 1;
    if (pcSends)
        expected.push_back(one ? 2 : 1); // the signal, never acknowledged or never released
    if (pcSends && holding)
        expected.push_back(3); // released; the calculator's acknowledgement stays
    if (!pcSends && holding)
        expected.push_back(one ? 1 : 2); // acknowledged; the calculator's signal stays
    expected.push_back(3);
    EXPECT_EQ(lines.RecordedWrites(), expected);
    EXPECT_EQ(calculator.Cable().pc.Pulled(), 0);
    ExpectSilentLink(calculator);
}

std::vector<Scenario> StopScenarios() {
    std::vector<Scenario> scenarios;
    for (bool pcSends : {true, false})
        for (bool holding : {false, true})
            for (int bit = 0; bit < 8; ++bit)
                scenarios.push_back(
                    {std::string(pcSends ? "PC sending" : "PC receiving") +
                         (holding ? ", calculator frozen at bit " : ", cable pulled at bit ") +
                         std::to_string(bit),
                     [=] { CalculatorStops(pcSends, bit, holding); }});
    return scenarios;
}

// A calculator that answers only after `delay` (a person getting it into receive mode).
void AnswersLate(bool pcSends) {
    constexpr auto delay = kLinkAnswerLimit + 500ms;
    // Timed from one instant, as a stop is: a wait that starts late must not look short.
    const Clock::time_point start = Clock::now();
    CalculatorThread calculator;
    calculator.Run([pcSends, answerAt = start + delay](CalculatorLink& link) {
        std::this_thread::sleep_until(answerAt);
        std::uint8_t byte;
        if (pcSends)
            link.ReceiveByte(&byte);
        else
            link.SendByte(0x96);
    });
    JobLink& link = calculator.PcLink();
    if (pcSends) {
        SendLinkByte(link, 0x96, ByteStart::PacketForAPerson);
    } else {
        EXPECT_EQ(ReceiveLinkByte(link, ByteStart::PacketForAPerson), 0x96);
    }
    EXPECT_GE(Clock::now() - start, delay);
    EXPECT_EQ(link.Outcome(), LinkOutcome::Running);
    ASSERT_TRUE(calculator.Join());
    if (pcSends) {
        EXPECT_EQ(calculator.Link().BytesIn(LinkDirection::PcToCalculator),
                  std::vector<std::uint8_t>{0x96});
    }
}

// A stop requested `after` a wait for a person began, on a calculator that never answers;
// the wait must end within [earliest, latest] of its start.
// The stop and the wait it ends are timed from one instant: a requester thread that starts late
// must not make the wait look shorter than the delay it was given.
std::thread RequestStopAt(JobLink& link, Clock::time_point when, LinkStop stop) {
    return std::thread([&link, when, stop] {
        std::this_thread::sleep_until(when);
        link.RequestStop(stop);
    });
}

void StopRequested(bool pcSends, LinkStop stop, Clock::duration after, Clock::duration earliest,
                   Clock::duration latest) {
    CalculatorThread calculator; // never runs: nothing answers
    JobLink& link = calculator.PcLink();
    calculator.PcLines().RecordWrites(true);
    const Clock::time_point start = Clock::now();
    std::thread requester;
    if (after == Clock::duration::zero())
        link.RequestStop(stop);
    else
        requester = RequestStopAt(link, start + after, stop);
    pcSends ? Send(link, ByteStart::PacketForAPerson) : Receive(link, ByteStart::PacketForAPerson);
    const Clock::duration waited = Clock::now() - start;
    if (requester.joinable())
        requester.join();
    EXPECT_EQ(link.Outcome(), LinkOutcome::StopRequested);
    EXPECT_GE(waited, earliest);
    EXPECT_LE(waited, latest);
    // Sending, the job's first packet releases the lines before its wait for the idle link.
    EXPECT_EQ(calculator.PcLines().RecordedWrites(),
              pcSends ? (Writes{3, (kStopByte & 1) ? 2 : 1, 3}) : Writes{3});
    EXPECT_EQ(calculator.Cable().pc.Pulled(), 0);
    ExpectSilentLink(calculator);
}

// A wire held low keeps the link from reading idle before a packet: Cancel ends that wait after
// a second, as any other, and without Cancel the limit does.
void HeldWireBeforeAPacket(bool cancel) {
    CalculatorThread calculator; // never runs: its end holds the RTS/CTS wire
    calculator.Cable().calculator.Pull(kRtsCtsWire);
    JobLink& link = calculator.PcLink();
    const Clock::time_point start = Clock::now();
    if (cancel)
        link.RequestStop(LinkStop::Cancel);
    SendLinkByte(link, kStopByte, ByteStart::PacketStart);
    const Clock::duration waited = Clock::now() - start;
    const Clock::duration limit = cancel ? Clock::duration(kLinkCancelGrace) : kLinkAnswerLimit;
    EXPECT_EQ(link.Outcome(), cancel ? LinkOutcome::StopRequested : LinkOutcome::NoAnswer);
    EXPECT_GE(waited, limit);
    EXPECT_LT(waited, limit + kLateMargin);
    EXPECT_EQ(calculator.Cable().pc.Pulled(), 0);
}

// Closing ends a wait inside a packet at once too, long before the answer limit.
void ClosingMidPacket() {
    CalculatorLinkOptions frozen = TestCalculatorLink();
    frozen.stopAtByte = 0;
    frozen.stopAtBit = 3;
    frozen.stopAfterFirstMove = true;
    frozen.stopKind = StopKind::Freeze;
    CalculatorThread calculator(frozen);
    calculator.Run([](CalculatorLink& link) { link.SendByte(0xFF); });
    JobLink& link = calculator.PcLink();
    const Clock::time_point start = Clock::now();
    std::thread requester = RequestStopAt(link, start + 300ms, LinkStop::Closing);
    Receive(link);
    const Clock::duration waited = Clock::now() - start;
    requester.join();
    EXPECT_EQ(link.Outcome(), LinkOutcome::StopRequested);
    EXPECT_LT(waited, 300ms + kLateMargin);
    EXPECT_EQ(calculator.Cable().pc.Pulled(), 0);
}

// Cancel gives up only a calculator that is not answering: one that answers every wait within a
// second, packet starts included, gets its bytes.
void CancelWhileAnswered() {
    CalculatorLinkOptions slow = TestCalculatorLink();
    slow.bitDelay = 100ms;
    CalculatorThread calculator(slow);
    calculator.Run([](CalculatorLink& link) {
        std::uint8_t byte;
        if (link.ReceiveByte(&byte))
            link.SendByte(byte);
    });
    JobLink& link = calculator.PcLink();
    link.RequestStop(LinkStop::Cancel);
    SendLinkByte(link, 0xE1, ByteStart::PacketStart);
    EXPECT_EQ(ReceiveLinkByte(link, ByteStart::PacketStart), 0xE1);
    EXPECT_EQ(link.Outcome(), LinkOutcome::Running);
    ASSERT_TRUE(calculator.Join());
}

// No pause before the calculator's answer: it goes from its last acknowledgement straight to its
// first signal. kStopByte ends with a 1, so that acknowledgement is on the RTS/CTS wire.
CalculatorLinkOptions Hasty(std::chrono::microseconds hold = std::chrono::microseconds(10)) {
    CalculatorLinkOptions hasty = TestCalculatorLink();
    hasty.turnaround = std::chrono::microseconds(0);
    hasty.hold = hold;
    return hasty;
}

void AnswersAtOnce(CalculatorThread& calculator, std::uint8_t answer) {
    calculator.Run([answer](CalculatorLink& link) {
        std::uint8_t byte;
        if (link.ReceiveByte(&byte))
            link.SendByte(answer);
    });
}

// An answer that starts on the same wire: nothing shows the acknowledgement released. Inside a
// packet the PC gives up rather than hang (0x42 starts with a 0, on the wire of the last
// acknowledgement of kStopByte); after a packet's last byte (0x43 ends with a 0, acknowledged on
// the DTR/DSR wire), where the calculator's answer is due, the wire held long is the first bit
// of its machine byte.
void ZeroTurnaroundOnTheSameWireAtAPacketsEnd() {
    CalculatorThread calculator(Hasty());
    AnswersAtOnce(calculator, 0x85);
    SendLinkByte(calculator.PcLink(), 0x43, ByteStart::InPacket, ByteEnd::AnswerNext);
    EXPECT_EQ(ReceiveLinkByte(calculator.PcLink()), 0x85);
    EXPECT_EQ(calculator.PcLink().Outcome(), LinkOutcome::Running);
    ASSERT_TRUE(calculator.Join());
}

void ZeroTurnaroundOnTheSameWire() {
    CalculatorThread calculator(Hasty());
    AnswersAtOnce(calculator, 0x42);
    calculator.PcLines().RecordWrites(true);
    const Clock::duration waited = Timed(Send, calculator.PcLink());
    EXPECT_EQ(calculator.PcLink().Outcome(), LinkOutcome::NoAnswer);
    EXPECT_GE(waited, kLinkAnswerLimit);
    EXPECT_LT(waited, kLinkAnswerLimit + kLateMargin);
    Writes expected = SentBitWrites(kStopByte);
    expected.push_back(3);
    EXPECT_EQ(calculator.PcLines().RecordedWrites(), expected);
    EXPECT_EQ(calculator.Cable().pc.Pulled(), 0);
    EXPECT_EQ(calculator.Link().BytesIn(LinkDirection::PcToCalculator),
              std::vector<std::uint8_t>{kStopByte});
    ExpectSilentLink(calculator);
}

// An answer that starts on the other wire (0x43 starts with a 1): the acknowledgement shows
// released while the first bit is already pulled, and the exchange goes on.
void ZeroTurnaroundOnTheOtherWire(std::chrono::microseconds hold) {
    CalculatorThread calculator(Hasty(hold));
    AnswersAtOnce(calculator, 0x43);
    Send(calculator.PcLink());
    EXPECT_EQ(ReceiveLinkByte(calculator.PcLink()), 0x43);
    EXPECT_EQ(calculator.PcLink().Outcome(), LinkOutcome::Running);
    ASSERT_TRUE(calculator.Join());
    EXPECT_EQ(calculator.Link().BytesIn(LinkDirection::CalculatorToPc),
              std::vector<std::uint8_t>{0x43});
}

void ClosingIsNeverWithdrawn() {
    CalculatorThread calculator;
    calculator.PcLink().RequestStop(LinkStop::Closing);
    calculator.PcLink().RequestStop(LinkStop::Cancel);
    EXPECT_EQ(calculator.PcLink().StopRequest(), LinkStop::Closing);
    // It outlives the job: the next one on the port starts with it.
    calculator.Pc().NewJob();
    EXPECT_EQ(calculator.PcLink().StopRequest(), LinkStop::Closing);
}
} // namespace

TEST(LinkGiveUp, ACalculatorThatStopsAtAnyBitIsGivenUpAfterTheLimit) {
    RunScenariosInParallel(StopScenarios(), kBatchLimit);
}

TEST(LinkGiveUp, AWaitForAPersonLastsUntilTheJobIsStopped) {
    const auto grace = kLinkCancelGrace;
    RunScenariosInParallel(
        {
            {"PC sending, answered late", [] { AnswersLate(true); }},
            {"PC receiving, answered late", [] { AnswersLate(false); }},
            {"PC sending, Cancel at once",
             [=] { StopRequested(true, LinkStop::Cancel, {}, grace, grace + kLateMargin); }},
            {"PC receiving, Cancel at once",
             [=] { StopRequested(false, LinkStop::Cancel, {}, grace, grace + kLateMargin); }},
            {"PC receiving, Cancel after the grace",
             [=] {
                 StopRequested(false, LinkStop::Cancel, grace + 500ms, grace + 500ms,
                               grace + 500ms + kLateMargin);
             }},
            {"PC sending, Closing",
             [] { StopRequested(true, LinkStop::Closing, 300ms, 300ms, 300ms + kLateMargin); }},
            {"PC receiving, Closing inside a packet", ClosingMidPacket},
            {"Cancel while the calculator answers", CancelWhileAnswered},
            {"Closing is never withdrawn", ClosingIsNeverWithdrawn},
            {"Cancel in the idle hold", [] { HeldWireBeforeAPacket(true); }},
            {"the idle hold unanswered", [] { HeldWireBeforeAPacket(false); }},
        },
        kBatchLimit);
}

TEST(LinkGiveUp, AZeroTurnaroundOnTheSameWireIsGivenUpRatherThanHang) {
    ZeroTurnaroundOnTheSameWire();
}

TEST(LinkByte, AZeroTurnaroundOnTheSameWireGoesOnAtAPacketsEnd) {
    ZeroTurnaroundOnTheSameWireAtAPacketsEnd();
}

TEST(LinkByte, AZeroTurnaroundOnTheOtherWireGoesOn) {
    for (int hold : {0, 10, 1000}) {
        SCOPED_TRACE(hold);
        ZeroTurnaroundOnTheOtherWire(std::chrono::microseconds(hold));
    }
}
