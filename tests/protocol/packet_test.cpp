// The packets on the link, byte for byte, against a scripted calculator at the far end of the
// virtual cable.
#include "link/link_wait.h"
#include "protocol/packet.h"
#include "tests/protocol/peer.h"
#include "tests/support/calculator_thread.h"

#include <gtest/gtest.h>

namespace {
class PacketTest : public ::testing::Test {
  protected:
    // Runs the scripted calculator: each packet the PC sends is answered with the next reply.
    void Answer(std::vector<Bytes> replies) {
        calculator.Run(
            [this, replies](CalculatorLink& link) { received = AnswerEach(link, replies); });
    }
    // Waits for the script to end; the packets it received.
    std::vector<Bytes> Received() {
        EXPECT_TRUE(calculator.Join());
        return received;
    }

    CalculatorThread calculator;
    LinkWatchdog watchdog{calculator.Pc()};
    std::vector<Bytes> received;
};

Bytes Repeated(std::size_t count, std::uint8_t value) {
    return Bytes(count, value);
}
} // namespace

TEST_F(PacketTest, VariableHeaderGoesOutFramedAndShowsItsName) {
    const Bytes block = {0x05, 0x00, 0x0A, 0x00, 0x00, 0x01, 0x41};
    Answer({kCalculatorAck});
    SendPacket(calculator.PcLink(), VAR, block.data(), true);
    std::vector<Bytes> packets = Received();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0],
              (Bytes{0x05, 0x06, 0x05, 0x00, 0x0A, 0x00, 0x00, 0x01, 0x41, 0x4C, 0x00}));
    EXPECT_EQ(calculator.Pc().Ui().variableNames, std::vector<std::string>{"A"});
    EXPECT_TRUE(calculator.Pc().Ui().percents.empty());
    EXPECT_EQ(calculator.PcLink().bytesSent, 5u);
    EXPECT_EQ(block, (Bytes{0x05, 0x00, 0x0A, 0x00, 0x00, 0x01, 0x41}));
}

TEST_F(PacketTest, ChecksumIsTheByteSumModulo65536LowByteFirst) {
    const Bytes block = LengthBlock(Repeated(258, 0xFF));
    Answer({{}});
    SendPacket(calculator.PcLink(), DATA, block.data(), false);
    std::vector<Bytes> packets = Received();
    ASSERT_EQ(packets.size(), 1u);
    ASSERT_EQ(packets[0].size(), 4u + 258u + 2u);
    EXPECT_EQ(Bytes(packets[0].begin(), packets[0].begin() + 4), (Bytes{0x05, 0x15, 0x02, 0x01}));
    EXPECT_EQ(Bytes(packets[0].end() - 2, packets[0].end()), (Bytes{0xFE, 0x00}));
    EXPECT_EQ(calculator.PcLink().bytesSent, 258u);
}

TEST_F(PacketTest, EmptyBlockIsFourBytesWithoutChecksumOrProgress) {
    const Bytes block = {0x00, 0x00};
    Answer({kCalculatorAck});
    SendPacket(calculator.PcLink(), DATA, block.data(), true);
    std::vector<Bytes> packets = Received();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0], (Bytes{0x05, 0x15, 0x00, 0x00}));
    EXPECT_EQ(calculator.Link().BytesIn(LinkDirection::PcToCalculator).size(), 4u);
    EXPECT_TRUE(calculator.Pc().Ui().percents.empty());
    EXPECT_EQ(calculator.PcLink().bytesSent, 0u);
}

// A reply's command decides: 85 5A 00 00 is no ACK, 85 56 34 12 is one, and its length field
// brings no payload read after it.
TEST_F(PacketTest, ResendsUntilTheReplyCommandIsAckAndResendsTheSamePacket) {
    const Bytes block = LengthBlock({0x10, 0x20, 0x30});
    Answer({{0x85, 0x5A, 0x00, 0x00}, {0x85, 0x56, 0x34, 0x12}, {}});
    SendPacket(calculator.PcLink(), DATA, block.data(), true);
    EXPECT_EQ(calculator.PcLink().bytesSent, 6u);
    SendAck(calculator.PcLink());
    std::vector<Bytes> packets = Received();
    ASSERT_EQ(packets.size(), 3u);
    const Bytes packet = {0x05, 0x15, 0x03, 0x00, 0x10, 0x20, 0x30, 0x60, 0x00};
    EXPECT_EQ(packets[0], packet);
    EXPECT_EQ(packets[1], packet);
    EXPECT_EQ(packets[2], (Bytes{0x05, 0x56, 0x00, 0x00}));
    EXPECT_FALSE(calculator.PcLink().GivenUp());
}

