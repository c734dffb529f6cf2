#include "app/command_line_files.h"

#include <windows.h>
#include <shellapi.h>

namespace {
std::wstring AbsolutePath(const wchar_t* path) {
    DWORD length = GetFullPathNameW(path, 0, nullptr, nullptr);
    if (length == 0)
        return path;
    std::wstring full(length, L'\0');
    length = GetFullPathNameW(path, length, &full[0], nullptr);
    full.resize(length);
    return full;
}
} // namespace

std::vector<std::wstring> CommandLineFiles() {
    std::vector<std::wstring> files;
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments)
        return files;
    for (int i = 1; i < count; ++i) // the first is the program itself
        if (arguments[i][0] != L'\0')
            files.push_back(AbsolutePath(arguments[i]));
    LocalFree(arguments);
    return files;
}

bool CommandLineAsksForCheck() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments)
        return false;
    const bool check = count == 2 && lstrcmpiW(arguments[1], L"/check") == 0;
    LocalFree(arguments);
    return check;
}
