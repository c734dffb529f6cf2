#include "tests/support/link_watchdog.h"

LinkWatchdog::LinkWatchdog(TestPc& pc, std::chrono::seconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    thread = std::thread([this, &pc, deadline] {
        std::unique_lock<std::mutex> hold(lock);
        if (!ended.wait_until(hold, deadline, [this] { return finished; }))
            pc.RequestStop(LinkStop::Cancel);
    });
}

LinkWatchdog::~LinkWatchdog() {
    {
        std::lock_guard<std::mutex> hold(lock);
        finished = true;
    }
    ended.notify_all();
    thread.join();
}
