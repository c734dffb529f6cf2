// calquin sending to the standalone simulated TI-85: what the calculator received is compared
// with the files byte for byte, and its packet trace with the exchange each variable, backup
// and batch end must have; the exit status and the messages are the program's.
#include "tests/cli/cli_harness.h"

#include "sim/virtual_cable.h"

#include <fcntl.h>
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
