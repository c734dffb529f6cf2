// Batches picked in the open-file dialog, sent by the real calquin.exe under Wine to the
// simulated TI-85: what the calculator received is compared with the files byte for byte, and
// its packet trace with the exchange each variable, backup and batch end must have.
#include "tests/e2e/calquin_e2e.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/stat.h>

namespace {
class SendTest : public CalquinE2eTest {
  protected:
    void SetUp() override {
        CalquinE2eTest::SetUp();
        StorePort(2);
    }

    void StartAll() {
        StartCalculator();
        StartProgram();
        ASSERT_EQ(Ask("wait main 30000"), "ok");
    }

    // The calculator's session ended (EOT or backup) within `seconds`, and the job has ended too.
    void ExpectBatchEnds(int seconds = 60) {
        ASSERT_TRUE(Calculator().WaitUntilDone(SecondsFromNow(seconds))) << Trace();
        ASSERT_TRUE(WaitForIdle(20)) << Trace();
    }
};
} // namespace

TEST_F(SendTest, OneFileIsSentWholeAndTheBatchEndsWithEot) {
    std::vector<TestVariable> variables = {Variable("ONE", 300, 1), Variable("TWO", 40, 2)};
    std::string path = WriteFile("pair.85g", FileOf(variables));
    StartAll();
    SendPicked(path);
    ExpectBatchEnds();
    ExpectReceived(variables);
    EXPECT_EQ(Trace(), Taken() + Taken() + EndOfTransmission());
    EXPECT_EQ(Ask("text main 120"), "ok TWO");
    EXPECT_EQ(Ask("text main 121"), "ok 100%");
    CloseAndExpectExit(0);
}

TEST_F(SendTest, ThreeFilesPickedTogetherGoInOrderAndResendSendsTheThirdByItsBareName) {
    TestVariable a = Variable("A", 120, 1), b1 = Variable("B1", 60, 2), b2 = Variable("B2", 30, 3),
                 c = Variable("C", 90, 4);
    WriteFile("a.85p", FileOf({a}));
    WriteFile("b.85g", FileOf({b1, b2}));
    WriteFile("c.85p", FileOf({c}));
    StartAll();
    SendPicked("\"a.85p\" \"b.85g\" \"c.85p\"");
    ExpectBatchEnds();
    ExpectReceived({a, b1, b2, c});
    EXPECT_EQ(Trace(), Taken() + Taken() + Taken() + Taken() + EndOfTransmission());

    Calculator().Start(); // put back in receive mode
    ASSERT_EQ(Ask("click main 103"), "ok");
    ExpectBatchEnds();
    ExpectReceived({a, b1, b2, c, c});

    // The path kept for Resend is the bare name, as the message shows once the file is gone.
    std::remove(folder.File("c.85p").c_str());
    ASSERT_EQ(Ask("click main 103"), "ok");
    EXPECT_EQ(Ask("message 20000"), "ok Calquin Error|Error opening file: c.85p");
    ASSERT_EQ(Ask("dismiss 5000"), "ok");
    ASSERT_TRUE(WaitForIdle(20));
    CloseAndExpectExit(0);
}

TEST_F(SendTest, ABatchGoesOnPastAWrongSignatureAndSendsNothingOfADamagedFile) {
    TestVariable a = Variable("A", 80, 1), c = Variable("C", 70, 3), d = Variable("DAMAGED", 90);
    Bytes wrong = FileOf({Variable("WRONG", 50)});
    wrong[5] = '4'; // "**TI84**"
    Bytes damaged = FileOf({d});
    damaged.resize(damaged.size() - 20); // its data section runs past the end
    WriteFile("a.85p", FileOf({a}));
    WriteFile("b.85p", wrong);
    WriteFile("c.85p", FileOf({c}));
    WriteFile("d.85p", damaged);
    StartAll();

    SendPicked("\"a.85p\" \"b.85p\" \"c.85p\"");
    EXPECT_EQ(Ask("message 30000"), "ok Calquin Error|File: b.85p has incorrect signature");
    EXPECT_EQ(Calculator().Variables().size(), 1u); // the third waits for the message
    ASSERT_EQ(Ask("dismiss 5000"), "ok");
    ExpectBatchEnds();
    ExpectReceived({a, c});
    EXPECT_EQ(Trace(), Taken() + Taken() + EndOfTransmission());

    StartCalculator();
    SendPicked("\"a.85p\" \"d.85p\" \"c.85p\"");
    std::string message = Ask("message 30000");
    EXPECT_EQ(message.rfind("ok Calquin Error|", 0), 0u) << message;
    EXPECT_NE(message.find("d.85p"), std::string::npos) << message;
    ASSERT_EQ(Ask("dismiss 5000"), "ok");
    ExpectBatchEnds();
    ExpectReceived({a, c});
    EXPECT_EQ(Trace(), Taken() + Taken() + EndOfTransmission());
    CloseAndExpectExit(0);
}

