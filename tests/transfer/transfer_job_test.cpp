#include "transfer/transfer_job.h"

#include "link/link_wait.h"
#include "protocol/packet.h"
#include "tests/support/link_watchdog.h"
#include "tests/support/parallel_scenarios.h"
#include "tests/transfer/job_runner.h"
#include "tests/transfer/sample_files.h"
#include "tests/transfer/simulated_link.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {
Bytes OneVariable(const std::string& name) {
    return VariableFileOf({Entry(name, Pattern(6))});
}
} // namespace

TEST(TransferJob, TheBatchStopsAtTheFirstFileThatEndsItAndStillSendsTheEot) {
    Ti85Options options = TestTi85();
    options.skipReasons[1] = 1; // the second file's variable: the user exits on the calculator
    SimulatedLink link(options);
    LastPath last;
    TempFile first(OneVariable("F1")), second(OneVariable("F2")), third(OneVariable("F3"));
    PathList list{{first.Path(), second.Path(), third.Path()}};
    RunJob(link.Pc(), &list, &last);
    ASSERT_TRUE(link.WaitUntilDone());
    EXPECT_EQ(list.taken, 2u);
    EXPECT_STREQ(last.path, second.Path());
    EXPECT_EQ(link.Calculator().Variables().size(), 1u);
    EXPECT_EQ(link.Calculator().EotCount(), 1);
    EXPECT_EQ(link.Calculator().Failure(), "");
}

TEST(TransferJob, ADeclinedVariableAloneIsEnoughForAnEot) {
    Ti85Options options = TestTi85();
    options.skipReasons[0] = 2;
    SimulatedLink link(options);
    LastPath last;
    TempFile file(OneVariable("NO"));
    PathList list{{file.Path()}};
    RunJob(link.Pc(), &list, &last);
    ASSERT_TRUE(link.WaitUntilDone());
    EXPECT_TRUE(link.Calculator().Variables().empty());
    EXPECT_EQ(link.Calculator().EotCount(), 1);
}

TEST(TransferJob, FileErrorsAreToldAndTheBatchGoesOn) {
    SimulatedLink link;
    LastPath last;
    Bytes wrongSignature = OneVariable("X");
    wrongSignature[0] = '#';
    std::string missing = MissingPath();
    TempFile wrong(wrongSignature), good(OneVariable("GOOD"));
    PathList list{{missing, wrong.Path(), good.Path()}};
    RunJob(link.Pc(), &list, &last);
    ASSERT_TRUE(link.WaitUntilDone());
    EXPECT_EQ(link.Ui().messages.size(), 2u);
    EXPECT_EQ(link.Calculator().Variables().size(), 1u);
    EXPECT_EQ(link.Calculator().EotCount(), 1);
    EXPECT_STREQ(last.path, good.Path());
}

TEST(TransferJob, NothingSentMeansNoEot) {
    SimulatedLink link;
    LastPath last;
    std::string missing = MissingPath();
    PathList list{{missing}};
    RunJob(link.Pc(), &list, &last);
    EXPECT_STREQ(last.path, missing.c_str());
    // An empty list, as when the open-file dialog is cancelled: the last path stays.
    PathList none;
    link.Pc().Events().Clear();
    RunJob(link.Pc(), &none, &last);
    EXPECT_STREQ(last.path, missing.c_str());
    EXPECT_EQ(link.Calculator().Link().ByteCount(), 0);
}

TEST(TransferJob, ABackupEndsTheBatchWithoutAnEot) {
    SimulatedLink link;
    LastPath last;
    TempFile variables(OneVariable("V")),
        backup(VariableFileOf({BackupEntry(Pattern(7), Pattern(8), Pattern(9))})),
        after(OneVariable("AFTER"));
    PathList list{{variables.Path(), backup.Path(), after.Path()}};
    RunJob(link.Pc(), &list, &last);
    ASSERT_TRUE(link.WaitUntilDone());
    EXPECT_EQ(list.taken, 2u);
    EXPECT_EQ(link.Link().bytesSent, 0u);
    EXPECT_EQ(link.Calculator().Variables().size(), 2u);
    EXPECT_EQ(link.Calculator().EotCount(), 0);
    EXPECT_EQ(link.Calculator().Packets().back().command, ACK); // of the third chunk: nothing after
}

