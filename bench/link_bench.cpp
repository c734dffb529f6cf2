// The byte handshake over the virtual cable, with the calculator's end in its fast setting (every
// level seen at once, no pace) on its own thread: bytes per second in each direction, and the line
// writes and status reads the PC makes per bit; then bytes sent and echoed one by one, where each
// echo waits for the calculator's pause before it answers (a turn-around).
// Usage: link_bench [bytes per run, default 20000]
#include "link/link_byte.h"
#include "tests/support/calculator_thread.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {
enum class Traffic { PcSends, PcReceives, Alternating };

std::uint8_t Pattern(long i) {
    return static_cast<std::uint8_t>(i * 37 + 11);
}

bool PcTurn(Traffic traffic, long i) {
    return traffic == Traffic::PcSends || (traffic == Traffic::Alternating && i % 2 == 0);
}

// One run of `count` bytes; false when the link was given up or a byte came out wrong.
bool Measure(const char* label, Traffic traffic, long count) {
    CalculatorThread calculator(FastCalculator(), std::chrono::seconds(600));
    calculator.Run([traffic, count](CalculatorLink& link) {
        std::uint8_t byte;
        for (long i = 0; i < count; ++i)
            if (!(PcTurn(traffic, i) ? link.ReceiveByte(&byte) : link.SendByte(Pattern(i))))
                return;
    });
    JobLink& link = calculator.PcLink();
    long wrong = 0;
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < count; ++i) {
        if (PcTurn(traffic, i))
            SendLinkByte(link, Pattern(i));
        else if (ReceiveLinkByte(link) != Pattern(i))
            ++wrong;
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    const VirtualPortCounters counts = calculator.PcLines().Counts();
    const bool joined = calculator.Join();
    const double bits = 8.0 * count;
    std::printf("%-22s %10.0f bytes/s  %6.2f writes/bit  %6.2f reads/bit  (%ld bytes, %.3f s)\n",
                label, count / seconds.count(), counts.writes / bits, counts.reads / bits, count,
                seconds.count());
    if (link.GivenUp())
        std::printf("  the link was given up\n");
    if (!joined)
        std::printf("  the calculator did not finish\n");
    if (wrong != 0)
        std::printf("  %ld bytes came out wrong\n", wrong);
    return joined && !link.GivenUp() && wrong == 0;
}
} // namespace

int main(int argc, char** argv) {
    const long count = argc > 1 ? std::atol(argv[1]) : 20000;
    if (count <= 0) {
        std::fprintf(stderr, "usage: link_bench [bytes per run]\n");
        return 2;
    }
    bool good = Measure("PC to calculator", Traffic::PcSends, count);
    good = Measure("calculator to PC", Traffic::PcReceives, count) && good;
    good = Measure("alternating (echo)", Traffic::Alternating, std::min(count, 2000L)) && good;
    return good ? 0 : 1;
}