TEST_F(SendTest, ABackupGoesInThreeChunksWithoutEotAlsoBehindAVariable) {
    TestVariable backup = Backup(600, 400, 700), v = Variable("V", 60, 5);
    std::string path = WriteFile("memory.85b", FileOf({backup}));
    WriteFile("v.85p", FileOf({v}));
    StartAll();

    // A calculator that counts a level only once it has held for 1 ms (CALQUIN_E2E_TI85) takes
    // two such holds a bit: some 30 s for the backup's 1,760 link bytes in process, more under
    // Wine on a busy machine.
    SendPicked(path);
    std::string shown = Ask("until main 120 120000 Chunk3");
    EXPECT_NE(shown.find("Chunk1|Chunk2|Chunk3"), std::string::npos) << shown;
    ExpectBatchEnds(180);
    ExpectReceived({backup});
    EXPECT_EQ(Trace(), TakenBackup());

    StartCalculator();
    SendPicked("\"v.85p\" \"memory.85b\"");
    ExpectBatchEnds(180);
    ExpectReceived({v, backup});
    EXPECT_EQ(Trace(), Taken() + TakenBackup());
    EXPECT_EQ(Calculator().EotCount(), 0);
    CloseAndExpectExit(0);
}

// Under Wine a Linux file name is UTF-8; names the ANSI code page cannot hold must reach the
// program whole, whichever way the user hands them over.
TEST_F(SendTest, NamesInAnyLanguageArePickedDroppedAndResent) {
    const std::string greek = "\xce\xb5\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba\xce\xac"
                              ".85p"; // ελληνικά
    const std::string japanese = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e "
                                 "\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88.85p"; // 日本語 テスト
    TestVariable g = Variable("GREEK", 80, 1), j = Variable("JAPAN", 90, 2);
    std::string greekPath = WriteFile(greek, FileOf({g}));
    WriteFile(japanese, FileOf({j}));
    StartAll();

    SendPicked(greekPath); // one file: its full path
    ExpectBatchEnds();
    Calculator().Start();
    SendPicked("\"" + japanese + "\" \"" + greek + "\""); // two: bare names
    ExpectBatchEnds();
    Calculator().Start();
    DropOnMainWindow({folder.File(greek), folder.File(japanese)});
    ExpectBatchEnds();
    Calculator().Start();
    ASSERT_EQ(Ask("click main 103"), "ok"); // Resend: the last one dropped
    ExpectBatchEnds();
    ExpectReceived({g, j, g, g, j, j});

    // Where a name is shown, it shows whole.
    std::remove(folder.File(japanese).c_str());
    ASSERT_EQ(Ask("click main 103"), "ok");
    EXPECT_EQ(Ask("message 20000"),
              "ok Calquin Error|Error opening file: " + WindowsPath(japanese));
    ASSERT_EQ(Ask("dismiss 5000"), "ok");
    ASSERT_TRUE(WaitForIdle(20));
    CloseAndExpectExit(0);
}

// Files named on the command line (a drop on the program's icon, a "Send To" shortcut): a Windows
// path with spaces, and a bare name of the current folder in another script.
TEST_F(SendTest, FilesOnTheCommandLineGoAsOneBatchOnceTheWindowIsUp) {
    const std::string japanese = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.85p"; // 日本語
    TestVariable a = Variable("A", 70, 1), b = Variable("B", 50, 2);
    ProgramLaunch launch;
    launch.arguments = {WriteFile("with spaces.85p", FileOf({a})), japanese};
    WriteFile(japanese, FileOf({b}));
    StartCalculator();
    StartProgram(launch);
    ExpectBatchEnds();
    ExpectReceived({a, b});
    EXPECT_EQ(Trace(), Taken() + Taken() + EndOfTransmission());
    CloseAndExpectExit(0);
}

