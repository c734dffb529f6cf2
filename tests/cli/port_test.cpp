// What calquin says about its command line and about ports it cannot use; none of these runs
// opens a device to find out what exists.
#include "tests/cli/cli_harness.h"

#include "sim/virtual_cable.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kNobody = 65534;

bool ListsSerialDevices(const std::string& text) {
    return text.find("\nSerial devices on this machine:\n") != std::string::npos ||
           text.find("\nNo serial device was found on this machine.\n") != std::string::npos;
}
} // namespace

TEST_F(CliTest, HelpVersionAndUsageErrors) {
    EXPECT_EQ(RunCalquin({"--version"}), 0);
    EXPECT_EQ(output, "calquin " CALQUIN_CLI_VERSION "\n");
    EXPECT_EQ(RunCalquin({"--help"}), 0);
    EXPECT_EQ(output.rfind("Usage: calquin [--port DEVICE] FILE...\n", 0), 0u) << output;
    for (const char* line :
         {"\n  3    the calculator stopped answering, or stopped sending mid-batch",
          "a wire is not carried\n", "\n      --check        check the port instead",
          "\n  -r, --receive      wait for the calculator to send", "\n  130  stopped with Ctrl-C",
          "the most serious wins: 130, then 4, 3, 2, 1.\n"})
        EXPECT_NE(output.find(line), std::string::npos) << line;

    EXPECT_EQ(RunCalquin({"a.85p"}), 64);
    EXPECT_EQ(output.rfind("calquin: no serial device: give --port DEVICE or set CALQUIN_PORT\n"
                           "Usage: calquin [--port DEVICE] FILE...\n",
                           0),
              0u)
        << output;
    EXPECT_TRUE(ListsSerialDevices(output)) << output;
    EXPECT_EQ(RunCalquin({"--port", Port(), "--fast"}), 64);
    EXPECT_EQ(output, "calquin: unknown option --fast\ncalquin: no file to send\n"
                      "Usage: calquin [--port DEVICE] FILE...\n"
                      "       calquin --receive [--port DEVICE] [FOLDER]\n"
                      "       calquin --check [--port DEVICE]\n"
                      "Try 'calquin --help' for more.\n");
}

TEST_F(CliTest, PortsThatCannotBeUsedAreExplained) {
    // Missing, named by CALQUIN_PORT: the devices that do exist are listed.
    std::string missing = folder.File("no-such-port");
    EXPECT_EQ(RunCalquin({"a.85p"}, {"CALQUIN_PORT=" + missing}), 4);
    EXPECT_EQ(output.rfind("calquin: " + missing + " does not exist.\n", 0), 0u) << output;
    EXPECT_TRUE(ListsSerialDevices(output)) << output;

    // A file, and a terminal without modem lines (the guard gives lines to the test's port only).
    WriteFile("plain", {1, 2, 3});
    EXPECT_EQ(RunCalquin({"--port", folder.File("plain"), "a.85p"}), 4);
    EXPECT_EQ(output,
              "calquin: " + folder.File("plain") + " is not a serial port with modem lines.\n");
    EXPECT_EQ(RunCalquin({"--port", Port(), "a.85p"}, {"CALQUIN_CABLE_DEVICE=/dev/null"}), 4);
    EXPECT_EQ(output, "calquin: " + Port() + " is not a serial port with modem lines.\n");

    // A device of the dialout group, and a user outside it.
    const group* dialout = getgrnam("dialout");
    ASSERT_NE(dialout, nullptr);
    ASSERT_EQ(chown(Port().c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(chmod(Port().c_str(), 0660), 0);
    std::unique_ptr<ChildProcess> outsider =
        StartCalquin({"--port", Port(), "/dev/null"}, false, {}, kNobody);
    ASSERT_TRUE(outsider->Wait(SecondsFromNow(30)));
    EXPECT_EQ(outsider->ExitCode(), 4);
    EXPECT_EQ(outsider->Output(), "calquin: no permission to open " + Port() +
                                      ": add yourself to the dialout group (sudo adduser $USER "
                                      "dialout), then log in again.\n");
}

// With nothing at the cable's far end: both wires carried; one held low from there is not; a
// port that cannot be opened is explained as for a transfer.
TEST_F(CliTest, TheCheckTellsWhetherThePortCarriesTheLink) {
    EXPECT_EQ(RunCalquin({"--check", "--port", Port()}), 0) << output;
    EXPECT_EQ(output.rfind("RTS/CTS wire: carried\nDTR/DSR wire: carried\nA line call takes ", 0),
              0u)
        << output;
    EXPECT_NE(output.find("\nThe port carries the link.\n"), std::string::npos) << output;
    EXPECT_EQ(Cable().pc.Pulled(), 0);

    Cable().calculator.Pull(kDtrDsrWire);
    EXPECT_EQ(RunCalquin({"--check", "--port", Port()}), 3) << output;
    EXPECT_NE(output.find("\nDTR/DSR wire: not carried (DSR reads low with DTR released)\n"),
              std::string::npos)
        << output;
    Cable().calculator.Pull(0);

    std::string missing = folder.File("no-such-port");
    EXPECT_EQ(RunCalquin({"--check"}, {"CALQUIN_PORT=" + missing}), 4);
    EXPECT_EQ(output.rfind("calquin: " + missing + " does not exist.\n", 0), 0u) << output;
}