// A reply whose machine byte is not the calculator's (here 0x0A: its 0x85 read one bit late) is
// not taken for a reply: the PC goes on waiting for a proper one, and without one gives up
// within the limit as not answering.
TEST_F(PacketTest, AReplyIsTakenOnlyWithTheCalculatorsMachineByte) {
    const Bytes block = LengthBlock({0x42});
    calculator.Run([this](CalculatorLink& link) {
        Bytes bytes;
        if (ReceivePacketBytes(link, &bytes) && SendBytes(link, {0x0A, 0x56, 0x00, 0x00}) &&
            SendBytes(link, {0x85, 0x56, 0x00, 0x00}) && ReceivePacketBytes(link, &bytes))
            SendBytes(link, {0x0A, 0x56, 0x00, 0x00});
        received = {bytes};
    });
    SendPacket(calculator.PcLink(), DATA, block.data(), true);
    EXPECT_FALSE(calculator.PcLink().GivenUp());
    const auto start = std::chrono::steady_clock::now();
    SendPacket(calculator.PcLink(), DATA, block.data(), true);
    EXPECT_EQ(calculator.PcLink().Outcome(), LinkOutcome::NoAnswer);
    EXPECT_GE(std::chrono::steady_clock::now() - start, kLinkAnswerLimit);
    ASSERT_EQ(Received().size(), 1u);
    EXPECT_EQ(calculator.PcLink().bytesSent, 2u); // each packet went out once
}

TEST_F(PacketTest, RawPacketGetsItsChecksumAndNoDisplay) {
    const Bytes raw = {0x05, 0x06, 0x02, 0x00, 0x80, 0x81};
    Answer({kCalculatorRejects, kCalculatorAck});
    SendRawPacket(calculator.PcLink(), raw.data(), true);
    std::vector<Bytes> packets = Received();
    const Bytes packet = {0x05, 0x06, 0x02, 0x00, 0x80, 0x81, 0x01, 0x01};
    EXPECT_EQ(packets, (std::vector<Bytes>{packet, packet}));
    EXPECT_EQ(calculator.PcLink().bytesSent, 4u);
    EXPECT_TRUE(calculator.Pc().Ui().variableNames.empty());
    EXPECT_TRUE(calculator.Pc().Ui().percents.empty());
}

// A CTS is four bytes, a SKIP seven, whatever their length fields say; the reason of a SKIP may
// equal any command, CTS included, and is still a SKIP.
TEST_F(PacketTest, VariableRepliesAreReadToTheirEnd) {
    calculator.Run([](CalculatorLink& link) {
        SendBytes(link, {0x85, 0x09, 0x07, 0x00});
        SendBytes(link, {0x85, 0x36, 0x01, 0x00, 0x02, 0x02, 0x00});
        SendBytes(link, {0x85, 0x36, 0x00, 0x00, 0x09, 0x09, 0x00});
        SendBytes(link, {0x85, 0x56, 0x00, 0x00});
    });
    bool declined = true;
    EXPECT_EQ(ReadVariableReply(calculator.PcLink(), &declined), CTS);
    EXPECT_FALSE(declined);
    EXPECT_EQ(ReadVariableReply(calculator.PcLink(), &declined), 2);
    EXPECT_TRUE(declined);
    EXPECT_EQ(ReadVariableReply(calculator.PcLink(), &declined), 0x09);
    EXPECT_TRUE(declined);
    EXPECT_EQ(ReadReply(calculator.PcLink()), ACK);
    EXPECT_TRUE(calculator.Join());
    EXPECT_FALSE(calculator.PcLink().GivenUp());
}

// The calculator sends nothing after the PC's ACK: SendAck must return all the same.
TEST_F(PacketTest, SendAckReadsNothing) {
    Answer({{}});
    SendAck(calculator.PcLink());
    std::vector<Bytes> packets = Received();
    EXPECT_EQ(packets, (std::vector<Bytes>{{0x05, 0x56, 0x00, 0x00}}));
    EXPECT_TRUE(calculator.Link().BytesIn(LinkDirection::CalculatorToPc).empty());
    EXPECT_FALSE(calculator.PcLink().GivenUp());
}

