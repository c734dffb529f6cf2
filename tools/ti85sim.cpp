// The simulated TI-85 as a program of its own, on a cable in shared memory, so that a PC
// program in another process (calquin.exe under Wine, through the serial-port guard) can send
// to it. It answers as a TI-85 in receive mode, can misbehave on request, writes what it
// received to a folder (tools/receipt.h) and ends after the ACK of an EOT or of a backup's
// last chunk, at its time limit, or on SIGINT/SIGTERM.
#include "sim/shared_cable.h"
#include "sim/simulated_ti85.h"
#include "sim/virtual_cable.h"
#include "tools/receipt.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {
const char kUsage[] =
    "usage: ti85sim --cable <file> --out <folder> [options]\n"
    "  --cable <file>         the shared cable; made when missing\n"
    "  --out <folder>         where trace.txt, variables.txt, NN.* and result.txt go\n"
    "  --limit <seconds>      end at this time at the latest (default 60)\n"
    "  --skip <index>:<byte>  decline the index-th variable header (from 0) with this\n"
    "                         SKIP reason (1 exit, 2 skip, 3 memory full); repeatable\n"
    "  --reject <n>           answer the next n packets with a rejection, not an ACK\n"
    "  --unplug-at-byte <k>   let go of the wires at byte k of the link (from 0)\n"
    "  --replug-after <ms>    after an unplug, answer again this much later\n"
    "  --slow <us>            wait this long before every bit signal and acknowledgement\n"
    "  --keep-receiving       stay in receive mode after an EOT or a backup\n"
    "  --quiet                no receipt on standard output\n";

struct Settings {
    std::string cable;
    std::string folder;
    int limitSeconds = 60;
    long replugAfterMs = -1;
    bool quiet = false;
    Ti85Options options;
};

bool ParseNumber(const char* text, long* value) {
    char* end = nullptr;
    *value = std::strtol(text, &end, 0);
    return end != text && *end == '\0';
}

bool ParseSkip(const char* text, Ti85Options* options) {
    const char* colon = std::strchr(text, ':');
    long index = 0, reason = 0;
    if (!colon || !ParseNumber(std::string(text, colon).c_str(), &index) ||
        !ParseNumber(colon + 1, &reason) || index < 0 || reason < 0 || reason > 255)
        return false;
    options->skipReasons[static_cast<int>(index)] = static_cast<std::uint8_t>(reason);
    return true;
}

bool Parse(int argc, char** argv, Settings* settings) {
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        long number = 0;
        bool numeric = value && ParseNumber(value, &number) && number >= 0;
        if (option == "--quiet") {
            settings->quiet = true;
        } else if (option == "--keep-receiving") {
            settings->options.keepReceiving = true;
        } else if (!value) {
            return false;
        } else if (option == "--cable") {
            settings->cable = value;
        } else if (option == "--out") {
            settings->folder = value;
        } else if (option == "--skip") {
            if (!ParseSkip(value, &settings->options))
                return false;
        } else if (!numeric) {
            return false;
        } else if (option == "--limit") {
            settings->limitSeconds = static_cast<int>(number);
        } else if (option == "--reject") {
            settings->options.rejectPackets = static_cast<int>(number);
        } else if (option == "--unplug-at-byte") {
            settings->options.link.stopAtByte = number;
        } else if (option == "--replug-after") {
            settings->replugAfterMs = number;
        } else if (option == "--slow") {
            settings->options.link.bitDelay = std::chrono::microseconds(number);
        } else {
            return false;
        }
        if (option != "--quiet" && option != "--keep-receiving")
            ++i;
    }
    return !settings->cable.empty() && !settings->folder.empty();
}

// SIGINT and SIGTERM are taken from a wait, not by a handler: the main loop looks for them.
bool StopRequested(const sigset_t& stops, std::chrono::milliseconds wait) {
    timespec timeout{0, static_cast<long>(wait.count()) * 1000000L};
    return sigtimedwait(&stops, nullptr, &timeout) > 0;
}

// How the session ended, for result.txt and the exit code.
std::string Result(SimulatedTi85& ti85, bool stopped, bool timedOut) {
    std::string failure = ti85.Failure();
    if (ti85.Done() && failure.empty())
        return ti85.EotCount() > 0 ? "end of transmission" : "backup";
    if (stopped)
        return "stopped";
    if (timedOut)
        return "time limit";
    return failure;
}

// Runs the calculator until its session ends, the time limit, or a stop request; writes the
// receipt. True when the session ended as a session should (or was stopped on request).
bool Serve(VirtualCable& cable, Settings& settings, const sigset_t& stops) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(settings.limitSeconds);
    settings.options.link.deadline = deadline;
    SimulatedTi85 ti85(cable, settings.options);
    ti85.Start();
    if (!settings.quiet)
        std::cout << "Simulated TI-85 in receive mode on " << settings.cable << std::endl;

    bool stopped = false, timedOut = false;
    auto unpluggedSince = std::chrono::steady_clock::time_point::max();
    for (;;) {
        if (StopRequested(stops, std::chrono::milliseconds(20))) {
            stopped = true;
            break;
        }
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            timedOut = true;
            break;
        }
        if (settings.replugAfterMs >= 0 && ti85.Link().Unplugged()) {
            if (unpluggedSince == std::chrono::steady_clock::time_point::max())
                unpluggedSince = now;
            if (now - unpluggedSince >= std::chrono::milliseconds(settings.replugAfterMs)) {
                ti85.Replug();
                settings.replugAfterMs = -1; // the cable goes back in once
            }
            continue;
        }
        if (ti85.Done())
            break;
    }
    std::string result = Result(ti85, stopped, timedOut);
    ti85.Stop();
    bool written = WriteReceipt(settings.folder, ti85.Packets(), ti85.Variables(), result);
    if (!settings.quiet)
        PrintReceipt(std::cout, ti85.Variables(), ti85.EotCount(), result);
    return written &&
           (result == "end of transmission" || result == "backup" || result == "stopped");
}
} // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!Parse(argc, argv, &settings)) {
        std::cerr << kUsage;
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(settings.folder, error);
    bool exists = access(settings.cable.c_str(), F_OK) == 0;
    VirtualCable* cable = MapSharedCable(settings.cable.c_str(), !exists);
    if (!cable) {
        std::cerr << "ti85sim: cannot map the cable " << settings.cable << ": "
                  << std::strerror(errno) << "\n";
        return 2;
    }
    cable->calculator.Pull(0);

    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr); // before the calculator's thread exists

    bool ok = Serve(*cable, settings, stops);
    UnmapSharedCable(cable);
    return ok ? 0 : 1;
}
