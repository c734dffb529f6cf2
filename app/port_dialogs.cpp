#include "app/port_dialogs.h"

#include "app/app_instance.h"
#include "link/link_port.h"
#include "ui/control_ids.h"

INT_PTR CALLBACK PortDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        static const char* const ports[] = {"COM1", "COM2", "COM3", "COM4"};
        for (const char* port : ports)
            SendDlgItemMessageA(dialog, IDC_PORT_COMBO, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(port));
        // A digit outside 1 to 4 gives an index the list does not have: nothing is selected.
        int index = portName[3] - '1';
        SendDlgItemMessageA(dialog, IDC_PORT_COMBO, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
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
