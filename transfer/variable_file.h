// The TI-85 variable file, read in place out of the buffer that holds the file (its start, up to
// kVariableFileReach, for a huge one).
//
// Layout: the signature "**TI85**" (8 bytes), 45 bytes nobody reads, the data-section length L
// at offset 53, then L bytes of entries back to back. An entry is two LengthBlocks (16-bit
// little-endian length, then that many bytes): the variable header, which is the VAR payload,
// and the data, which is the DATA payload. A backup entry (type byte 0x1D) carries two more
// blocks, chunks 2 and 3, right behind its data block.
#pragma once

#include <cstdint>

constexpr std::uint32_t kDataSectionStart = 55;
constexpr std::uint32_t kDataSectionLengthOffset = 53;
constexpr std::uint8_t kBackupType = 0x1D;

// The farthest a walk can reach: the last entry starts before the end of the largest data
// section (55 + 65535), and a backup entry reaches four blocks of 2 + 65535 bytes behind its
// start. No byte past this ever matters, however large the file.
constexpr std::uint32_t kVariableFileReach = kDataSectionStart + 0xFFFF - 1 + 4 * (2 + 0xFFFF);

struct VariableFile {
    const std::uint8_t* bytes;
    std::uint32_t size;
};

enum class FileCheck {
    Sound,          // every block the walk will reach lies inside the file
    WrongSignature, // the first eight bytes are not the signature
    Damaged,        // truncated, or some block the walk would reach runs past the end
};

// Everything the sender will read, checked before a byte goes out: the signature, the data
// section, and each entry of the walk up to and including the first backup (whose three chunks
// are checked; entries behind it are never reached). A file cut short inside its signature is
// Damaged; any byte there that differs from the signature makes it WrongSignature.
FileCheck CheckVariableFile(const VariableFile& file);

// The following read a file that CheckVariableFile found Sound.

// 55 + L.
std::uint32_t DataSectionEnd(const VariableFile& file);

// Hands each entry to `visit` in file order until it returns false. True when the walk
// completed (it ended at or past the data section's end), false when `visit` stopped it.
using EntryVisitor = bool (*)(const std::uint8_t* entry, void* context);
bool WalkEntries(const VariableFile& file, EntryVisitor visit, void* context);

// A LengthBlock's length, and the block that starts right behind it.
std::uint16_t BlockLength(const std::uint8_t* block);
const std::uint8_t* BlockAfter(const std::uint8_t* block);

// The entry's data block (a backup's chunk 1), right behind its header block.
const std::uint8_t* EntryDataBlock(const std::uint8_t* entry);
// Type byte 0x1D. A header shorter than three bytes has no type byte and is no backup.
bool IsBackupEntry(const std::uint8_t* entry);
