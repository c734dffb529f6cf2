// A Windows program run in the test's Wine session (tests/wine/session.sh), watched from the
// native test: its output goes to a file, its end is awaited with a deadline, and it is ended
// by its PID when a test gives up on it.
#pragma once

#include "tests/support/temporary_folder.h"

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

// The session's state folder, the Win32 build's folder and the source tree, as the build set
// them.
std::string WineSessionDirectory();
std::string Win32BuildFile(const std::string& relative);
std::string SourceFile(const std::string& relative);
// The session's X display (":N"), where its programs' windows are.
std::string WineSessionDisplay();
// 0 while the session's wineserver runs. Once it has gone: 1 for the first asker, with the
// whole story in `said`, and 77 (skip) for every later one, with one line.
int WineSessionAlive(std::string& said);

class WineRun {
  public:
    // Starts `command` (program and arguments) in the session with these extra environment
    // entries ("NAME=value") in `directory`, its output (stdout and stderr) in `outputPath`.
    // It runs in the UTF-8 locale a Linux desktop has, whatever the test's own locale.
    // With `input`/`output` descriptors, those become its standard input and output instead
    // (stderr still goes to `outputPath`).
    WineRun(const std::vector<std::string>& command, const std::vector<std::string>& environment,
            const std::string& directory, const std::string& outputPath,
            std::chrono::seconds limit = std::chrono::seconds(120), int input = -1,
            int output = -1);
    ~WineRun(); // ends the program if it still runs
    WineRun(const WineRun&) = delete;
    WineRun& operator=(const WineRun&) = delete;

    bool Started() const { return pid > 0; }
    // False when the program still runs at the deadline.
    bool Wait(std::chrono::steady_clock::time_point deadline);
    bool Running();
    // The exit code as Linux sees it (a Windows -1 reads as 255); -1 while running or killed.
    int ExitCode() const { return exitCode; }
    std::string Output() const;
    void Stop();

  private:
    void Reap(int status);

    pid_t pid = -1;
    int exitCode = -1;
    std::string outputPath;
};
