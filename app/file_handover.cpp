#include "app/file_handover.h"

#include "app/port_name.h"

#include <shlobj.h>

#include <cstring>

namespace {
// The main window's mark: the digit of the port it holds.
const char kPortMark[] = "Calquin.Port";
// What a second copy's WM_COPYDATA carries: the names as a drop lists them, each ended by a
// zero, the list by one more.
constexpr ULONG_PTR kFileListData = 0x43514630; // "CQF0"
// How long a second copy looks for the main window of the copy that holds the port: that copy
// may have been started at the same moment (Explorer starts one per file).
constexpr DWORD kFindWindowWait = 10000;
constexpr DWORD kHandOverWait = 10000;

HANDLE PortMark() {
    return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(portName[3]));
}

HDROP MakeDropOfList(const wchar_t* list, std::size_t units) {
    std::size_t bytes = units * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + bytes);
    if (!memory)
        return nullptr;
    DROPFILES* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(header + 1, list, bytes);
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

std::wstring FileList(const std::vector<std::wstring>& files) {
    std::wstring list;
    for (const std::wstring& file : files)
        list += file + L'\0';
    return list + L'\0';
}

BOOL CALLBACK FindMarked(HWND window, LPARAM found) {
    if (GetPropA(window, kPortMark) != PortMark())
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

HWND FindMainWindowOfPort() {
    DWORD start = GetTickCount();
    for (;;) {
        HWND found = nullptr;
        EnumWindows(FindMarked, reinterpret_cast<LPARAM>(&found));
        if (found || GetTickCount() - start >= kFindWindowWait)
            return found;
        Sleep(50);
    }
}
} // namespace

HDROP MakeFileDrop(const std::vector<std::wstring>& files) {
    std::wstring list = FileList(files);
    return MakeDropOfList(list.data(), list.size());
}

void MarkMainWindowOfPort(HWND window) {
    SetPropA(window, kPortMark, PortMark());
}

void UnmarkMainWindow(HWND window) {
    RemovePropA(window, kPortMark);
}

bool HandFilesToRunningCopy(const std::vector<std::wstring>& files) {
    HWND window = FindMainWindowOfPort();
    if (!window)
        return false;
    std::wstring list = FileList(files);
    COPYDATASTRUCT data;
    data.dwData = kFileListData;
    data.cbData = static_cast<DWORD>(list.size() * sizeof(wchar_t));
    data.lpData = &list[0];
    DWORD_PTR taken = 0;
    return SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                               SMTO_ABORTIFHUNG, kHandOverWait, &taken) != 0;
}

HDROP DropFromCopyData(const COPYDATASTRUCT* data) {
    if (!data || data->dwData != kFileListData || !data->lpData)
        return nullptr;
    // At least one name, and the list properly ended: nothing is read past what was sent.
    std::size_t units = data->cbData / sizeof(wchar_t);
    const wchar_t* list = static_cast<const wchar_t*>(data->lpData);
    if (data->cbData % sizeof(wchar_t) != 0 || units < 3 || list[0] == L'\0' ||
        list[units - 1] != L'\0' || list[units - 2] != L'\0')
        return nullptr;
    return MakeDropOfList(list, units);
}
