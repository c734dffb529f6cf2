// The Linux program's own parts: the command line, the exit status, the escaped texts and the
// status lines, and the listing of serial devices.
#include "cli/arguments.h"
#include "cli/exit_status.h"
#include "cli/serial_devices.h"
#include "tests/support/temporary_folder.h"
#include "ui/status_text.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
Arguments Parse(std::vector<const char*> line, const char* environmentPort = nullptr) {
    line.insert(line.begin(), "calquin");
    return ParseArguments(static_cast<int>(line.size()), line.data(), environmentPort);
}
} // namespace

TEST(CommandLine, ThePortComesFromTheOptionElseFromTheEnvironment) {
    Arguments given = Parse({"--port", "/dev/ttyUSB1", "a.85p", "b.85g"}, "/dev/ttyUSB0");
    EXPECT_EQ(given.action, Action::Send);
    EXPECT_EQ(given.port, "/dev/ttyUSB1");
    EXPECT_EQ(given.files, (std::vector<std::string>{"a.85p", "b.85g"}));
    EXPECT_EQ(Parse({"a.85p", "--port=/dev/ttyACM0"}).port, "/dev/ttyACM0");
    EXPECT_EQ(Parse({"-p", "/dev/x", "a.85p"}).port, "/dev/x");
    EXPECT_EQ(Parse({"a.85p"}, "/dev/ttyUSB0").port, "/dev/ttyUSB0");

    Arguments none = Parse({"a.85p"}, "");
    EXPECT_EQ(none.action, Action::UsageError);
    EXPECT_TRUE(none.noPort);
}

TEST(CommandLine, UsageErrorsAreNamedAndHelpAndVersionWinOverThem) {
    Arguments wrong = Parse({"--speed", "9600", "--port"});
    EXPECT_EQ(wrong.action, Action::UsageError);
    EXPECT_EQ(wrong.problems, (std::vector<std::string>{
                                  "unknown option --speed", "--port needs a DEVICE",
                                  "no serial device: give --port DEVICE or set CALQUIN_PORT"}));
    EXPECT_EQ(wrong.files, std::vector<std::string>{"9600"});
    EXPECT_EQ(Parse({"--port", "/dev/x"}).problems, std::vector<std::string>{"no file to send"});
    EXPECT_EQ(Parse({"--bogus", "--version"}).action, Action::Version);
    EXPECT_EQ(Parse({"-V", "-h"}).action, Action::Help);
    // After "--" everything is a file, and a lone "-" is a file too.
    Arguments files = Parse({"-p", "/dev/x", "--", "-h", "-"});
    EXPECT_EQ(files.action, Action::Send);
    EXPECT_EQ(files.files, (std::vector<std::string>{"-h", "-"}));

    // Receiving takes one folder or none, and no file to send.
    Arguments receive = Parse({"--receive", "-p", "/dev/x", "in"});
    EXPECT_EQ(receive.action, Action::Receive);
    EXPECT_EQ(receive.files, std::vector<std::string>{"in"});
    EXPECT_EQ(Parse({"-r", "-p", "/dev/x"}).action, Action::Receive);
    EXPECT_EQ(Parse({"-r", "-p", "/dev/x", "a", "b"}).problems,
              std::vector<std::string>{"--receive takes one FOLDER"});
    EXPECT_EQ(Parse({"-r", "--help"}).action, Action::Help);
}

TEST(ExitStatus, TheMostSeriousOutcomeWins) {
    RunSummary summary;
    EXPECT_EQ(ExitStatus(summary), 0);
    summary.writeFailed = true; // a received variable not written
    EXPECT_EQ(ExitStatus(summary), 1);
    summary.writeFailed = false;
    summary.report.refusedFiles = 1;
    EXPECT_EQ(ExitStatus(summary), 1);
    summary.report.declinedVariables = 1;
    EXPECT_EQ(ExitStatus(summary), 2);
    summary.report = BatchReport{};
    summary.report.endedByCalculator = true;
    EXPECT_EQ(ExitStatus(summary), 2);
    summary.linkOutcome = LinkOutcome::NoAnswer;
    EXPECT_EQ(ExitStatus(summary), 3);
    summary.linkOutcome = LinkOutcome::StatusReadFailed;
    EXPECT_EQ(ExitStatus(summary), 3);
    summary.linkOutcome = LinkOutcome::StopRequested; // the signal tells
    EXPECT_EQ(ExitStatus(summary), 2);
    summary.portFailed = true;
    EXPECT_EQ(ExitStatus(summary), 4);
    summary.stopSignal = 2;
    EXPECT_EQ(ExitStatus(summary), 130);
    summary.stopSignal = 15;
    EXPECT_EQ(ExitStatus(summary), 143);
}

