// calquin sending to the standalone simulated TI-85: what the calculator received is compared
// with the files byte for byte, and its packet trace with the exchange each variable, backup
// and batch end must have; the exit status and the messages are the program's.
#include "tests/cli/cli_harness.h"

#include "sim/virtual_cable.h"

#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The plain line of a variable sent whole, up to its percentage.
std::string SentWhole(const std::string& name) {
    return name + std::string(name.size() < 8 ? 8 - name.size() : 0, ' ') + "  100%  ";
}
} // namespace

TEST_F(CliTest, OneFileIsSentWholeAndThePortIsLeftReleasedWithItsSettings) {
    TestVariable one = Variable("ONE", 300, 1), two = Variable("TWO", 40, 2);
    WriteFile("pair.85g", FileOf({one, two}));
    // The port as some other program left it: hang-up on close, XON/XOFF, 38400 baud.
    int held = open(Port().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(held, 0);
    termios before{};
    ASSERT_EQ(tcgetattr(held, &before), 0);
    before.c_cflag |= HUPCL;
    before.c_iflag |= IXON;
    cfsetospeed(&before, B38400);
    cfsetispeed(&before, B38400);
    ASSERT_EQ(tcsetattr(held, TCSANOW, &before), 0);

    StartCalculator();
    EXPECT_EQ(RunCalquin({"--port", Port(), "pair.85g"}), 0) << output;
    EXPECT_EQ(CalculatorResult(), "end of transmission");
    ExpectReceived({one, two});
    EXPECT_EQ(Trace(), Taken() + Taken() + EndOfTransmission());
    // Not a terminal: one plain line per variable, nothing else.
    EXPECT_EQ(output.rfind(SentWhole("ONE"), 0), 0u) << output;
    EXPECT_TRUE(Contains(output, "\n" + SentWhole("TWO"))) << output;
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 2) << output;

    EXPECT_EQ(Cable().pc.Pulled(), 0); // both lines released, and left so
    termios after{};
    ASSERT_EQ(tcgetattr(held, &after), 0);
    EXPECT_EQ(after.c_cflag & HUPCL, 0u);
    EXPECT_EQ(after.c_cflag & ~HUPCL, before.c_cflag & ~HUPCL);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(cfgetospeed(&after), static_cast<speed_t>(B38400));
    int exclusive = -1;
    ASSERT_EQ(ioctl(held, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0); // exclusive use given back
    close(held);
}

TEST_F(CliTest, SeveralFilesGoInOrderAsOneBatchAndABackupEndsItWithoutEot) {
    // Three files, the second of two variables.
    TestVariable a = Variable("P", 150, 1), b1 = Variable("Q1", 70, 2), b2 = Variable("Q2", 20, 3),
                 c = Variable("R", 110, 4);
    WriteFile("p.85p", FileOf({a}));
    WriteFile("q.85g", FileOf({b1, b2}));
    WriteFile("r.85p", FileOf({c}));
    StartCalculator();
    EXPECT_EQ(RunCalquin({"--port", Port(), "p.85p", "q.85g", "r.85p"}), 0) << output;
    EXPECT_EQ(CalculatorResult(), "end of transmission");
    ExpectReceived({a, b1, b2, c});
    EXPECT_EQ(Trace(), Taken() + Taken() + Taken() + Taken() + EndOfTransmission());

    // A variable, then a backup in three chunks, and the file behind it never starts.
    TestVariable backup = Backup(600, 400, 700);
    WriteFile("memory.85b", FileOf({backup}));
    StartCalculator();
    EXPECT_EQ(RunCalquin({"--port", Port(), "p.85p", "memory.85b", "r.85p"}), 0) << output;
    EXPECT_EQ(CalculatorResult(), "backup");
    ExpectReceived({a, backup});
    EXPECT_EQ(Trace(), Taken() + TakenBackup());
    for (const char* chunk : {"Chunk1", "Chunk2", "Chunk3"})
        EXPECT_TRUE(Contains(output, "\n" + SentWhole(chunk))) << output;
}

TEST_F(CliTest, AFileThatCannotBeSentIsToldAndTheBatchGoesOnWithoutAByteOfIt) {
    TestVariable a = Variable("A", 80, 1), c = Variable("C", 70, 3);
    Bytes wrong = FileOf({Variable("WRONG", 50)});
    wrong[5] = '4'; // "**TI84**"
    Bytes damaged = FileOf({Variable("DAMAGED", 90)});
    damaged.resize(damaged.size() - 20); // its data section runs past the end
    WriteFile("a.85p", FileOf({a}));
    WriteFile("wrong.85p", wrong);
    WriteFile("c.85p", FileOf({c}));
    WriteFile("damaged.85p", damaged);
    StartCalculator();
    EXPECT_EQ(
        RunCalquin({"--port", Port(), "a.85p", "wrong.85p", "missing.85p", "damaged.85p", "c.85p"}),
        1)
        << output;
    EXPECT_EQ(CalculatorResult(), "end of transmission");
    ExpectReceived({a, c});
    EXPECT_EQ(Trace(), Taken() + Taken() + EndOfTransmission());
    EXPECT_TRUE(Contains(output, "\ncalquin: File: wrong.85p has incorrect signature\n"
                                 "calquin: Error opening file: missing.85p\n"
                                 "calquin: File: damaged.85p is damaged or truncated\n"))
        << output;
}

TEST_F(CliTest, EachSkipReasonIsTreatedAsTheWindowsProgramTreatsIt) {
    TestVariable x = Variable("X", 40, 1), y = Variable("Y", 50, 2), z = Variable("Z", 60, 3),
                 t = Variable("T", 30, 4);
    WriteFile("xyz.85g", FileOf({x, y, z}));
    WriteFile("t.85p", FileOf({t}));

    // 2, "skip": the file goes on with its next variable, and so does the batch.
    StartCalculator({"--skip", "0:2"});
    EXPECT_EQ(RunCalquin({"--port", Port(), "xyz.85g", "t.85p"}), 2) << output;
    EXPECT_EQ(CalculatorResult(), "end of transmission");
    ExpectReceived({y, z, t});
    EXPECT_EQ(Trace(), Declined() + Taken() + Taken() + Taken() + EndOfTransmission());
    EXPECT_TRUE(Contains(output, "calquin: The calculator skipped a variable.\n")) << output;

    // 1, "exit": the file and the batch end; the header went out, so the EOT follows.
    StartCalculator({"--skip", "0:1"});
    EXPECT_EQ(RunCalquin({"--port", Port(), "xyz.85g", "t.85p"}), 2) << output;
    EXPECT_EQ(CalculatorResult(), "end of transmission");
    ExpectReceived({});
    EXPECT_EQ(Trace(), Declined() + EndOfTransmission());
    EXPECT_EQ(output, "calquin: The calculator ended the batch.\n");

    // 3, "memory full": the same, and the user is told why.
    StartCalculator({"--skip", "1:3"});
    EXPECT_EQ(RunCalquin({"--port", Port(), "xyz.85g", "t.85p"}), 2) << output;
    EXPECT_EQ(CalculatorResult(), "end of transmission");
    ExpectReceived({x});
    EXPECT_EQ(Trace(), Taken() + Declined() + EndOfTransmission());
    EXPECT_TRUE(Contains(output, "calquin: The calculator is out of memory.\n"
                                 "calquin: The calculator ended the batch.\n"))
        << output;
}

TEST_F(CliTest, OnATerminalTheStatusLineIsRedrawnAndANameNeverActsAsAControlSequence) {
    TestVariable odd = Variable("\x1b[2J\x07", 2000, 5);
    WriteFile("odd.85p", FileOf({odd}));
    StartCalculator();
    std::unique_ptr<ChildProcess> program = StartCalquin({"--port", Port(), "odd.85p"}, true);
    ASSERT_TRUE(program->Wait(SecondsFromNow(90)));
    EXPECT_EQ(program->ExitCode(), 0);
    EXPECT_EQ(CalculatorResult(), "end of transmission");
    ExpectReceived({odd});
    std::string shown = program->Output();
    EXPECT_TRUE(Contains(shown, "\\x1b[2J\\x07  [")) << shown;
    EXPECT_TRUE(Contains(shown, "100%")) << shown;
    EXPECT_TRUE(Contains(shown, " bytes/s")) << shown;
    EXPECT_GT(std::count(shown.begin(), shown.end(), '\r'), 1) << shown; // redrawn in place
    for (char control : {'\x1b', '\x07'})
        EXPECT_EQ(shown.find(control), std::string::npos) << shown;
}

namespace {
// A received variable's file as TI-85 programs write it: the signature, 1A 0C 00, the comment
// padded to 42 bytes, the data section's length, the entry, the section's checksum.
Bytes ReceivedFileOf(const TestVariable& variable) {
    Bytes section = LengthBlockOf(variable.header);
    for (const Bytes& chunk : variable.chunks) {
        Bytes block = LengthBlockOf(chunk);
        section.insert(section.end(), block.begin(), block.end());
    }
    const std::string start = std::string("**TI85**\x1A\x0C", 10) + '\0' + "Received by Calquin";
    Bytes file(start.begin(), start.end());
    file.resize(53, 0x00);
    Bytes withLength = LengthBlockOf(section);
    file.insert(file.end(), withLength.begin(), withLength.end());
    unsigned sum = 0;
    for (std::uint8_t byte : section)
        sum += byte;
    file.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    file.push_back(static_cast<std::uint8_t>(sum >> 8 & 0xFF));
    return file;
}
} // namespace

// The calculator sends; each variable is saved as a file of its own, never over another, every
// byte as TI-85 files have it; a received file sent back arrives byte for byte.
TEST_F(CliTest, WhatTheCalculatorSendsIsSavedAsFilesThatGoBackByteForByte) {
    TestVariable p = Variable("P", 150, 1), q = Variable("Q", 70, 2);
    WriteFile("batch.85g", FileOf({p, q}));
    ASSERT_EQ(mkdir(folder.File("in").c_str(), 0755), 0);
    WriteFile("in/P.85p", {1, 2, 3}); // taken: the first variable becomes P-2.85p
    StartCalculator({"--send", folder.File("batch.85g"), "--send-after", "300"});
    EXPECT_EQ(RunCalquin({"--receive", "--port", Port(), "in"}), 0) << output;
    EXPECT_EQ(CalculatorResult(), "batch sent");
    EXPECT_TRUE(Contains(output, "in/P-2.85p\n")) << output;
    EXPECT_TRUE(Contains(output, "in/Q.85p\n")) << output;
    EXPECT_EQ(FileBytes("in/P.85p"), (Bytes{1, 2, 3}));
    EXPECT_EQ(FileBytes("in/P-2.85p"), ReceivedFileOf(p));
    EXPECT_EQ(FileBytes("in/Q.85p"), ReceivedFileOf(q));

    // A backup, into the current folder.
    TestVariable backup = Backup(600, 0, 300);
    WriteFile("memory.85b", FileOf({backup}));
    StartCalculator({"--send", folder.File("memory.85b")});
    EXPECT_EQ(RunCalquin({"--receive", "--port", Port()}), 0) << output;
    EXPECT_EQ(CalculatorResult(), "batch sent");
    EXPECT_TRUE(Contains(output, "backup.85b\n")) << output;
    EXPECT_EQ(FileBytes("backup.85b"), ReceivedFileOf(backup));

    StartCalculator();
    EXPECT_EQ(RunCalquin({"--port", Port(), "in/P-2.85p"}), 0) << output;
    EXPECT_EQ(CalculatorResult(), "end of transmission");
    ExpectReceived({p});
}

// Pulled out in the third variable: the first two are on disk whole, nothing of the third.
TEST_F(CliTest, ACalculatorThatStopsMidBatchLeavesTheWholeVariablesAndExits3) {
    TestVariable a = Variable("A", 40, 1), b = Variable("B", 40, 2), c = Variable("C", 40, 3);
    WriteFile("three.85g", FileOf({a, b, c}));
    // Each variable: VAR 4+5+2, ACK, CTS, ACK 4 each, DATA 4+40+2, ACK 4: 73 bytes both ways.
    StartCalculator({"--send", folder.File("three.85g"), "--unplug-at-byte", "180"});
    ASSERT_EQ(mkdir(folder.File("in").c_str(), 0755), 0);
    EXPECT_EQ(RunCalquin({"--receive", "--port", Port(), "in"}), 3) << output;
    CalculatorResult();
    EXPECT_EQ(FileBytes("in/A.85p"), ReceivedFileOf(a));
    EXPECT_EQ(FileBytes("in/B.85p"), ReceivedFileOf(b));
    EXPECT_FALSE(Contains(output, "C.85p")) << output;
    EXPECT_TRUE(Contains(output, "stopped sending")) << output;
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.File("in")))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"A.85p", "B.85p"})); // no part of C, no temporary
}
