// One end-to-end case: a folder with the test's files, a shared cable, the simulated TI-85 on
// its far end, calquin.exe in the Wine session on COM2 (a pseudo-terminal whose modem lines are
// the cable's PC end, through the guard), and the GUI driver. Everything started is stopped at
// the end of the test.
#pragma once

#include "sim/simulated_ti85.h"
#include "tests/support/test_calculator.h"
#include "tests/e2e/gui_driver.h"
#include "tests/e2e/wine_run.h"
#include "tests/transfer/test_variables.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// The packets of the calculator's session, "PC:VAR TI:ACK ..." (commands by name, others in
// hex).
std::string TraceOf(const std::vector<PacketRecord>& packets);

// How calquin.exe is started: the port whose device carries the cable, its arguments, and its
// current folder (the test's folder when empty).
struct ProgramLaunch {
    int cablePort = 2;
    std::vector<std::string> arguments;
    std::string directory;
};

class CalquinE2eTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The program's settings in the session's registry.
    void ForgetSettings();
    void StorePort(int port);
    int StoredPort(std::string* said = nullptr); // 0 when none is stored; `said`: reg's output
    // Points COM2 of the session at a path that does not exist, or back at its device.
    void MakeCom2Missing(bool missing);

    void StartCalculator(Ti85Options options = TestTi85());
    SimulatedTi85& Calculator() { return *ti85; }
    VirtualCable& Cable() { return *cable; }

    using Launch = ProgramLaunch;
    void StartProgram(const Launch& launch = {});
    // One more copy beside the program; its output goes to `logName` in the test's folder.
    std::unique_ptr<WineRun> StartCopy(const Launch& launch, const std::string& logName);
    WineRun& Program() { return *program; }
    GuiDriver& Driver();
    std::string Ask(const std::string& command) { return Driver().Ask(command); }

    // Writes a file into the test's folder (the program's current folder); its Windows path.
    std::string WriteFile(const std::string& name, const Bytes& contents);
    // The Windows path of a file in the test's folder.
    std::string WindowsPath(const std::string& name);
    // Presses Send... and picks `names` in the open-file dialog (one Windows path, or bare
    // names in quotes, as a user types them).
    void SendPicked(const std::string& names);
    // Drops these files (Linux paths) on the main window as a Linux file manager does: XDND,
    // which Wine's X11 driver turns into WM_DROPFILES.
    void DropOnMainWindow(const std::vector<std::string>& paths);
    // The job has ended: Send... enabled again and the button reading "Close".
    bool WaitForIdle(int seconds);
    // Close pressed with no job: the program ends with this exit code within the time.
    void CloseAndExpectExit(int code, int seconds = 20);
    void ExpectReceived(const std::vector<TestVariable>& variables);
    std::string Trace() { return TraceOf(ti85->Packets()); }

    TemporaryFolder folder;

  private:
    std::string RunInSession(const std::vector<std::string>& command);

    VirtualCable* cable = nullptr;
    std::unique_ptr<SimulatedTi85> ti85;
    std::unique_ptr<WineRun> program;
    std::unique_ptr<GuiDriver> driver;
    bool com2Missing = false;
};
