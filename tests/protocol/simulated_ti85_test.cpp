#include "link/link_byte.h"
#include "link/link_state.h"
#include "protocol/packet.h"
#include "sim/simulated_ti85.h"
#include "tests/protocol/peer.h"
#include "tests/support/calculator_thread.h"

#include <gtest/gtest.h>

namespace {
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

Clock::time_point Soon() { return Clock::now() + std::chrono::seconds(20); }

Ti85Options WithDeadline(Ti85Options options = {}) {
    options.link.deadline = Soon();
    return options;
}

// The PC's side of one variable, in the file sender's order. The calculator's answer.
std::uint8_t SendOneVariable(const Bytes& header, const std::vector<Bytes>& chunks,
                             bool* declined) {
    SendPacket(VAR, header.data(), true);
    std::uint8_t answer = ReadVariableReply(declined);
    SendAck();
    if (!*declined && answer == CTS)
        for (const Bytes& chunk : chunks)
            SendPacket(DATA, chunk.data(), true);
    return answer;
}

const Bytes kRealHeader = LengthBlock({0x08, 0x00, 0x00, 0x01, 'A'});
const Bytes kRealData = LengthBlock({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A});

class SimulatedTi85Test : public ::testing::Test {
  protected:
    void SetUp() override { ResetPacketLayerRecords(); }
    CalculatorThread calculator;
};
} // namespace

TEST_F(SimulatedTi85Test, TakesAVariableAndEndsWithTheEot) {
    SimulatedTi85 ti85(calculator.Cable(), WithDeadline());
    ti85.Start();
    bool declined = true;
    EXPECT_EQ(SendOneVariable(kRealHeader, {kRealData}, &declined), CTS);
    EXPECT_FALSE(declined);
    SendEndOfTransmission();
    ASSERT_TRUE(ti85.WaitUntilDone(Soon()));
    EXPECT_FALSE(LinkGivenUp());
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
    EXPECT_EQ(bytesSent, 15u);
}
