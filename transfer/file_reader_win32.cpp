#include "transfer/file_reader.h"

#include "ui/utf8_text_win32.h"

#include <windows.h>

#include <cstdlib>

FileReadResult ReadFileStart(const char* path, std::uint32_t limit, std::uint8_t** data,
                             std::uint32_t* size) {
    // Share mode 0: nobody else may have the file open while it is read.
    HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FileReadResult::OpenFailed;
    LARGE_INTEGER fileSize;
    if (!GetFileSizeEx(file, &fileSize) || fileSize.QuadPart < 0) {
        CloseHandle(file);
        return FileReadResult::ReadFailed;
    }
    DWORD expected = FileStartLength(static_cast<std::uint64_t>(fileSize.QuadPart), limit);
    std::uint8_t* buffer = static_cast<std::uint8_t*>(std::malloc(expected));
    if (!buffer && expected != 0) {
        CloseHandle(file);
        return FileReadResult::ReadFailed;
    }
    DWORD count = 0;
    ReadFile(file, buffer, expected, &count, nullptr);
    // The file is never held open while it is sent; only the count decides.
    CloseHandle(file);
    if (count != expected) {
        std::free(buffer);
        return FileReadResult::ReadFailed;
    }
    *data = buffer;
    *size = expected;
    return FileReadResult::Read;
}
