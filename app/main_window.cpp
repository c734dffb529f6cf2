#include "app/main_window.h"

#include "app/file_handover.h"
#include "app/listen_job.h"
#include "app/message_box.h"
#include "app/port_dialogs.h"
#include "app/transfer_jobs.h"
#include "ui/control_ids.h"

#include <memory>

HWND mainWindow = nullptr;
HANDLE workerThread = nullptr;

namespace {
constexpr UINT_PTR kJobEndTimer = 1;
// How long a job to be started waits for the listener to stop: it ends at its next look at the
// link, a few milliseconds; longer only when the calculator has begun to send meanwhile.
constexpr DWORD kListenerStopWait = 5000;

// The job of workerThread (the listener, while idle), kept until that thread has ended; and what
// the next job inherits from the last one (a Closing request).
std::unique_ptr<WindowJob> runningJob;
LinkStop carriedStop = LinkStop::None;
// A listener that could not read the port's status listens again only after the next job, which
// tells the user.
bool listeningPaused = false;
// Numbers the jobs, so that a job's late end message is not taken for the next job's.
unsigned jobsMade = 0;
// Set while a job is being started: the wait for the listener to stop handles messages sent to
// the window, and a drop or a hand-over among them must not start a job in the middle.
bool startingJob = false;

Port& OpenPort(HWND window) {
    return *reinterpret_cast<Port*>(GetWindowLongPtrA(window, DWLP_USER));
}

std::unique_ptr<WindowJob> MakeJob(HWND window, HDROP drop = nullptr, bool listens = false) {
    return std::make_unique<WindowJob>(++jobsMade, OpenPort(window), carriedStop, drop, listens);
}

// Decided from the thread, not from workerThreadId: a cancelled job runs on with the id at 0.
bool JobThreadAlive() {
    return workerThread && WaitForSingleObject(workerThread, 0) != WAIT_OBJECT_0;
}

// Until the job's thread has ended, at most `waitMilliseconds`; the job's writes to the window,
// which wait for this thread, are handled meanwhile.
bool WaitForJobThread(DWORD waitMilliseconds) {
    DWORD start = GetTickCount();
    for (;;) {
        DWORD waited = GetTickCount() - start;
        DWORD left = waited < waitMilliseconds ? waitMilliseconds - waited : 0;
        DWORD result = MsgWaitForMultipleObjects(1, &workerThread, FALSE, left, QS_SENDMESSAGE);
        if (result == WAIT_OBJECT_0)
            return true;
        if (result != WAIT_OBJECT_0 + 1)
            return false;
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
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

// The job whose thread has ended: its handle closed, the job released, and the buttons back. Its
// end message, if it has not come yet, is left to be ignored: taking it out of the queue here would
// handle messages sent to the window meanwhile, and one could start a job that this would release.
void ReleaseEndedJob(HWND window) {
    KillTimer(window, kJobEndTimer);
    CloseHandle(workerThread);
    workerThread = nullptr;
    workerThreadId = 0; // in case the id was stored after the job had cleared it
    if (runningJob) {
        carriedStop = runningJob->job.Link().CarriedStop();
        listeningPaused = runningJob->listens && runningJob->events.PortFailed();
    }
    runningJob.reset();
    EnableJobButtons(window, true);
}

// While no job runs, a listener waits for the calculator to send.
void StartListening(HWND window) {
    if (workerThread || listeningPaused || carriedStop == LinkStop::Closing)
        return;
    runningJob = MakeJob(window, nullptr, true);
    workerThread = CreateThread(nullptr, 0, ListenJob, runningJob.get(), 0, &runningJob->threadId);
    if (!workerThread)
        runningJob.reset(); // tried again when the next job ends
}

// A listener that nothing has come to is stopped, so that a job may start. False while the
// calculator sends to it.
bool StopListening(HWND window) {
    if (!runningJob || !runningJob->listens || !JobThreadAlive())
        return true;
    if (runningJob->calculatorSending)
        return false;
    runningJob->job.Link().RequestStop(LinkStop::Cancel);
    if (!WaitForJobThread(kListenerStopWait))
        return false;
    ReleaseEndedJob(window);
    return true;
}

// The job has announced its end; once its thread has ended, the next job may start, and
// listening resumes.
void FinishEndedJob(HWND window) {
    if (JobThreadAlive()) {
        SetTimer(window, kJobEndTimer, 20, nullptr);
        return;
    }
    if (!workerThread)
        return;
    ReleaseEndedJob(window);
    StartListening(window);
}

// One job at a time: while a job thread other than a listener that nothing has come to is alive,
// a new one is refused.
bool StartJob(HWND window, LPTHREAD_START_ROUTINE routine, HDROP drop = nullptr) {
    if (startingJob)
        return false;
    startingJob = true;
    bool listenerStopped = StopListening(window);
    startingJob = false;
    if (!listenerStopped || JobThreadAlive())
        return false;
    if (workerThread)
        ReleaseEndedJob(window); // a job whose thread has ended before its end message came
    SetDlgItemTextA(window, IDOK, "Cancel");
    EnableJobButtons(window, false);
    // Here rather than on the job's thread: a Cancel pressed before that thread has run is kept.
    runningJob = MakeJob(window, drop);
    workerThread = CreateThread(nullptr, 0, routine, runningJob.get(), 0, &workerThreadId);
    if (workerThread)
        return true;
    runningJob.reset();
    SetDlgItemTextA(window, IDOK, "Close");
    workerThreadId = 0;
    EnableJobButtons(window, true);
    ShowErrorMessage("Could not start the transfer.");
    StartListening(window);
    return false;
}

// The calculator has begun to send to the listener: a running job from now on.
void TakeReceiveStart(HWND window) {
    if (!runningJob || !runningJob->listens)
        return;
    SetDlgItemTextA(window, IDOK, "Cancel");
    EnableJobButtons(window, false);
    workerThreadId = runningJob->threadId;
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
            if (runningJob)
                runningJob->job.Link().RequestStop(LinkStop::Cancel);
        } else {
            EndDialog(window, 0);
        }
        return TRUE;
    case IDC_SEND:
    case IDC_RESEND:
        if (!StartJob(window, LOWORD(wParam) == IDC_SEND ? SendJob : ResendJob))
            MessageBeep(MB_ICONWARNING); // a job runs, or the calculator is sending
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
    case WM_INITDIALOG: {
        mainWindow = window;
        const MainWindowStart* start = reinterpret_cast<const MainWindowStart*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(start->port));
        DragAcceptFiles(window, TRUE);
        MarkMainWindowOfPort(window);
        // The files of the command line go as one batch once the window is up, as a drop.
        if (start->startFiles)
            PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(start->startFiles), 0);
        StartListening(window);
        return TRUE;
    }
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
        // A listener that nothing has come to must not outlive the window it reports to.
        StopListening(window);
        return FALSE;
    case WM_COMMAND:
        return OnCommand(window, wParam);
    case WM_JOB_ENDED:
        if (runningJob && runningJob->number == wParam)
            FinishEndedJob(window);
        return TRUE;
    case WM_RECEIVE_STARTED:
        TakeReceiveStart(window);
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
    carriedStop = LinkStop::Closing;
    if (!workerThread)
        return true;
    runningJob->job.Link().RequestStop(LinkStop::Closing);
    if (!WaitForJobThread(waitMilliseconds))
        return false;
    CloseHandle(workerThread);
    workerThread = nullptr;
    runningJob.reset();
    return true;
}
