// One byte over the two-wire handshake, least significant bit first. Both return at once, doing
// nothing, once the job's link has been given up (job_link.h); ReceiveLinkByte then returns 0.
#pragma once

#include "link/job_link.h"

#include <cstdint>

enum class ByteStart {
    InPacket,
    // A packet's first byte: a packet the PC sends waits for the idle link first
    // (AwaitIdleLink).
    PacketStart,
    // The same, and its first wait may last as long as a person needs: the job's first packet,
    // the calculator's answer to a variable header (it may show a prompt).
    PacketForAPerson,
    // Receiving only: the first byte of a batch the calculator sends, awaited on released lines
    // for as long as it takes (WaitKind::Listen).
    Listen,
};

enum class ByteEnd {
    InPacket,
    // The last byte of a packet the PC sends that the calculator answers. Its packets start with
    // the machine byte 0x85, whose first bit is a 1 on the DTR/DSR wire: that wire held low
    // after the PC's last bit for longer than an acknowledgement can last is that first bit,
    // whether or not its release was seen in between.
    AnswerNext,
};

void SendLinkByte(JobLink& link, std::uint8_t byte, ByteStart start = ByteStart::InPacket,
                  ByteEnd end = ByteEnd::InPacket);
std::uint8_t ReceiveLinkByte(JobLink& link, ByteStart start = ByteStart::InPacket);
