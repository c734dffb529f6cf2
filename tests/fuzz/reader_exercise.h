// One run of the variable-file reader over arbitrary bytes, shared by the libFuzzer target and
// the mutation run of the test suite.
#pragma once

#include "transfer/variable_file.h"

#include <cstddef>
#include <cstdint>

struct ReaderRun {
    FileCheck check;
    std::size_t entries = 0;   // entries walked (a Sound file only)
    bool walkedToEnd = false;  // the walk completed, or ended at a backup as it must
    std::uint32_t touched = 0; // a sum over every byte the sender would send, so none is skipped
};

// Copies the bytes into a heap block of exactly their size (so that a sanitizer sees any read
// past them), checks the file, and when it is Sound walks it as the sender does, reading every
// byte of every block the sender would send.
ReaderRun ExerciseReader(const std::uint8_t* data, std::size_t size);
