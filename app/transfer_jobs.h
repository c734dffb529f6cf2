// The Windows program's transfer jobs, each the start routine of a job thread of its own: the
// paths of a Send..., a Resend or a drop, handed to the portable job (transfer/transfer_job.h).
#pragma once

#include "app/window_job_events.h"
#include "transfer/transfer_job.h"

#include <windows.h>
#include <shellapi.h>

#include <atomic>

// Heap copy of the path the most recent job started to send; null before the first.
extern char* lastFilePath;
// Id of the job thread the main window regards as running; 0 when none.
extern unsigned long workerThreadId;

// Posted to mainWindow as a job's very last act, with the job's number as wParam: the job's
// thread is about to end. It may come after the main window has already released that job.
constexpr UINT WM_JOB_ENDED = WM_APP;
// Sent to mainWindow by a listening job when the calculator begins to send: from then on it
// counts as a running job.
constexpr UINT WM_RECEIVE_STARTED = WM_APP + 1;

// One job of the main window, made before its thread starts (so that a Cancel pressed before
// the thread has run reaches it) and released once the thread has ended.
// A listening job (app/listen_job.h) is one too, kept out of sight until the calculator sends.
struct WindowJob {
    WindowJob(unsigned number, Port& port, LinkStop carried, HDROP drop = nullptr,
              bool listens = false)
        : number(number), events(listens), job(port, events, carried), drop(drop),
          listens(listens) {}
    const unsigned number; // told apart from the jobs before it on the port
    WindowEvents events;
    TransferJob job;
    HDROP drop; // DropJob's files, released by the job
    const bool listens;
    // Listening: set on the job's thread once the calculator has begun to send.
    std::atomic<bool> calculatorSending{false};
    DWORD threadId = 0;
};

// Each takes its WindowJob. Files picked in the open-file dialog:
DWORD WINAPI SendJob(LPVOID windowJob);
// The last file again:
DWORD WINAPI ResendJob(LPVOID windowJob);
// Files dropped on the main window:
DWORD WINAPI DropJob(LPVOID windowJob);

// The end every job thread comes to: the job's events are told, and the main window, which
// closes the thread's handle, releases the job and lets the next job start once the thread has
// ended. Nothing may follow it but the return.
DWORD EndJob(WindowJob& job);