TEST(TransferJob, ResendSendsTheLastFileAgainAndKeepsIt) {
    Ti85Options options = TestTi85();
    options.keepReceiving = true;
    SimulatedLink link(options);
    LastPath last;
    TempFile file(OneVariable("AGAIN"));
    PathList list{{file.Path()}};
    RunJob(link.Pc(), &list, &last);
    char* stored = last.path;
    link.Pc().Events().Clear();
    TransferJob& resend = link.Pc().NewJob();
    ResendLastFile(resend, last.path);
    EndTransferJob(resend);
    EXPECT_EQ(last.path, stored);
    EXPECT_STREQ(last.path, file.Path());
    // Each job: VAR, ACK, CTS, ACK, DATA, ACK, EOT, ACK.
    ASSERT_TRUE(link.Calculator().WaitForPackets(16, std::chrono::steady_clock::now() +
                                                         std::chrono::seconds(20)));
    EXPECT_EQ(link.Calculator().Variables().size(), 2u);
    EXPECT_EQ(link.Calculator().EotCount(), 2);
}

TEST(TransferJob, ResendBeforeAnythingWasSentIsAnOpenFailure) {
    SimulatedLink link;
    LastPath last; // no job has stored one
    ResendLastFile(link.Job(), last.path);
    EndTransferJob(link.Job());
    EXPECT_EQ(link.Ui().messages,
              std::vector<std::string>{"Error opening file: (no file has been sent yet)"});
    EXPECT_EQ(last.path, nullptr);
    EXPECT_EQ(link.Calculator().Link().ByteCount(), 0);
}

// The cable pulled at link byte `byte`: inside the first file's header, before the PC's ACK of
// the calculator's CTS, before the PC's DATA. Only the job's first packet and the answers to a
// variable header may wait for a person: each of these ends within seconds.
void UnpluggedAt(long byte) {
    Ti85Options options = TestTi85();
    options.link.stopAtByte = byte;
    SimulatedLink link(options);
    LinkWatchdog watchdog(link.Pc());
    LastPath last;
    TempFile first(OneVariable("F1")), second(OneVariable("F2"));
    PathList list{{first.Path(), second.Path()}};
    RunJob(link.Pc(), &list, &last);
    EXPECT_LT(std::chrono::steady_clock::now() - link.Calculator().Link().StoppedAnsweringAt(),
              kLinkAnswerLimit + std::chrono::milliseconds(1500));
    EXPECT_EQ(link.Link().Outcome(), LinkOutcome::NoAnswer);
    EXPECT_EQ(list.taken, 1u);
    EXPECT_STREQ(last.path, first.Path()); // Resend retries it
    EXPECT_EQ(link.Ui().messages, std::vector<std::string>{kNoAnswer});
    EXPECT_EQ(link.Ui().captions, std::vector<std::string>{"Calquin Error"});
}

TEST(TransferJob, ACalculatorThatStopsAnsweringEndsTheJobWithAMessage) {
    RunScenariosInParallel({{"in the header", [] { UnpluggedAt(6); }},
                            {"before the PC's ACK", [] { UnpluggedAt(20); }},
                            {"before the PC's DATA", [] { UnpluggedAt(24); }}},
                           std::chrono::seconds(30));
}

// What the link learnt about a slow port comes as a second line after the message, as it
// stands.
TEST(TransferJob, AGivenUpJobOnASlowPortTellsWhatLimitedTheLink) {
    Ti85Options options = TestTi85();
    options.link.stopAtByte = 6;
    SimulatedLink link(options);
    link.Pc().Lines().SetCallTime(std::chrono::milliseconds(1));
    TempFile file(OneVariable("F1"));
    PathList list{{file.Path()}};
    RunJob(link.Pc(), &list);
    EXPECT_EQ(link.Link().Outcome(), LinkOutcome::NoAnswer);
    ASSERT_EQ(link.Ui().messages.size(), 1u);
    const std::string& message = link.Ui().messages[0];
    EXPECT_EQ(message.substr(0, kNoAnswer.size() + 1), kNoAnswer + "\n");
    EXPECT_NE(message.find("\nEach switch or reading of a line took 1."), std::string::npos)
        << message;
    EXPECT_EQ(message.find('\n', kNoAnswer.size() + 1), std::string::npos) << "one line";
}

