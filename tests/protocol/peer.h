// A scripted calculator for byte-exact packet tests: whole packets in and out of its end of the
// cable, and the common set-up of a test that talks to it.
#pragma once

#include "sim/calculator_link.h"

#include <cstdint>
#include <vector>

// Receives one packet as the PC framed it: four header bytes, then the payload and the two
// checksum bytes when the length is not 0. Appends every byte to `bytes`; false on a link failure.
bool ReceivePacketBytes(CalculatorLink& link, std::vector<std::uint8_t>* bytes);
bool SendBytes(CalculatorLink& link, const std::vector<std::uint8_t>& bytes);

// A LengthBlock of `payload`, in a vector of exactly its size.
std::vector<std::uint8_t> LengthBlock(const std::vector<std::uint8_t>& payload);

// Forgets what earlier tests left: bytesSent and the recorded status writes.
void ResetPacketLayerRecords();
