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
