#include "transfer/variable_file.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::uint8_t kSignature[] = {'*', '*', 'T', 'I', '8', '5', '*', '*'};

// Offsets are 64-bit so that no sum of lengths can wrap around, whatever the file says.
bool StepOverBlock(const VariableFile& file, std::uint64_t* offset) {
    if (*offset + 2 > file.size)
        return false;
    *offset += 2 + BlockLength(file.bytes + *offset);
    return *offset <= file.size;
}

struct FitCheck {
    const VariableFile* file;
    bool damaged;
};

// The entry's blocks, and a backup's two further chunks, lie inside the file. The walk steps
// over the first two blocks only after this has said so.
bool EntryFits(const std::uint8_t* entry, void* context) {
    FitCheck* check = static_cast<FitCheck*>(context);
    const VariableFile& file = *check->file;
    std::uint64_t offset = static_cast<std::uint64_t>(entry - file.bytes);
    bool fits = StepOverBlock(file, &offset) && StepOverBlock(file, &offset);
    if (fits && IsBackupEntry(entry))
        fits = StepOverBlock(file, &offset) && StepOverBlock(file, &offset);
    check->damaged = !fits;
    return fits;
}
} // namespace

FileCheck CheckVariableFile(const VariableFile& file) {
    std::size_t present = std::min<std::size_t>(file.size, sizeof kSignature);
    if (present != 0 && std::memcmp(file.bytes, kSignature, present) != 0)
        return FileCheck::WrongSignature;
    if (file.size < kDataSectionStart || DataSectionEnd(file) > file.size)
        return FileCheck::Damaged;
    FitCheck check{&file, false};
    WalkEntries(file, EntryFits, &check);
    return check.damaged ? FileCheck::Damaged : FileCheck::Sound;
}

std::uint32_t DataSectionEnd(const VariableFile& file) {
    return kDataSectionStart + BlockLength(file.bytes + kDataSectionLengthOffset);
}

bool WalkEntries(const VariableFile& file, EntryVisitor visit, void* context) {
    const std::uint8_t* end = file.bytes + DataSectionEnd(file);
    for (const std::uint8_t* entry = file.bytes + kDataSectionStart; entry < end;
         entry = BlockAfter(EntryDataBlock(entry))) {
        // Behind a backup lie its chunks 2 and 3, not an entry: the walk never goes past it.
        if (!visit(entry, context) || IsBackupEntry(entry))
            return false;
    }
    return true;
}

std::uint16_t BlockLength(const std::uint8_t* block) {
    return static_cast<std::uint16_t>(block[0] | block[1] << 8);
}

const std::uint8_t* BlockAfter(const std::uint8_t* block) {
    return block + 2 + BlockLength(block);
}

const std::uint8_t* EntryDataBlock(const std::uint8_t* entry) {
    return BlockAfter(entry);
}

bool IsBackupEntry(const std::uint8_t* entry) {
    return BlockLength(entry) >= 3 && entry[4] == kBackupType;
}
