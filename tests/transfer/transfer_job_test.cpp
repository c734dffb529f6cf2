#include "transfer/transfer_job.h"

#include "link/link_port_virtual.h"
#include "link/link_state.h"
#include "protocol/packet.h"
#include "tests/transfer/job_runner.h"
#include "tests/transfer/sample_files.h"
#include "tests/transfer/simulated_link.h"
#include "ui/recorded_ui.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {
const RecordedUi& Ui() {
    return RecordedUiState();
}

void ForgetLastFilePath() {
    std::free(lastFilePath);
    lastFilePath = nullptr;
}

Bytes OneVariable(const std::string& name) {
    return VariableFileOf({Entry(name, Pattern(6))});
}
} // namespace

TEST(TransferJob, TheBatchStopsAtTheFirstFileThatEndsItAndStillSendsTheEot) {
    Ti85Options options = TestTi85();
    options.skipReasons[1] = 1; // the second file's variable: the user exits on the calculator
    SimulatedLink link(options);
    TempFile first(OneVariable("F1")), second(OneVariable("F2")), third(OneVariable("F3"));
    PathList list{{first.Path(), second.Path(), third.Path()}};
    RunJob(&list);
    ASSERT_TRUE(link.WaitUntilDone());
    EXPECT_EQ(list.taken, 2u);
    EXPECT_STREQ(lastFilePath, second.Path());
    EXPECT_EQ(link.Calculator().Variables().size(), 1u);
    EXPECT_EQ(link.Calculator().EotCount(), 1);
    EXPECT_EQ(link.Calculator().Failure(), "");
}

TEST(TransferJob, ADeclinedVariableAloneIsEnoughForAnEot) {
    Ti85Options options = TestTi85();
    options.skipReasons[0] = 2;
    SimulatedLink link(options);
    TempFile file(OneVariable("NO"));
    PathList list{{file.Path()}};
    RunJob(&list);
    ASSERT_TRUE(link.WaitUntilDone());
    EXPECT_TRUE(link.Calculator().Variables().empty());
    EXPECT_EQ(link.Calculator().EotCount(), 1);
}

TEST(TransferJob, FileErrorsAreToldAndTheBatchGoesOn) {
    SimulatedLink link;
    Bytes wrongSignature = OneVariable("X");
    wrongSignature[0] = '#';
    std::string missing = MissingPath();
    TempFile wrong(wrongSignature), good(OneVariable("GOOD"));
    PathList list{{missing, wrong.Path(), good.Path()}};
    RunJob(&list);
    ASSERT_TRUE(link.WaitUntilDone());
    EXPECT_EQ(Ui().messages.size(), 2u);
    EXPECT_EQ(link.Calculator().Variables().size(), 1u);
    EXPECT_EQ(link.Calculator().EotCount(), 1);
    EXPECT_STREQ(lastFilePath, good.Path());
}

TEST(TransferJob, NothingSentMeansNoEot) {
    SimulatedLink link;
    std::string missing = MissingPath();
    PathList list{{missing}};
    RunJob(&list);
    EXPECT_STREQ(lastFilePath, missing.c_str());
    // An empty list, as when the open-file dialog is cancelled: lastFilePath stays.
    PathList none;
    ClearRecordedUi();
    RunJob(&none);
    EXPECT_STREQ(lastFilePath, missing.c_str());
    EXPECT_EQ(link.Calculator().Link().ByteCount(), 0);
}

TEST(TransferJob, ABackupEndsTheBatchWithoutAnEot) {
    SimulatedLink link;
    TempFile variables(OneVariable("V")),
        backup(VariableFileOf({BackupEntry(Pattern(7), Pattern(8), Pattern(9))})),
        after(OneVariable("AFTER"));
    PathList list{{variables.Path(), backup.Path(), after.Path()}};
    RunJob(&list);
    ASSERT_TRUE(link.WaitUntilDone());
    EXPECT_EQ(list.taken, 2u);
    EXPECT_EQ(bytesSent, 0u);
    EXPECT_EQ(link.Calculator().Variables().size(), 2u);
    EXPECT_EQ(link.Calculator().EotCount(), 0);
    EXPECT_EQ(link.Calculator().Packets().back().command, ACK); // of the third chunk: nothing after
}

