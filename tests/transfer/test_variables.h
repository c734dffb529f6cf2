// Variables as an end-to-end test sends them: what the file holds and what the calculator must
// receive, and the pieces of the packet trace ("PC:VAR TI:ACK ...") an expected session is made
// of.
#pragma once

#include "tests/transfer/sample_files.h"

#include <string>
#include <vector>

// The VAR payload and the DATA payload (three chunks for a backup).
struct TestVariable {
    Bytes header;
    std::vector<Bytes> chunks;
};
TestVariable Variable(const std::string& name, std::size_t size, std::uint8_t seed = 0);
TestVariable Backup(std::size_t size1, std::size_t size2, std::size_t size3);
Bytes FileOf(const std::vector<TestVariable>& variables);
// The file Calquin writes of what the calculator sent: as FileOf, with 1A 0C 00 and the comment
// "Received by Calquin" (NUL-padded to 42 bytes) behind the signature, and the data section's
// checksum (the sum of its bytes, 16-bit little-endian) behind it.
Bytes ReceivedFileOf(const std::vector<TestVariable>& variables);

std::string Taken();       // VAR, ACK, CTS, ACK, DATA, ACK
std::string Declined();    // VAR, ACK, SKIP, ACK
std::string TakenBackup(); // VAR, ACK, CTS, ACK, then DATA, ACK three times
std::string EndOfTransmission();
