// The main window: Send..., Resend, Setup..., Close/Cancel, file drops and the status rows.
#pragma once

#include "link/port.h"

#include <windows.h>
#include <shellapi.h>

// The main window's handle: owner of every message box and target of every status write.
extern HWND mainWindow;
// Handle of the most recently started job thread (while idle, the listener's: app/listen_job.h);
// null once that thread has ended.
extern HANDLE workerThread;

// What the main window is started with: the open port its jobs use (for as long as the window
// and its last job run), and a drop of files to send as soon as the window is up
// (app/file_handover.h), or null.
struct MainWindowStart {
    Port* port;
    HDROP startFiles;
};

// Dialog procedure of the main window's template. Its creation parameter is a MainWindowStart.
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// After the main window has ended: a job still running is told to stop at once, and its
// thread is given `waitMilliseconds` to end. True when no job thread runs any more, so that
// the port may be closed.
bool StopJobForClosing(DWORD waitMilliseconds);
