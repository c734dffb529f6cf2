#include "transfer/file_sender.h"

#include "protocol/packet.h"
#include "tests/support/recorded_variables.h"
#include "tests/support/same_variables.h"
#include "tests/transfer/sample_files.h"
#include "tests/transfer/simulated_link.h"
#include "transfer/after_exchange.h"
#include "transfer/batch_receiver.h"
#include "transfer/received_file_name.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>

namespace {
// Closes the session as a job does, and waits until the calculator has taken all of it.
void EndSession(SimulatedLink& link) {
    SendEndOfTransmission(link.Link());
    ASSERT_TRUE(link.WaitUntilDone());
    EXPECT_EQ(link.Calculator().Failure(), "");
    EXPECT_EQ(link.Calculator().EotCount(), 1);
}

std::size_t PcPackets(const SimulatedTi85& calculator, std::uint8_t command) {
    std::size_t count = 0;
    for (const PacketRecord& packet : calculator.Packets())
        count += packet.direction == LinkDirection::PcToCalculator && packet.command == command;
    return count;
}

std::vector<std::string> ReceivedNames(const SimulatedTi85& calculator) {
    std::vector<std::string> names;
    for (const ReceivedVariable& variable : calculator.Variables())
        names.push_back(variable.name);
    return names;
}

void AppendChecksum(Bytes* bytes, const Bytes& payload) {
    unsigned sum = std::accumulate(payload.begin(), payload.end(), 0u);
    bytes->push_back(static_cast<std::uint8_t>(sum & 0xFF));
    bytes->push_back(static_cast<std::uint8_t>((sum >> 8) & 0xFF));
}

const std::string kDamaged = " is damaged or truncated";
} // namespace

TEST(FileSender, TheSeventyFourByteFileGoesOutAsOneExchange) {
    SimulatedLink link;
    Bytes header = {0x0A, 0x00, 0x00, 0x01, 'A'};
    Bytes data = Pattern(10, 0xC0);
    TempFile file(VariableFileOf({Entry(header, data)}));
    EXPECT_TRUE(SendFile(link.Job(), file.Path()));
    EXPECT_EQ(link.Link().bytesSent, 15u);
    EndSession(link);

    Bytes expected = {0x05, 0x06, 0x05, 0x00, 0x0A, 0x00, 0x00, 0x01, 0x41, 0x4C,
                      0x00, 0x05, 0x56, 0x00, 0x00, 0x05, 0x15, 0x0A, 0x00};
    expected.insert(expected.end(), data.begin(), data.end());
    AppendChecksum(&expected, data);
    expected.insert(expected.end(), {0x05, 0x92, 0x00, 0x00});
    EXPECT_EQ(link.BytesFromPc(), expected);
    EXPECT_EQ(link.Ui().variableNames, std::vector<std::string>{"A"});
    EXPECT_EQ(link.Ui().percents.back(), 100);
    EXPECT_TRUE(link.Ui().messages.empty());
}

TEST(FileSender, ThreeVariablesArriveByteForByte) {
    // A header whose data-length field says 100 over three data bytes, a variable with no
    // data, and one of 300 bytes; junk in the header gap and behind the data section.
    Bytes lying = VariableHeader(0x04, "LONG", 100);
    Bytes empty = VariableHeader(0x0C, "ZERO", 0);
    Bytes list = VariableHeader(0x12, "LIST", 300);
    std::vector<Bytes> data = {Pattern(3, 0xFD), {}, Pattern(300, 7)};
    TempFile file(
        VariableFileOf({Entry(lying, data[0]), Entry(empty, data[1]), Entry(list, data[2])},
                       {0xA5, Bytes{0x00, 0x0B, 0x00, 0x06, 0x00, 0xFF}}));
    SimulatedLink link;
    EXPECT_TRUE(SendFile(link.Job(), file.Path()));
    EXPECT_EQ(link.Link().bytesSent, lying.size() + empty.size() + list.size() + 303);
    EndSession(link);

    std::vector<ReceivedVariable> received = link.Calculator().Variables();
    ASSERT_EQ(received.size(), 3u);
    std::vector<Bytes> headers = {lying, empty, list};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(received[i].header, headers[i]) << i;
        EXPECT_EQ(received[i].chunks, std::vector<Bytes>{data[i]}) << i;
        EXPECT_FALSE(received[i].backup);
    }
    EXPECT_EQ(link.Ui().variableNames, (std::vector<std::string>{"LONG", "ZERO", "LIST"}));
}

