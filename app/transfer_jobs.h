// The Windows program's transfer jobs, each the start routine of a job thread of its own: the
// paths of a Send..., a Resend or a drop, handed to the portable job (transfer/transfer_job.h).
#pragma once

#include "app/window_job_events.h"
#include "transfer/transfer_job.h"

#include <windows.h>
#include <shellapi.h>

// Heap copy of the path the most recent job started to send; null before the first.
extern char* lastFilePath;
// Id of the job thread the main window regards as running; 0 when none.
extern unsigned long workerThreadId;

// Posted to mainWindow as a job's very last act: the job's thread is about to end.
constexpr UINT WM_JOB_ENDED = WM_APP;

// One job of the main window, made before its thread starts (so that a Cancel pressed before
// the thread has run reaches it) and released once the thread has ended.
struct WindowJob {
    WindowJob(Port& port, LinkStop carried, HDROP drop = nullptr)
        : job(port, events, carried), drop(drop) {}
    WindowEvents events;
    TransferJob job;
    HDROP drop; // DropJob's files, released by the job
};

// Each takes its WindowJob. Files picked in the open-file dialog:
DWORD WINAPI SendJob(LPVOID windowJob);
// The last file again:
DWORD WINAPI ResendJob(LPVOID windowJob);
// Files dropped on the main window:
DWORD WINAPI DropJob(LPVOID windowJob);
