#include "app/app_instance.h"
#include "app/command_line_files.h"
#include "app/file_handover.h"
#include "app/main_window.h"
#include "app/port_check_box.h"
#include "app/port_dialogs.h"
#include "app/port_lock.h"
#include "app/port_name.h"
#include "app/settings_key.h"
#include "app/window_lines.h"
#include "link/link_port_win32.h"
#include "ui/control_ids.h"

#include <commctrl.h>

namespace {
// How long a job still running when the main window ends is given to stop.
constexpr DWORD kJobStopWait = 5000;

int RefuseThePort() {
    MessageBoxA(nullptr,
                "Could not allocate COM port.\nCheck if another copy of Calquin is running. "
                "Exiting...",
                "Calquin", MB_ICONERROR);
    return -1;
}
} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    appInstance = instance;
    InitCommonControls();
    const bool checkPort = CommandLineAsksForCheck();
    const std::vector<std::wstring> files =
        checkPort ? std::vector<std::wstring>{} : CommandLineFiles();
    SettingsKey settings(HKEY_CURRENT_USER, "Software\\Morvane\\Calquin");

    // The port is one digit in portName: a stored value outside 1 to 9 is asked for again.
    DWORD port = settings.ReadDword("COMport", 0);
    if (port < 1 || port > 9) {
        INT_PTR choice =
            DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_WELCOME), nullptr, PortDialogProc, 0);
        // Quit, Escape, OK with nothing selected, or no dialog at all (-1).
        if (choice <= 0)
            return -1;
        port = static_cast<DWORD>(choice);
    }
    portName[3] = static_cast<char>('0' + port);

    // A copy already holds the port: files for it are handed over, and this copy's work is done.
    if (!TakePortLock())
        return !files.empty() && HandFilesToRunningCopy(files) ? 0 : RefuseThePort();
    if (!OpenLinkPort(portName)) {
        ReleasePortLock();
        return RefuseThePort();
    }

    // The open port, for as long as the process runs: a job that will not stop may use it
    // until the process ends.
    static Win32Lines portLines(mainWindow);
    if (checkPort) {
        const int code = ShowPortCheck(portLines, portName);
        CloseHandle(LinkPort);
        ReleasePortLock();
        settings.WriteDword("COMport", port);
        return code;
    }
    static WindowLines lines(portLines);
    static Port openPort(lines);
    MainWindowStart start{&openPort, files.empty() ? nullptr : MakeFileDrop(files)};
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc,
                    reinterpret_cast<LPARAM>(&start));

    // The port is never closed under a running job; one that will not stop is ended with the
    // process, which closes the port (and gives up the port's lock) after it.
    if (StopJobForClosing(kJobStopWait)) {
        CloseHandle(LinkPort);
        ReleasePortLock();
    }
    settings.WriteDword("COMport", static_cast<DWORD>(portName[3] - '0'));
    return 0;
}
