// A scripted calculator for byte-exact packet tests: whole packets in and out of its end of the
// cable, and the common set-up of a test that talks to it.
#pragma once

#include "sim/calculator_link.h"
#include "tests/support/link_watchdog.h"

#include <cstdint>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// Receives one packet as the PC framed it: four header bytes, then the payload and the two
// checksum bytes when the length is not 0. Appends every byte to `bytes`; false on a link failure.
bool ReceivePacketBytes(CalculatorLink& link, Bytes* bytes);
bool SendBytes(CalculatorLink& link, const Bytes& bytes);
// For each reply: receives a packet and answers it with the reply. The packets as received.
std::vector<Bytes> AnswerEach(CalculatorLink& link, const std::vector<Bytes>& replies);

// first, first + 1, ... last: the percentages a long DATA packet shows.
std::vector<int> PercentRange(int first, int last);

// A LengthBlock of `payload`.
Bytes LengthBlock(const Bytes& payload);

const Bytes kCalculatorAck = {0x85, 0x56, 0x00, 0x00};
const Bytes kCalculatorRejects = {0x85, 0x5A, 0x00, 0x00};