TEST(TransferJob, AnUnansweredEotIsToldToo) {
    // 74-byte file: VAR 11 bytes, ACK, CTS, ACK, DATA 16 bytes, ACK; the EOT starts at byte 43.
    Ti85Options options = TestTi85();
    options.link.stopAtByte = 44;
    SimulatedLink link(options);
    TempFile file(VariableFileOf({Entry(Bytes{0x0A, 0x00, 0x00, 0x01, 'A'}, Pattern(10))}));
    PathList list{{file.Path()}};
    RunJob(link.Pc(), &list);
    EXPECT_EQ(link.Calculator().Variables().size(), 1u);
    EXPECT_EQ(link.Link().Outcome(), LinkOutcome::NoAnswer);
    EXPECT_EQ(link.Ui().messages, std::vector<std::string>{kNoAnswer});
}

namespace {
// A batch of two files whose job is cancelled as it starts: it ends inside the first file,
// given up as the user asked, without a message.
void RunCancelledBatchOfTwo(SimulatedLink& link) {
    TempFile first(OneVariable("A")), second(OneVariable("B"));
    PathList list{{first.Path(), second.Path()}};
    LastPath last;
    TransferJob& job = link.Pc().NewJob();
    job.Link().RequestStop(LinkStop::Cancel);
    SendBatch(job, NextPath, &list, &last.path);
    EndTransferJob(job);
    EXPECT_EQ(link.Link().Outcome(), LinkOutcome::StopRequested);
    EXPECT_EQ(list.taken, 1u);
    EXPECT_TRUE(link.Ui().messages.empty());
}
} // namespace

TEST(TransferJob, AStopRequestEndsTheJobWithoutAMessage) {
    // The calculator never sends its answer to the header; the job is told to stop meanwhile.
    Ti85Options options = TestTi85();
    options.link.stopAtByte = 15;
    SimulatedLink link(options);
    RunCancelledBatchOfTwo(link);
}

TEST(TransferJob, AfterCancelTheNextRefusalEndsTheJobQuietly) {
    // Without Cancel the header would go out again until the calculator takes it.
    Ti85Options options = TestTi85();
    options.rejectPackets = 3;
    SimulatedLink link(options);
    RunCancelledBatchOfTwo(link);
    // The refusal is recorded once its last bit is through, which may come after the job's end.
    ASSERT_TRUE(link.Calculator().WaitForPackets(2, std::chrono::steady_clock::now() +
                                                        std::chrono::seconds(10)));
    link.Calculator().Stop();
    std::vector<PacketRecord> packets = link.Calculator().Packets();
    ASSERT_EQ(packets.size(), 2u); // the header and its refusal: no resend, no ACK, no EOT
    EXPECT_EQ(packets[0].command, VAR);
    EXPECT_EQ(packets[1].direction, LinkDirection::CalculatorToPc);
    EXPECT_NE(packets[1].command, ACK);
}

TEST(TransferJob, AFullMemoryIsToldAfterTheEotAlsoWhenTheEotIsNotDelivered) {
    // 74-byte file: VAR 11 bytes, ACK, SKIP 7 bytes, ACK; the EOT starts at byte 26. The
    // calculator stops answering inside it (the job gives up), or at its start (the job waits
    // until it is cancelled).
    const std::string kFull = "The calculator is out of memory.";
    struct Case {
        long stopAtByte;
        LinkStop stop;
        std::vector<std::string> messages;
    };
    for (const Case& run :
         {Case{27, LinkStop::None, {kFull, kNoAnswer}}, Case{26, LinkStop::Cancel, {kFull}}}) {
        Ti85Options options = TestTi85();
        options.skipReasons[0] = 3;
        options.link.stopAtByte = run.stopAtByte;
        SimulatedLink link(options);
        TempFile file(VariableFileOf({Entry(Bytes{0x0A, 0x00, 0x00, 0x01, 'A'}, Pattern(10))}));
        PathList list{{file.Path()}};
        LastPath last;
        TransferJob& job = link.Job();
        job.Link().RequestStop(run.stop);
        SendBatch(job, NextPath, &list, &last.path);
        EndTransferJob(job);
        EXPECT_EQ(link.Calculator().Failure(), "unplugged");
        EXPECT_EQ(link.Ui().messages, run.messages);
    }
}

TEST(TransferJob, AFailedStatusReadIsToldOnlyOnce) {
    SimulatedLink link;
    LastPath last;
    TempFile file(OneVariable("S"));
    PathList list{{file.Path()}};
    link.Pc().Lines().FailStatusReads(true);
    RunJob(link.Pc(), &list, &last);
    link.Pc().Lines().FailStatusReads(false);
    EXPECT_EQ(link.Link().Outcome(), LinkOutcome::StatusReadFailed);
    EXPECT_EQ(link.Ui().messages.size(), 1u);
    EXPECT_NE(link.Ui().messages[0], kNoAnswer);
}
