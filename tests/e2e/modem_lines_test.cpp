// Wine's own serial driver, in a Windows process of the session, drives the shared-memory cable
// through the guard: the lines a Win32 program switches are the wires the calculator sees.
#include "sim/shared_cable.h"
#include "sim/virtual_cable.h"
#include "tests/e2e/wine_run.h"

#include <gtest/gtest.h>

namespace {
std::vector<std::string> CableEnvironment(const std::string& cablePath, int port) {
    return {"CALQUIN_CABLE=" + cablePath,
            "CALQUIN_CABLE_DEVICE=" + WineSessionDirectory() + "/ports/com" + std::to_string(port)};
}
} // namespace

TEST(ModemLines, EscapeCommFunctionAndGetCommModemStatusWorkTheSharedCable) {
    TemporaryFolder folder;
    VirtualCable* cable = MapSharedCable(folder.File("cable").c_str(), true);
    ASSERT_NE(cable, nullptr);
    cable->calculator.Pull(kRtsCtsWire);

    WineRun probe({Win32BuildFile("tests/e2e/modem_probe.exe"), "COM2"},
                  CableEnvironment(folder.File("cable"), 2), folder.Path(), folder.File("output"));
    ASSERT_TRUE(probe.Wait(SecondsFromNow(60))) << probe.Output();
    EXPECT_EQ(probe.ExitCode(), 0);
    // The PC's own pull shows in its reading (wired AND); the calculator holds RTS/CTS low.
    EXPECT_EQ(probe.Output(), "dcb read\n"
                              "initial cts=0 dsr=1\n"
                              "CLRDTR cts=0 dsr=0\n"
                              "CLRRTS cts=0 dsr=0\n"
                              "SETDTR cts=0 dsr=1\n"
                              "SETRTS cts=0 dsr=1\n"
                              "CLRDTR cts=0 dsr=0\n");
    EXPECT_EQ(cable->pc.Pulled(), kDtrDsrWire);
    // The five changes reached the wires in order, and nothing else did.
    const std::vector<std::uint8_t> changes = {kDtrDsrWire, kBothWires, kRtsCtsWire, 0,
                                               kDtrDsrWire};
    ASSERT_EQ(cable->pcChanges.Changes(), changes.size());
    for (std::size_t i = 0; i < changes.size(); ++i)
        EXPECT_EQ(cable->pcChanges.PullsOfChange(i), changes[i]) << "change " << i;
    UnmapSharedCable(cable);
}

TEST(ModemLines, OnlyTheCableDeviceHasLines) {
    TemporaryFolder folder;
    VirtualCable* cable = MapSharedCable(folder.File("cable").c_str(), true);
    ASSERT_NE(cable, nullptr);

    WineRun probe({Win32BuildFile("tests/e2e/modem_probe.exe"), "COM3"},
                  CableEnvironment(folder.File("cable"), 2), folder.Path(), folder.File("output"));
    ASSERT_TRUE(probe.Wait(SecondsFromNow(60))) << probe.Output();
    EXPECT_EQ(probe.ExitCode(), 1);
    EXPECT_NE(probe.Output().find("initial status-failed"), std::string::npos) << probe.Output();
    EXPECT_EQ(cable->pc.Pulled(), 0);
    EXPECT_EQ(cable->pcChanges.Changes(), 0u);
    UnmapSharedCable(cable);
}
