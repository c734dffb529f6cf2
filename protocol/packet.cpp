#include "protocol/packet.h"

#include "link/link_byte.h"
#include "link/link_state.h"
#include "protocol/variable_name.h"
#include "ui/status_display.h"

#include <cstddef>

std::uint32_t bytesSent = 0;

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
bool SendHeader(const std::uint8_t* header) {
    MarkPacketStart();
    for (int i = 0; i < 4; ++i) {
        SendLinkByte(header[i]);
        if (LinkGivenUp())
            return false;
    }
    return true;
}

void ShowName(const std::uint8_t* payload, std::size_t length) {
    char name[kMaxVariableNameLength + 1];
    CopyVariableName(payload, length, name);
    ShowVariableName(name);
}

// The payload, counted and with its progress, then the checksum; false once the link is
// given up (a byte that did not complete is not counted).
bool SendPayload(const std::uint8_t* payload, std::size_t length, PacketDisplay& display) {
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < length; ++i) {
        sum = static_cast<std::uint16_t>(sum + payload[i]);
        SendLinkByte(payload[i]);
        if (LinkGivenUp())
            return false;
        ++bytesSent;
        if (!display.showProgress)
            continue;
        int percent = static_cast<int>((i + 1) * 100 / length);
        if (percent != display.lastPercent) {
            display.lastPercent = percent;
            ShowPercent(percent);
        }
    }
    SendLinkByte(static_cast<std::uint8_t>(sum & 0xFF));
    SendLinkByte(static_cast<std::uint8_t>(sum >> 8));
    return !LinkGivenUp();
}

// One attempt: header, the name of a VAR, payload and checksum when the length is not 0.
bool SendAttempt(const std::uint8_t* header, const std::uint8_t* payload, PacketDisplay& display) {
    if (!SendHeader(header))
        return false;
    std::size_t length = PayloadLength(header);
    if (display.showName)
        ShowName(payload, length);
    return length == 0 || SendPayload(payload, length, display);
}

// A calculator that keeps refusing a packet would have it sent for ever. Once the user has
// asked to stop, the next refusal ends the job: nothing more goes out.
bool StopAfterRefusal() {
    if (LinkStopRequest() == LinkStop::None)
        return false;
    GiveUpLink(LinkOutcome::StopRequested);
    return true;
}

// Sends the packet, and with `waitForAck` again until the calculator answers ACK.
void SendUntilAcknowledged(const std::uint8_t* header, const std::uint8_t* payload,
                           PacketDisplay& display, bool waitForAck) {
    for (;;) {
        if (!SendAttempt(header, payload, display) || !waitForAck)
            return;
        std::uint8_t reply = ReadReply();
        if (reply == ACK || LinkGivenUp() || StopAfterRefusal())
            return;
    }
}

// Receives the four bytes of a reply header; its command, or 0 when the link was given up.
std::uint8_t ReceiveReplyHeader() {
    if (LinkGivenUp())
        return 0;
    MarkPacketStart();
    std::uint8_t command = 0;
    for (int i = 0; i < 4; ++i) {
        std::uint8_t byte = ReceiveLinkByte();
        if (i == 1)
            command = byte;
    }
    return LinkGivenUp() ? 0 : command;
}
} // namespace

void SendPacket(std::uint8_t command, const std::uint8_t* block, bool waitForAck) {
    if (LinkGivenUp())
        return;
    const std::uint8_t header[4] = {kPcMachineId, command, block[0], block[1]};
    PacketDisplay display;
    display.showName = command == VAR;
    display.showProgress = command == DATA;
    SendUntilAcknowledged(header, block + 2, display, waitForAck);
}

void SendRawPacket(const std::uint8_t* packet, bool waitForAck) {
    if (LinkGivenUp())
        return;
    PacketDisplay display;
    SendUntilAcknowledged(packet, packet + 4, display, waitForAck);
}

std::uint8_t ReadReply() {
    return ReceiveReplyHeader();
}

std::uint8_t ReadVariableReply(bool* declined) {
    *declined = false;
    std::uint8_t command = ReceiveReplyHeader();
    if (command != SKIP)
        return command;
    // The reason byte, then the two checksum bytes, which nothing compares.
    std::uint8_t reason = ReceiveLinkByte();
    ReceiveLinkByte();
    ReceiveLinkByte();
    if (LinkGivenUp())
        return 0;
    *declined = true;
    return reason;
}

void SendAck() {
    if (LinkGivenUp())
        return;
    SendHeader(kAckPacket);
}

void SendEndOfTransmission() {
    SendRawPacket(kEndOfTransmissionPacket, true);
}
