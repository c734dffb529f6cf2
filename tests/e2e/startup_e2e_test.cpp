// Start-up and shutdown of the real calquin.exe under Wine: the first run, the next one, and a
// port that cannot be opened.
#include "tests/e2e/calquin_e2e.h"

TEST_F(CalquinE2eTest, FirstRunAsksForThePortStoresItAndTheNextStartGoesStraightToWork) {
    ForgetSettings();
    StartProgram();
    ASSERT_EQ(Ask("wait welcome 30000"), "ok");
    EXPECT_EQ(Ask("combo welcome 101"), "ok COM2");
    ASSERT_EQ(Ask("click welcome 1"), "ok");
    ASSERT_EQ(Ask("wait main 20000"), "ok");
    CloseAndExpectExit(0);
    EXPECT_EQ(StoredPort(), 2);

    StartProgram();
    ASSERT_EQ(Ask("wait main 30000"), "ok");
    EXPECT_EQ(Ask("wait welcome 0"), "timeout");
    CloseAndExpectExit(0);
    EXPECT_EQ(StoredPort(), 2);
}

// Wine, unlike Windows, lets a second handle open a COM port that another one holds, so the
// port that cannot be opened is one whose device is missing.
TEST_F(CalquinE2eTest, APortThatCannotBeOpenedIsReportedAndNothingIsStored) {
    ForgetSettings();
    MakeCom2Missing(true);
    StartProgram();
    ASSERT_EQ(Ask("wait welcome 30000"), "ok");
    ASSERT_EQ(Ask("click welcome 1"), "ok");
    EXPECT_EQ(Ask("message 20000"),
              "ok Calquin|Could not allocate COM port.\\nCheck if another copy of Calquin is "
              "running. Exiting...");
    EXPECT_EQ(Ask("wait main 0"), "timeout");
    ASSERT_EQ(Ask("dismiss 5000"), "ok");
    ASSERT_TRUE(Program().Wait(SecondsFromNow(20)));
    EXPECT_EQ(Program().ExitCode(), 255); // -1
    EXPECT_EQ(StoredPort(), 0);
}

TEST_F(CalquinE2eTest, APortAboveFourIsOfferedStoredAndCarriesTheTransfers) {
    ForgetSettings();
    TestVariable v = Variable("SEVEN", 120, 7);
    std::string path = WriteFile("seven.85p", FileOf({v}));
    StartCalculator();
    ProgramLaunch onCom7;
    onCom7.cablePort = 7;
    StartProgram(onCom7);
    ASSERT_EQ(Ask("wait welcome 30000"), "ok");
    EXPECT_EQ(Ask("combo welcome 101"), "ok COM2");
    ASSERT_EQ(Ask("choose welcome 101 COM9"), "ok");
    ASSERT_EQ(Ask("choose welcome 101 COM7"), "ok");
    ASSERT_EQ(Ask("click welcome 1"), "ok");
    ASSERT_EQ(Ask("wait main 20000"), "ok");
    SendPicked(path);
    ASSERT_TRUE(Calculator().WaitUntilDone(SecondsFromNow(60))) << Trace();
    ASSERT_TRUE(WaitForIdle(20)) << Trace();
    ExpectReceived({v});
    EXPECT_EQ(Trace(), Taken() + EndOfTransmission());
    CloseAndExpectExit(0);
    EXPECT_EQ(StoredPort(), 7);
}

namespace {
const char kPortRefused[] = "ok Calquin|Could not allocate COM port.\\nCheck if another copy of "
                            "Calquin is running. Exiting...";
} // namespace

// Wine lets a second handle open a held COM port; the program refuses a second copy on one port
// all the same, as Windows would, and lets copies on other ports run.
TEST_F(CalquinE2eTest, OneCopyPerPortAndCopiesOnOtherPortsSideBySide) {
    StorePort(2);
    StartProgram();
    ASSERT_EQ(Ask("wait main 30000"), "ok");
    std::unique_ptr<WineRun> second = StartCopy({}, "second.log");
    EXPECT_EQ(Ask("message 30000"), kPortRefused);
    EXPECT_EQ(Ask("count main 0 1"), "ok 1");
    ASSERT_EQ(Ask("dismiss 5000"), "ok");
    ASSERT_TRUE(second->Wait(SecondsFromNow(20)));
    EXPECT_EQ(second->ExitCode(), 255); // -1

    StorePort(3);
    ProgramLaunch onCom3;
    onCom3.cablePort = 3;
    std::unique_ptr<WineRun> third = StartCopy(onCom3, "third.log");
    EXPECT_EQ(Ask("count main 30000 2"), "ok 2");
    EXPECT_EQ(Ask("message 0"), "timeout");
    for (int left : {1, 0}) {
        ASSERT_EQ(Ask("click main 1"), "ok");
        ASSERT_EQ(Ask("count main 20000 " + std::to_string(left)), "ok " + std::to_string(left));
    }
    for (WineRun* copy : {&Program(), third.get()}) {
        ASSERT_TRUE(copy->Wait(SecondsFromNow(20)));
        EXPECT_EQ(copy->ExitCode(), 0);
    }
}
