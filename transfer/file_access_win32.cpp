#include "transfer/file_access.h"

#include "ui/utf8_text_win32.h"

#include <windows.h>

namespace {
HANDLE Handle(SystemFile file) {
    return reinterpret_cast<HANDLE>(file.handle);
}
} // namespace

bool OpenFileToRead(const char* path, SystemFile* file) {
    // Share mode 0: nobody else may have the file open while it is read.
    HANDLE handle = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    file->handle = reinterpret_cast<std::intptr_t>(handle);
    return true;
}

bool SystemFileSize(SystemFile file, std::uint64_t* size) {
    LARGE_INTEGER fileSize;
    if (!GetFileSizeEx(Handle(file), &fileSize) || fileSize.QuadPart < 0)
        return false;
    *size = static_cast<std::uint64_t>(fileSize.QuadPart);
    return true;
}

std::uint32_t ReadSystemFile(SystemFile file, std::uint8_t* into, std::uint32_t count) {
    DWORD done = 0;
    ReadFile(Handle(file), into, count, &done, nullptr);
    return done;
}

void CloseSystemFile(SystemFile file) {
    CloseHandle(Handle(file));
}
