#include "protocol/packet_receive.h"

#include "link/link_byte.h"
#include "protocol/packet.h"
#include "ui/job_events.h"

#include <cstddef>

namespace {
constexpr std::uint8_t kRejectionPacket[4] = {0x05, ERR, 0x00, 0x00};

bool CarriesNoPayload(std::uint8_t command) {
    return command == ACK || command == CTS || command == EOT || command == ERR;
}

// The payload and its checksum; a DATA payload's percentage as it arrives.
void ReceivePayload(JobLink& link, ReceivedPacket* packet) {
    const bool showProgress = packet->command == DATA;
    const std::size_t length = packet->payload.size();
    std::uint16_t sum = 0;
    int lastPercent = 0;
    for (std::size_t i = 0; i < length && !link.GivenUp(); ++i) {
        std::uint8_t byte = ReceiveLinkByte(link);
        packet->payload[i] = byte;
        sum = static_cast<std::uint16_t>(sum + byte);
        int percent = static_cast<int>((i + 1) * 100 / length);
        if (showProgress && percent != lastPercent && !link.GivenUp()) {
            lastPercent = percent;
            link.Events().Progress(percent, static_cast<std::uint32_t>(i + 1));
        }
    }
    std::uint8_t low = ReceiveLinkByte(link);
    std::uint8_t high = ReceiveLinkByte(link);
    packet->checksumGood = (low | high << 8) == sum;
}
} // namespace

bool ReceivePacket(JobLink& link, ReceivedPacket* packet) {
    std::uint8_t machineId = ReceiveLinkByte(link, ByteStart::PacketStart);
    return !link.GivenUp() && ReceivePacketAfter(link, machineId, packet);
}

bool ReceivePacketAfter(JobLink& link, std::uint8_t machineId, ReceivedPacket* packet) {
    if (link.GivenUp())
        return false;
    link.exchangeBegun = true; // the calculator has begun: nobody is waited for any more
    std::uint8_t header[3];
    for (std::uint8_t& byte : header)
        byte = ReceiveLinkByte(link);
    if (link.GivenUp())
        return false;
    packet->machineId = machineId;
    packet->command = header[0];
    const std::size_t length = static_cast<std::size_t>(header[1] | header[2] << 8);
    packet->checksumGood = true;
    packet->payload.clear();
    if (CarriesNoPayload(packet->command)) {
        packet->checksumGood = length == 0;
        return true;
    }
    packet->payload.resize(length);
    if (length > 0)
        ReceivePayload(link, packet);
    return !link.GivenUp();
}

bool PacketIsSound(const ReceivedPacket& packet) {
    return packet.machineId == kCalculatorMachineId && packet.checksumGood;
}

void SendRejection(JobLink& link) {
    SendRawPacket(link, kRejectionPacket, false);
}
