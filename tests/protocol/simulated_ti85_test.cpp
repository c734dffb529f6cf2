#include "link/link_byte.h"
#include "protocol/packet.h"
#include "sim/simulated_ti85.h"
#include "tests/protocol/peer.h"
#include "tests/support/calculator_thread.h"

#include <gtest/gtest.h>

namespace {
using Clock = std::chrono::steady_clock;

Clock::time_point Soon() {
    return Clock::now() + std::chrono::seconds(20);
}

Ti85Options WithDeadline(Ti85Options options = TestTi85()) {
    options.link.deadline = Soon();
    return options;
}

// The PC's side of one variable, in the file sender's order. The calculator's answer.
std::uint8_t SendOneVariable(JobLink& link, const Bytes& header, const std::vector<Bytes>& chunks,
                             bool* declined) {
    SendPacket(link, VAR, header.data(), true);
    std::uint8_t answer = ReadVariableReply(link, declined);
    SendAck(link);
    if (!*declined && answer == CTS)
        for (const Bytes& chunk : chunks)
            SendPacket(link, DATA, chunk.data(), true);
    return answer;
}

const Bytes kRealHeader = LengthBlock({0x08, 0x00, 0x00, 0x01, 'A'});
const Bytes kRealData = LengthBlock({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A});

class SimulatedTi85Test : public ::testing::Test {
  protected:
    CalculatorThread calculator;
};
} // namespace

TEST_F(SimulatedTi85Test, TakesAVariableAndEndsWithTheEot) {
    SimulatedTi85 ti85(calculator.Cable(), WithDeadline());
    ti85.Start();
    bool declined = true;
    EXPECT_EQ(SendOneVariable(calculator.PcLink(), kRealHeader, {kRealData}, &declined), CTS);
    EXPECT_FALSE(declined);
    SendEndOfTransmission(calculator.PcLink());
    ASSERT_TRUE(ti85.WaitUntilDone(Soon()));
    EXPECT_FALSE(calculator.PcLink().GivenUp());
    EXPECT_EQ(ti85.Failure(), "");
    EXPECT_EQ(ti85.EotCount(), 1);

    std::vector<ReceivedVariable> variables = ti85.Variables();
    ASSERT_EQ(variables.size(), 1u);
    EXPECT_EQ(variables[0].header, Bytes(kRealHeader.begin() + 2, kRealHeader.end()));
    ASSERT_EQ(variables[0].chunks.size(), 1u);
    EXPECT_EQ(variables[0].chunks[0], Bytes(kRealData.begin() + 2, kRealData.end()));
    EXPECT_EQ(variables[0].name, "A");
    EXPECT_FALSE(variables[0].backup);

    // VAR, ACK, CTS, ACK, DATA, ACK, EOT, ACK.
    std::vector<PacketRecord> packets = ti85.Packets();
    const std::uint8_t commands[] = {VAR, ACK, CTS, ACK, DATA, ACK, EOT, ACK};
    ASSERT_EQ(packets.size(), 8u);
    for (std::size_t i = 0; i < packets.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(packets[i].command, commands[i]);
        EXPECT_TRUE(packets[i].checksumGood);
        bool fromPc = i == 0 || i == 3 || i == 4 || i == 6;
        EXPECT_EQ(packets[i].direction,
                  fromPc ? LinkDirection::PcToCalculator : LinkDirection::CalculatorToPc);
        EXPECT_EQ(packets[i].machineId, fromPc ? 0x05 : 0x85);
    }
    EXPECT_EQ(packets[0].name, "A");
    EXPECT_EQ(calculator.PcLink().bytesSent, 15u);
}

namespace {
Bytes BackupHeader() {
    return LengthBlock({0x06, 0x00, 0x1D, 0x00, 0x10, 0x00});
}
Bytes Chunk(std::size_t size, std::uint8_t seed) {
    Bytes payload(size);
    for (std::size_t i = 0; i < size; ++i)
        payload[i] = static_cast<std::uint8_t>(seed + i * 7);
    return LengthBlock(payload);
}
Bytes PayloadOf(const Bytes& block) {
    return Bytes(block.begin() + 2, block.end());
}
} // namespace

