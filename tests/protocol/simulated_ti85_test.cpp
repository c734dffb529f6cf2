#include "link/link_byte.h"
#include "link/link_wait.h"
#include "protocol/packet.h"
#include "sim/simulated_ti85.h"
#include "tests/protocol/peer.h"
#include "protocol/packet_receive.h"
#include "tests/support/calculator_thread.h"
#include "tests/support/recorded_variables.h"
#include "tests/support/same_variables.h"
#include "transfer/batch_receiver.h"

#include <gtest/gtest.h>

#include <thread>

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

namespace {
ReceivedVariable ToSend(const Bytes& header, std::vector<Bytes> chunks) {
    return ReceivedVariable{PayloadOf(header), std::move(chunks), false, ""};
}

std::string CommandsOf(const std::vector<PacketRecord>& packets) {
    std::string text;
    for (const PacketRecord& packet : packets)
        text += (packet.direction == LinkDirection::PcToCalculator ? " PC:" : " TI:") +
                std::to_string(packet.command);
    return text;
}

const std::vector<ReceivedVariable> kThreeVariables = {
    ToSend(kRealHeader, {PayloadOf(kRealData)}),
    ToSend(LengthBlock({0x03, 0x00, 0x12, 0x02, 'P', 0xC1}), {{0x10, 0x20, 0x30}}),
    ToSend(kRealHeader, {PayloadOf(kRealData)})};

// The calculator sends; the PC receives the batch as the program does.
class ReceivingTest : public SimulatedTi85Test {
  protected:
    ReceiveResult Receive() { return ReceiveBatch(calculator.PcLink(), received); }
    const RecordedUi& Ui() { return calculator.Pc().Ui(); }

    RecordedVariables received;
};
} // namespace

TEST_F(ReceivingTest, ABatchAfterTheCalculatorsDelayEndsWithItsEot) {
    Ti85Options options = WithDeadline();
    options.send = kThreeVariables;
    options.sendAfter = std::chrono::milliseconds(50);
    SimulatedTi85 ti85(calculator.Cable(), options);
    Clock::time_point started = Clock::now();
    ti85.Start();
    ReceiveResult result = Receive();
    EXPECT_GE(Clock::now() - started, options.sendAfter);
    ASSERT_TRUE(ti85.WaitUntilDone(Soon()));
    EXPECT_FALSE(calculator.PcLink().GivenUp());
    EXPECT_EQ(ti85.Failure(), "");
    EXPECT_EQ(result.end, ReceiveEnd::Completed);
    EXPECT_EQ(result.variables, 3u);
    EXPECT_EQ(result.rejectedPackets, 0u);
    EXPECT_TRUE(received.started);
    ExpectSameVariables(received.entries, kThreeVariables);
    EXPECT_EQ(ti85.Delivered(), (std::vector<std::size_t>{0, 1, 2}));
    const std::string variable = " TI:6 PC:86 PC:9 TI:86 TI:21 PC:86";
    std::vector<PacketRecord> packets = ti85.Packets();
    EXPECT_EQ(CommandsOf(packets), variable + variable + variable + " TI:146 PC:86");
    for (const PacketRecord& packet : packets)
        EXPECT_EQ(packet.machineId,
                  packet.direction == LinkDirection::PcToCalculator ? 0x05 : 0x85);
    // Each variable's name as it starts, its data's progress as it arrives.
    EXPECT_EQ(Ui().variableNames, (std::vector<std::string>{"A", "P\xC1", "A"}));
    EXPECT_EQ(Ui().percents, (std::vector<int>{10,  20, 30, 40, 50, 60, 70, 80, 90, 100, 33, 66,
                                               100, 10, 20, 30, 40, 50, 60, 70, 80, 90,  100}));
    EXPECT_TRUE(Ui().messages.empty());
}

