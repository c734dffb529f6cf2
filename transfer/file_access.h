// The system's file calls that ReadFileStart needs, one implementation per system.
#pragma once

#include <cstdint>

struct SystemFile {
    std::intptr_t handle = -1;
};

// Opens `path` for reading, and for this program alone where the system can refuse others
// (Windows: share mode 0). False when it cannot be opened: missing, held open elsewhere, or a
// folder (which POSIX would open).
bool OpenFileToRead(const char* path, SystemFile* file);
// Its size, on 64 bits; false when it cannot be had.
bool SystemFileSize(SystemFile file, std::uint64_t* size);
// Reads up to `count` bytes into `into`: all of them unless the file ends or a call fails.
// The number read.
std::uint32_t ReadSystemFile(SystemFile file, std::uint8_t* into, std::uint32_t count);
void CloseSystemFile(SystemFile file);
