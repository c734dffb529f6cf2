#include "app/listen_job.h"

#include "app/main_window.h"
#include "app/save_received.h"
#include "app/transfer_jobs.h"
#include "transfer/batch_receiver.h"

#include <mmsystem.h>

#include <vector>

namespace {
// The wait for the calculator looks at the link between sleeps of a few milliseconds. Windows
// rounds a sleep up to its timer tick, 15.6 ms unless a program asks for finer, so the listener
// asks for 1 ms for as long as it runs.
class FineTimer {
  public:
    FineTimer() : fine(timeBeginPeriod(1) == TIMERR_NOERROR) { KeepFineWhenHidden(); }
    ~FineTimer() {
        if (fine)
            timeEndPeriod(1);
    }
    FineTimer(const FineTimer&) = delete;
    FineTimer& operator=(const FineTimer&) = delete;

  private:
    // Windows 11 ignores a hidden or minimized program's timer request unless it says that it
    // needs it. Looked up, since older systems (and Wine) may not have it.
    static void KeepFineWhenHidden() {
        struct PowerThrottling {
            ULONG version, controlMask, stateMask;
        };
        using SetInformation = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
        const int processPowerThrottling = 4;
        const ULONG ignoreTimerResolution = 0x4;
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        FARPROC found = kernel ? GetProcAddress(kernel, "SetProcessInformation") : nullptr;
        if (!found)
            return;
        PowerThrottling state{1, ignoreTimerResolution, 0};
        reinterpret_cast<SetInformation>(reinterpret_cast<void*>(found))(
            GetCurrentProcess(), processPowerThrottling, &state, sizeof state);
    }

    bool fine;
};

class WindowReceiver : public ReceivedVariables {
  public:
    explicit WindowReceiver(WindowJob& job) : job(job) {}

    void BatchStarted() override {
        job.calculatorSending = true;
        job.events.Shown();
        SendMessageA(mainWindow, WM_RECEIVE_STARTED, 0, 0);
    }
    void VariableReceived(const ReceivedEntry& entry) override { entries.push_back(entry); }

    std::vector<ReceivedEntry> entries;

  private:
    WindowJob& job;
};
} // namespace

DWORD WINAPI ListenJob(LPVOID windowJob) {
    WindowJob& job = *static_cast<WindowJob*>(windowJob);
    WindowReceiver receiver(job);
    {
        FineTimer timer;
        ReceiveBatch(job.job.Link(), receiver);
    }
    // A program that is closing asks nothing more.
    if (!receiver.entries.empty() && job.job.Link().StopRequest() != LinkStop::Closing)
        SaveReceived(receiver.entries);
    return EndJob(job);
}
