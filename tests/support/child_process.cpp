#include "tests/support/child_process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(&text[0]);
    pointers.push_back(nullptr);
    return pointers;
}

// In the child, between fork and exec: only calls that are safe there.
[[noreturn]] void Become(int outputEnd, const ChildOptions& options, char** argv, char** envp) {
    int input = open("/dev/null", O_RDONLY);
    dup2(input, 0);
    dup2(outputEnd, 1);
    dup2(outputEnd, 2);
    if (options.onTerminal)
        setsid(); // the terminal is not the test's: no signal of it reaches the test
    if (chdir(options.directory.c_str()) != 0)
        _exit(126);
    if (options.runAsUser >= 0 && (setgroups(0, nullptr) != 0 || setgid(options.runAsUser) != 0 ||
                                   setuid(options.runAsUser) != 0))
        _exit(126);
    execve(argv[0], argv, envp);
    _exit(127);
}
} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& command, const ChildOptions& options) {
    std::vector<std::string> arguments = command, environment = options.environment;
    std::vector<char*> argv = Pointers(arguments), envp = Pointers(environment);
    int readEnd = -1, writeEnd = -1;
    if (options.onTerminal) {
        winsize size{};
        size.ws_row = 24;
        size.ws_col = 80;
        if (openpty(&readEnd, &writeEnd, nullptr, nullptr, &size) != 0)
            return;
    } else {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0)
            return;
        readEnd = ends[0];
        writeEnd = ends[1];
    }
    fcntl(readEnd, F_SETFD, FD_CLOEXEC);
    fcntl(writeEnd, F_SETFD, FD_CLOEXEC);
    pid = fork();
    if (pid == 0)
        Become(writeEnd, options, argv.data(), envp.data());
    close(writeEnd);
    if (pid < 0) {
        close(readEnd);
        return;
    }
    reader = std::thread(&ChildProcess::Read, this, readEnd);
}

ChildProcess::~ChildProcess() {
    if (Running()) {
        kill(pid, SIGKILL);
        Wait(Clock::now() + std::chrono::seconds(10));
    }
    if (reader.joinable())
        reader.join();
}

void ChildProcess::Read(int from) {
    char buffer[4096];
    for (;;) {
        ssize_t got = read(from, buffer, sizeof buffer);
        if (got <= 0 && errno == EINTR)
            continue;
        std::lock_guard<std::mutex> hold(outputLock);
        if (got <= 0) { // the pipe's end, or EIO once a terminal's last writer has gone
            outputEnded = true;
            outputChanged.notify_all();
            break;
        }
        output.append(buffer, static_cast<std::size_t>(got));
        outputChanged.notify_all();
    }
    close(from);
}

bool ChildProcess::Running() {
    if (pid <= 0)
        return false;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) != pid)
        return true;
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid = 0;
    return false;
}

bool ChildProcess::Wait(Clock::time_point deadline) {
    while (Running()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // And its output read to the end, so that Output() is whole.
    std::unique_lock<std::mutex> hold(outputLock);
    return outputChanged.wait_until(hold, deadline, [&] { return outputEnded; });
}

void ChildProcess::Signal(int signal) {
    if (Running())
        kill(pid, signal);
}

std::string ChildProcess::Output() {
    std::lock_guard<std::mutex> hold(outputLock);
    return output;
}

bool ChildProcess::WaitForOutput(const std::function<bool(const std::string&)>& condition,
                                 Clock::time_point deadline) {
    std::unique_lock<std::mutex> hold(outputLock);
    return outputChanged.wait_until(hold, deadline, [&] {
        return condition(output) || outputEnded;
    }) && condition(output);
}

bool ChildProcess::WaitForOutput(const std::string& text, Clock::time_point deadline) {
    return WaitForOutput(
        [&](const std::string& output) { return output.find(text) != std::string::npos; },
        deadline);
}
