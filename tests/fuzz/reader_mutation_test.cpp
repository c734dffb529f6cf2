// A bounded, deterministic mutation run over the reader, under the suite's sanitizers.
#include "tests/fuzz/reader_exercise.h"
#include "tests/fuzz/reader_seeds.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace {
constexpr int kRuns = 200000;

// Values that sit on the edges of the reader's sums.
std::uint16_t EdgeLength(std::mt19937& random, std::size_t size) {
    const std::uint16_t edges[] = {0, 1, 2, 3, 4, 0x1D, 0x7FFF, 0x8000, 0xFFFE, 0xFFFF};
    switch (random() % 3) {
    case 0:
        return edges[random() % (sizeof edges / sizeof edges[0])];
    case 1: // around what is left of the file
        return static_cast<std::uint16_t>(size + random() % 5 - 2);
    default:
        return static_cast<std::uint16_t>(random());
    }
}

void Mutate(Bytes* file, std::mt19937& random) {
    int steps = 1 + static_cast<int>(random() % 4);
    for (int step = 0; step < steps && !file->empty(); ++step) {
        // Mostly behind the signature, or nearly every file would simply be refused.
        std::size_t from = random() % 16 == 0 || file->size() <= 8 ? 0 : 8;
        std::size_t at = from + random() % (file->size() - from);
        switch (random() % 6) {
        case 0:
            (*file)[at] = static_cast<std::uint8_t>(random());
            break;
        case 1: // a 16-bit length, written little-endian
            if (at + 1 < file->size()) {
                std::uint16_t length = EdgeLength(random, file->size() - at);
                (*file)[at] = static_cast<std::uint8_t>(length & 0xFF);
                (*file)[at + 1] = static_cast<std::uint8_t>(length >> 8);
            }
            break;
        case 2:
            (*file)[at] = 0x1D; // a backup's type byte
            break;
        case 3:
            file->resize(at);
            break;
        case 4:
            file->insert(file->begin() + static_cast<long>(at),
                         static_cast<std::uint8_t>(random()));
            break;
        default:
            file->erase(file->begin() + static_cast<long>(at));
            break;
        }
    }
}
} // namespace

TEST(ReaderMutation, NoFileMakesTheReaderLeaveItsBufferAndAcceptedFilesWalkToTheEnd) {
    std::mt19937 random(85);
    std::vector<Bytes> seeds = ReaderSeeds();
    int sound = 0, damaged = 0, wrong = 0;
    for (int run = 0; run < kRuns; ++run) {
        Bytes file = seeds[static_cast<std::size_t>(run) % seeds.size()];
        Mutate(&file, random);
        ReaderRun result = ExerciseReader(file.data(), file.size());
        switch (result.check) {
        case FileCheck::Sound:
            ++sound;
            ASSERT_TRUE(result.walkedToEnd) << "run " << run;
            break;
        case FileCheck::Damaged:
            ++damaged;
            break;
        case FileCheck::WrongSignature:
            ++wrong;
            break;
        }
    }
    // The run explores all three verdicts, not one of them only.
    EXPECT_GT(sound, kRuns / 10);
    EXPECT_GT(damaged, kRuns / 10);
    EXPECT_GT(wrong, kRuns / 100);
    std::printf("sound %d, damaged %d, wrong signature %d\n", sound, damaged, wrong);
}
