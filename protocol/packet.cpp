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

// Where a packet the PC sends begins: only the job's first one may wait for a person (the
// calculator not yet in receive mode).
ByteStart SentPacketStart(JobLink& link) {
    return link.exchangeBegun ? ByteStart::PacketStart : ByteStart::PacketForAPerson;
}

// Sends the four header bytes of a packet; false once the link is given up. `end` is the last
// byte's, when the header is the whole packet.
bool SendHeader(JobLink& link, const std::uint8_t* header, ByteEnd end = ByteEnd::InPacket) {
    for (int i = 0; i < 4; ++i) {
        SendLinkByte(link, header[i], i == 0 ? SentPacketStart(link) : ByteStart::InPacket,
                     i == 3 ? end : ByteEnd::InPacket);
        if (link.GivenUp())
            return false;
        link.exchangeBegun = true;
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
                 PacketDisplay& display, ByteEnd end) {
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
    SendLinkByte(link, static_cast<std::uint8_t>(sum >> 8), ByteStart::InPacket, end);
    return !link.GivenUp();
}

// One attempt: header, the name of a VAR, payload and checksum when the length is not 0. `end`
// is the packet's last byte's.
bool SendAttempt(JobLink& link, const std::uint8_t* header, const std::uint8_t* payload,
                 PacketDisplay& display, ByteEnd end) {
    std::size_t length = PayloadLength(header);
    if (!SendHeader(link, header, length == 0 ? end : ByteEnd::InPacket))
        return false;
    if (display.showName)
        ShowName(link, payload, length);
    return length == 0 || SendPayload(link, payload, length, display, end);
}

// Receives a reply's four header bytes; its command, or 0 when the link was given up. A reply
// whose machine byte is not the calculator's is not taken: the PC goes on waiting, within the
// limit, for a proper one.
std::uint8_t ReceiveReply(JobLink& link, ByteStart start) {
    for (;;) {
        if (link.GivenUp())
            return 0;
        std::uint8_t header[4];
        for (int i = 0; i < 4; ++i)
            header[i] = ReceiveLinkByte(link, i == 0 ? start : ByteStart::InPacket);
        if (link.GivenUp())
            return 0;
        if (header[0] == kCalculatorMachineId)
            return header[1];
        start = ByteStart::PacketStart;
    }
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
    const ByteEnd end = waitForAck ? ByteEnd::AnswerNext : ByteEnd::InPacket;
    // The calculator may show a prompt before it answers a variable header.
    const ByteStart replyStart =
        header[1] == VAR ? ByteStart::PacketForAPerson : ByteStart::PacketStart;
    for (;;) {
        if (!SendAttempt(link, header, payload, display, end) || !waitForAck)
            return;
        std::uint8_t reply = ReceiveReply(link, replyStart);
        if (reply == ACK || link.GivenUp() || StopAfterRefusal(link))
            return;
    }
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
    return ReceiveReply(link, ByteStart::PacketStart);
}

std::uint8_t ReadVariableReply(JobLink& link, bool* declined) {
    *declined = false;
    std::uint8_t command = ReceiveReply(link, ByteStart::PacketForAPerson);
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

void SendAck(JobLink& link, bool packetFollows) {
    if (link.GivenUp())
        return;
    SendHeader(link, kAckPacket, packetFollows ? ByteEnd::AnswerNext : ByteEnd::InPacket);
}

void SendEndOfTransmission(JobLink& link) {
    SendRawPacket(link, kEndOfTransmissionPacket, true);
}
