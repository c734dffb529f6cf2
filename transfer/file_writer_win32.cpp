#include "transfer/file_writer.h"

#include "ui/utf8_text_win32.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace {
constexpr int kTemporaryAttempts = 100;
constexpr DWORD kLargestWrite = 1u << 30;

// Beside the file, on the same volume, so that moving it is one step. Not marked hidden: the
// attribute would stay on the file once it is moved into place.
std::wstring TemporaryPath(const std::wstring& path, int attempt) {
    std::size_t separator = path.find_last_of(L"\\/:");
    std::size_t nameStart = separator == std::wstring::npos ? 0 : separator + 1;
    return path.substr(0, nameStart) + L"." + path.substr(nameStart) + L"." +
           std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt) + L".part";
}

bool IsExistsError(DWORD error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

HANDLE CreateTemporary(const std::wstring& path, std::wstring* temporary) {
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        *temporary = TemporaryPath(path, attempt);
        HANDLE file = CreateFileW(temporary->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || !IsExistsError(GetLastError()))
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

// WriteFile takes a DWORD count: larger sizes go in parts.
bool WriteAll(HANDLE file, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        DWORD part = static_cast<DWORD>(std::min<std::size_t>(size, kLargestWrite));
        DWORD written = 0;
        if (!WriteFile(file, data, part, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// Without MOVEFILE_COPY_ALLOWED the move is a rename on the volume, in one step; without
// MOVEFILE_REPLACE_EXISTING it refuses a name that exists, whenever that file was made.
FileWriteResult MoveIntoPlace(const wchar_t* temporary, const wchar_t* path, DWORD flags) {
    if (MoveFileExW(temporary, path, flags | MOVEFILE_WRITE_THROUGH))
        return FileWriteResult::Written;
    bool refused = (flags & MOVEFILE_REPLACE_EXISTING) == 0 && IsExistsError(GetLastError());
    return refused ? FileWriteResult::Exists : FileWriteResult::WriteFailed;
}

// The bytes on disk under a temporary name, then moved under `path` with `flags`; the temporary
// file goes whenever they do not get there.
FileWriteResult WriteThenMove(const char* path, const std::uint8_t* data, std::size_t size,
                              DWORD flags) {
    std::wstring widePath = WideFromUtf8(path);
    if (widePath.empty()) // no name to put it beside: nothing in the current folder
        return FileWriteResult::WriteFailed;
    std::wstring temporary;
    HANDLE file = CreateTemporary(widePath, &temporary);
    if (file == INVALID_HANDLE_VALUE)
        return FileWriteResult::WriteFailed;
    bool written = WriteAll(file, data, size) && FlushFileBuffers(file);
    written = CloseHandle(file) && written;
    FileWriteResult result = written ? MoveIntoPlace(temporary.c_str(), widePath.c_str(), flags)
                                     : FileWriteResult::WriteFailed;
    if (result != FileWriteResult::Written)
        DeleteFileW(temporary.c_str());
    return result;
}
} // namespace

FileWriteResult WriteNewFile(const char* path, const std::uint8_t* data, std::size_t size) {
    return WriteThenMove(path, data, size, 0);
}

FileWriteResult WriteFileReplacing(const char* path, const std::uint8_t* data, std::size_t size) {
    return WriteThenMove(path, data, size, MOVEFILE_REPLACE_EXISTING);
}
