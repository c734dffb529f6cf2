#include "ui/status_display.h"

#include "ui/control_ids.h"
#include "ui/main_window_handle.h"

#include <commctrl.h>

void ShowVariableName(const char* name) {
    SetDlgItemTextA(mainWindow, IDC_VARIABLE, name);
}

void ShowPercent(int percent) {
    char text[16];
    wsprintfA(text, "%d%%", percent);
    SetDlgItemTextA(mainWindow, IDC_PERCENT, text);
    SendDlgItemMessageA(mainWindow, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void ShowButtonLabel(const char* label) {
    SetDlgItemTextA(mainWindow, IDOK, label);
}
