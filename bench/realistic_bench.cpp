// What sending costs against a calculator with a real TI-85's pace (bits at about 2 KB/s, a few
// milliseconds before each answer), in process: a program over a direct line, and through each
// USB serial adapter model, Linux-like (every line call a round trip) and Windows-like (writes
// of 1 ms, status reads answered from the adapter's last report); and the time the wait for the
// idle link adds before each packet the PC sends. It prints figures; it is not a test.
//   realistic_bench [program bytes, default 1700] [bytes through a port that reports every 16 or
//                   40 ms, default 100] [calculator's turn-around in us, default 3000]
// Each bit costs two writes and two reads, each read made twice to confirm it: the limit the
// line calls set is one byte per eight times those six calls. For the Windows-like models the
// reads cost nothing, but each half of a bit is a write and then the report that shows the
// calculator's answer, which comes up to a report period later: the limit is one byte per
// eight times two writes and two periods.
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

constexpr int kCallsPerBit = 6;
constexpr int kWritesPerBit = 2;

// What the line calls of one bit cost at least through `adapter`, in seconds.
double BitCallTime(const AdapterModel* adapter) {
    if (!adapter)
        return 0;
    const double call = (adapter->callTime.count() + adapter->jitter.count() / 2.0) / 1e6;
    const double report = adapter->reportPeriod.count() / 1e6;
    return report > 0 ? kWritesPerBit * (call + report) : kCallsPerBit * call;
}

// One job sending a program of `size` data bytes through `adapter` (null: a direct line); its
// time, the bytes the PC put on the link per second, and the limit the line calls set.
void SendProgram(const char* label, std::size_t size, std::chrono::microseconds turnaround,
                 const AdapterModel* adapter) {
    Ti85Options options; // the calculator's own defaults
    options.link.turnaround = turnaround;
    SimulatedLink link(options, std::chrono::seconds(1800));
    if (adapter)
        link.Pc().Lines().Model(*adapter);
    TempFile file(VariableFileOf({Entry("PROG", Pattern(size, 7))}));
    PathList list{{file.Path()}};
    const Clock::time_point start = Clock::now();
    RunJob(link.Pc(), &list);
    const double seconds = SecondsSince(start);
    link.WaitUntilDone();
    const double fromPc =
        static_cast<double>(link.Calculator().Link().BytesIn(LinkDirection::PcToCalculator).size());
    const VirtualPortCounters calls = link.Pc().Lines().Counts();
    const double bits = 8.0 * static_cast<double>(link.Calculator().Link().ByteCount());
    const bool intact = link.Calculator().Variables().size() == 1 &&
                        link.Calculator().Variables()[0].chunks[0] == Pattern(size, 7);
    std::printf("%-34s %5zu data bytes in %7.2f s: %6.1f data B/s, PC to calculator %6.1f B/s",
                label, size, seconds, size / seconds, fromPc / seconds);
    const double bitCalls = BitCallTime(adapter);
    if (bitCalls > 0)
        std::printf(", limit %6.1f B/s (%3.0f %%), %.1f calls a bit", 1 / (8 * bitCalls),
                    100 * fromPc / seconds * 8 * bitCalls,
                    static_cast<double>(calls.writes + calls.reads) / bits);
    std::printf("%s\n", intact && !link.Link().GivenUp() ? "" : "  -- NOT TAKEN INTACT");
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
    const long size = argc > 1 ? std::atol(argv[1]) : 1700;
    const long lateSize = argc > 2 ? std::atol(argv[2]) : 100;
    const long turnaround = argc > 3 ? std::atol(argv[3]) : 3000;
    if (size <= 0 || size > 65000 || lateSize <= 0 || lateSize > 65000 || turnaround < 0) {
        std::fprintf(stderr, "usage: realistic_bench [program bytes] [bytes through a port that "
                             "reports every 16 or 40 ms] [turn-around in us]\n");
        return 2;
    }
    const std::chrono::microseconds turn(turnaround);
    std::printf("calculator's turn-around: %.1f ms\n", turnaround / 1e3);
    SendProgram("direct line:", static_cast<std::size_t>(size), turn, nullptr);
    for (const AdapterModel* adapter :
         {&kLinuxCalls100us, &kLinuxCalls250us, &kLinuxCalls1ms, &kWindowsReports1ms,
          &kWindowsReports16ms, &kWindowsReports40ms}) {
        const bool late = adapter->reportPeriod > std::chrono::milliseconds(1);
        SendProgram(adapter->name, static_cast<std::size_t>(late ? lateSize : size), turn, adapter);
    }
    IdleHold("wait for the idle link:", std::chrono::microseconds(0));
    IdleHold("the same, calls of 0.1 ms:", kLinuxCalls100us.callTime);
    return 0;
}
