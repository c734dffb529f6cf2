// The packet layer: the TI-85's link packets (machine id, command, 16-bit length, payload,
// checksum) on top of the byte layer.
//
//   SendPacket, SendRawPacket   a packet, sent again until the calculator acknowledges it
//   ReadReply, ReadVariableReply  the calculator's short replies
//   SendAck, SendEndOfTransmission
//
// Each takes the job's link (link/job_link.h) and returns at once once it has been given up.
// Only the job's first packet and the answers to a variable header may wait for a person; every
// other wait gives up within the link's limit.
// Called by the file sender and the jobs (transfer/); calls the byte layer (link/link_byte.h),
// adds to the link's bytesSent, and tells the job's events (ui/job_events.h) the variable's name
// and the data's progress.
#pragma once

#include "link/job_link.h"

#include <cstdint>

// The machine byte that begins every packet a TI-85 sends.
constexpr std::uint8_t kCalculatorMachineId = 0x85;

constexpr std::uint8_t VAR = 0x06;
constexpr std::uint8_t CTS = 0x09;
constexpr std::uint8_t DATA = 0x15;
constexpr std::uint8_t SKIP = 0x36;
constexpr std::uint8_t ACK = 0x56;
constexpr std::uint8_t EOT = 0x92;
// The receiver's refusal of a damaged packet, which the sender sends again.
constexpr std::uint8_t ERR = 0x5A;

// `block` is a LengthBlock: 16-bit little-endian length n, then n payload bytes. Read in place.
void SendPacket(JobLink& link, std::uint8_t command, const std::uint8_t* block, bool waitForAck);
// `packet` is the four header bytes followed by the payload; the checksum is added here.
void SendRawPacket(JobLink& link, const std::uint8_t* packet, bool waitForAck);
// A four-byte reply; its command. A reply whose machine byte is not the calculator's (0x85) is
// not taken for one: the next one is awaited, within the limit.
std::uint8_t ReadReply(JobLink& link);
// The answer to a variable header: its command, or for a SKIP its reason byte, in which case
// `declined` is set (a SKIP's reason may equal any command, CTS included). Its first wait, as
// that of the calculator's answer to the header itself, may last as long as a person needs (a
// prompt on the calculator).
std::uint8_t ReadVariableReply(JobLink& link, bool* declined);
// `packetFollows`: the calculator sends its next packet at once (receiving), whose first bit may
// come on the wire of its acknowledgement of the ACK's last bit.
void SendAck(JobLink& link, bool packetFollows = false);
void SendEndOfTransmission(JobLink& link);
