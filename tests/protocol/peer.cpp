#include "tests/protocol/peer.h"

#include <numeric>

bool ReceivePacketBytes(CalculatorLink& link, Bytes* bytes) {
    std::size_t start = bytes->size();
    std::uint8_t byte;
    for (int i = 0; i < 4; ++i) {
        if (!link.ReceiveByte(&byte))
            return false;
        bytes->push_back(byte);
    }
    std::size_t length = (*bytes)[start + 2] | (*bytes)[start + 3] << 8;
    for (std::size_t i = 0; length != 0 && i < length + 2; ++i) {
        if (!link.ReceiveByte(&byte))
            return false;
        bytes->push_back(byte);
    }
    return true;
}

bool SendBytes(CalculatorLink& link, const Bytes& bytes) {
    for (std::uint8_t byte : bytes)
        if (!link.SendByte(byte))
            return false;
    return true;
}

std::vector<Bytes> AnswerEach(CalculatorLink& link, const std::vector<Bytes>& replies) {
    std::vector<Bytes> packets;
    for (const Bytes& reply : replies) {
        Bytes packet;
        if (!ReceivePacketBytes(link, &packet))
            break;
        packets.push_back(packet);
        if (!SendBytes(link, reply))
            break;
    }
    return packets;
}

std::vector<int> PercentRange(int first, int last) {
    std::vector<int> values(last - first + 1);
    std::iota(values.begin(), values.end(), first);
    return values;
}

Bytes LengthBlock(const Bytes& payload) {
    Bytes block = {static_cast<std::uint8_t>(payload.size() & 0xFF),
                   static_cast<std::uint8_t>(payload.size() >> 8)};
    block.insert(block.end(), payload.begin(), payload.end());
    return block;
}