TEST(TerminalText, NamesAndPathsNeverCarryAControlByte) {
    EXPECT_EQ(EscapedName("AB1"), "AB1");
    EXPECT_EQ(EscapedName("\x1b[2J\\\x7f\x80\xc1"), "\\x1b[2J\\\\\\x7f\\x80\\xc1");
    // Paths keep well-formed UTF-8 and nothing else outside printable ASCII.
    EXPECT_EQ(EscapedPath("caf\xc3\xa9/\xe2\x82\xac.85p"), "caf\xc3\xa9/\xe2\x82\xac.85p");
    EXPECT_EQ(EscapedPath("a\x1b]0;x\x07"
                          "b"),
              "a\\x1b]0;x\\x07b");
    EXPECT_EQ(EscapedPath("\xc3"
                          "A"),
              "\\xc3A");                                       // a lead byte without its follower
    EXPECT_EQ(EscapedPath("\xc0\x80"), "\\xc0\\x80");          // an overlong zero
    EXPECT_EQ(EscapedPath("\xed\xa0\x80"), "\\xed\\xa0\\x80"); // a surrogate
    EXPECT_EQ(EscapedPath("\xc2\x9b"), "\xc2\x9b");            // U+009B spelled in UTF-8 is text
    EXPECT_EQ(EscapedPath("\x9b"
                          "1m"),
              "\\x9b1m"); // a raw C1 byte is not
}

TEST(TerminalText, TheStatusLineFitsTheTerminalAndShowsItsFigures) {
    VariableProgress progress;
    progress.name = "PROGRAM1";
    progress.percent = 42;
    progress.bytesPerSecond = 5678.4;
    std::string wide = TerminalStatusLine(progress, 80);
    EXPECT_NE(wide.find("PROGRAM1"), std::string::npos) << wide;
    EXPECT_NE(wide.find(" 42%"), std::string::npos) << wide;
    EXPECT_NE(wide.find("5678 bytes/s"), std::string::npos) << wide;
    std::string bar = "[" + std::string(11, '#') + std::string(17, '.') + "]";
    EXPECT_NE(wide.find(bar), std::string::npos) << wide;
    for (int columns : {20, 40, 50, 80, 200}) {
        std::string line = TerminalStatusLine(progress, columns);
        EXPECT_LT(static_cast<int>(line.size()), columns) << line;
    }
    EXPECT_EQ(TerminalStatusLine(progress, 40).find('['), std::string::npos);
    EXPECT_EQ(PlainStatusLine(progress), "PROGRAM1   42%     5678 bytes/s");
}

TEST(SerialDevices, AreFoundByNameWithBuiltInPortsOnlyWhereAUartAnswers) {
    TemporaryFolder root;
    std::string dev = root.File("dev"), sys = root.File("tty");
    for (const char* folder : {"dev/serial/by-id", "dev/ttyUSB9", "tty/ttyS4", "tty/ttyS5"})
        std::filesystem::create_directories(root.File(folder)); // ttyUSB9 a folder: no port
    for (const char* name : {"ttyS4", "ttyS5", "ttyS14", "ttyUSB10", "ttyUSB2", "ttyACM0",
                             "ttyUSBx", "tty5", "null", "ptmx"})
        std::ofstream(dev + "/" + name).put('\0');
    std::ofstream(sys + "/ttyS4/type") << "4\n";
    std::ofstream(sys + "/ttyS5/type") << "0\n"; // a name without a UART
    ASSERT_EQ(symlink("../../ttyUSB2", (dev + "/serial/by-id/usb-FTDI_A1-if00-port0").c_str()), 0);

    EXPECT_EQ(
        ListSerialDevices(dev, sys),
        (std::vector<std::string>{
            dev + "/ttyUSB2", dev + "/ttyUSB10", dev + "/ttyACM0", dev + "/ttyS4", dev + "/ttyS14",
            dev + "/serial/by-id/usb-FTDI_A1-if00-port0 -> " + dev + "/ttyUSB2"}));
    EXPECT_EQ(SerialDevicesText({}), "No serial device was found on this machine.\n");
    EXPECT_EQ(SerialDevicesText({"/dev/ttyUSB0"}),
              "Serial devices on this machine:\n  /dev/ttyUSB0\n");
}
