// What sending costs against a calculator with a real TI-85's pace (bits at about 2 KB/s, a few
// milliseconds before each answer), in process: a typical program over a direct line, the same
// over a slow line whose every line call lasts a millisecond (a USB serial adapter with its
// latency timer at 1 ms, under Linux), the same through an adapter whose driver answers status
// reads from the adapter's last report, which comes every millisecond (the latency timer at 1 ms,
// under Windows), and the time the wait for the idle link adds before each packet the PC sends.
// It prints figures; it is not a test.
//   realistic_bench [program bytes, default 1000] [slow-line program bytes, default 200]
//                   [slow line's call time in us, default 1000]
#include "link/link_byte.h"
#include "protocol/packet.h"
#include "tests/support/calculator_thread.h"
#include "tests/transfer/job_runner.h"
#include "tests/transfer/sample_files.h"
#include "tests/transfer/simulated_link.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// One job sending a program of `size` data bytes; its time, and the link bytes it took.
void SendProgram(const char* label, std::size_t size, std::chrono::microseconds lineCall,
                 std::chrono::microseconds reportPeriod = std::chrono::microseconds(0)) {
    Ti85Options options; // the calculator's own defaults
    SimulatedLink link(options);
    link.Pc().Lines().SetCallTime(lineCall);
    link.Pc().Lines().SetReportPeriod(reportPeriod);
    TempFile file(VariableFileOf({Entry("PROG", Pattern(size, 7))}));
    PathList list{{file.Path()}};
    const Clock::time_point start = Clock::now();
    RunJob(link.Pc(), &list);
    const double seconds = SecondsSince(start);
    link.WaitUntilDone();
    const long linkBytes = link.Calculator().Link().ByteCount();
    const bool intact = link.Calculator().Variables().size() == 1 &&
                        link.Calculator().Variables()[0].chunks[0] == Pattern(size, 7);
    std::printf("%-34s %6zu data bytes in %7.3f s: %6.0f data bytes/s, %6.0f link bytes/s%s\n",
                label, size, seconds, size / seconds, linkBytes / seconds,
                intact && !link.Link().GivenUp() ? "" : "  -- NOT TAKEN INTACT");
}

// The median time of four bytes sent as a packet of their own (after the wait for the idle link)
// and as bytes inside a packet, against the calculator's fast setting.
void IdleHold(const char* label, std::chrono::microseconds lineCall) {
    constexpr int kRounds = 21;
    CalculatorThread calculator(FastCalculator(), std::chrono::seconds(120));
    calculator.Run([](CalculatorLink& link) {
        std::uint8_t byte;
        while (link.ReceiveByte(&byte)) {
        }
    });
    calculator.PcLines().SetCallTime(lineCall);
    JobLink& link = calculator.PcLink();
    std::vector<double> asPacket, inPacket;
    for (int round = 0; round < kRounds; ++round) {
        for (bool packet : {true, false}) {
            const Clock::time_point start = Clock::now();
            ByteStart first = packet ? ByteStart::PacketStart : ByteStart::InPacket;
            for (std::uint8_t byte : {0x05, 0x56, 0x00, 0x00}) {
                SendLinkByte(link, byte, first);
                first = ByteStart::InPacket;
            }
            (packet ? asPacket : inPacket).push_back(SecondsSince(start));
        }
    }
    std::sort(asPacket.begin(), asPacket.end());
    std::sort(inPacket.begin(), inPacket.end());
    const double added = asPacket[kRounds / 2] - inPacket[kRounds / 2];
    std::printf("%-34s %.2f ms a packet, %.2f ms a variable (VAR, ACK, DATA)%s\n", label,
                added * 1e3, 3 * added * 1e3, link.GivenUp() ? "  -- GIVEN UP" : "");
}
} // namespace

int main(int argc, char** argv) {
    const long size = argc > 1 ? std::atol(argv[1]) : 1000;
    const long slowSize = argc > 2 ? std::atol(argv[2]) : 200;
    const std::chrono::microseconds call(argc > 3 ? std::atol(argv[3]) : 1000);
    if (size <= 0 || size > 65000 || slowSize <= 0 || slowSize > 65000 || call.count() <= 0) {
        std::fprintf(stderr, "usage: realistic_bench [program bytes] [slow-line program bytes] "
                             "[slow line's call time in us]\n");
        return 2;
    }
    std::printf("slow line: %.1f ms a line call\n", call.count() / 1e3);
    SendProgram("at the calculator's pace:", static_cast<std::size_t>(size),
                std::chrono::microseconds(0));
    SendProgram("over the slow line:", static_cast<std::size_t>(slowSize), call);
    SendProgram("slow writes, reports every 1 ms:", static_cast<std::size_t>(slowSize), call,
                std::chrono::milliseconds(1));
    IdleHold("wait for the idle link:", std::chrono::microseconds(0));
    IdleHold("the same over the slow line:", call);
    return 0;
}