// Sent while the PC holds a wire, its first bit would be lost: it waits for the idle link.
TEST_F(ReceivingTest, ABackupOnceTheLinkIsIdleEndsWithoutEot) {
    ReceivedVariable backup =
        ToSend(BackupHeader(), {PayloadOf(Chunk(40, 1)), {}, PayloadOf(Chunk(300, 9))});
    Ti85Options options = WithDeadline();
    options.send = {backup};
    SimulatedTi85 ti85(calculator.Cable(), options);
    calculator.Cable().WritePcLines(2); // RTS on, DTR off: the DTR/DSR wire pulled
    ti85.Start();
    // Thousands of its looks at the wires and of its hold times: it would have started by now.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(ti85.Link().ByteCount(), 0);
    EXPECT_EQ(calculator.Cable().calculator.Pulled(), 0);
    // The receiver's listening releases the PC's lines.
    ReceiveResult result = Receive();
    ASSERT_TRUE(ti85.WaitUntilDone(Soon()));
    EXPECT_EQ(ti85.Failure(), "");
    EXPECT_EQ(result.end, ReceiveEnd::Completed);
    ExpectSameVariables<ReceivedVariable>(received.entries, {backup});
    EXPECT_EQ(CommandsOf(ti85.Packets()),
              " TI:6 PC:86 PC:9 TI:86 TI:21 PC:86 TI:21 PC:86 TI:21 PC:86");
    EXPECT_EQ(Ui().variableNames, (std::vector<std::string>{"Chunk1", "Chunk2", "Chunk3"}));
}

// The calculator's skip (reason 2) goes on with its next variable; the PC's Cancel answers the
// calculator's next VAR with the exit (reason 1), which ends its batch without an EOT.
TEST_F(ReceivingTest, AfterASkipTheBatchGoesOnAndCancelEndsItWithTheExit) {
    Ti85Options options = WithDeadline();
    options.send = kThreeVariables;
    SimulatedTi85 ti85(calculator.Cable(), options);
    ti85.Start();
    // The first variable skipped by hand, packet by packet.
    JobLink& link = calculator.PcLink();
    ReceivedPacket header;
    std::uint8_t machineId = ReceiveLinkByte(link, ByteStart::Listen);
    ASSERT_TRUE(ReceivePacketAfter(link, machineId, &header));
    EXPECT_EQ(header.command, VAR);
    SendAck(link);
    const Bytes skip = {0x01, 0x00, 0x02};
    SendPacket(link, SKIP, skip.data(), true);

    received.afterVariable = [&](std::size_t) { calculator.Pc().RequestStop(LinkStop::Cancel); };
    ReceiveResult result = Receive();
    ASSERT_TRUE(ti85.WaitUntilDone(Soon()));
    EXPECT_EQ(ti85.Failure(), "");
    EXPECT_EQ(result.end, ReceiveEnd::Exited);
    EXPECT_EQ(link.Outcome(), LinkOutcome::Running);
    ExpectSameVariables<ReceivedVariable>(received.entries, {kThreeVariables[1]});
    EXPECT_EQ(ti85.Delivered(), std::vector<std::size_t>{1});
    const std::string skipped = " TI:6 PC:86 PC:54 TI:86";
    std::vector<PacketRecord> packets = ti85.Packets();
    EXPECT_EQ(CommandsOf(packets), skipped + " TI:6 PC:86 PC:9 TI:86 TI:21 PC:86" + skipped);
    ASSERT_EQ(packets.size(), 14u);
    EXPECT_EQ(packets[2].payload, Bytes{2});
    EXPECT_EQ(packets[12].payload, Bytes{1});
    EXPECT_TRUE(Ui().messages.empty());
}

