// One byte over the two-wire handshake, least significant bit first. Both return at once, doing
// nothing, once the job's link has been given up (job_link.h); ReceiveLinkByte then returns 0.
#pragma once

#include "link/job_link.h"

#include <cstdint>

// Whether the byte is the first of a packet: its first wait may last as long as a person needs,
// and a packet the PC sends waits for the idle link first (AwaitIdleLink). Listen (receiving
// only): the first byte of a batch the calculator sends, awaited on released lines without limit
// (WaitKind::Listen); once it has come, the calculator leads the rest of the job
// (JobLink::ByteLayerState::calculatorLeads).
enum class ByteStart { InPacket, PacketStart, Listen };

void SendLinkByte(JobLink& link, std::uint8_t byte, ByteStart start = ByteStart::InPacket);
std::uint8_t ReceiveLinkByte(JobLink& link, ByteStart start = ByteStart::InPacket);
