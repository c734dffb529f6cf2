// The packet layer's receiving half: one packet from the calculator, read whole and checked
// (machine id 0x85, checksum, header-only commands without a payload), and the PC's rejection
// of one that failed (ERR, header only: 05 5A 00 00), after which the calculator sends it again.
// Used by the batch receiver (transfer/batch_receiver.h); calls the byte layer.
#pragma once

#include "link/job_link.h"

#include <cstdint>
#include <vector>

struct ReceivedPacket {
    std::uint8_t machineId = 0;
    std::uint8_t command = 0;
    std::vector<std::uint8_t> payload;
    // True for a packet without a payload, but false for a command that carries none announced
    // with a length.
    bool checksumGood = true;
};

// Reads one packet inside an exchange. A DATA packet tells the job's events the percentage of
// its payload as it arrives (with the count of its bytes so far). The commands that carry no
// payload (ACK, CTS, EOT, ERR) are read as four bytes, whatever their length field says, so that
// a damaged length cannot make the PC wait for bytes that never come. False once the link is
// given up.
bool ReceivePacket(JobLink& link, ReceivedPacket* packet);
// The same for a packet whose first byte, the machine id, has come already (the byte that ended
// a wait for the calculator to begin: ReceiveLinkByte with ByteStart::Listen).
bool ReceivePacketAfter(JobLink& link, std::uint8_t machineId, ReceivedPacket* packet);

// Whether the packet came from a TI-85 as it was sent: its machine id and its checksum, and no
// length on a command that carries no payload.
bool PacketIsSound(const ReceivedPacket& packet);

// 05 5A 00 00; awaits nothing.
void SendRejection(JobLink& link);
