// A program run by a test: its standard output and error captured by a thread of its own (from
// a pipe, or from a pseudo-terminal when the program must see a terminal), waited for with a
// deadline, signalled and, when a test gives up on it, ended by its PID.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

struct ChildOptions {
    std::vector<std::string> environment; // the whole environment, "NAME=value"
    std::string directory = "/";
    bool onTerminal = false; // stdout and stderr on a pseudo-terminal of 80 columns
    int runAsUser = -1;      // switch to this user and group id (as root) before the program
};

class ChildProcess {
  public:
    using Clock = std::chrono::steady_clock;

    ChildProcess(const std::vector<std::string>& command, const ChildOptions& options);
    ~ChildProcess(); // ends the program (SIGKILL) if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid > 0; }
    // False when the program still runs at the deadline (or its output has not ended by then).
    bool Wait(Clock::time_point deadline);
    // The exit status; 128 + n when a signal n ended it; -1 while it runs.
    int ExitCode() const { return exitCode; }
    void Signal(int signal);

    // Everything the program wrote so far, stdout and stderr as they came.
    std::string Output();
    // Waits until the output satisfies `condition`; false at the deadline or when the program
    // ended first (and its output never did).
    bool WaitForOutput(const std::function<bool(const std::string&)>& condition,
                       Clock::time_point deadline);
    bool WaitForOutput(const std::string& text, Clock::time_point deadline);

  private:
    void Read(int from);
    bool Running();

    pid_t pid = -1;
    int exitCode = -1;
    std::thread reader;
    std::mutex outputLock;
    std::condition_variable outputChanged;
    std::string output;
    bool outputEnded = false;
};
