// One end-to-end case: a folder with the test's files, a shared cable, the simulated TI-85 on
// its far end, calquin.exe in the Wine session on COM2 (a pseudo-terminal whose modem lines are
// the cable's PC end, through the guard), and the GUI driver. Everything started is stopped at
// the end of the test.
#pragma once

#include "sim/simulated_ti85.h"
#include "tests/support/test_calculator.h"
#include "tests/e2e/gui_driver.h"
#include "tests/e2e/wine_run.h"
#include "tests/transfer/sample_files.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// A variable as the file holds it and as the calculator must receive it: the VAR payload and
// the DATA payload (three chunks for a backup).
struct TestVariable {
    Bytes header;
    std::vector<Bytes> chunks;
};
TestVariable Variable(const std::string& name, std::size_t size, std::uint8_t seed = 0);
TestVariable Backup(std::size_t size1, std::size_t size2, std::size_t size3);
Bytes FileOf(const std::vector<TestVariable>& variables);

// The packets of the calculator's session, "PC:VAR TI:ACK ..." (commands by name, others in
// hex), and the pieces an expected session is made of.
std::string TraceOf(const std::vector<PacketRecord>& packets);
std::string Taken();       // VAR, ACK, CTS, ACK, DATA, ACK
std::string Declined();    // VAR, ACK, SKIP, ACK
std::string TakenBackup(); // VAR, ACK, CTS, ACK, then DATA, ACK three times
std::string EndOfTransmission();

class CalquinE2eTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The program's settings in the session's registry.
    void ForgetSettings();
    void StorePort(int port);
    int StoredPort(); // 0 when no value is stored
    // Points COM2 of the session at a path that does not exist, or back at its device.
    void MakeCom2Missing(bool missing);

    void StartCalculator(Ti85Options options = TestTi85());
    SimulatedTi85& Calculator() { return *ti85; }
    VirtualCable& Cable() { return *cable; }
    void StartProgram();
    WineRun& Program() { return *program; }
    GuiDriver& Driver();
    std::string Ask(const std::string& command) { return Driver().Ask(command); }

    // Writes a file into the test's folder (the program's current folder); its Windows path.
    std::string WriteFile(const std::string& name, const Bytes& contents);
    // Presses Send... and picks `names` in the open-file dialog (one Windows path, or bare
    // names in quotes, as a user types them).
    void SendPicked(const std::string& names);
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
