#include "tests/e2e/wine_run.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

std::string WineSessionDirectory() {
    return CALQUIN_E2E_SESSION;
}
std::string Win32BuildFile(const std::string& relative) {
    return std::string(CALQUIN_E2E_WIN32_BUILD) + "/" + relative;
}
std::string SourceFile(const std::string& relative) {
    return std::string(CALQUIN_E2E_SOURCE) + "/" + relative;
}

std::string WineSessionDisplay() {
    std::ifstream file(WineSessionDirectory() + "/display");
    std::string number;
    file >> number;
    return ":" + number;
}

int WineSessionAlive(std::string& said) {
    std::string command =
        "'" + SourceFile("tests/wine/session.sh") + "' alive '" + WineSessionDirectory() + "' 2>&1";
    said.clear();
    FILE* answer = popen(command.c_str(), "r");
    if (!answer)
        return 1;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, answer))
        said += buffer;
    int status = pclose(answer);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

namespace {
bool IsLocaleEntry(const std::string& entry) {
    return entry.rfind("LANG=", 0) == 0 || entry.rfind("LANGUAGE=", 0) == 0 ||
           entry.rfind("LC_", 0) == 0;
}
} // namespace

WineRun::WineRun(const std::vector<std::string>& command,
                 const std::vector<std::string>& environment, const std::string& directory,
                 const std::string& outputPath, std::chrono::seconds limit, int input, int output)
    : outputPath(outputPath) {
    std::vector<std::string> arguments = {SourceFile("tests/wine/session.sh"), "run",
                                          WineSessionDirectory(), "--timeout",
                                          std::to_string(limit.count())};
    arguments.insert(arguments.end(), command.begin(), command.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    std::vector<std::string> entries = environment;
    entries.insert(entries.end(), {"LANG=C.UTF-8", "LC_ALL=C.UTF-8"});
    for (char** entry = environ; *entry; ++entry)
        if (!IsLocaleEntry(*entry))
            entries.push_back(*entry);
    std::vector<char*> envp;
    for (std::string& entry : entries)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (output >= 0)
        posix_spawn_file_actions_adddup2(&actions, output, 1);
    else
        posix_spawn_file_actions_adddup2(&actions, 2, 1);
    if (input >= 0)
        posix_spawn_file_actions_adddup2(&actions, input, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
}

WineRun::~WineRun() {
    Stop();
}

void WineRun::Reap(int status) {
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid = 0;
}

bool WineRun::Running() {
    if (pid <= 0)
        return false;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
        Reap(status);
        return false;
    }
    return true;
}

bool WineRun::Wait(std::chrono::steady_clock::time_point deadline) {
    while (Running()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void WineRun::Stop() {
    if (!Running())
        return;
    // The runner is `timeout`, which passes the signal on to the Wine program.
    kill(pid, SIGTERM);
    if (!Wait(SecondsFromNow(10)) && pid > 0) {
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        pid = 0;
    }
    exitCode = -1;
}

std::string WineRun::Output() const {
    std::ifstream file(outputPath);
    std::stringstream text;
    text << file.rdbuf();
    // Windows console programs end their lines with CR LF.
    std::string output = text.str();
    output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
    return output;
}
