// A calculator end on its own thread, wired to the PC's line primitives through a fresh cable.
#pragma once

#include "sim/calculator_link.h"
#include "sim/virtual_cable.h"
#include "tests/support/test_calculator.h"

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

// Attaches a new cable to the line primitives, resets the job's link state and the port's
// records, and runs `script` against the calculator end on a thread of its own. The script's
// waits end at the deadline, and the destructor stops and joins it.
class CalculatorThread {
  public:
    explicit CalculatorThread(CalculatorLinkOptions options = TestCalculatorLink(),
                              std::chrono::seconds limit = std::chrono::seconds(20));
    ~CalculatorThread();

    void Run(std::function<void(CalculatorLink&)> script);
    // Waits (at most until the deadline) for the script to end; false if it did not.
    bool Join();

    VirtualCable& Cable() { return *cable; }
    CalculatorLink& Link() { return *link; }

  private:
    std::unique_ptr<VirtualCable> cable;
    std::unique_ptr<CalculatorLink> link;
    std::thread thread;
    std::atomic<bool> done{false};
    std::chrono::steady_clock::time_point deadline;
};
