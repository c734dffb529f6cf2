// The main window: Send..., Resend, Setup..., Close/Cancel, file drops and the status rows.
#pragma once

#include <windows.h>

// Handle of the most recently started job thread; null once that thread has ended.
extern HANDLE workerThread;

// Dialog procedure of the main window's template. Its creation parameter is a drop handle of
// files to send as soon as the window is up (app/file_handover.h), or 0.
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// After the main window has ended: a job still running is told to stop at once, and its
// thread is given `waitMilliseconds` to end. True when no job thread runs any more, so that
// the port may be closed.
bool StopJobForClosing(DWORD waitMilliseconds);
