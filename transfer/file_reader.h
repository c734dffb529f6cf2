// Reading a whole file into one heap block (released with std::free by the caller).
#pragma once

#include <cstdint>

enum class FileReadResult {
    Read,       // *data holds exactly *size bytes
    OpenFailed, // missing, or held open elsewhere
    ReadFailed, // the size could not be had, no buffer could be had, or fewer bytes came
};

FileReadResult ReadWholeFile(const char* path, std::uint8_t** data, std::uint32_t* size);
