#include "link/link_byte.h"
#include "link/link_port_virtual.h"
#include "link/link_state.h"
#include "tests/link/link_expectations.h"
#include "tests/support/calculator_thread.h"
#include "ui/recorded_ui.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {
using Writes = std::vector<LinkLines>;
using namespace std::chrono_literals;

Writes EightTimes(Writes pair) {
    Writes writes;
    for (int bit = 0; bit < 8; ++bit)
        writes.insert(writes.end(), pair.begin(), pair.end());
    return writes;
}

// What the calculator sees of a sent 0xA5 and a received one: 1s on bits 0, 2, 5 and 7.
const Writes kSendA5 = {2, 3, 1, 3, 2, 3, 1, 3, 1, 3, 2, 3, 1, 3, 2, 3};
const Writes kReceiveA5 = {1, 3, 2, 3, 1, 3, 2, 3, 2, 3, 1, 3, 2, 3, 1, 3};
} // namespace

TEST(LinkByte, SendSignalsEachBitAndReturnsOnTheIdleLink) {
    const std::vector<std::uint8_t> bytes = {0xA5, 0x00, 0xFF};
    const std::vector<Writes> expected = {kSendA5, EightTimes({1, 3}), EightTimes({2, 3})};
    CalculatorThread calculator;
    calculator.Run([&bytes](CalculatorLink& link) {
        std::uint8_t byte;
        for (std::size_t i = 0; i < bytes.size() && link.ReceiveByte(&byte); ++i) {
        }
    });
    RecordLinkWrites(true);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        ClearRecordedLinkWrites();
        SendLinkByte(bytes[i]);
        EXPECT_EQ(RecordedLinkWrites(), expected[i]) << "byte " << int(bytes[i]);
        EXPECT_EQ(LastLinkReading(), 3) << "byte " << int(bytes[i]);
    }
    ASSERT_TRUE(calculator.Join());
    EXPECT_EQ(calculator.Link().BytesIn(LinkDirection::PcToCalculator), bytes);
    EXPECT_EQ(LinkJobOutcome(), LinkOutcome::Running);
}

TEST(LinkByte, ReceiveAcknowledgesEachBitOnTheOtherWireAndEndsReleased) {
    CalculatorThread calculator;
    calculator.Run([](CalculatorLink& link) { link.SendByte(0xA5); });
    RecordLinkWrites(true);
    EXPECT_EQ(ReceiveLinkByte(), 0xA5);
    EXPECT_EQ(RecordedLinkWrites(), kReceiveA5); // the last write is the release, 3
    ASSERT_TRUE(calculator.Join());
    EXPECT_EQ(LinkJobOutcome(), LinkOutcome::Running);
}

// A calculator that pulls both wires for its 0 bits: the reading 0 is a 0, answered with 2.
TEST(LinkByte, BothWiresLowIsAZeroBit) {
    CalculatorLinkOptions glitchy = TestCalculatorLink();
    glitchy.zerosOnBothWires = 0xFF;
    CalculatorThread calculator(glitchy);
    calculator.Run([](CalculatorLink& link) {
        if (link.SendByte(0xA5))
            link.SendByte(0x00);
    });
    RecordLinkWrites(true);
    EXPECT_EQ(ReceiveLinkByte(), 0xA5);
    EXPECT_EQ(RecordedLinkWrites(), kReceiveA5);
    ClearRecordedLinkWrites();
    EXPECT_EQ(ReceiveLinkByte(), 0x00);
    EXPECT_EQ(RecordedLinkWrites(), EightTimes({2, 3}));
    // The calculator finishes only when each bit was acknowledged on the DTR/DSR wire.
    ASSERT_TRUE(calculator.Join());
    EXPECT_EQ(calculator.Link().BytesIn(LinkDirection::CalculatorToPc),
              (std::vector<std::uint8_t>{0xA5, 0x00}));
}

// Writing 2 reads 1 and writing 1 reads 2 on an unanswered link: neither is the calculator's
// acknowledgement, so the PC keeps its signal and polls on.
TEST(LinkByte, SendWaitsWhileTheReadingShowsOnlyItsOwnPull) {
    for (std::uint8_t byte : {0x01, 0x00}) {
        SCOPED_TRACE(int(byte));
        const LinkLines signal = (byte & 1) ? 2 : 1;
        CalculatorThread calculator;
        VirtualCable& cable = calculator.Cable();
        RecordLinkWrites(true);
        std::thread pc([byte] { SendLinkByte(byte); });
        ASSERT_TRUE(WaitUntil([&cable] { return cable.pc.Pulled() != 0; }, 1000ms));
        const std::uint64_t readsAtSignal = VirtualPortCounts().reads;
        bool polled =
            WaitUntil([&] { return VirtualPortCounts().reads - readsAtSignal > 5000; }, 1000ms);
        EXPECT_TRUE(polled);
        EXPECT_EQ(RecordedLinkWrites(), Writes{signal});
        EXPECT_EQ(LastLinkReading(), 3 - signal);
        calculator.Run([](CalculatorLink& link) {
            std::uint8_t received;
            link.ReceiveByte(&received);
        });
        pc.join();
        ASSERT_TRUE(calculator.Join());
        EXPECT_EQ(calculator.Link().BytesIn(LinkDirection::PcToCalculator),
                  std::vector<std::uint8_t>{byte});
        EXPECT_EQ(LinkJobOutcome(), LinkOutcome::Running);
    }
}

