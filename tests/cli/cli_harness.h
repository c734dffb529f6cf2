// One end-to-end case of the Linux program: a folder with the test's files, a pseudo-terminal
// that stands in for the serial port (the test holds its master), a shared cable whose PC end
// the serial-port guard (LD_PRELOAD) gives that terminal as its modem lines, the standalone
// simulated TI-85 (tools/ti85sim) on the cable's other end, and calquin runs. No run ever
// reaches a serial device of the machine: every calquin carries the guard, and the guard's log
// must show nothing refused.
#pragma once

#include "tests/support/child_process.h"
#include "tests/support/temporary_folder.h"
#include "tests/transfer/test_variables.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

struct VirtualCable;

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::string Port() const { return portDevice; }
    VirtualCable& Cable() { return *cable; }
    int PortTerminal() const { return portMaster; }

    // Writes a file into the test's folder, the folder calquin runs in; reads one back.
    void WriteFile(const std::string& name, const Bytes& contents);
    Bytes FileBytes(const std::string& name) const;

    // The simulated TI-85 with these extra ti85sim options; it ends its session by itself.
    void StartCalculator(const std::vector<std::string>& options = {});
    // Waits until the calculator's session has ended (or stops it at the deadline); its result.
    std::string CalculatorResult(int seconds = 60);
    // Stops a calculator that waits for more; its result.
    std::string StopCalculator();
    std::string Trace() const;
    // What the calculator received is exactly these variables, in this order.
    void ExpectReceived(const std::vector<TestVariable>& variables) const;

    // calquin with these arguments, on the test's port unless told otherwise. The environment
    // is built from nothing (no CALQUIN_PORT of the caller's) plus `environment`.
    std::unique_ptr<ChildProcess> StartCalquin(const std::vector<std::string>& arguments,
                                               bool onTerminal = false,
                                               const std::vector<std::string>& environment = {},
                                               int runAsUser = -1);
    // Runs calquin to its end; its exit status, and its output in `output`.
    int RunCalquin(const std::vector<std::string>& arguments,
                   const std::vector<std::string>& environment = {});
    // Waits until calquin holds a wire low: it is waiting for the calculator's answer to a bit.
    bool WaitUntilAWireIsPulled(int seconds);

    TemporaryFolder folder;
    std::string output;

  private:
    // The result of a calculator that has ended, once; then the same again.
    std::string CalculatorEnded();

    int portMaster = -1;
    std::string portDevice;
    VirtualCable* cable = nullptr;
    std::unique_ptr<ChildProcess> calculator;
    std::string calculatorResult;
};