TEST_F(SimulatedTi85Test, TakesABackupsThreeChunksAndEndsTheSession) {
    SimulatedTi85 ti85(calculator.Cable(), WithDeadline());
    ti85.Start();
    const std::vector<Bytes> chunks = {Chunk(40, 1), Chunk(0, 0), Chunk(300, 9)};
    bool declined = true;
    EXPECT_EQ(SendOneVariable(calculator.PcLink(), BackupHeader(), chunks, &declined), CTS);
    ASSERT_TRUE(ti85.WaitUntilDone(Soon()));
    EXPECT_EQ(ti85.Failure(), "");
    EXPECT_EQ(ti85.EotCount(), 0);
    std::vector<ReceivedVariable> variables = ti85.Variables();
    ASSERT_EQ(variables.size(), 1u);
    EXPECT_TRUE(variables[0].backup);
    EXPECT_EQ(variables[0].header, PayloadOf(BackupHeader()));
    ASSERT_EQ(variables[0].chunks.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(variables[0].chunks[i], PayloadOf(chunks[i]));
    EXPECT_FALSE(calculator.PcLink().GivenUp());
}

TEST_F(SimulatedTi85Test, DeclinesChosenVariablesWithTheirReason) {
    Ti85Options options = WithDeadline();
    options.skipReasons[0] = 2;
    SimulatedTi85 ti85(calculator.Cable(), options);
    ti85.SkipVariable(2, 0x09);
    ti85.Start();
    bool declined = false;
    EXPECT_EQ(SendOneVariable(calculator.PcLink(), kRealHeader, {kRealData}, &declined), 2);
    EXPECT_TRUE(declined);
    EXPECT_EQ(SendOneVariable(calculator.PcLink(), kRealHeader, {kRealData}, &declined), CTS);
    EXPECT_FALSE(declined);
    EXPECT_EQ(SendOneVariable(calculator.PcLink(), kRealHeader, {kRealData}, &declined), CTS);
    EXPECT_TRUE(declined);
    SendEndOfTransmission(calculator.PcLink());
    ASSERT_TRUE(ti85.WaitUntilDone(Soon()));
    EXPECT_EQ(ti85.Failure(), "");
    EXPECT_EQ(ti85.Variables().size(), 1u);

    std::vector<PacketRecord> skips;
    for (const PacketRecord& packet : ti85.Packets())
        if (packet.command == SKIP)
            skips.push_back(packet);
    ASSERT_EQ(skips.size(), 2u);
    EXPECT_EQ(skips[0].payload, Bytes{2});
    EXPECT_EQ(skips[1].payload, Bytes{0x09});
    // On the link: 85 36 01 00, the reason, its checksum.
    Bytes fromCalculator = ti85.Link().BytesIn(LinkDirection::CalculatorToPc);
    ASSERT_GE(fromCalculator.size(), 11u);
    EXPECT_EQ(Bytes(fromCalculator.begin() + 4, fromCalculator.begin() + 11),
              (Bytes{0x85, 0x36, 0x01, 0x00, 0x02, 0x02, 0x00}));
}

TEST_F(SimulatedTi85Test, RejectedPacketsComeAgainUnchanged) {
    SimulatedTi85 ti85(calculator.Cable(), WithDeadline());
    ti85.RejectPackets(2);
    ti85.Start();
    bool declined = true;
    EXPECT_EQ(SendOneVariable(calculator.PcLink(), kRealHeader, {kRealData}, &declined), CTS);
    ti85.RejectPackets(1);
    SendEndOfTransmission(calculator.PcLink());
    ASSERT_TRUE(ti85.WaitUntilDone(Soon()));
    std::vector<PacketRecord> packets = ti85.Packets();
    const std::uint8_t commands[] = {VAR, 0x5A, VAR, 0x5A, VAR,  ACK, CTS,
                                     ACK, DATA, ACK, EOT,  0x5A, EOT, ACK};
    ASSERT_EQ(packets.size(), std::size(commands));
    for (std::size_t i = 0; i < packets.size(); ++i)
        EXPECT_EQ(packets[i].command, commands[i]) << i;
    EXPECT_EQ(packets[0].payload, packets[4].payload);
    EXPECT_EQ(ti85.Variables().size(), 1u);
    EXPECT_EQ(calculator.PcLink().bytesSent, 3u * 5u + 10u);
}

// A packet damaged on the way is answered with a rejection; the PC's resend is taken.
TEST_F(SimulatedTi85Test, WrongChecksumIsAnsweredSoThatThePcResends) {
    SimulatedTi85 ti85(calculator.Cable(), WithDeadline());
    ti85.Start();
    const Bytes damaged = {0x05, 0x06, 0x05, 0x00, 0x0A, 0x00, 0x00, 0x01, 0x41, 0x4D, 0x00};
    for (std::uint8_t byte : damaged)
        SendLinkByte(calculator.PcLink(), byte);
    EXPECT_EQ(ReadReply(calculator.PcLink()), 0x5A);
    bool declined = true;
    EXPECT_EQ(SendOneVariable(calculator.PcLink(), kRealHeader, {kRealData}, &declined), CTS);
    SendEndOfTransmission(calculator.PcLink());
    ASSERT_TRUE(ti85.WaitUntilDone(Soon()));
    std::vector<PacketRecord> packets = ti85.Packets();
    ASSERT_GE(packets.size(), 3u);
    EXPECT_FALSE(packets[0].checksumGood);
    EXPECT_EQ(packets[0].name, "A");
    EXPECT_EQ(packets[1].command, 0x5A);
    EXPECT_TRUE(packets[2].checksumGood);
    EXPECT_EQ(ti85.Variables().size(), 1u);
}

TEST_F(SimulatedTi85Test, UnexpectedPacketEndsTheSessionWithAReason) {
    SimulatedTi85 ti85(calculator.Cable(), WithDeadline());
    ti85.Start();
    SendPacket(calculator.PcLink(), DATA, kRealData.data(), false);
    ASSERT_TRUE(ti85.WaitUntilDone(Soon()));
    EXPECT_EQ(ti85.Failure(), "expected VAR or EOT, got 0x15");
    EXPECT_TRUE(ti85.Variables().empty());
}

TEST_F(SimulatedTi85Test, KeepsReceivingAfterAnEotWhenAsked) {
    Ti85Options options = WithDeadline();
    options.keepReceiving = true;
    SimulatedTi85 ti85(calculator.Cable(), options);
    ti85.Start();
    bool declined;
    SendOneVariable(calculator.PcLink(), kRealHeader, {kRealData}, &declined);
    SendEndOfTransmission(calculator.PcLink());
    SendOneVariable(calculator.PcLink(), BackupHeader(), {Chunk(3, 1), Chunk(3, 2), Chunk(3, 3)},
                    &declined);
    SendEndOfTransmission(calculator.PcLink());
    ASSERT_TRUE(ti85.WaitForPackets(8 + 12, Soon())); // variable and EOT, backup and EOT
    EXPECT_FALSE(ti85.Done());
    EXPECT_EQ(ti85.EotCount(), 2);
    EXPECT_EQ(ti85.Variables().size(), 2u);
    ti85.Stop();
    EXPECT_TRUE(ti85.Done());
    EXPECT_EQ(ti85.Failure(), "stopped");
}

// Stop ends the calculator's wait for a packet that never comes, long before its deadline.
TEST_F(SimulatedTi85Test, StopEndsAWaitAtOnce) {
    Ti85Options options = TestTi85();
    options.link.deadline = Clock::now() + std::chrono::hours(1);
    SimulatedTi85 ti85(calculator.Cable(), options);
    ti85.Start();
    ti85.Stop();
    EXPECT_TRUE(ti85.Done());
    EXPECT_EQ(ti85.Failure(), "stopped");
}

// Pulled out in the middle of the data: the PC gives the job up, the calculator's session ends;
// plugged back in, it takes a new job from its first packet.
TEST_F(SimulatedTi85Test, ReplugStartsOverFromAFreshPacket) {
    Ti85Options options = WithDeadline();
    options.link.stopAtByte = 4 + 5 + 2 + 4 + 4 + 4 + 6; // inside the DATA payload
    options.link.stopAtBit = 5;
    SimulatedTi85 ti85(calculator.Cable(), options);
    ti85.Start();
    bool declined;
    SendOneVariable(calculator.PcLink(), kRealHeader, {kRealData}, &declined);
    EXPECT_TRUE(calculator.PcLink().GivenUp());
    ASSERT_TRUE(ti85.WaitUntilDone(Soon()));
    EXPECT_EQ(ti85.Failure(), "unplugged");
    EXPECT_TRUE(ti85.Variables().empty());

    ti85.Replug();
    calculator.Pc().NewJob();
    EXPECT_EQ(SendOneVariable(calculator.PcLink(), kRealHeader, {kRealData}, &declined), CTS);
    SendEndOfTransmission(calculator.PcLink());
    ASSERT_TRUE(ti85.WaitUntilDone(Soon()));
    EXPECT_FALSE(calculator.PcLink().GivenUp());
    EXPECT_EQ(ti85.Failure(), "");
    ASSERT_EQ(ti85.Variables().size(), 1u);
    EXPECT_EQ(ti85.Variables()[0].chunks[0], PayloadOf(kRealData));
}