TEST(TransferJob, ResendSendsTheLastFileAgainAndKeepsIt) {
    Ti85Options options = TestTi85();
    options.keepReceiving = true;
    SimulatedLink link(options);
    TempFile file(OneVariable("AGAIN"));
    PathList list{{file.Path()}};
    RunJob(&list);
    char* stored = lastFilePath;
    ClearRecordedUi();
    BeginTransferJob();
    ResendLastFile();
    EndTransferJob();
    EXPECT_EQ(lastFilePath, stored);
    EXPECT_STREQ(lastFilePath, file.Path());
    // Each job: VAR, ACK, CTS, ACK, DATA, ACK, EOT, ACK.
    ASSERT_TRUE(link.Calculator().WaitForPackets(16, std::chrono::steady_clock::now() +
                                                         std::chrono::seconds(20)));
    EXPECT_EQ(link.Calculator().Variables().size(), 2u);
    EXPECT_EQ(link.Calculator().EotCount(), 2);
}

TEST(TransferJob, ResendBeforeAnythingWasSentIsAnOpenFailure) {
    SimulatedLink link;
    ForgetLastFilePath();
    BeginTransferJob();
    ResendLastFile();
    EndTransferJob();
    EXPECT_EQ(Ui().messages,
              std::vector<std::string>{"Error opening file: (no file has been sent yet)"});
    EXPECT_EQ(lastFilePath, nullptr);
    EXPECT_EQ(link.Calculator().Link().ByteCount(), 0);
}

TEST(TransferJob, ACalculatorThatStopsAnsweringEndsTheJobWithAMessage) {
    Ti85Options options = TestTi85();
    options.link.stopAtByte = 6; // inside the first file's header
    SimulatedLink link(options);
    TempFile first(OneVariable("F1")), second(OneVariable("F2"));
    PathList list{{first.Path(), second.Path()}};
    RunJob(&list);
    EXPECT_EQ(LinkJobOutcome(), LinkOutcome::NoAnswer);
    EXPECT_EQ(list.taken, 1u);
    EXPECT_STREQ(lastFilePath, first.Path()); // Resend retries it
    EXPECT_EQ(Ui().messages, std::vector<std::string>{kNoAnswer});
    EXPECT_EQ(Ui().captions, std::vector<std::string>{"Calquin Error"});
}

TEST(TransferJob, AnUnansweredEotIsToldToo) {
    // 74-byte file: VAR 11 bytes, ACK, CTS, ACK, DATA 16 bytes, ACK; the EOT starts at byte 43.
    Ti85Options options = TestTi85();
    options.link.stopAtByte = 44;
    SimulatedLink link(options);
    TempFile file(VariableFileOf({Entry(Bytes{0x0A, 0x00, 0x00, 0x01, 'A'}, Pattern(10))}));
    PathList list{{file.Path()}};
    RunJob(&list);
    EXPECT_EQ(link.Calculator().Variables().size(), 1u);
    EXPECT_EQ(LinkJobOutcome(), LinkOutcome::NoAnswer);
    EXPECT_EQ(Ui().messages, std::vector<std::string>{kNoAnswer});
}

TEST(TransferJob, AStopRequestEndsTheJobWithoutAMessage) {
    // The calculator never sends its answer to the header; the job is told to stop meanwhile.
    Ti85Options options = TestTi85();
    options.link.stopAtByte = 15;
    SimulatedLink link(options);
    TempFile first(OneVariable("A")), second(OneVariable("B"));
    PathList list{{first.Path(), second.Path()}};
    BeginTransferJob();
    RequestLinkStop(LinkStop::Cancel);
    SendBatch(NextPath, &list, true);
    EndTransferJob();
    EXPECT_EQ(LinkJobOutcome(), LinkOutcome::StopRequested);
    EXPECT_EQ(list.taken, 1u);
    EXPECT_TRUE(Ui().messages.empty());
}

TEST(TransferJob, AFailedStatusReadIsToldOnlyOnce) {
    SimulatedLink link;
    TempFile file(OneVariable("S"));
    PathList list{{file.Path()}};
    FailStatusReads(true);
    RunJob(&list);
    FailStatusReads(false);
    EXPECT_EQ(LinkJobOutcome(), LinkOutcome::StatusReadFailed);
    EXPECT_EQ(Ui().messages.size(), 1u);
    EXPECT_NE(Ui().messages[0], kNoAnswer);
}