TEST(FileSender, ShortHeadersAndOverlongNamesGoOutUnchanged) {
    // A two-byte header has no type byte: the 0x1D at entry offset 4 is its data length.
    Bytes noType = {0x1D, 0x00};
    Bytes longName = {0x01, 0x00, 0x00, 0xFF, 'N'};
    TempFile file(VariableFileOf(
        {Entry(noType, Pattern(0x1D)), Entry(longName, Pattern(1)), Entry("LAST", Pattern(2))}));
    SimulatedLink link;
    EXPECT_TRUE(SendFile(link.Job(), file.Path()));
    EndSession(link);
    std::vector<ReceivedVariable> received = link.Calculator().Variables();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0].header, noType);
    EXPECT_EQ(received[0].chunks, std::vector<Bytes>{Pattern(0x1D)});
    EXPECT_EQ(received[1].header, longName);
    ASSERT_EQ(link.Ui().variableNames.size(), 3u);
    EXPECT_EQ(link.Ui().variableNames[1], "N");
    EXPECT_TRUE(link.Ui().messages.empty());
}

TEST(FileSender, FilesThatCannotBeSentAreToldAndSendNothing) {
    SimulatedLink link;
    Bytes lowerCase = VariableFileOf({Entry("A", Pattern(2))});
    lowerCase[3] = 'i';
    std::string missing = MissingPath();
    TempFile wrong(lowerCase), noEntries(VariableFileOf({}));

    for (const char* path : {missing.c_str(), wrong.Path(), noEntries.Path()})
        EXPECT_TRUE(SendFile(link.Job(), path)) << path;
    EXPECT_EQ(link.Ui().messages, (std::vector<std::string>{"Error opening file: " + missing,
                                                            "File: " + std::string(wrong.Path()) +
                                                                " has incorrect signature"}));
    EXPECT_EQ(link.Ui().captions, std::vector<std::string>(2, "Calquin Error"));
    EXPECT_EQ(link.Calculator().Link().ByteCount(), 0);
    EXPECT_EQ(link.Link().bytesSent, 0u);
}

TEST(FileSender, AHugeFileIsJudgedAndSentByItsStart) {
    // Past 4 GiB (sparse): zeros behind a sound file, and behind a wrong signature.
    Bytes wrongStart = VariableFileOf({Entry("NOT", Pattern(40))});
    wrongStart[0] = '#';
    TempFile sound(VariableFileOf({Entry("BIG", Pattern(40))})), wrong(wrongStart);
    for (const TempFile* file : {&sound, &wrong})
        std::filesystem::resize_file(file->Path(), (std::uint64_t{1} << 32) + 100);
    SimulatedLink link;
    EXPECT_TRUE(SendFile(link.Job(), wrong.Path()));
    EXPECT_TRUE(SendFile(link.Job(), sound.Path()));
    EndSession(link);
    EXPECT_EQ(link.Ui().messages, std::vector<std::string>{"File: " + std::string(wrong.Path()) +
                                                           " has incorrect signature"});
    EXPECT_EQ(ReceivedNames(link.Calculator()), std::vector<std::string>{"BIG"});
}

TEST(FileSender, AVeryLongPathIsShortenedToItsEnd) {
    SimulatedLink link;
    std::string path = ::testing::TempDir() + std::string(600, 'd') + "/THE_FILE.85g";
    EXPECT_TRUE(SendFile(link.Job(), path.c_str()));
    ASSERT_EQ(link.Ui().messages.size(), 1u);
    const std::string& message = link.Ui().messages[0];
    std::string prefix = "Error opening file: ";
    EXPECT_EQ(message.size(), 511u);
    EXPECT_EQ(message.substr(0, prefix.size()), prefix);
    EXPECT_EQ(message.substr(prefix.size()), path.substr(path.size() - (511 - prefix.size())));
}

TEST(FileSender, AVeryLongPathInAnyLanguageIsShortenedAtAWholeCharacter) {
    SimulatedLink link;
    std::string alphas;
    for (int i = 0; i < 300; ++i)
        alphas += "\xce\xb1"; // α, two bytes in UTF-8
    std::string path = ::testing::TempDir() + alphas + ".85g";
    EXPECT_TRUE(SendFile(link.Job(), path.c_str()));
    ASSERT_EQ(link.Ui().messages.size(), 1u);
    const std::string& message = link.Ui().messages[0];
    std::string prefix = "Error opening file: ";
    ASSERT_LE(message.size(), 511u);
    ASSERT_GT(message.size(), 500u);
    std::string kept = message.substr(prefix.size());
    EXPECT_EQ(kept, path.substr(path.size() - kept.size()));
    EXPECT_EQ(kept.substr(0, 2), "\xce\xb1");
}

