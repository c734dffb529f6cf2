// The welcome and Setup dialogs, built from the program's resources and driven by messages.
#include "app/app_instance.h"
#include "app/port_dialogs.h"
#include "app/port_name.h"
#include "tests/win32/ui_driver.h"
#include "tests/win32/win32_check.h"
#include "ui/control_ids.h"

#include <cstring>

namespace {
const char kWelcome[] = "Welcome to Calquin!";
const char kSetup[] = "Calquin Setup";

INT_PTR ShowWelcomeDialog() {
    return DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_WELCOME), nullptr, PortDialogProc, 0);
}

void SetPortDigit(char digit) {
    appInstance = GetModuleHandleA(nullptr);
    portName[3] = digit;
}

LRESULT Selection(HWND dialog) {
    return SendDlgItemMessageA(dialog, IDC_PORT_COMBO, CB_GETCURSEL, 0, 0);
}

// Dropped down, the list shows every entry: the last one lies inside it.
void CheckEveryEntryShowsWhenDropped(HWND combo) {
    SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
    COMBOBOXINFO info;
    info.cbSize = sizeof info;
    if (CHECK(GetComboBoxInfo(combo, &info) && info.hwndList)) {
        RECT list, last;
        GetClientRect(info.hwndList, &list);
        LRESULT count = SendMessageA(info.hwndList, LB_GETCOUNT, 0, 0);
        SendMessageA(info.hwndList, LB_GETITEMRECT, count - 1, reinterpret_cast<LPARAM>(&last));
        CHECK_EQ(SendMessageA(info.hwndList, LB_GETTOPINDEX, 0, 0), 0L);
        CHECK(last.bottom <= list.bottom);
    }
    SendMessageA(combo, CB_SHOWDROPDOWN, FALSE, 0);
}

// The list holds COM1 to COM9 in order, all of them visible when dropped down, and the dialog
// opens with the focus on OK.
void CheckOpened(HWND dialog) {
    HWND combo = GetDlgItem(dialog, IDC_PORT_COMBO);
    CHECK_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 9L);
    for (int i = 0; i < 9; ++i) {
        char entry[16] = {};
        SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry));
        CHECK_EQ(std::string(entry), "COM" + std::to_string(i + 1));
    }
    CheckEveryEntryShowsWhenDropped(combo);
    GUITHREADINFO info;
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    CHECK(info.hwndFocus == GetDlgItem(dialog, IDOK));
}
} // namespace

WIN32_TEST(WelcomePreselectsCom2AndOkGivesIt) {
    SetPortDigit('2');
    INT_PTR result = RunModal(ShowWelcomeDialog, [] {
        HWND dialog = WaitForWindow(kWelcome);
        if (!CHECK(dialog))
            return;
        CheckOpened(dialog);
        CHECK_EQ(Selection(dialog), 1L);
        PressButton(dialog, IDOK);
    });
    CHECK_EQ(result, 2);
    CHECK_STR(portName, "COM2"); // start-up applies the welcome dialog's answer itself
}

WIN32_TEST(WelcomeQuitAndEscapeGiveZero) {
    SetPortDigit('2');
    INT_PTR quit = RunModal(ShowWelcomeDialog, [] {
        HWND dialog = WaitForWindow(kWelcome);
        if (CHECK(dialog))
            PressButton(dialog, IDCANCEL);
    });
    CHECK_EQ(quit, 0);
    INT_PTR escape = RunModal(ShowWelcomeDialog, [] {
        HWND dialog = WaitForWindow(kWelcome);
        if (CHECK(dialog))
            PressEscape(dialog);
    });
    CHECK_EQ(escape, 0);
}

WIN32_TEST(SetupShowsTheCurrentPortAndOkChangesIt) {
    SetPortDigit('8');
    INT_PTR result = RunModal(ShowSetupDialog, [] {
        HWND dialog = WaitForWindow(kSetup);
        if (!CHECK(dialog))
            return;
        CheckOpened(dialog);
        CHECK_EQ(Selection(dialog), 7L);
        CHECK_STR(portName, "COM8");
        SendDlgItemMessageA(dialog, IDC_PORT_COMBO, CB_SETCURSEL, 8, 0);
        CHECK_STR(portName, "COM8"); // only OK changes it
        PressButton(dialog, IDOK);
    });
    CHECK_EQ(result, 9);
    CHECK_STR(portName, "COM9");
}

WIN32_TEST(SetupCancelledChangesNothing) {
    SetPortDigit('4');
    INT_PTR result = RunModal(ShowSetupDialog, [] {
        HWND dialog = WaitForWindow(kSetup);
        if (!CHECK(dialog))
            return;
        CHECK_EQ(Selection(dialog), 3L);
        SendDlgItemMessageA(dialog, IDC_PORT_COMBO, CB_SETCURSEL, 0, 0);
        PressEscape(dialog);
    });
    CHECK_EQ(result, 0);
    CHECK_STR(portName, "COM4");
}

WIN32_TEST(SetupWithAPortOutsideTheListSelectsNothingAndOkGivesZero) {
    SetPortDigit(':'); // port 10
    INT_PTR result = RunModal(ShowSetupDialog, [] {
        HWND dialog = WaitForWindow(kSetup);
        if (!CHECK(dialog))
            return;
        CHECK_EQ(Selection(dialog), static_cast<LRESULT>(CB_ERR));
        PressButton(dialog, IDOK);
    });
    CHECK_EQ(result, 0);
    CHECK_STR(portName, "COM:");
    SetPortDigit('2');
}

WIN32_TEST(SetupThatCannotBeShownChangesNothing) {
    SetPortDigit('2');
    appInstance = GetModuleHandleA("kernel32.dll"); // holds no Setup template
    CHECK_EQ(ShowSetupDialog(), -1);
    CHECK_STR(portName, "COM2");
    appInstance = GetModuleHandleA(nullptr);
}
