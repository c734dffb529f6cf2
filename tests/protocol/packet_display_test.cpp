// What SendPacket shows while a packet goes out: the variable's name and the data's percentage.
#include "protocol/packet.h"
#include "tests/protocol/peer.h"
#include "tests/support/calculator_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>

namespace {
class PacketDisplayTest : public ::testing::Test {
  protected:
    // Sends the block, the calculator answering each attempt with the next reply; the packets
    // as the calculator received them.
    std::vector<Bytes> Send(std::uint8_t command, const std::uint8_t* block,
                            std::vector<Bytes> replies) {
        std::vector<Bytes> received;
        calculator.Run(
            [&received, replies](CalculatorLink& link) { received = AnswerEach(link, replies); });
        SendPacket(calculator.PcLink(), command, block, true);
        EXPECT_TRUE(calculator.Join());
        return received;
    }

    std::vector<int> Percents() { return calculator.Pc().Ui().percents; }
    std::vector<std::string> Names() { return calculator.Pc().Ui().variableNames; }

    CalculatorThread calculator;
    LinkWatchdog watchdog{calculator.Pc()};
};

// A block in a heap allocation of exactly its size, so that AddressSanitizer catches any read
// past its end.
struct HeapBlock {
    explicit HeapBlock(const Bytes& bytes)
        : size(bytes.size()), data(new std::uint8_t[bytes.size()]) {
        std::copy(bytes.begin(), bytes.end(), data.get());
    }
    Bytes Contents() const { return Bytes(data.get(), data.get() + size); }
    std::size_t size;
    std::unique_ptr<std::uint8_t[]> data;
};
} // namespace

TEST_F(PacketDisplayTest, ThreeBytesShowEachThird) {
    const Bytes block = LengthBlock({1, 2, 3});
    Send(DATA, block.data(), {kCalculatorAck});
    EXPECT_EQ(Percents(), (std::vector<int>{33, 66, 100}));
    EXPECT_TRUE(Names().empty());
}

TEST_F(PacketDisplayTest, OneByteShowsAHundredAtOnce) {
    const Bytes block = LengthBlock({7});
    Send(DATA, block.data(), {kCalculatorAck});
    EXPECT_EQ(Percents(), std::vector<int>{100});
}

// Each whole value once per attempt; the first attempt starts at 1 (the third byte of 300), and
// a resent one starts over at 0 with its first byte, since the 100 shown last is remembered.
TEST_F(PacketDisplayTest, LongPayloadShowsEachValueOncePerAttempt) {
    const Bytes block = LengthBlock(Bytes(300, 0x11));
    Send(DATA, block.data(), {kCalculatorRejects, kCalculatorAck});
    std::vector<int> expected = PercentRange(1, 100);
    std::vector<int> resent = PercentRange(0, 100);
    expected.insert(expected.end(), resent.begin(), resent.end());
    EXPECT_EQ(Percents(), expected);
    EXPECT_EQ(calculator.PcLink().bytesSent, 600u);
}

TEST_F(PacketDisplayTest, NameIsShownOncePerAttempt) {
    const Bytes block = LengthBlock({0x08, 0x00, 0x00, 0x05, 'P', 'R', 'G', 'M', '1'});
    Send(VAR, block.data(), {kCalculatorRejects, kCalculatorAck});
    EXPECT_EQ(Names(), (std::vector<std::string>{"PRGM1", "PRGM1"}));
    EXPECT_TRUE(Percents().empty());
}

TEST_F(PacketDisplayTest, NameBytesAreShownAsTheyStandUpToAZeroByte) {
    const HeapBlock block(LengthBlock({0x08, 0x00, 0x00, 0x04, 0xC1, 'x', 0x00, 'y'}));
    Send(VAR, block.data.get(), {kCalculatorAck});
    EXPECT_EQ(Names(), std::vector<std::string>{"\xC1x"});
}

namespace {
struct NameCase {
    const char* what;
    Bytes payload;
    std::string shown;
};

class PacketNameBoundsTest : public PacketDisplayTest,
                             public ::testing::WithParamInterface<NameCase> {};
} // namespace

// Whatever the name length says, only bytes inside the block are read for the name, the block
// is left as it was and the packet goes out unchanged.
TEST_P(PacketNameBoundsTest, NameStaysInsideTheBlock) {
    const Bytes original = LengthBlock(GetParam().payload);
    const HeapBlock block(original);
    std::vector<Bytes> packets = Send(VAR, block.data.get(), {kCalculatorAck});
    EXPECT_EQ(Names(), std::vector<std::string>{GetParam().shown});
    EXPECT_EQ(block.Contents(), original);
    ASSERT_EQ(packets.size(), 1u);
    Bytes expected = {0x05, VAR, original[0], original[1]};
    expected.insert(expected.end(), original.begin() + 2, original.end());
    if (!GetParam().payload.empty()) {
        unsigned sum = std::accumulate(original.begin() + 2, original.end(), 0u);
        expected.push_back(static_cast<std::uint8_t>(sum & 0xFF));
        expected.push_back(static_cast<std::uint8_t>(sum >> 8 & 0xFF));
    }
    EXPECT_EQ(packets[0], expected);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, PacketNameBoundsTest,
    ::testing::Values(NameCase{"Empty", {}, ""}, NameCase{"ThreeBytes", {0x01, 0x00, 0x00}, ""},
                      NameCase{"NoNameBytes", {0x01, 0x00, 0x00, 0x05}, ""},
                      NameCase{"LengthPastTheEnd", {0x08, 0x00, 0x00, 0xFF, 'A', 'B'}, "AB"},
                      NameCase{"LengthOnePastTheEnd", {0x08, 0x00, 0x00, 0x03, 'X', 'Y'}, "XY"},
                      NameCase{"NameEndsTheBlock", {0x08, 0x00, 0x00, 0x02, 'X', 'Y'}, "XY"},
                      NameCase{"LongestName",
                               [] {
                                   Bytes payload = {0x08, 0x00, 0x12, 0xFF};
                                   payload.insert(payload.end(), 255, 'n');
                                   return payload;
                               }(),
                               std::string(255, 'n')}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return std::string(info.param.what); });
