// The native end of calquin_driver.exe (tests/e2e/calquin_driver.cpp): one command line out,
// one answer line back, each answer awaited with a deadline.
#pragma once

#include "tests/e2e/wine_run.h"

#include <chrono>
#include <memory>
#include <string>

class GuiDriver {
  public:
    // Starts the driver in the session; its diagnostics go to `logPath`.
    GuiDriver(const std::string& directory, const std::string& logPath);
    ~GuiDriver();
    GuiDriver(const GuiDriver&) = delete;
    GuiDriver& operator=(const GuiDriver&) = delete;

    // The answer to `command`, or "no answer" when none came within `limit`. The commands
    // carry their own waits in milliseconds; `limit` bounds the whole exchange.
    std::string Ask(const std::string& command,
                    std::chrono::seconds limit = std::chrono::seconds(90));

  private:
    int toDriver = -1;
    int fromDriver = -1;
    std::string buffered;
    std::unique_ptr<WineRun> run;
};
