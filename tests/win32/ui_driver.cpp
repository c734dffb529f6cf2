#include "tests/win32/ui_driver.h"

#include "tests/win32/win32_check.h"
#include "ui/utf8_text_win32.h"

#include <shlobj.h>

#include <cstring>

bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start > milliseconds)
            return false;
        Sleep(10);
    }
}

namespace {
struct Search {
    DWORD process;
    const char* caption;
    HWND except;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
    Search* search = reinterpret_cast<Search*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->process || window == search->except || !IsWindowVisible(window))
        return TRUE;
    // The caption as stored, read without a message to the window's thread, which may be busy.
    wchar_t wide[256] = {};
    InternalGetWindowText(window, wide, 256);
    char caption[256] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, caption, sizeof caption, nullptr, nullptr);
    if (std::strcmp(caption, search->caption) != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}
} // namespace

HWND FindWindowOf(DWORD process, const char* caption, HWND except) {
    Search search{process, caption, except, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindProcessWindow(const char* caption, HWND except) {
    return FindWindowOf(GetCurrentProcessId(), caption, except);
}

HWND WaitForWindowOf(DWORD process, const char* caption, HWND except, DWORD milliseconds) {
    HWND window = nullptr;
    WaitUntil([&] { return (window = FindWindowOf(process, caption, except)) != nullptr; },
              milliseconds);
    return window;
}

HWND WaitForWindow(const char* caption, HWND except, DWORD milliseconds) {
    return WaitForWindowOf(GetCurrentProcessId(), caption, except, milliseconds);
}

bool WaitForWindowGone(const char* caption, DWORD milliseconds) {
    return WaitUntil([&] { return FindProcessWindow(caption) == nullptr; }, milliseconds);
}

std::string WindowText(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return Utf8FromWide(text);
}

std::string ItemText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}

namespace {
BOOL CALLBACK FindStaticText(HWND child, LPARAM context) {
    char className[32] = {};
    GetClassNameA(child, className, sizeof className);
    std::string text = WindowText(child);
    if (lstrcmpiA(className, "Static") == 0 && !text.empty()) {
        *reinterpret_cast<std::string*>(context) = text;
        return FALSE;
    }
    return TRUE;
}
} // namespace

std::string MessageBoxText(HWND box) {
    std::string text;
    EnumChildWindows(box, FindStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

void PressButton(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PressEscape(HWND dialog) {
    GUITHREADINFO info;
    info.cbSize = sizeof info;
    HWND target = dialog;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus)
        target = info.hwndFocus;
    PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0000001);
}

namespace {
DWORD WINAPI RunDriver(LPVOID context) {
    (*static_cast<const std::function<void()>*>(context))();
    return 0;
}
} // namespace

INT_PTR RunModal(const std::function<INT_PTR()>& open, const std::function<void()>& drive) {
    HANDLE driver =
        CreateThread(nullptr, 0, RunDriver, const_cast<std::function<void()>*>(&drive), 0, nullptr);
    INT_PTR result = open();
    WaitForSingleObject(driver, INFINITE); // the test program's watchdog bounds this
    CloseHandle(driver);
    return result;
}

std::string PathArgument(const char* name) {
    std::string path = TestArgument(name);
    if (!path.empty() && path[0] == '/') {
        for (char& c : path)
            if (c == '/')
                c = '\\';
        path = "Z:" + path;
    }
    return path;
}

HDROP MakeDrop(const std::vector<std::string>& paths) {
    std::wstring names;
    for (const std::string& path : paths)
        names += WideFromUtf8(path.c_str()) + L'\0';
    names += L'\0';
    std::size_t bytes = names.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + bytes);
    DROPFILES* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(header + 1, names.data(), bytes);
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

ScratchFolder::ScratchFolder() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    static LONG counter = 0;
    path = std::string(temp) + "calquin-test-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(InterlockedIncrement(&counter));
    CreateDirectoryA(path.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
    for (const std::string& file : files)
        DeleteFileW(WideFromUtf8(file.c_str()).c_str());
    RemoveDirectoryA(path.c_str());
}

std::string ScratchFolder::File(const std::string& name) {
    files.push_back(path + "\\" + name);
    return files.back();
}

std::string ScratchFolder::Write(const std::string& name, const std::string& contents) {
    std::string file = File(name);
    HANDLE handle = CreateFileW(WideFromUtf8(file.c_str()).c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(handle, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
    CloseHandle(handle);
    return file;
}
