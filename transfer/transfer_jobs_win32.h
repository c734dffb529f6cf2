// The three transfer jobs, each the start routine of a job thread of its own.
#pragma once

#include <windows.h>

// Posted to mainWindow as a job's very last act: the job's thread is about to end.
constexpr UINT WM_JOB_ENDED = WM_APP;

// Files picked in the open-file dialog; the argument is not used.
DWORD WINAPI SendJob(LPVOID);
// The last file again; the argument is not used.
DWORD WINAPI ResendJob(LPVOID);
// Files dropped on the main window; the argument is the drop handle, which the job releases.
DWORD WINAPI DropJob(LPVOID drop);