TEST_F(PacketTest, EndOfTransmissionGoesOutUntilAcknowledged) {
    Answer({kCalculatorRejects, kCalculatorRejects, kCalculatorAck});
    SendEndOfTransmission(calculator.PcLink());
    std::vector<Bytes> packets = Received();
    const Bytes eot = {0x05, 0x92, 0x00, 0x00};
    EXPECT_EQ(packets, (std::vector<Bytes>{eot, eot, eot}));
    EXPECT_EQ(calculator.Link().BytesIn(LinkDirection::CalculatorToPc).size(), 12u);
    EXPECT_EQ(calculator.PcLink().bytesSent, 0u);
}

namespace {
struct GiveUpPoint {
    const char* where;
    long stopAtByte; // the calculator is unplugged during this byte of the exchange
    std::uint32_t payloadBytesSent;
    std::vector<int> percents; // shown until then
};

class PacketGiveUpTest : public ::testing::TestWithParam<GiveUpPoint> {};

CalculatorLinkOptions UnpluggedAt(long byte) {
    CalculatorLinkOptions options = TestCalculatorLink();
    options.stopAtByte = byte;
    options.stopAtBit = 3;
    return options;
}
} // namespace

// A calculator unplugged mid-packet: SendPacket gives up instead of resending, and nothing
// touches the lines any more, whatever the layers above still ask for. The bytes that did go
// out show when the percentage moves: the 300-byte payload shows 1% with its third byte, and
// its resent attempt 0% with its first.
TEST_P(PacketGiveUpTest, SendPacketReturnsAndNothingMoreGoesOut) {
    CalculatorThread calculator(UnpluggedAt(GetParam().stopAtByte));
    LinkWatchdog watchdog{calculator.Pc()};
    calculator.Run([](CalculatorLink& link) { AnswerEach(link, {kCalculatorRejects, {}}); });
    const Bytes block = LengthBlock(Bytes(300, 0x42));
    SendPacket(calculator.PcLink(), DATA, block.data(), true);
    EXPECT_TRUE(calculator.Join());
    EXPECT_TRUE(calculator.PcLink().GivenUp());
    EXPECT_EQ(calculator.PcLink().Outcome(), LinkOutcome::NoAnswer);
    EXPECT_EQ(calculator.PcLink().bytesSent, GetParam().payloadBytesSent);
    EXPECT_EQ(calculator.Pc().Ui().percents, GetParam().percents);

    VirtualPortCounters before = calculator.PcLines().Counts();
    SendPacket(calculator.PcLink(), VAR, block.data(), true);
    SendRawPacket(calculator.PcLink(), block.data(), true);
    SendAck(calculator.PcLink());
    SendEndOfTransmission(calculator.PcLink());
    bool declined = true;
    EXPECT_NE(ReadReply(calculator.PcLink()), ACK);
    EXPECT_NE(ReadVariableReply(calculator.PcLink(), &declined), CTS);
    EXPECT_FALSE(declined);
    VirtualPortCounters after = calculator.PcLines().Counts();
    EXPECT_EQ(after.writes, before.writes);
    EXPECT_EQ(after.reads, before.reads);
    EXPECT_EQ(calculator.PcLink().bytesSent, GetParam().payloadBytesSent);
    EXPECT_TRUE(calculator.Pc().Ui().variableNames.empty());
}

namespace {
constexpr long kFirstPayloadByte = 4;
constexpr long kResentPayloadByte = 4 + 300 + 2 + 4 + 4; // after the rejection

std::vector<int> ThenPercents(std::vector<int> first, const std::vector<int>& then) {
    first.insert(first.end(), then.begin(), then.end());
    return first;
}
} // namespace

INSTANTIATE_TEST_SUITE_P(
    Points, PacketGiveUpTest,
    ::testing::Values(GiveUpPoint{"AtTheThirdPayloadByte", kFirstPayloadByte + 2, 2, {}},
                      GiveUpPoint{"AtTheFourthPayloadByte", kFirstPayloadByte + 3, 3, {1}},
                      GiveUpPoint{"InTheReply", 4 + 300 + 2 + 1, 300, PercentRange(1, 100)},
                      GiveUpPoint{"AtTheSecondResentPayloadByte", kResentPayloadByte + 1, 301,
                                  ThenPercents(PercentRange(1, 100), {0})}),
    [](const ::testing::TestParamInfo<GiveUpPoint>& info) {
        return std::string(info.param.where);
    });
