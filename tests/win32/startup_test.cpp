// The whole program: calquin.exe started as a user starts it, its dialogs pressed from here,
// its exit code and the stored port number checked. CTest hands over the program's path
// (exe=), a COM port that opens (open_port=) and one that does not (missing_port=), both
// mapped by the test's Wine prefix.
#include "tests/win32/ui_driver.h"
#include "tests/win32/win32_check.h"
#include "ui/control_ids.h"

#include <cstdlib>
#include <string>

namespace {
const char kKey[] = "Software\\Morvane\\Calquin";
const char kWelcome[] = "Welcome to Calquin!";
constexpr DWORD kFailed = 0xFFFFFFFF; // the exit code -1

int PortArgument(const char* name) {
    return std::atoi(TestArgument(name).c_str());
}

void ForgetSettings() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
}

void StorePort(DWORD port) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, "COMport", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&port), 4);
    RegCloseKey(key);
}

// The stored port number; -1 when there is none, -2 when the key itself is missing.
long StoredPort() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -2;
    DWORD type = 0, value = 0, size = sizeof value;
    LONG result =
        RegQueryValueExA(key, "COMport", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != 4)
        return -1;
    return static_cast<long>(value);
}

class Program {
  public:
    // `options` after the program's name on its command line.
    explicit Program(const std::string& options = "") {
        std::string path = PathArgument("exe");
        std::string commandLine = "\"" + path + "\" " + options;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        started = CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &info) != FALSE;
        CHECK(started);
    }
    ~Program() {
        if (!started)
            return;
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(info.hProcess, 99); // a failed test leaves no program behind
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    HWND Window(const char* caption) { return WaitForWindowOf(info.dwProcessId, caption); }
    HWND FindNow(const char* caption) { return FindWindowOf(info.dwProcessId, caption); }
    // The main window: the one called "Calquin" that has the Send... button.
    HWND MainWindow() {
        HWND window = nullptr;
        WaitUntil([&] {
            window = FindWindowOf(info.dwProcessId, "Calquin");
            return window && GetDlgItem(window, IDC_SEND);
        });
        return window;
    }
    // The exit code, or 259 (STILL_ACTIVE) when the program did not end in time.
    DWORD ExitCode() {
        WaitForSingleObject(info.hProcess, kWindowDeadline);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(info.hProcess, &code);
        return code;
    }

  private:
    PROCESS_INFORMATION info = {};
    bool started = false;
};

// Picks COM<port> in a port dialog of the program and presses OK.
void ChoosePort(HWND dialog, int port) {
    SendDlgItemMessageA(dialog, IDC_PORT_COMBO, CB_SETCURSEL, port - 1, 0);
    PressButton(dialog, IDOK);
}
} // namespace

WIN32_TEST(StartupQuitInTheWelcomeDialogEndsWithMinusOne) {
    ForgetSettings();
    Program program;
    HWND welcome = program.Window(kWelcome);
    if (!CHECK(welcome))
        return;
    CHECK_EQ(SendDlgItemMessageA(welcome, IDC_PORT_COMBO, CB_GETCURSEL, 0, 0), 1L); // COM2
    PressButton(welcome, IDCANCEL);
    CHECK_EQ(program.ExitCode(), kFailed);
    CHECK_EQ(StoredPort(), -1L); // the key was made, nothing was stored in it

    // A stored 0, or a number that is no port digit, is no port: the welcome dialog asks again.
    for (DWORD stored : {0UL, 10UL, 0x80000000UL}) {
        StorePort(stored);
        Program again;
        welcome = again.Window(kWelcome);
        if (!CHECK(welcome))
            return;
        PressButton(welcome, IDCANCEL);
        CHECK_EQ(again.ExitCode(), kFailed);
        CHECK_EQ(StoredPort(), static_cast<long>(stored));
    }
}

WIN32_TEST(StartupWithAPortThatCannotBeOpenedSaysSoAndEndsWithMinusOne) {
    const int missing = PortArgument("missing_port");
    const std::string message =
        "Could not allocate COM port.\nCheck if another copy of Calquin is running. Exiting...";
    StorePort(missing);
    {
        Program program;
        HWND box = program.Window("Calquin");
        if (!CHECK(box))
            return;
        CHECK_EQ(MessageBoxText(box), message);
        CHECK(!GetDlgItem(box, IDC_SEND));
        PressButton(box, IDOK);
        CHECK_EQ(program.ExitCode(), kFailed);
        CHECK_EQ(StoredPort(), static_cast<long>(missing));
    }
    // Chosen in the welcome dialog, it is not remembered either.
    ForgetSettings();
    Program program;
    HWND welcome = program.Window(kWelcome);
    if (!CHECK(welcome))
        return;
    ChoosePort(welcome, missing);
    HWND box = program.Window("Calquin");
    if (!CHECK(box))
        return;
    CHECK_EQ(MessageBoxText(box), message);
    PressButton(box, IDOK);
    CHECK_EQ(program.ExitCode(), kFailed);
    CHECK_EQ(StoredPort(), -1L);
}

WIN32_TEST(StartupRemembersThePortOfANormalRun) {
    const int port = PortArgument("open_port");
    ForgetSettings();
    {
        Program program;
        HWND welcome = program.Window(kWelcome);
        if (!CHECK(welcome))
            return;
        ChoosePort(welcome, port);
        HWND window = program.MainWindow();
        if (!CHECK(window))
            return;
        CHECK_EQ(ItemText(window, IDOK), "Close");
        PressButton(window, IDOK);
        CHECK_EQ(program.ExitCode(), 0UL);
        CHECK_EQ(StoredPort(), static_cast<long>(port));
    }
    // The next start goes straight to the main window.
    Program program;
    HWND window = program.MainWindow();
    if (!CHECK(window))
        return;
    CHECK(program.FindNow(kWelcome) == nullptr);
    PressButton(window, IDCANCEL);
    CHECK_EQ(program.ExitCode(), 0UL);
    CHECK_EQ(StoredPort(), static_cast<long>(port));

    // /check checks the stored port instead of showing the main window. No cable is behind this
    // one: its modem lines cannot be read.
    Program check("/check");
    HWND box = check.Window("Calquin");
    if (!CHECK(box))
        return;
    CHECK(!GetDlgItem(box, IDC_SEND));
    CHECK_EQ(MessageBoxText(box), "Port COM" + std::to_string(port) +
                                      ":\n\nThe port's modem lines could not be read: it "
                                      "cannot carry the link.");
    PressButton(box, IDOK);
    CHECK_EQ(check.ExitCode(), 3UL);
}

WIN32_TEST(StartupStoresThePortChosenInSetupAtExit) {
    const int port = PortArgument("open_port");
    const int other = port == 1 ? 4 : 1;
    StorePort(port);
    Program program;
    HWND window = program.MainWindow();
    if (!CHECK(window))
        return;
    PressButton(window, IDC_SETUP);
    HWND setup = program.Window("Calquin Setup");
    if (!CHECK(setup))
        return;
    CHECK_EQ(SendDlgItemMessageA(setup, IDC_PORT_COMBO, CB_GETCURSEL, 0, 0),
             static_cast<LRESULT>(port - 1));
    ChoosePort(setup, other);
    CHECK(WaitUntil([&] { return !IsWindow(setup); }));
    CHECK_EQ(StoredPort(), static_cast<long>(port)); // stored at exit only
    PressButton(window, IDOK);
    CHECK_EQ(program.ExitCode(), 0UL);
    CHECK_EQ(StoredPort(), static_cast<long>(other));
    StorePort(port);
}