// A damaged VAR and a damaged DATA are each answered with ERR and come again whole.
TEST_F(ReceivingTest, APacketWithABadChecksumComesAgainAfterTheErr) {
    Ti85Options options = WithDeadline();
    options.send = {kThreeVariables[0]};
    options.badChecksums = {0, 2};
    SimulatedTi85 ti85(calculator.Cable(), options);
    ti85.Start();
    ReceiveResult result = Receive();
    ASSERT_TRUE(ti85.WaitUntilDone(Soon()));
    EXPECT_EQ(ti85.Failure(), "");
    EXPECT_EQ(result.end, ReceiveEnd::Completed);
    EXPECT_EQ(result.rejectedPackets, 2u);
    ExpectSameVariables<ReceivedVariable>(received.entries, {kThreeVariables[0]});
    std::vector<PacketRecord> packets = ti85.Packets();
    EXPECT_EQ(CommandsOf(packets),
              " TI:6 PC:90 TI:6 PC:86 PC:9 TI:86 TI:21 PC:90 TI:21 PC:86 TI:146 PC:86");
    ASSERT_EQ(packets.size(), 12u);
    EXPECT_FALSE(packets[0].checksumGood);
    EXPECT_TRUE(packets[2].checksumGood);
    EXPECT_EQ(packets[0].payload, packets[2].payload);
    EXPECT_FALSE(packets[6].checksumGood);
    EXPECT_TRUE(packets[8].checksumGood);
    // The ERR is a header alone.
    Bytes fromPc = ti85.Link().BytesIn(LinkDirection::PcToCalculator);
    EXPECT_EQ(Bytes(fromPc.begin(), fromPc.begin() + 4), (Bytes{0x05, 0x5A, 0x00, 0x00}));
}

// Pulled out in the third variable's data: the first two are kept whole, nothing of the third.
// The port is slow, as through a USB adapter: the message says so on a second line.
TEST_F(ReceivingTest, ACablePulledMidBatchKeepsTheVariablesThatCameWhole) {
    calculator.PcLines().SetCallTime(std::chrono::microseconds(600));
    Ti85Options options = WithDeadline();
    options.send = kThreeVariables;
    // Each variable: VAR 11 bytes, ACK, CTS, ACK 4 each, DATA 16 (the second 9), ACK 4.
    options.link.stopAtByte = 43 + 36 + 11 + 12 + 6;
    SimulatedTi85 ti85(calculator.Cable(), options);
    ti85.Start();
    ReceiveResult result = Receive();
    EXPECT_EQ(result.end, ReceiveEnd::Interrupted);
    EXPECT_EQ(calculator.PcLink().Outcome(), LinkOutcome::NoAnswer);
    ASSERT_TRUE(ti85.WaitUntilDone(Soon()));
    EXPECT_EQ(ti85.Failure(), "unplugged");
    EXPECT_EQ(result.variables, 2u);
    ExpectSameVariables<ReceivedVariable>(received.entries,
                                          {kThreeVariables[0], kThreeVariables[1]});
    EXPECT_EQ(ti85.Delivered(), (std::vector<std::size_t>{0, 1}));
    ASSERT_EQ(Ui().messages.size(), 1u);
    const std::string& message = Ui().messages[0];
    EXPECT_EQ(message.find("The calculator stopped sending"), 0u) << message;
    EXPECT_NE(message.find(".\nEach switch or reading of a line took 0.6"), std::string::npos)
        << message;
}

// Nothing comes: the wait is for a person, and Cancel ends it at once, lines released.
TEST_F(ReceivingTest, CancelEndsTheWaitForTheCalculator) {
    calculator.Cable().WritePcLines(0); // as a port may leave them at open
    std::thread cancel([&] {
        std::this_thread::sleep_for(kLinkAnswerLimit + std::chrono::milliseconds(100));
        calculator.Pc().RequestStop(LinkStop::Cancel);
    });
    Clock::time_point started = Clock::now();
    ReceiveResult result = Receive();
    Clock::duration waited = Clock::now() - started;
    cancel.join();
    EXPECT_EQ(result.end, ReceiveEnd::NothingCame);
    EXPECT_GT(waited, kLinkAnswerLimit); // no limit of its own
    EXPECT_EQ(calculator.PcLink().Outcome(), LinkOutcome::StopRequested);
    EXPECT_FALSE(received.started);
    EXPECT_EQ(calculator.Cable().pc.Pulled(), 0);
    EXPECT_TRUE(Ui().messages.empty());
}
