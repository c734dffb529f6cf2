// The simulated TI-85 as a program of its own, on a cable in shared memory, so that a PC
// program in another process (calquin.exe under Wine, through the serial-port guard) can send
// to it, or receive from it. It answers as a TI-85 in receive mode (or, with --send, sends
// variable files as a batch, as after the user's SEND), at a real one's pace unless told
// otherwise, can misbehave on request, writes what it received and the packet trace to a folder
// (tools/receipt.h) and ends after the ACK of an EOT or of a backup's last chunk, at its time
// limit, or on SIGINT/SIGTERM.
#include "sim/shared_cable.h"
#include "sim/simulated_ti85.h"
#include "sim/virtual_cable.h"
#include "tools/batch_files.h"
#include "tools/receipt.h"
#include "tools/ti85_options.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {
const char kUsage[] = "usage: ti85sim --cable <file> --out <folder> [options]\n"
                      "  --cable <file>         the shared cable; made when missing\n"
                      "  --out <folder>         where trace.txt, variables.txt, NN.* and "
                      "result.txt go\n"
                      "  --limit <seconds>      end at this time at the latest (default 60)\n"
                      "  --replug-after <ms>    after an unplug or the ON key, answer again this "
                      "much later\n"
                      "  --quiet                no receipt on standard output\n"
                      "  --send <file>...       send these variable files as one batch instead "
                      "of\n"
                      "                         receiving\n";

struct Settings {
    std::string cable;
    std::string folder;
    long limitSeconds = 60;
    long replugAfterMs = -1;
    bool quiet = false;
    std::vector<std::string> sendFiles;
    Ti85Options options;
};

// This program's own options; the number of arguments used, 0 when the option is not one.
int ParseOwnOption(const std::string& option, const char* value, Settings* settings) {
    if (option == "--quiet") {
        settings->quiet = true;
        return 1;
    }
    if (!value)
        return 0;
    if (option == "--cable")
        settings->cable = value;
    else if (option == "--out")
        settings->folder = value;
    else if (option == "--limit")
        return ParseCount(value, &settings->limitSeconds) ? 2 : 0;
    else if (option == "--replug-after")
        return ParseCount(value, &settings->replugAfterMs) ? 2 : 0;
    else
        return 0;
    return 2;
}

// --send takes the arguments up to the next option.
int ParseFiles(int argc, char** argv, int at, Settings* settings) {
    int used = 1;
    for (; at + used < argc && std::strncmp(argv[at + used], "--", 2) != 0; ++used)
        settings->sendFiles.push_back(argv[at + used]);
    return used > 1 ? used : 0;
}

bool Parse(int argc, char** argv, Settings* settings) {
    for (int i = 1; i < argc;) {
        std::string option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        int used = option == "--send" ? ParseFiles(argc, argv, i, settings)
                                      : ParseOwnOption(option, value, settings);
        if (used == 0)
            used = ParseTi85Option(option, value, &settings->options);
        if (used == 0)
            return false;
        i += used;
    }
    return !settings->cable.empty() && !settings->folder.empty();
}

// SIGINT and SIGTERM are taken from a wait, not by a handler: the main loop looks for them.
bool StopRequested(const sigset_t& stops, std::chrono::milliseconds wait) {
    timespec timeout{0, static_cast<long>(wait.count()) * 1000000L};
    return sigtimedwait(&stops, nullptr, &timeout) > 0;
}

// How the session ended, for result.txt and the exit code.
std::string Result(SimulatedTi85& ti85, bool sending, bool stopped, bool timedOut) {
    std::string failure = ti85.Failure();
    if (ti85.Done() && failure.empty() && sending)
        return "batch sent";
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
    const bool sending = !settings.options.send.empty();
    if (!settings.quiet)
        std::cout << "Simulated TI-85 " << (sending ? "sending" : "in receive mode") << " on "
                  << settings.cable << std::endl;

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
        if (settings.replugAfterMs >= 0 && ti85.Link().Silent()) {
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
    std::string result = Result(ti85, sending, stopped, timedOut);
    ti85.Stop();
    bool written = WriteReceipt(settings.folder, ti85.Packets(), ti85.Variables(), result);
    if (!settings.quiet && sending)
        std::cout << "Simulated TI-85: sent " << ti85.Delivered().size() << " of "
                  << settings.options.send.size() << " variable(s)\n  session: " << result << "\n";
    else if (!settings.quiet)
        PrintReceipt(std::cout, ti85.Variables(), ti85.EotCount(), result);
    return written && (result == "end of transmission" || result == "backup" ||
                       result == "batch sent" || result == "stopped");
}
} // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!Parse(argc, argv, &settings)) {
        std::cerr << kUsage << kTi85OptionsUsage;
        return 2;
    }
    for (const std::string& path : settings.sendFiles) {
        std::string problem;
        if (!AppendFileToBatch(path, &settings.options.send, &problem)) {
            std::cerr << "ti85sim: " << problem << "\n";
            return 2;
        }
    }
    if (!settings.sendFiles.empty() && settings.options.send.empty()) {
        std::cerr << "ti85sim: the files hold no variable to send\n";
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
