// libFuzzer target for the variable-file reader (clang builds only). A file the reader accepts
// must walk to its end; any read outside the input is caught by AddressSanitizer.
#include "tests/fuzz/reader_exercise.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0xFFFFFFFFu)
        return 0;
    ReaderRun run = ExerciseReader(data, size);
    if (run.check == FileCheck::Sound && !run.walkedToEnd)
        std::abort();
    return 0;
}
