// Sending a 32 KB variable, and a backup of three ~16 KB chunks, to the simulated TI-85 over the
// virtual cable, the calculator in its fast setting (every level seen at once, no pace): the time
// per file, the link's byte rate, and the progress writes each DATA packet causes.
#include "protocol/packet.h"
#include "sim/simulated_ti85.h"
#include "tests/transfer/sample_files.h"
#include "tests/transfer/simulated_link.h"
#include "transfer/file_sender.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {
constexpr int kRounds = 5;

struct Round {
    double seconds;
    long linkBytes;
    std::size_t dataPackets;
    std::size_t progressWrites;
    bool intact;
    bool givenUp;
};

Round SendOnce(const Bytes& file, const std::vector<Bytes>& chunks) {
    Ti85Options fast;
    fast.link = FastCalculator();
    SimulatedLink link(fast);
    TempFile path(file);
    auto start = std::chrono::steady_clock::now();
    SendFile(link.Job(), path.Path());
    if (link.Link().bytesSent != 0)
        SendEndOfTransmission(link.Link());
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    link.WaitUntilDone();
    Round round{seconds, link.Calculator().Link().ByteCount(),
                0,       link.Ui().percents.size(),
                false,   link.Link().GivenUp()};
    for (const PacketRecord& packet : link.Calculator().Packets())
        round.dataPackets +=
            packet.direction == LinkDirection::PcToCalculator && packet.command == DATA;
    std::vector<ReceivedVariable> received = link.Calculator().Variables();
    round.intact = received.size() == 1 && received[0].chunks == chunks;
    return round;
}

void Report(const char* what, const Bytes& file, const std::vector<Bytes>& chunks) {
    std::vector<Round> rounds;
    for (int i = 0; i < kRounds; ++i)
        rounds.push_back(SendOnce(file, chunks));
    std::sort(rounds.begin(), rounds.end(),
              [](const Round& a, const Round& b) { return a.seconds < b.seconds; });
    const Round& median = rounds[kRounds / 2];
    long givenUp =
        std::count_if(rounds.begin(), rounds.end(), [](const Round& r) { return r.givenUp; });
    long damaged =
        std::count_if(rounds.begin(), rounds.end(), [](const Round& r) { return !r.intact; });
    std::printf("%s: %ld link bytes, best %.1f ms, median %.1f ms, worst %.1f ms; "
                "%.0f link bytes/s (median); %zu progress writes over %zu DATA packets "
                "(%.1f per packet); rounds given up %ld, received wrong %ld\n",
                what, median.linkBytes, rounds.front().seconds * 1e3, median.seconds * 1e3,
                rounds.back().seconds * 1e3, median.linkBytes / median.seconds,
                median.progressWrites, median.dataPackets,
                median.dataPackets ? double(median.progressWrites) / median.dataPackets : 0.0,
                givenUp, damaged);
}
} // namespace

int main() {
    Bytes variable = Pattern(32768, 1);
    Report("32 KB variable", VariableFileOf({Entry("BIG", variable)}), {variable});

    std::vector<Bytes> chunks = {Pattern(16384, 2), Pattern(16000, 3), Pattern(15872, 4)};
    Report("backup 3 x ~16 KB", VariableFileOf({BackupEntry(chunks[0], chunks[1], chunks[2])}),
           chunks);
    return 0;
}
