#include "tests/fuzz/reader_exercise.h"

#include <cstdlib>
#include <cstring>

namespace {
std::uint32_t SumOfBlock(const std::uint8_t* block) {
    std::uint32_t sum = 0;
    for (std::uint32_t i = 0; i < 2u + BlockLength(block); ++i)
        sum += block[i];
    return sum;
}

struct Walked {
    ReaderRun* run;
    bool endedAtBackup;
};

bool VisitEntry(const std::uint8_t* entry, void* context) {
    Walked* walked = static_cast<Walked*>(context);
    ReaderRun& run = *walked->run;
    ++run.entries;
    const std::uint8_t* data = EntryDataBlock(entry);
    run.touched += SumOfBlock(entry) + SumOfBlock(data);
    if (!IsBackupEntry(entry))
        return true;
    const std::uint8_t* chunk2 = BlockAfter(data);
    run.touched += SumOfBlock(chunk2) + SumOfBlock(BlockAfter(chunk2));
    walked->endedAtBackup = true;
    return false;
}
} // namespace

ReaderRun ExerciseReader(const std::uint8_t* data, std::size_t size) {
    ReaderRun run;
    // malloc(0) may give null; the reader must not touch the bytes of an empty file anyway.
    std::uint8_t* copy = static_cast<std::uint8_t*>(std::malloc(size));
    if (size != 0)
        std::memcpy(copy, data, size);
    VariableFile file{copy, static_cast<std::uint32_t>(size)};
    run.check = CheckVariableFile(file);
    if (run.check == FileCheck::Sound) {
        Walked walked{&run, false};
        bool completed = WalkEntries(file, VisitEntry, &walked);
        run.walkedToEnd = completed != walked.endedAtBackup;
    }
    std::free(copy);
    return run;
}
