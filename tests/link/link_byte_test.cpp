#include "link/link_byte.h"
#include "tests/link/link_expectations.h"
#include "tests/support/calculator_thread.h"

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
    calculator.PcLines().RecordWrites(true);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        calculator.PcLines().ClearRecordedWrites();
        SendLinkByte(calculator.PcLink(), bytes[i]);
        EXPECT_EQ(calculator.PcLines().RecordedWrites(), expected[i]) << "byte " << int(bytes[i]);
        EXPECT_EQ(calculator.PcLines().LastReading(), 3) << "byte " << int(bytes[i]);
    }
    ASSERT_TRUE(calculator.Join());
    EXPECT_EQ(calculator.Link().BytesIn(LinkDirection::PcToCalculator), bytes);
    EXPECT_EQ(calculator.PcLink().Outcome(), LinkOutcome::Running);
}

TEST(LinkByte, ReceiveAcknowledgesEachBitOnTheOtherWireAndEndsReleased) {
    CalculatorThread calculator;
    calculator.Run([](CalculatorLink& link) { link.SendByte(0xA5); });
    calculator.PcLines().RecordWrites(true);
    EXPECT_EQ(ReceiveLinkByte(calculator.PcLink()), 0xA5);
    EXPECT_EQ(calculator.PcLines().RecordedWrites(),
              kReceiveA5); // the last write is the release, 3
    ASSERT_TRUE(calculator.Join());
    EXPECT_EQ(calculator.PcLink().Outcome(), LinkOutcome::Running);
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
    calculator.PcLines().RecordWrites(true);
    EXPECT_EQ(ReceiveLinkByte(calculator.PcLink()), 0xA5);
    EXPECT_EQ(calculator.PcLines().RecordedWrites(), kReceiveA5);
    calculator.PcLines().ClearRecordedWrites();
    EXPECT_EQ(ReceiveLinkByte(calculator.PcLink()), 0x00);
    EXPECT_EQ(calculator.PcLines().RecordedWrites(), EightTimes({2, 3}));
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
        calculator.PcLines().RecordWrites(true);
        std::thread pc([&calculator, byte] { SendLinkByte(calculator.PcLink(), byte); });
        ASSERT_TRUE(WaitUntil([&cable] { return cable.pc.Pulled() != 0; }, 1000ms));
        const std::uint64_t readsAtSignal = calculator.PcLines().Counts().reads;
        bool polled = WaitUntil(
            [&] { return calculator.PcLines().Counts().reads - readsAtSignal > 5000; }, 1000ms);
        EXPECT_TRUE(polled);
        EXPECT_EQ(calculator.PcLines().RecordedWrites(), Writes{signal});
        EXPECT_EQ(calculator.PcLines().LastReading(), 3 - signal);
        calculator.Run([](CalculatorLink& link) {
            std::uint8_t received;
            link.ReceiveByte(&received);
        });
        pc.join();
        ASSERT_TRUE(calculator.Join());
        EXPECT_EQ(calculator.Link().BytesIn(LinkDirection::PcToCalculator),
                  std::vector<std::uint8_t>{byte});
        EXPECT_EQ(calculator.PcLink().Outcome(), LinkOutcome::Running);
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
    for (int value = 0; value < 256; ++value)
        SendLinkByte(calculator.PcLink(), static_cast<std::uint8_t>(value),
                     value == 0 ? ByteStart::PacketStart : ByteStart::InPacket);
    std::vector<std::uint8_t> echoed;
    for (int value = 0; value < 256; ++value)
        echoed.push_back(ReceiveLinkByte(calculator.PcLink()));
    ASSERT_TRUE(calculator.Join());
    EXPECT_FALSE(calculator.PcLink().GivenUp());
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
    calculator.PcLines().RecordWrites(true);
    for (std::uint8_t byte : bytes) {
        SendLinkByte(calculator.PcLink(), byte, ByteStart::PacketStart);
        EXPECT_EQ(ReceiveLinkByte(calculator.PcLink()), static_cast<std::uint8_t>(~byte));
    }
    ASSERT_TRUE(calculator.Join());
    EXPECT_EQ(calculator.Link().BytesIn(LinkDirection::PcToCalculator), bytes);
    EXPECT_EQ(calculator.PcLink().Outcome(), LinkOutcome::Running);
    // The job's first packet releases the lines once before its wait for the idle link.
    EXPECT_EQ(calculator.PcLines().RecordedWrites().size(), 1u + 4u * 16u);
}

TEST(LinkByte, AFailedStatusReadIsShownOnceAndGivesTheJobUp) {
    CalculatorThread calculator;
    calculator.Run([](CalculatorLink& link) {
        std::uint8_t byte;
        while (link.ReceiveByte(&byte)) {
        }
    });
    SendLinkByte(calculator.PcLink(), 0x11);
    ASSERT_EQ(calculator.PcLink().Outcome(), LinkOutcome::Running);

    calculator.PcLines().RecordWrites(true);
    calculator.PcLines().FailStatusReads(true);
    SendLinkByte(calculator.PcLink(),
                 0x22); // 0x22 starts with a 0: signal 1, then the given-up link released
    EXPECT_EQ(calculator.PcLink().Outcome(), LinkOutcome::StatusReadFailed);
    EXPECT_EQ(calculator.PcLines().RecordedWrites(), (Writes{1, 3}));
    EXPECT_EQ(calculator.Cable().pc.Pulled(), 0);

    // The job's later bytes touch nothing and the box does not come back.
    calculator.PcLines().ClearRecordedWrites();
    const VirtualPortCounters before = calculator.PcLines().Counts();
    SendLinkByte(calculator.PcLink(), 0x33);
    EXPECT_EQ(ReceiveLinkByte(calculator.PcLink()), 0);
    EXPECT_TRUE(calculator.PcLines().RecordedWrites().empty());
    EXPECT_EQ(calculator.PcLines().Counts().reads, before.reads);
    EXPECT_EQ(calculator.PcLines().Counts().writes, before.writes);
    EXPECT_EQ(calculator.Pc().Ui().messages,
              std::vector<std::string>{"There was an error calling GetCommModemStatus"});
    EXPECT_EQ(calculator.Pc().Ui().captions, std::vector<std::string>{"Calquin"});
    calculator.PcLines().FailStatusReads(false);
}

TEST(LinkState, ANewJobForgetsTheLastOnesOutcomeAndCancel) {
    CalculatorThread calculator; // a fresh job
    calculator.PcLink().GiveUp(LinkOutcome::NoAnswer);
    calculator.PcLink().GiveUp(LinkOutcome::StopRequested);
    EXPECT_EQ(calculator.PcLink().Outcome(), LinkOutcome::NoAnswer); // the first reason stays
    calculator.PcLink().RequestStop(LinkStop::Cancel);
    calculator.Pc().NewJob();
    EXPECT_EQ(calculator.PcLink().Outcome(), LinkOutcome::Running);
    EXPECT_EQ(calculator.PcLink().StopRequest(), LinkStop::None);
    calculator.Run([](CalculatorLink& link) {
        std::uint8_t byte;
        if (link.ReceiveByte(&byte))
            link.SendByte(byte);
    });
    SendLinkByte(calculator.PcLink(), 0x77, ByteStart::PacketStart);
    EXPECT_EQ(ReceiveLinkByte(calculator.PcLink()), 0x77);
    ASSERT_TRUE(calculator.Join());
}