// A second copy started with files on the port a copy holds hands them over and ends: taken as a
// drop while the running copy is idle, refused while a job runs.
TEST_F(SendTest, ASecondCopyHandsItsFilesToTheRunningOne) {
    TestVariable there = Variable("THERE", 60, 3);
    std::string elsewhere = folder.File("elsewhere");
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0755), 0);
    WriteFile("elsewhere/there.85p", FileOf({there})); // a bare name of the second copy's folder
    Bytes wrong = FileOf({Variable("WRONG", 10)});
    wrong[0] = '#';
    std::string wrongPath = WriteFile("wrong.85p", wrong);
    StartAll();
    ProgramLaunch second;
    second.arguments = {"there.85p"};
    second.directory = elsewhere;
    std::unique_ptr<WineRun> copy = StartCopy(second, "second.log");
    ASSERT_TRUE(copy->Wait(SecondsFromNow(30)));
    EXPECT_EQ(copy->ExitCode(), 0);
    ExpectBatchEnds();
    ExpectReceived({there});

    // A job that stands in its message box runs until the box is dismissed.
    Calculator().Start();
    SendPicked(wrongPath);
    EXPECT_EQ(Ask("message 30000"),
              "ok Calquin Error|File: " + wrongPath + " has incorrect signature");
    std::unique_ptr<WineRun> refused = StartCopy(second, "refused.log");
    ASSERT_TRUE(refused->Wait(SecondsFromNow(30)));
    EXPECT_EQ(refused->ExitCode(), 0);
    EXPECT_EQ(Ask("count main 0 1"), "ok 1");
    ASSERT_EQ(Ask("dismiss 5000"), "ok");
    ASSERT_TRUE(WaitForIdle(20));
    EXPECT_EQ(Ask("message 1000"), "timeout");
    ExpectReceived({there});
    EXPECT_EQ(Trace(), Taken() + EndOfTransmission());
    CloseAndExpectExit(0);
}

