// A packet's first wait for a calculator that does not answer (not yet in receive mode), and the
// wait for a calculator to begin sending (listening): the share of one processor that the
// waiting program uses, over the whole wait and once the wait has settled, and the status reads
// it makes per second then (100 a second or more: a look at least every 10 ms on average).
// Usage: wait_bench [seconds, default 5]
#include "link/link_byte.h"
#include "tests/support/calculator_thread.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Sample {
    Clock::time_point wall;
    double cpu;
    std::uint64_t reads;
};

Sample Take(VirtualLines& lines) {
    return {Clock::now(), ProcessCpuSeconds(), lines.Counts().reads};
}

void Report(const char* label, const Sample& from, const Sample& to) {
    const double seconds = std::chrono::duration<double>(to.wall - from.wall).count();
    std::printf("%-34s %6.1f %% of a core  %9.0f status reads/s  (%.2f s)\n", label,
                100.0 * (to.cpu - from.cpu) / seconds,
                static_cast<double>(to.reads - from.reads) / seconds, seconds);
}

// Runs `wait` on a fresh job of `nobody` for `seconds`, sampling it from outside, then cancels
// it (past the Cancel grace, so at once); false when it did not end as cancelled.
template <typename Wait>
bool Measure(const char* title, CalculatorThread& nobody, int seconds, Wait wait) {
    JobLink& link = nobody.Pc().NewJob().Link();
    VirtualLines& lines = nobody.PcLines();
    const Sample start = Take(lines);
    Sample settled{};
    std::thread watcher([&] {
        std::this_thread::sleep_until(start.wall + std::chrono::seconds(1));
        settled = Take(lines);
        std::this_thread::sleep_until(start.wall + std::chrono::seconds(seconds));
        link.RequestStop(LinkStop::Cancel);
    });
    wait(link);
    const Sample end = Take(lines);
    watcher.join();
    std::printf("%s, nobody sending or answering (%d s):\n", title, seconds);
    Report("  whole wait", start, end);
    Report("  from its second second on", settled, end);
    const bool stopped = link.Outcome() == LinkOutcome::StopRequested;
    if (!stopped)
        std::printf("  the wait did not end as cancelled\n");
    return stopped;
}
} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    if (seconds < 2) {
        std::fprintf(stderr, "usage: wait_bench [seconds, at least 2]\n");
        return 2;
    }
    CalculatorThread nobody; // a cable with no calculator answering on it
    bool stopped = Measure("A packet's first wait", nobody, seconds, [](JobLink& link) {
        SendLinkByte(link, 0x05, ByteStart::PacketForAPerson);
    });
    stopped = Measure("Listening for the calculator", nobody, seconds,
                      [](JobLink& link) { ReceiveLinkByte(link, ByteStart::Listen); }) &&
              stopped;
    return stopped ? 0 : 1;
}
