#include "tests/cli/cli_harness.h"

#include "sim/shared_cable.h"
#include "sim/virtual_cable.h"

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdlib.h>
#include <thread>
#include <unistd.h>

namespace {
std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

Bytes ReadBytes(const std::string& path) {
    std::string text = ReadText(path);
    return Bytes(text.begin(), text.end());
}

std::string Numbered(std::size_t index) {
    return (index < 10 ? "0" : "") + std::to_string(index);
}
} // namespace

void CliTest::SetUp() {
    ASSERT_FALSE(folder.Path().empty());
    portMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(portMaster, 0);
    ASSERT_EQ(grantpt(portMaster), 0);
    ASSERT_EQ(unlockpt(portMaster), 0);
    portDevice = ptsname(portMaster);
    ASSERT_EQ(portDevice.rfind("/dev/pts/", 0), 0u) << portDevice;
    cable = MapSharedCable(folder.File("cable").c_str(), true);
    ASSERT_NE(cable, nullptr);
}

void CliTest::TearDown() {
    if (calculator)
        StopCalculator();
    // The guard refused nothing: no run tried to reach a serial device of the machine.
    std::string guardLog = ReadText(folder.File("guard.log"));
    EXPECT_EQ(guardLog.find("refused"), std::string::npos) << guardLog;
    UnmapSharedCable(cable);
    if (portMaster >= 0)
        close(portMaster);
}

void CliTest::WriteFile(const std::string& name, const Bytes& contents) {
    std::ofstream out(folder.File(name), std::ios::binary);
    out.write(reinterpret_cast<const char*>(contents.data()),
              static_cast<std::streamsize>(contents.size()));
}

void CliTest::StartCalculator(const std::vector<std::string>& options) {
    std::vector<std::string> command = {CALQUIN_CLI_SIMULATOR,
                                        "--cable",
                                        folder.File("cable"),
                                        "--out",
                                        folder.File("receipt"),
                                        "--limit",
                                        "90",
                                        "--quiet"};
    command.insert(command.end(), options.begin(), options.end());
    ChildOptions childOptions;
    childOptions.environment = {"PATH=/usr/bin:/bin"};
    calculator = std::make_unique<ChildProcess>(command, childOptions);
    ASSERT_TRUE(calculator->Started());
    calculatorResult.clear();
}

std::string CliTest::CalculatorResult(int seconds) {
    if (calculator && !calculator->Wait(SecondsFromNow(seconds)))
        return StopCalculator() + " (at the test's deadline)";
    return CalculatorEnded();
}

std::string CliTest::StopCalculator() {
    if (calculator) {
        calculator->Signal(SIGTERM);
        EXPECT_TRUE(calculator->Wait(SecondsFromNow(20)));
    }
    return CalculatorEnded();
}

std::string CliTest::CalculatorEnded() {
    if (calculator) {
        EXPECT_EQ(calculator->Output(), "");
        calculator.reset();
        std::string result = ReadText(folder.File("receipt/result.txt"));
        calculatorResult = result.substr(0, result.find('\n'));
    }
    return calculatorResult;
}

Bytes CliTest::FileBytes(const std::string& name) const {
    return ReadBytes(folder.File(name));
}

std::string CliTest::Trace() const {
    std::istringstream lines(ReadText(folder.File("receipt/trace.txt")));
    std::string trace, direction, command, rest;
    while (lines >> direction >> command && std::getline(lines, rest))
        trace += direction + ":" + command + " ";
    return trace;
}

void CliTest::ExpectReceived(const std::vector<TestVariable>& variables) const {
    std::string summary = ReadText(folder.File("receipt/variables.txt"));
    ASSERT_EQ(static_cast<std::size_t>(std::count(summary.begin(), summary.end(), '\n')),
              variables.size())
        << summary;
    for (std::size_t i = 0; i < variables.size(); ++i) {
        std::string stem = folder.File("receipt/" + Numbered(i));
        EXPECT_EQ(ReadBytes(stem + ".header"), variables[i].header) << "variable " << i;
        if (variables[i].chunks.size() == 1) {
            EXPECT_EQ(ReadBytes(stem + ".data"), variables[i].chunks[0]) << "variable " << i;
            continue;
        }
        for (std::size_t chunk = 0; chunk < variables[i].chunks.size(); ++chunk)
            EXPECT_EQ(ReadBytes(stem + ".chunk" + std::to_string(chunk + 1)),
                      variables[i].chunks[chunk])
                << "variable " << i << " chunk " << chunk + 1;
    }
}

std::unique_ptr<ChildProcess> CliTest::StartCalquin(const std::vector<std::string>& arguments,
                                                    bool onTerminal,
                                                    const std::vector<std::string>& environment,
                                                    int runAsUser) {
    std::vector<std::string> command = {CALQUIN_CLI_PROGRAM};
    command.insert(command.end(), arguments.begin(), arguments.end());
    ChildOptions options;
    // The test's own entries first: the first of two equal names is the one that counts.
    options.environment = environment;
    std::vector<std::string> ours = {"PATH=/usr/bin:/bin", "LD_PRELOAD=" CALQUIN_CLI_GUARD,
                                     "CALQUIN_GUARD_LOG=" + folder.File("guard.log"),
                                     "CALQUIN_CABLE=" + folder.File("cable"),
                                     "CALQUIN_CABLE_DEVICE=" + portDevice};
    options.environment.insert(options.environment.end(), ours.begin(), ours.end());
    options.directory = runAsUser >= 0 ? "/" : folder.Path();
    options.onTerminal = onTerminal;
    options.runAsUser = runAsUser;
    auto program = std::make_unique<ChildProcess>(command, options);
    EXPECT_TRUE(program->Started());
    return program;
}

int CliTest::RunCalquin(const std::vector<std::string>& arguments,
                        const std::vector<std::string>& environment) {
    std::unique_ptr<ChildProcess> program = StartCalquin(arguments, false, environment);
    EXPECT_TRUE(program->Wait(SecondsFromNow(90))) << "calquin did not end";
    output = program->Output();
    return program->ExitCode();
}

bool CliTest::WaitUntilAWireIsPulled(int seconds) {
    auto deadline = SecondsFromNow(seconds);
    while (cable->pc.Pulled() == 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