// The other way: what the simulated TI-85 sends while calquin.exe is idle is received, offered
// in the Save As dialog and saved; the files saved are checked byte for byte and sent back.
namespace {
Bytes ReadBack(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

// A folder nothing can be written in, not even by root (the tests may run as root): immutable
// for as long as this lives.
class LockedFolder {
  public:
    explicit LockedFolder(const std::string& path) : path(path) {
        locked = mkdir(path.c_str(), 0755) == 0 && Chattr("+i");
    }
    ~LockedFolder() {
        if (locked)
            Chattr("-i");
    }
    bool Locked() const { return locked; }

  private:
    bool Chattr(const char* change) {
        return std::system(
                   ("chattr " + std::string(change) + " '" + path + "' 2>/dev/null").c_str()) == 0;
    }
    std::string path;
    bool locked = false;
};

class ReceiveTest : public CalquinE2eTest {
  protected:
    void SetUp() override {
        CalquinE2eTest::SetUp();
        StorePort(2);
    }

    // The calculator's SEND of `variables`, with its packets of these numbers sent damaged.
    void CalculatorSends(const std::vector<TestVariable>& variables, std::set<int> damaged = {}) {
        Ti85Options options = TestTi85();
        for (const TestVariable& variable : variables)
            options.send.push_back({variable.header, variable.chunks,
                                    variable.header.size() > 2 && variable.header[2] == 0x1D, ""});
        options.badChecksums = std::move(damaged);
        StartCalculator(options);
    }

    // The Save As dialog has come: the name it proposes.
    std::string SaveDialogProposes() {
        if (Ask("wait save 60000") != "ok")
            return "no dialog: " + Trace();
        std::string name = Ask("text save 1148");
        return name.rfind("ok ", 0) == 0 ? name.substr(3) : name;
    }

    void SendBack(const std::string& name, const std::vector<TestVariable>& variables) {
        StartCalculator();
        SendPicked(WindowsPath(name));
        ASSERT_TRUE(Calculator().WaitUntilDone(SecondsFromNow(60))) << Trace();
        ASSERT_TRUE(WaitForIdle(20)) << Trace();
        ExpectReceived(variables);
    }
};
} // namespace

// Several variables (one of them sent twice, its checksum damaged the first time) go in one
// group file, saved over a file that exists once the dialog's question is answered Yes; a backup
// goes in its own file, proposed in the folder saved to last. Each file sent back arrives whole.
TEST_F(ReceiveTest, ABatchAndABackupAreSavedWholeAndArriveBackByteForByte) {
    std::vector<TestVariable> batch = {Variable("ALPHA", 300, 1), Variable("B", 40, 2),
                                       Variable("C", 90, 3)};
    TestVariable backup = Backup(200, 100, 300);
    std::string taken = WriteFile("taken.85g", {1, 2, 3});
    ASSERT_EQ(mkdir(folder.File("elsewhere").c_str(), 0755), 0);
    ProgramLaunch launch;
    launch.directory = folder.File("elsewhere"); // not where the files go
    StartProgram(launch);
    ASSERT_EQ(Ask("wait main 30000"), "ok");

    CalculatorSends(batch, {2});
    EXPECT_EQ(SaveDialogProposes(), "received.85g");
    EXPECT_EQ(Ask("text main 1"), "ok Cancel");
    ASSERT_TRUE(Calculator().WaitUntilDone(SecondsFromNow(10))) << Trace();
    EXPECT_EQ(Calculator().Failure(), "");
    EXPECT_EQ(Calculator().Delivered(), (std::vector<std::size_t>{0, 1, 2}));
    ASSERT_EQ(Ask("save 10000 " + taken), "ok");
    ASSERT_EQ(Ask("wait overwrite 10000"), "ok");
    ASSERT_EQ(Ask("click overwrite 7"), "ok"); // No: the dialog stays
    ASSERT_EQ(Ask("gone overwrite 10000"), "ok");
    EXPECT_EQ(ReadBack(folder.File("taken.85g")), (Bytes{1, 2, 3}));
    ASSERT_EQ(Ask("save 10000 " + taken), "ok");
    ASSERT_EQ(Ask("wait overwrite 10000"), "ok");
    ASSERT_EQ(Ask("click overwrite 6"), "ok");
    ASSERT_TRUE(WaitForIdle(20));
    EXPECT_EQ(ReadBack(folder.File("taken.85g")), ReceivedFileOf(batch));
    EXPECT_EQ(Ask("text main 120"), "ok C");
    EXPECT_EQ(Ask("text main 121"), "ok 100%");

    CalculatorSends({backup});
    EXPECT_EQ(SaveDialogProposes(), "backup.85b");
    ASSERT_EQ(Ask("save 10000 backup.85b"), "ok");
    ASSERT_TRUE(WaitForIdle(20));
    EXPECT_EQ(ReadBack(folder.File("backup.85b")), ReceivedFileOf({backup}));

    SendBack("taken.85g", batch);
    SendBack("backup.85b", {backup});
    CloseAndExpectExit(0, 10); // listening again, and ended at once
}

// Cancel during the first variable's data: it is taken whole and the calculator's next VAR is
// answered with the exit. A file that cannot be written is named and the dialog comes again;
// cancelling the dialog asks before anything is thrown away.
TEST_F(ReceiveTest, CancelEndsTheCalculatorsBatchAndWhatCameIsSavedOrDiscarded) {
    std::vector<TestVariable> batch = {Variable("FIRST", 1500, 1), Variable("SECOND", 40, 2)};
    LockedFolder locked(folder.File("locked"));
    ASSERT_TRUE(locked.Locked()) << "chattr +i is needed here";
    StartProgram();
    ASSERT_EQ(Ask("wait main 30000"), "ok");

    CalculatorSends(batch);
    ASSERT_EQ(Ask("above main 121 30000 0").rfind("ok", 0), 0u) << Trace();
    EXPECT_EQ(Ask("text main 1"), "ok Cancel");
    ASSERT_EQ(Ask("click main 1"), "ok");
    EXPECT_EQ(SaveDialogProposes(), "FIRST.85p");
    ASSERT_TRUE(Calculator().WaitUntilDone(SecondsFromNow(10))) << Trace();
    EXPECT_EQ(Calculator().Delivered(), std::vector<std::size_t>{0});
    std::vector<PacketRecord> packets = Calculator().Packets();
    ASSERT_FALSE(packets.empty());
    EXPECT_EQ(packets.back().direction, LinkDirection::CalculatorToPc) << Trace();
    EXPECT_EQ(packets[packets.size() - 2].command, 0x36) << Trace(); // SKIP
    EXPECT_EQ(packets[packets.size() - 2].payload, Bytes{1}) << Trace();

    const std::string lockedPath = WindowsPath("locked/FIRST.85p");
    ASSERT_EQ(Ask("save 10000 " + lockedPath), "ok");
    EXPECT_EQ(Ask("message 10000"), "ok Calquin Error|Error writing file: " + lockedPath);
    ASSERT_EQ(Ask("dismiss 5000"), "ok");
    ASSERT_EQ(Ask("wait save 10000"), "ok");
    ASSERT_EQ(Ask("click save 2"), "ok");
    EXPECT_EQ(Ask("message 10000"), "ok Calquin|Discard what the calculator sent?");
    ASSERT_EQ(Ask("click message 7"), "ok"); // No: the dialog again
    ASSERT_EQ(Ask("wait save 10000"), "ok");
    ASSERT_EQ(Ask("click save 2"), "ok");
    ASSERT_EQ(Ask("wait message 10000"), "ok");
    ASSERT_EQ(Ask("click message 6"), "ok");
    ASSERT_TRUE(WaitForIdle(20));
    EXPECT_FALSE(Exists(folder.File("FIRST.85p")));
    EXPECT_FALSE(Exists(folder.File("locked/FIRST.85p")));
    CloseAndExpectExit(0, 10);
}