TEST(LinkByte, EveryValueGoesBothWays) {
    CalculatorThread calculator;
    calculator.Run([](CalculatorLink& link) {
        std::vector<std::uint8_t> received(256);
        for (std::uint8_t& byte : received)
            if (!link.ReceiveByte(&byte))
                return;
        for (std::uint8_t byte : received)
            if (!link.SendByte(byte))
                return;
    });
    MarkPacketStart();
    for (int value = 0; value < 256; ++value)
        SendLinkByte(static_cast<std::uint8_t>(value));
    std::vector<std::uint8_t> echoed;
    for (int value = 0; value < 256; ++value)
        echoed.push_back(ReceiveLinkByte());
    ASSERT_TRUE(calculator.Join());
    EXPECT_FALSE(LinkGivenUp());
    for (int value = 0; value < 256; ++value)
        EXPECT_EQ(echoed[value], value);
}

TEST(LinkByte, ASlowCalculatorIsWaitedFor) {
    CalculatorLinkOptions slow = TestCalculatorLink();
    slow.bitDelay = 3ms;
    CalculatorThread calculator(slow);
    const std::vector<std::uint8_t> bytes = {0xA5, 0x3C};
    calculator.Run([](CalculatorLink& link) {
        std::uint8_t byte;
        for (int i = 0; i < 2; ++i)
            if (!link.ReceiveByte(&byte) || !link.SendByte(static_cast<std::uint8_t>(~byte)))
                return;
    });
    RecordLinkWrites(true);
    for (std::uint8_t byte : bytes) {
        MarkPacketStart();
        SendLinkByte(byte);
        EXPECT_EQ(ReceiveLinkByte(), static_cast<std::uint8_t>(~byte));
    }
    ASSERT_TRUE(calculator.Join());
    EXPECT_EQ(calculator.Link().BytesIn(LinkDirection::PcToCalculator), bytes);
    EXPECT_EQ(LinkJobOutcome(), LinkOutcome::Running);
    // The job's first packet releases the lines once before its wait for the idle link.
    EXPECT_EQ(RecordedLinkWrites().size(), 1u + 4u * 16u);
}

TEST(LinkByte, AFailedStatusReadIsShownOnceAndGivesTheJobUp) {
    ClearRecordedUi();
    CalculatorThread calculator;
    calculator.Run([](CalculatorLink& link) {
        std::uint8_t byte;
        while (link.ReceiveByte(&byte)) {
        }
    });
    SendLinkByte(0x11);
    ASSERT_EQ(LinkJobOutcome(), LinkOutcome::Running);

    RecordLinkWrites(true);
    FailStatusReads(true);
    SendLinkByte(0x22); // 0x22 starts with a 0: signal 1, then the given-up link released
    EXPECT_EQ(LinkJobOutcome(), LinkOutcome::StatusReadFailed);
    EXPECT_EQ(RecordedLinkWrites(), (Writes{1, 3}));
    EXPECT_EQ(calculator.Cable().pc.Pulled(), 0);

    // The job's later bytes touch nothing and the box does not come back.
    ClearRecordedLinkWrites();
    const VirtualPortCounters before = VirtualPortCounts();
    SendLinkByte(0x33);
    EXPECT_EQ(ReceiveLinkByte(), 0);
    EXPECT_TRUE(RecordedLinkWrites().empty());
    EXPECT_EQ(VirtualPortCounts().reads, before.reads);
    EXPECT_EQ(VirtualPortCounts().writes, before.writes);
    EXPECT_EQ(RecordedUiState().messages,
              std::vector<std::string>{"There was an error calling GetCommModemStatus"});
    EXPECT_EQ(RecordedUiState().captions, std::vector<std::string>{"Calquin"});
    FailStatusReads(false);
}

TEST(LinkState, ANewJobForgetsTheLastOnesOutcomeAndCancel) {
    CalculatorThread calculator; // resets the link state
    GiveUpLink(LinkOutcome::NoAnswer);
    GiveUpLink(LinkOutcome::StopRequested);
    EXPECT_EQ(LinkJobOutcome(), LinkOutcome::NoAnswer); // the first reason stays
    RequestLinkStop(LinkStop::Cancel);
    ResetLinkState();
    EXPECT_EQ(LinkJobOutcome(), LinkOutcome::Running);
    EXPECT_EQ(LinkStopRequest(), LinkStop::None);
    calculator.Run([](CalculatorLink& link) {
        std::uint8_t byte;
        if (link.ReceiveByte(&byte))
            link.SendByte(byte);
    });
    MarkPacketStart();
    SendLinkByte(0x77);
    EXPECT_EQ(ReceiveLinkByte(), 0x77);
    ASSERT_TRUE(calculator.Join());
}
