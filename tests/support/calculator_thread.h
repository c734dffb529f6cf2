// A calculator end on its own thread, on a fresh cable whose other end is the PC of the test.
#pragma once

#include "sim/calculator_link.h"
#include "sim/virtual_cable.h"
#include "tests/support/test_calculator.h"
#include "tests/support/test_pc.h"

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

// Makes a new cable, the PC's end on it (with a fresh job) and the calculator's, and runs
// `script` against the calculator end on a thread of its own. The script's waits end at the
// deadline, and the destructor stops and joins it.
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
    TestPc& Pc() { return *pc; }
    // The PC's current job's link, and its line seam.
    JobLink& PcLink() { return pc->Link(); }
    VirtualLines& PcLines() { return pc->Lines(); }

  private:
    std::unique_ptr<VirtualCable> cable;
    std::unique_ptr<CalculatorLink> link;
    std::unique_ptr<TestPc> pc;
    std::thread thread;
    std::atomic<bool> done{false};
    std::chrono::steady_clock::time_point deadline;
};
