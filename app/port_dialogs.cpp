#include "app/port_dialogs.h"

#include "app/app_instance.h"
#include "app/port_name.h"
#include "ui/control_ids.h"

namespace {
const char* const kPorts[] = {"COM1", "COM2", "COM3", "COM4", "COM5",
                              "COM6", "COM7", "COM8", "COM9"};
constexpr int kPortCount = sizeof kPorts / sizeof kPorts[0];

// The templates' combo boxes have room for a few entries only when dropped down; a combo box's
// window height is its selection field and its dropped-down list together, so it is made tall
// enough for every port.
void FitDroppedListToPorts(HWND combo) {
    RECT field;
    GetWindowRect(combo, &field);
    int entry = static_cast<int>(SendMessageA(combo, CB_GETITEMHEIGHT, 0, 0));
    int list = kPortCount * entry + 2 * GetSystemMetrics(SM_CYEDGE);
    SetWindowPos(combo, nullptr, 0, 0, field.right - field.left, field.bottom - field.top + list,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
} // namespace

INT_PTR CALLBACK PortDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        HWND combo = GetDlgItem(dialog, IDC_PORT_COMBO);
        for (const char* port : kPorts)
            SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(port));
        FitDroppedListToPorts(combo);
        // A digit outside 1 to 9 gives an index the list does not have: nothing is selected.
        int index = portName[3] - '1';
        SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: // no selection: CB_ERR + 1, the same as Cancel
            EndDialog(dialog, SendDlgItemMessageA(dialog, IDC_PORT_COMBO, CB_GETCURSEL, 0, 0) + 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

INT_PTR ShowSetupDialog() {
    INT_PTR port =
        DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_SETUP), nullptr, PortDialogProc, 0);
    if (port > 0)
        portName[3] = static_cast<char>('0' + port);
    return port;
}