TEST(FileSender, EveryCutFileIsRefusedBeforeAByteGoesOut) {
    SimulatedLink link;
    std::vector<Bytes> variables = {Entry("ONE", Pattern(20)), Entry("TWO", {}),
                                    Entry("SIX", Pattern(9))};
    std::vector<Bytes> backup = {Entry("V", Pattern(3)),
                                 BackupEntry(Pattern(8), Pattern(5), Pattern(7))};
    std::size_t refused = 0;
    for (const std::vector<Bytes>* entries : {&variables, &backup}) {
        for (const CutFile& cut : CutsOf(*entries)) {
            if (cut.sound)
                continue;
            TempFile file(cut.bytes);
            EXPECT_TRUE(SendFile(link.Job(), file.Path()));
            ASSERT_EQ(link.Ui().messages.size(), ++refused);
            EXPECT_EQ(link.Ui().messages.back(), "File: " + std::string(file.Path()) + kDamaged);
        }
    }
    EXPECT_EQ(link.Calculator().Link().ByteCount(), 0);
    EXPECT_EQ(link.Link().bytesSent, 0u);
}

TEST(FileSender, ABackupSendsItsThreeChunksAndEndsTheFile) {
    SimulatedLink link;
    Bytes backup = BackupEntry(Pattern(40), Pattern(30, 7), Pattern(20, 9));
    TempFile file(VariableFileOf({Entry("V", Pattern(2)), backup, Entry("NOT", Pattern(3))}));
    EXPECT_FALSE(SendFile(link.Job(), file.Path()));
    EXPECT_EQ(link.Link().bytesSent, 0u);
    ASSERT_TRUE(link.WaitUntilDone()); // the calculator's session ends with the third chunk
    EXPECT_EQ(link.Calculator().Failure(), "");

    std::vector<ReceivedVariable> received = link.Calculator().Variables();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_TRUE(received[1].backup);
    EXPECT_EQ(received[1].header, Bytes(backup.begin() + 2, backup.begin() + 2 + 9));
    EXPECT_EQ(received[1].chunks,
              (std::vector<Bytes>{Pattern(40), Pattern(30, 7), Pattern(20, 9)}));
    EXPECT_EQ(PcPackets(link.Calculator(), VAR), 2u);
    std::vector<std::string> names = link.Ui().variableNames;
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(names.end() - 3, names.end()),
              (std::vector<std::string>{"Chunk1", "Chunk2", "Chunk3"}));
}

namespace {
struct DeclinedRun {
    bool result;
    std::vector<std::string> received;
    std::size_t headers;
    std::size_t dataPackets;
    std::vector<std::string> messages; // by the end of the session
    RecordedUi afterExchange;          // once what waits for its end has been told, twice
};

// Three variables; the calculator declines the second with `reason`.
DeclinedRun SendThreeDecliningTheSecond(std::uint8_t reason) {
    Ti85Options options = TestTi85();
    options.skipReasons[1] = reason;
    SimulatedLink link(options);
    TempFile file(VariableFileOf(
        {Entry("ONE", Pattern(3)), Entry("TWO", Pattern(4)), Entry("SIX", Pattern(5))}));
    DeclinedRun run;
    run.result = SendFile(link.Job(), file.Path());
    // The calculator insists on the PC's ACK after its SKIP before it takes the EOT.
    EndSession(link);
    run.received = ReceivedNames(link.Calculator());
    run.headers = PcPackets(link.Calculator(), VAR);
    run.dataPackets = PcPackets(link.Calculator(), DATA);
    run.messages = link.Ui().messages;
    TellAfterExchange(link.Job());
    TellAfterExchange(link.Job());
    run.afterExchange = link.Ui();
    return run;
}
} // namespace

TEST(FileSender, SkipThisOneGoesOnWithTheNextVariable) {
    DeclinedRun run = SendThreeDecliningTheSecond(2);
    EXPECT_TRUE(run.result);
    EXPECT_EQ(run.received, (std::vector<std::string>{"ONE", "SIX"}));
    EXPECT_EQ(run.headers, 3u);
    EXPECT_TRUE(run.messages.empty());
}

TEST(FileSender, ExitOnTheCalculatorEndsTheFile) {
    DeclinedRun run = SendThreeDecliningTheSecond(1);
    EXPECT_FALSE(run.result);
    EXPECT_EQ(run.received, std::vector<std::string>{"ONE"});
    EXPECT_EQ(run.headers, 2u);
    EXPECT_TRUE(run.messages.empty());
}

TEST(FileSender, AFullMemoryEndsTheFileAndIsToldOnceTheExchangeIsOver) {
    DeclinedRun run = SendThreeDecliningTheSecond(3);
    EXPECT_FALSE(run.result);
    EXPECT_EQ(run.received, std::vector<std::string>{"ONE"});
    EXPECT_EQ(run.headers, 2u);
    EXPECT_TRUE(run.messages.empty()); // the calculator still waits for the batch's EOT
    EXPECT_EQ(run.afterExchange.messages,
              std::vector<std::string>{"The calculator is out of memory."});
    EXPECT_EQ(run.afterExchange.captions, std::vector<std::string>{"Calquin Error"});
}

