// One DATA packet of various sizes to the simulated TI-85 over the virtual cable, the calculator
// in its fast setting (every level seen at once, no pace): the time and byte rate of the packet,
// and the progress writes it causes, once taken at the first attempt and once rejected a first
// time.
#include "protocol/packet.h"
#include "sim/simulated_ti85.h"
#include "tests/support/calculator_thread.h"

#include <chrono>
#include <cstdio>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

struct Figures {
    double seconds;
    std::size_t progressWrites;
    bool taken;
};

Figures SendData(std::size_t size, int rejections) {
    CalculatorThread calculator(FastCalculator());
    Ti85Options options;
    options.link = FastCalculator();
    options.link.deadline = Clock::now() + std::chrono::seconds(60);
    SimulatedTi85 ti85(calculator.Cable(), options);
    ti85.Start();

    const std::vector<std::uint8_t> header = {5, 0, 0x00, 0x00, 0x00, 0x01, 'D'};
    std::vector<std::uint8_t> block = {static_cast<std::uint8_t>(size & 0xFF),
                                       static_cast<std::uint8_t>(size >> 8)};
    for (std::size_t i = 0; i < size; ++i)
        block.push_back(static_cast<std::uint8_t>(i * 13));
    JobLink& link = calculator.PcLink();
    SendPacket(link, VAR, header.data(), true);
    bool declined;
    ReadVariableReply(link, &declined);
    SendAck(link);

    calculator.Pc().Events().Clear();
    ti85.RejectPackets(rejections);
    Clock::time_point start = Clock::now();
    SendPacket(link, DATA, block.data(), true);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    SendEndOfTransmission(link);
    ti85.WaitUntilDone(options.link.deadline);
    std::vector<ReceivedVariable> variables = ti85.Variables();
    bool taken =
        !link.GivenUp() && variables.size() == 1 &&
        variables[0].chunks[0] == std::vector<std::uint8_t>(block.begin() + 2, block.end());
    return {seconds, calculator.Pc().Ui().percents.size(), taken};
}
} // namespace

int main() {
    std::printf("DATA payload  attempts  time ms    PC bytes/s  progress writes\n");
    for (std::size_t size : {1u, 3u, 99u, 100u, 300u, 4096u, 32768u, 65535u}) {
        for (int rejections : {0, 1}) {
            Figures figures = SendData(size, rejections);
            double pcBytes = double(size + 6) * (rejections + 1);
            std::printf("%12zu  %8d  %7.1f  %12.0f  %15zu%s\n", size, rejections + 1,
                        figures.seconds * 1e3, pcBytes / figures.seconds, figures.progressWrites,
                        figures.taken ? "" : "  -- NOT TAKEN INTACT");
        }
    }
    return 0;
}
