// Driving the program's dialogs from a second thread of the test, as a user would: find a
// window, read its controls, press its buttons. Every wait has a deadline.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

constexpr DWORD kWindowDeadline = 10000;

// Polls `condition` until it holds or `milliseconds` have passed; whether it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds = kWindowDeadline);

// A visible top-level window of this process with exactly this caption; null when none came.
// `except` is a window that is left out (one of the same caption).
HWND WaitForWindow(const char* caption, HWND except = nullptr,
                   DWORD milliseconds = kWindowDeadline);
HWND FindProcessWindow(const char* caption, HWND except = nullptr);
// The same for the windows of another process.
HWND FindWindowOf(DWORD process, const char* caption, HWND except = nullptr);
HWND WaitForWindowOf(DWORD process, const char* caption, HWND except = nullptr,
                     DWORD milliseconds = kWindowDeadline);
// Waits until no visible top-level window of this process has this caption.
bool WaitForWindowGone(const char* caption, DWORD milliseconds = kWindowDeadline);

// Texts and paths here are UTF-8, as the program's own are.
std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);
// The text of a message box (its static text control).
std::string MessageBoxText(HWND box);

// Presses a button the way its click reaches the dialog: a posted WM_COMMAND.
void PressButton(HWND dialog, int id);
// The Escape key pressed in the dialog, through its modal loop's keyboard handling.
void PressEscape(HWND dialog);

// Runs `open` (which shows a modal dialog and returns its result) on this thread while
// `drive` runs on a second thread; returns `open`'s result once both have finished.
INT_PTR RunModal(const std::function<INT_PTR()>& open, const std::function<void()>& drive);

// A path handed over by CTest as name=path; a Unix path is given as Wine sees it (drive Z:).
std::string PathArgument(const char* name);

// A drop handle as the shell makes it (wide names), for WM_DROPFILES.
HDROP MakeDrop(const std::vector<std::string>& paths);

// A folder of its own under the temporary folder, removed with its files on destruction.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return path; }
    // The file's path.
    std::string Write(const std::string& name, const std::string& contents);
    // The path of a file that the test makes there itself, removed with the folder.
    std::string File(const std::string& name);

  private:
    std::string path;
    std::vector<std::string> files;
};
