// A TI-85 variable file built in memory from what the calculator sent, laid out as
// transfer/variable_file.h reads it, so that the file sent back reaches the calculator byte for
// byte. Behind the signature come the bytes 1A 0C 00 and a 42-byte comment (kReceivedComment,
// NUL-padded); behind the data section, its checksum: the sum of its bytes modulo 65536, 16-bit
// little-endian, as other TI-85 programs expect it.
#pragma once

#include <cstdint>
#include <vector>

constexpr char kReceivedComment[] = "Received by Calquin";

// One variable as it came over the link.
struct ReceivedEntry {
    std::vector<std::uint8_t> header;              // the VAR payload
    std::vector<std::vector<std::uint8_t>> chunks; // the DATA payload, or a backup's three
};

enum class FileImage {
    Built,
    TooLarge,      // the data section would pass 65535 bytes, the most its length can say
    MissingChunks, // a variable without exactly one data payload, a backup without three
};

// Every entry back to back in one file, in the order given. Anything but Built leaves *image
// untouched: no file is better than one whose lengths lie.
FileImage BuildVariableFile(const std::vector<ReceivedEntry>& entries,
                            std::vector<std::uint8_t>* image);

// Type byte 0x1D; a header too short to have a type byte is no backup.
bool IsBackup(const ReceivedEntry& entry);
