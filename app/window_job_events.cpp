#include "app/window_job_events.h"

#include "app/main_window.h"
#include "app/message_box.h"
#include "ui/control_ids.h"

#include <commctrl.h>

void WindowEvents::VariableStarted(const char* name) {
    SetDlgItemTextA(mainWindow, IDC_VARIABLE, name);
}

void WindowEvents::Progress(int percent, std::uint32_t) {
    char text[16];
    wsprintfA(text, "%d%%", percent);
    SetDlgItemTextA(mainWindow, IDC_PERCENT, text);
    SendDlgItemMessageA(mainWindow, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void WindowEvents::Message(MessageKind kind, const char* format, const char* argument) {
    if (kind == MessageKind::PortError)
        ShowPortMessage(format, argument);
    else
        ShowErrorMessage(format, argument);
}

void WindowEvents::JobEnded(LinkOutcome) {
    if (!quiet)
        SetDlgItemTextA(mainWindow, IDOK, "Close");
}
