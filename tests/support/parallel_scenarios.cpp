#include "tests/support/parallel_scenarios.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {
struct Child {
    pid_t pid = -1;
    int output = -1;
    std::string report;
    bool ended = false; // its report is complete (end of file on the pipe)
};

// In the child: run the scenario with gtest's failures caught, write them to `output`, and
// leave without the parent's exit handlers.
[[noreturn]] void RunChild(const Scenario& scenario, int output) {
    testing::TestPartResultArray failures;
    {
        testing::ScopedFakeTestPartResultReporter catcher(
            testing::ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, &failures);
        scenario.body();
    }
    std::string report;
    for (int i = 0; i < failures.size(); ++i) {
        const testing::TestPartResult& failure = failures.GetTestPartResult(i);
        if (!failure.failed())
            continue;
        report += std::string(failure.file_name() ? failure.file_name() : "?") + ":" +
                  std::to_string(failure.line_number()) + ": " + failure.message() + "\n";
    }
    for (std::size_t sent = 0; sent < report.size();) {
        ssize_t n = write(output, report.data() + sent, report.size() - sent);
        if (n <= 0 && errno != EINTR)
            break;
        sent += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    _exit(0);
}

Child Launch(const Scenario& scenario) {
    Child child;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return child;
    child.pid = fork();
    if (child.pid < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return child;
    }
    if (child.pid == 0) {
        close(pipeEnds[0]);
        RunChild(scenario, pipeEnds[1]);
    }
    close(pipeEnds[1]);
    child.output = pipeEnds[0];
    return child;
}

// Reads what the children write until every pipe is closed or the deadline passes.
void Collect(std::vector<Child>& children, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        std::vector<pollfd> open;
        std::vector<Child*> owners;
        for (Child& child : children)
            if (child.output >= 0 && !child.ended) {
                open.push_back({child.output, POLLIN, 0});
                owners.push_back(&child);
            }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (open.empty() || left.count() <= 0)
            return;
        if (poll(open.data(), open.size(), static_cast<int>(left.count())) < 0 && errno != EINTR)
            return;
        for (std::size_t i = 0; i < open.size(); ++i) {
            if (!(open[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[512];
            ssize_t n = read(open[i].fd, buffer, sizeof buffer);
            if (n > 0)
                owners[i]->report.append(buffer, static_cast<std::size_t>(n));
            else if (n == 0 || errno != EINTR)
                owners[i]->ended = true;
        }
    }
}

// The child's exit, stopping it first if it is still running; empty when it ended cleanly.
std::string Reap(Child& child) {
    std::string trouble;
    if (!child.ended) {
        kill(child.pid, SIGKILL);
        trouble = "did not end in time";
    }
    int status = 0;
    while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (trouble.empty() && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
        trouble = WIFSIGNALED(status) ? "ended by signal " + std::to_string(WTERMSIG(status))
                                      : "exited with " + std::to_string(WEXITSTATUS(status));
    close(child.output);
    return trouble;
}
} // namespace

void RunScenariosInParallel(const std::vector<Scenario>& scenarios, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::vector<Child> children;
    for (const Scenario& scenario : scenarios)
        children.push_back(Launch(scenario));
    for (std::size_t i = 0; i < children.size(); ++i)
        if (children[i].pid < 0)
            ADD_FAILURE() << scenarios[i].name << ": could not start its process";
    Collect(children, deadline);
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (children[i].pid < 0)
            continue;
        std::string trouble = Reap(children[i]);
        if (!trouble.empty() || !children[i].report.empty())
            ADD_FAILURE() << scenarios[i].name << ": " << trouble << "\n" << children[i].report;
    }
}
