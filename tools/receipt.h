// What the simulated TI-85 took, written to a folder for whoever drives it from outside:
//   trace.txt      one line per packet, in link order
//   variables.txt  one line per variable taken, with its sizes and checksums
//   NN.header, NN.data (NN.chunk1..3 for a backup)   the payloads as received, byte for byte
//   result.txt     how the session ended
// and a short receipt for a person on standard output.
#pragma once

#include "sim/simulated_ti85.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

std::string CommandName(std::uint8_t command);
std::string TraceLine(const PacketRecord& packet);
// Sum of the bytes modulo 65536, as the link's checksum.
std::uint16_t ByteSum(const std::vector<std::uint8_t>& bytes);

// False when a file could not be written.
bool WriteReceipt(const std::string& folder, const std::vector<PacketRecord>& packets,
                  const std::vector<ReceivedVariable>& variables, const std::string& result);
void PrintReceipt(std::ostream& out, const std::vector<ReceivedVariable>& variables, int eotCount,
                  const std::string& result);
