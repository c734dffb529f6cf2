#include "tests/e2e/gui_driver.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

GuiDriver::GuiDriver(const std::string& directory, const std::string& logPath) {
    int commands[2], answers[2];
    if (pipe2(commands, O_CLOEXEC) != 0)
        return;
    if (pipe2(answers, O_CLOEXEC) != 0) {
        close(commands[0]);
        close(commands[1]);
        return;
    }
    run = std::make_unique<WineRun>(
        std::vector<std::string>{Win32BuildFile("tests/e2e/calquin_driver.exe")},
        std::vector<std::string>{}, directory, logPath, std::chrono::seconds(600), commands[0],
        answers[1]);
    close(commands[0]);
    close(answers[1]);
    toDriver = commands[1];
    fromDriver = answers[0];
}

GuiDriver::~GuiDriver() {
    if (toDriver >= 0) {
        Ask("quit", std::chrono::seconds(1));
        close(toDriver);
    }
    if (run && !run->Wait(SecondsFromNow(10)))
        run->Stop();
    if (fromDriver >= 0)
        close(fromDriver);
}

std::string GuiDriver::Ask(const std::string& command, std::chrono::seconds limit) {
    if (toDriver < 0)
        return "no driver";
    std::string line = command + "\n";
    if (write(toDriver, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        return "no driver";
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        std::size_t end = buffered.find('\n');
        if (end != std::string::npos) {
            std::string answer = buffered.substr(0, end);
            buffered.erase(0, end + 1);
            if (!answer.empty() && answer.back() == '\r')
                answer.pop_back();
            return answer;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return "no answer";
        pollfd ready{fromDriver, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char chunk[4096];
        ssize_t count = read(fromDriver, chunk, sizeof chunk);
        if (count <= 0)
            return "no answer";
        buffered.append(chunk, static_cast<std::size_t>(count));
    }
}
