#include "protocol/packet.h"

#include "link/link_byte.h"
#include "protocol/variable_name.h"
#include "ui/job_events.h"

#include <cstddef>

namespace {
constexpr std::uint8_t kPcMachineId = 0x05;
constexpr std::uint8_t kAckPacket[4] = {kPcMachineId, ACK, 0x00, 0x00};
constexpr std::uint8_t kEndOfTransmissionPacket[4] = {kPcMachineId, EOT, 0x00, 0x00};

std::size_t PayloadLength(const std::uint8_t* header) {
    return static_cast<std::size_t>(header[2]) | static_cast<std::size_t>(header[3]) << 8;
}

// What one packet shows while it goes out. The last percentage shown lasts for the whole
// SendPacket call, across its attempts.
struct PacketDisplay {
    bool showName = false;
    bool showProgress = false;
    int lastPercent = 0;
};

// Sends the four header bytes of a packet; false once the link is given up.
bool SendHeader(JobLink& link, const std::uint8_t* header) {
    for (int i = 0; i < 4; ++i) {
        SendLinkByte(link, header[i], i == 0 ? ByteStart::PacketStart : ByteStart::InPacket);
        if (link.GivenUp())
            return false;
    }
    return true;
}

void ShowName(JobLink& link, const std::uint8_t* payload, std::size_t length) {
    char name[kMaxVariableNameLength + 1];
    CopyVariableName(payload, length, name);
    link.Events().VariableStarted(name);
}

// The payload, counted and with its progress, then the checksum; false once the link is
// given up (a byte that did not complete is not counted).
bool SendPayload(JobLink& link, const std::uint8_t* payload, std::size_t length,
                 PacketDisplay& display) {
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < length; ++i) {
        sum = static_cast<std::uint16_t>(sum + payload[i]);
        SendLinkByte(link, payload[i]);
        if (link.GivenUp())
            return false;
        ++link.bytesSent;
        if (!display.showProgress)
            continue;
        int percent = static_cast<int>((i + 1) * 100 / length);
        if (percent != display.lastPercent) {
            display.lastPercent = percent;
            link.Events().Progress(percent, link.bytesSent);
        }
    }
    SendLinkByte(link, static_cast<std::uint8_t>(sum & 0xFF));
    SendLinkByte(link, static_cast<std::uint8_t>(sum >> 8));
    return !link.GivenUp();
}

// One attempt: header, the name of a VAR, payload and checksum when the length is not 0.
bool SendAttempt(JobLink& link, const std::uint8_t* header, const std::uint8_t* payload,
                 PacketDisplay& display) {
    if (!SendHeader(link, header))
        return false;
    std::size_t length = PayloadLength(header);
    if (display.showName)
        ShowName(link, payload, length);
    return length == 0 || SendPayload(link, payload, length, display);
}

// A calculator that keeps refusing a packet would have it sent for ever. Once the user has
// asked to stop, the next refusal ends the job: nothing more goes out.
bool StopAfterRefusal(JobLink& link) {
    if (link.StopRequest() == LinkStop::None)
        return false;
    link.GiveUp(LinkOutcome::StopRequested);
    return true;
}

// Sends the packet, and with `waitForAck` again until the calculator answers ACK.
void SendUntilAcknowledged(JobLink& link, const std::uint8_t* header, const std::uint8_t* payload,
                           PacketDisplay& display, bool waitForAck) {
    for (;;) {
        if (!SendAttempt(link, header, payload, display) || !waitForAck)
            return;
        std::uint8_t reply = ReadReply(link);
        if (reply == ACK || link.GivenUp() || StopAfterRefusal(link))
            return;
    }
}

// Receives the four bytes of a reply header; its command, or 0 when the link was given up.
std::uint8_t ReceiveReplyHeader(JobLink& link) {
    if (link.GivenUp())
        return 0;
    std::uint8_t command = 0;
    for (int i = 0; i < 4; ++i) {
        std::uint8_t byte =
            ReceiveLinkByte(link, i == 0 ? ByteStart::PacketStart : ByteStart::InPacket);
        if (i == 1)
            command = byte;
    }
    return link.GivenUp() ? 0 : command;
}
} // namespace

void SendPacket(JobLink& link, std::uint8_t command, const std::uint8_t* block, bool waitForAck) {
    if (link.GivenUp())
        return;
    const std::uint8_t header[4] = {kPcMachineId, command, block[0], block[1]};
    PacketDisplay display;
    display.showName = command == VAR;
    display.showProgress = command == DATA;
    SendUntilAcknowledged(link, header, block + 2, display, waitForAck);
}

void SendRawPacket(JobLink& link, const std::uint8_t* packet, bool waitForAck) {
    if (link.GivenUp())
        return;
    PacketDisplay display;
    SendUntilAcknowledged(link, packet, packet + 4, display, waitForAck);
}

std::uint8_t ReadReply(JobLink& link) {
    return ReceiveReplyHeader(link);
}

std::uint8_t ReadVariableReply(JobLink& link, bool* declined) {
    *declined = false;
    std::uint8_t command = ReceiveReplyHeader(link);
    if (command != SKIP)
        return command;
    // The reason byte, then the two checksum bytes, which nothing compares.
    std::uint8_t reason = ReceiveLinkByte(link);
    ReceiveLinkByte(link);
    ReceiveLinkByte(link);
    if (link.GivenUp())
        return 0;
    *declined = true;
    return reason;
}

void SendAck(JobLink& link) {
    if (link.GivenUp())
        return;
    SendHeader(link, kAckPacket);
}

void SendEndOfTransmission(JobLink& link) {
    SendRawPacket(link, kEndOfTransmissionPacket, true);
}
