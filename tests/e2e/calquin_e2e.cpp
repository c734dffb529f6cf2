#include "tests/e2e/calquin_e2e.h"

#include "tools/receipt.h"
#include "tools/ti85_options.h"

#include "protocol/packet.h"
#include "sim/shared_cable.h"
#include "sim/virtual_cable.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {
const char kSettingsKey[] = "HKCU\\Software\\Morvane\\Calquin";
} // namespace

std::string TraceOf(const std::vector<PacketRecord>& packets) {
    std::string trace;
    for (const PacketRecord& packet : packets)
        trace += std::string(packet.direction == LinkDirection::PcToCalculator ? "PC:" : "TI:") +
                 CommandName(packet.command) + " ";
    return trace;
}

void CalquinE2eTest::SetUp() {
    std::string said;
    int alive = WineSessionAlive(said);
    if (alive == 77) {
        std::printf("%s", said.c_str()); // "skipped: ...", for the test command's summary
        GTEST_SKIP() << said;
    }
    ASSERT_EQ(alive, 0) << said;
    ASSERT_FALSE(folder.Path().empty());
    cable = MapSharedCable(folder.File("cable").c_str(), true);
    ASSERT_NE(cable, nullptr);
}

void CalquinE2eTest::TearDown() {
    driver.reset();
    if (program)
        program->Stop();
    program.reset();
    if (ti85)
        ti85->Stop();
    ti85.reset();
    if (com2Missing)
        MakeCom2Missing(false);
    UnmapSharedCable(cable);
}

std::string CalquinE2eTest::RunInSession(const std::vector<std::string>& command) {
    WineRun run(command, {}, folder.Path(), folder.File("session-command.log"),
                std::chrono::seconds(60));
    EXPECT_TRUE(run.Wait(SecondsFromNow(70)));
    return run.Output();
}

void CalquinE2eTest::ForgetSettings() {
    RunInSession({"reg", "delete", kSettingsKey, "/f"});
    EXPECT_EQ(StoredPort(), 0);
}

void CalquinE2eTest::StorePort(int port) {
    // Under Wine on a loaded machine the value has been seen not to read back after reg.exe
    // wrote it (as it was, or none), even after three writes; these tests are about the program,
    // so the value is written until it reads back, and what reg.exe said is kept for a failure.
    std::string said;
    const auto deadline = SecondsFromNow(30);
    for (int attempt = 0;
         attempt < 20 && StoredPort(&said) != port && std::chrono::steady_clock::now() < deadline;
         ++attempt)
        said += RunInSession({"reg", "add", kSettingsKey, "/v", "COMport", "/t", "REG_DWORD", "/d",
                              std::to_string(port), "/f"});
    EXPECT_EQ(StoredPort(&said), port) << said;
}

int CalquinE2eTest::StoredPort(std::string* said) {
    std::string output = RunInSession({"reg", "query", kSettingsKey, "/v", "COMport"});
    if (said)
        *said += output;
    std::size_t at = output.find("REG_DWORD");
    if (at == std::string::npos)
        return 0;
    at = output.find("0x", at);
    return at == std::string::npos ? 0 : static_cast<int>(std::stoul(output.substr(at), 0, 16));
}

void CalquinE2eTest::MakeCom2Missing(bool missing) {
    std::string log = folder.File("port.log");
    std::string command = "'" + SourceFile("tests/wine/session.sh") + "' port '" +
                          WineSessionDirectory() + "' 2 " + (missing ? "missing" : "pty") + " >'" +
                          log + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    com2Missing = missing;
}

void CalquinE2eTest::StartCalculator(Ti85Options options) {
    // The simulator's own options in CALQUIN_E2E_TI85 change every calculator of the suite, for
    // a run against a stricter one ("--hold 1000 --sample 100 --turnaround 1000").
    const char* stricter = std::getenv("CALQUIN_E2E_TI85");
    if (stricter) {
        ASSERT_TRUE(ParseTi85Options(stricter, &options)) << "CALQUIN_E2E_TI85: " << stricter;
    }
    options.link.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(150);
    ti85 = std::make_unique<SimulatedTi85>(*cable, options);
    ti85->Start();
}

std::unique_ptr<WineRun> CalquinE2eTest::StartCopy(const Launch& launch,
                                                   const std::string& logName) {
    std::vector<std::string> command = {Win32BuildFile("app/calquin.exe")};
    command.insert(command.end(), launch.arguments.begin(), launch.arguments.end());
    std::string device = WineSessionDirectory() + "/ports/com" + std::to_string(launch.cablePort);
    auto copy =
        std::make_unique<WineRun>(command,
                                  std::vector<std::string>{"CALQUIN_CABLE=" + folder.File("cable"),
                                                           "CALQUIN_CABLE_DEVICE=" + device},
                                  launch.directory.empty() ? folder.Path() : launch.directory,
                                  folder.File(logName), std::chrono::seconds(170));
    EXPECT_TRUE(copy->Started());
    return copy;
}

void CalquinE2eTest::StartProgram(const Launch& launch) {
    program = StartCopy(launch, "calquin.log");
}

GuiDriver& CalquinE2eTest::Driver() {
    if (!driver)
        driver = std::make_unique<GuiDriver>(folder.Path(), folder.File("driver.log"));
    return *driver;
}

std::string CalquinE2eTest::WriteFile(const std::string& name, const Bytes& contents) {
    std::ofstream out(folder.File(name), std::ios::binary);
    out.write(reinterpret_cast<const char*>(contents.data()),
              static_cast<std::streamsize>(contents.size()));
    return WindowsPath(name);
}

std::string CalquinE2eTest::WindowsPath(const std::string& name) {
    std::string path = "Z:" + folder.File(name);
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

void CalquinE2eTest::SendPicked(const std::string& names) {
    ASSERT_EQ(Ask("click main 102"), "ok");
    ASSERT_EQ(Ask("pick 20000 " + names), "ok");
}

void CalquinE2eTest::DropOnMainWindow(const std::vector<std::string>& paths) {
    std::string window = Ask("xid main");
    ASSERT_EQ(window.rfind("ok ", 0), 0u) << window;
    std::string command =
        "DISPLAY=" + WineSessionDisplay() + " '" + CALQUIN_E2E_XDND_DROP + "' " + window.substr(3);
    for (const std::string& path : paths)
        command += " '" + path + "'";
    command += " >>'" + folder.File("drop.log") + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

bool CalquinE2eTest::WaitForIdle(int seconds) {
    std::string limit = std::to_string(seconds * 1000);
    return Ask("enabled main 102 " + limit).rfind("ok", 0) == 0 &&
           Ask("until main 1 " + limit + " Close").rfind("ok", 0) == 0;
}

void CalquinE2eTest::CloseAndExpectExit(int code, int seconds) {
    ASSERT_EQ(Ask("click main 1"), "ok");
    ASSERT_TRUE(program->Wait(SecondsFromNow(seconds))) << "the program did not end";
    EXPECT_EQ(program->ExitCode(), code);
}

void CalquinE2eTest::ExpectReceived(const std::vector<TestVariable>& variables) {
    std::vector<ReceivedVariable> received = ti85->Variables();
    ASSERT_EQ(received.size(), variables.size());
    for (std::size_t i = 0; i < variables.size(); ++i) {
        EXPECT_EQ(received[i].header, variables[i].header) << "variable " << i;
        EXPECT_EQ(received[i].chunks, variables[i].chunks) << "variable " << i;
    }
}
