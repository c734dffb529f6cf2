// Reading the start of a file into one heap block (released with std::free by the caller).
#pragma once

#include <cstdint>

enum class FileReadResult {
    Read,       // *data holds exactly *size bytes
    OpenFailed, // missing, or held open elsewhere
    ReadFailed, // the size could not be had, no buffer could be had, or fewer bytes came
};

// The whole file, or its first `limit` bytes when it is larger: however large a file is (its
// size is taken on 64 bits), no more than `limit` bytes are allocated and read.
FileReadResult ReadFileStart(const char* path, std::uint32_t limit, std::uint8_t** data,
                             std::uint32_t* size);

// How many bytes of a file of `fileSize` bytes ReadFileStart reads.
inline std::uint32_t FileStartLength(std::uint64_t fileSize, std::uint32_t limit) {
    return fileSize < limit ? static_cast<std::uint32_t>(fileSize) : limit;
}
