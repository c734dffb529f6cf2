#include "app/main_window.h"

#include "app/file_handover.h"
#include "app/port_dialogs.h"
#include "link/link_state.h"
#include "transfer/transfer_job.h"
#include "transfer/transfer_jobs_win32.h"
#include "ui/control_ids.h"
#include "ui/main_window_handle.h"
#include "ui/message_box.h"

#include <shellapi.h>

HANDLE workerThread = nullptr;

namespace {
constexpr UINT_PTR kJobEndTimer = 1;

// Decided from the thread, not from workerThreadId: a cancelled job runs on with the id at 0.
bool JobThreadAlive() {
    return workerThread && WaitForSingleObject(workerThread, 0) != WAIT_OBJECT_0;
}

// Send... and Resend start jobs only while none runs; the focus leaves them when they go.
void EnableJobButtons(HWND window, bool enable) {
    static const int buttons[] = {IDC_SEND, IDC_RESEND};
    HWND focus = GetFocus();
    for (int id : buttons) {
        HWND button = GetDlgItem(window, id);
        if (!enable && focus == button)
            SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDOK)),
                         TRUE);
        EnableWindow(button, enable);
    }
}

// The job has announced its end; once its thread has ended, the next job may start.
void FinishEndedJob(HWND window) {
    if (JobThreadAlive()) {
        SetTimer(window, kJobEndTimer, 20, nullptr);
        return;
    }
    KillTimer(window, kJobEndTimer);
    if (!workerThread)
        return;
    CloseHandle(workerThread);
    workerThread = nullptr;
    workerThreadId = 0; // in case the id was stored after the job had cleared it
    EnableJobButtons(window, true);
}

// One job at a time: while a job thread is alive, a new one is refused.
bool StartJob(HWND window, LPTHREAD_START_ROUTINE job, LPVOID argument) {
    if (JobThreadAlive())
        return false;
    FinishEndedJob(window); // a job whose thread has ended before its end message came
    SetDlgItemTextA(window, IDOK, "Cancel");
    EnableJobButtons(window, false);
    // Here rather than on the job's thread: a Cancel pressed before that thread has run is kept.
    BeginTransferJob();
    workerThread = CreateThread(nullptr, 0, job, argument, 0, &workerThreadId);
    if (workerThread)
        return true;
    SetDlgItemTextA(window, IDOK, "Close");
    workerThreadId = 0;
    EnableJobButtons(window, true);
    ShowErrorMessage("Could not start the transfer.");
    return false;
}

// Files dropped, or handed over as a drop: sent by a job, or refused with a beep while one runs.
// The job releases the handle; a drop no job takes is released here.
void TakeDrop(HWND window, HDROP drop) {
    if (StartJob(window, DropJob, drop))
        return;
    DragFinish(drop);
    MessageBeep(MB_ICONWARNING); // the files were not taken
}

INT_PTR OnCommand(HWND window, WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDOK:
    case IDCANCEL:
        if (workerThreadId != 0) {
            SetDlgItemTextA(window, IDOK, "Close");
            workerThreadId = 0;
            // A transfer the calculator takes part in goes on; one it does not answer ends.
            RequestLinkStop(LinkStop::Cancel);
        } else {
            EndDialog(window, 0);
        }
        return TRUE;
    case IDC_SEND:
        StartJob(window, SendJob, reinterpret_cast<LPVOID>(wParam));
        return TRUE;
    case IDC_RESEND:
        StartJob(window, ResendJob, reinterpret_cast<LPVOID>(wParam));
        return TRUE;
    case IDC_SETUP:
        ShowSetupDialog();
        return TRUE;
    }
    return FALSE;
}
} // namespace

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        mainWindow = window;
        DragAcceptFiles(window, TRUE);
        MarkMainWindowOfPort(window);
        // The files of the command line go as one batch once the window is up, as a drop.
        if (lParam)
            PostMessageA(window, WM_DROPFILES, static_cast<WPARAM>(lParam), 0);
        return TRUE;
    case WM_DROPFILES:
        TakeDrop(window, reinterpret_cast<HDROP>(wParam));
        return FALSE;
    case WM_COPYDATA: {
        HDROP drop = DropFromCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        if (!drop)
            return FALSE;
        TakeDrop(window, drop);
        SetWindowLongPtrA(window, DWLP_MSGRESULT, TRUE);
        return TRUE;
    }
    case WM_DESTROY:
        UnmarkMainWindow(window);
        return FALSE;
    case WM_COMMAND:
        return OnCommand(window, wParam);
    case WM_JOB_ENDED:
        FinishEndedJob(window);
        return TRUE;
    case WM_TIMER:
        if (wParam != kJobEndTimer)
            return FALSE;
        FinishEndedJob(window);
        return TRUE;
    }
    return FALSE;
}

bool StopJobForClosing(DWORD waitMilliseconds) {
    if (!workerThread)
        return true;
    RequestLinkStop(LinkStop::Closing);
    // The job's last writes to the window may still be waiting for this thread: handle them.
    DWORD start = GetTickCount();
    for (;;) {
        DWORD waited = GetTickCount() - start;
        DWORD left = waited < waitMilliseconds ? waitMilliseconds - waited : 0;
        DWORD result = MsgWaitForMultipleObjects(1, &workerThread, FALSE, left, QS_SENDMESSAGE);
        if (result == WAIT_OBJECT_0)
            break;
        if (result != WAIT_OBJECT_0 + 1)
            return false;
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(workerThread);
    workerThread = nullptr;
    return true;
}