TEST(FileSender, ASkipWhoseReasonIsTheValueOfCtsIsStillASkip) {
    for (std::uint8_t reason : {std::uint8_t{0x09}, std::uint8_t{0x00}, std::uint8_t{0x56}}) {
        DeclinedRun run = SendThreeDecliningTheSecond(reason);
        EXPECT_FALSE(run.result) << int(reason);
        EXPECT_EQ(run.headers, 2u);
        EXPECT_EQ(run.dataPackets, 1u); // the declined variable's data never goes out
    }
}

TEST(FileSender, ADeclinedBackupEndsTheFile) {
    Ti85Options options = TestTi85();
    options.skipReasons[0] = 2; // even "skip this one": its chunks cannot be stepped over
    SimulatedLink link(options);
    TempFile file(VariableFileOf(
        {BackupEntry(Pattern(4), Pattern(5), Pattern(6)), Entry("NOT", Pattern(1))}));
    EXPECT_FALSE(SendFile(link.Job(), file.Path()));
    EndSession(link);
    EXPECT_EQ(PcPackets(link.Calculator(), VAR), 1u);
    EXPECT_EQ(PcPackets(link.Calculator(), DATA), 0u);
    // "Chunk1" is shown before the answer is known.
    EXPECT_EQ(link.Ui().variableNames.back(), "Chunk1");
}

TEST(FileSender, RejectedPacketsGoOutAgainUnchanged) {
    Ti85Options options = TestTi85();
    options.rejectPackets = 2;
    SimulatedLink link(options);
    Bytes header = VariableHeader(0x00, "R", 50);
    TempFile file(VariableFileOf({Entry(header, Pattern(50))}));
    EXPECT_TRUE(SendFile(link.Job(), file.Path()));
    EXPECT_EQ(link.Link().bytesSent, 3 * header.size() + 50);
    EndSession(link);
    std::vector<PacketRecord> headers;
    for (const PacketRecord& packet : link.Calculator().Packets())
        if (packet.direction == LinkDirection::PcToCalculator && packet.command == VAR)
            headers.push_back(packet);
    ASSERT_EQ(headers.size(), 3u);
    for (const PacketRecord& packet : headers) {
        EXPECT_EQ(packet.payload, header);
        EXPECT_TRUE(packet.checksumGood);
    }
    ASSERT_EQ(link.Calculator().Variables().size(), 1u);
    EXPECT_EQ(link.Calculator().Variables()[0].chunks[0], Pattern(50));
}

TEST(FileSender, ALinkGivenUpMidFileEndsItAtOnce) {
    // The calculator goes silent in the middle of the backup's header.
    Ti85Options options = TestTi85();
    options.link.stopAtByte = 4;
    options.link.stopAtBit = 3;
    SimulatedLink link(options);
    TempFile file(VariableFileOf({BackupEntry(Pattern(4), Pattern(5), Pattern(6))}));
    EXPECT_FALSE(SendFile(link.Job(), file.Path()));
    EXPECT_EQ(link.Link().Outcome(), LinkOutcome::NoAnswer);
    for (const std::string& name : link.Ui().variableNames)
        EXPECT_EQ(name.rfind("Chunk", 0), std::string::npos) << name;
    EXPECT_TRUE(link.Ui().messages.empty()); // the job tells the user, not the sender
}

// What the calculator sent, received and written as a file, goes back to a calculator in
// receive mode byte for byte: a group of two variables, then a backup.
TEST(FileSender, AReceivedFileSentBackArrivesByteForByte) {
    const std::vector<ReceivedVariable> batches[] = {
        {{VariableHeader(0x12, "PROG", 300), {Pattern(300, 7)}, false, ""},
         {VariableHeader(0x0C, "S\xC1", 2), {{'h', 'i'}}, false, ""}},
        {{VariableHeader(0x1D, "", 40), {Pattern(40, 1), {}, Pattern(3, 2)}, true, ""}}};
    for (const std::vector<ReceivedVariable>& batch : batches) {
        Ti85Options sending = TestTi85();
        sending.send = batch;
        SimulatedLink from(sending);
        RecordedVariables received;
        EXPECT_EQ(ReceiveBatch(from.Link(), received).end, ReceiveEnd::Completed);
        Bytes image;
        ASSERT_EQ(BuildVariableFile(received.entries, &image), FileImage::Built);
        TempFile file(image, ProposedFileName(received.entries));

        SimulatedLink to;
        const bool backup = batch[0].backup;
        EXPECT_EQ(SendFile(to.Job(), file.Path()), !backup);
        if (!backup)
            SendEndOfTransmission(to.Link());
        ASSERT_TRUE(to.WaitUntilDone());
        ExpectSameVariables(to.Calculator().Variables(), batch);
    }
}
