// The TI-85 link packets: machine id, command, 16-bit length, payload, checksum.
// Every operation returns at once once the job's link has been given up (link/link_state.h).
#pragma once

#include <cstdint>

constexpr std::uint8_t VAR = 0x06;
constexpr std::uint8_t CTS = 0x09;
constexpr std::uint8_t DATA = 0x15;
constexpr std::uint8_t SKIP = 0x36;
constexpr std::uint8_t ACK = 0x56;
constexpr std::uint8_t EOT = 0x92;

// Payload bytes sent since the job began, resends included.
extern std::uint32_t bytesSent;

// `block` is a LengthBlock: 16-bit little-endian length n, then n payload bytes. Read in place.
void SendPacket(std::uint8_t command, const std::uint8_t* block, bool waitForAck);
// `packet` is the four header bytes followed by the payload; the checksum is added here.
void SendRawPacket(const std::uint8_t* packet, bool waitForAck);
// A four-byte reply; its command.
std::uint8_t ReadReply();
// The answer to a variable header: its command, or for a SKIP its reason byte, in which case
// `declined` is set (a SKIP's reason may equal any command, CTS included).
std::uint8_t ReadVariableReply(bool* declined);
void SendAck();
void SendEndOfTransmission();
