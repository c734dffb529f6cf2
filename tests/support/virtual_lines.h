// The line seam of the tests: the PC end of an in-process (or shared-memory) virtual cable, with
// what tests need to watch and disturb it.
#pragma once

#include "link/line_seam.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

struct VirtualCable;

// USB serial adapters as their drivers present them. Windows-like: each write is a round trip of
// 1 ms, and a status read is answered at once from the adapter's last report, made once per
// latency timer. Linux-like: writes and reads are each a round trip, with jitter.
struct AdapterModel {
    const char* name;
    std::chrono::microseconds callTime;
    std::chrono::microseconds jitter;
    std::chrono::microseconds reportPeriod; // 0: reads look at the wires
};

constexpr AdapterModel kWindowsReports1ms{
    "Windows-like, reports every 1 ms", std::chrono::microseconds(1000),
    std::chrono::microseconds(0), std::chrono::microseconds(1000)};
constexpr AdapterModel kWindowsReports16ms{
    "Windows-like, reports every 16 ms", std::chrono::microseconds(1000),
    std::chrono::microseconds(0), std::chrono::microseconds(16000)};
constexpr AdapterModel kWindowsReports40ms{
    "Windows-like, reports every 40 ms", std::chrono::microseconds(1000),
    std::chrono::microseconds(0), std::chrono::microseconds(40000)};
constexpr AdapterModel kLinuxCalls100us{
    "Linux-like, calls of 0.1 ms", std::chrono::microseconds(100), std::chrono::microseconds(40),
    std::chrono::microseconds(0)};
constexpr AdapterModel kLinuxCalls250us{
    "Linux-like, calls of 0.25 ms", std::chrono::microseconds(250), std::chrono::microseconds(100),
    std::chrono::microseconds(0)};
constexpr AdapterModel kLinuxCalls1ms{"Linux-like, calls of 1 ms", std::chrono::microseconds(1000),
                                      std::chrono::microseconds(400), std::chrono::microseconds(0)};

// Line calls since the last reset (any thread may read them while the job runs).
struct VirtualPortCounters {
    std::uint64_t writes = 0;
    std::uint64_t reads = 0;
};

class VirtualLines : public LineSeam {
  public:
    explicit VirtualLines(VirtualCable& cable) : cable(cable) {}

    void SetLinkLines(LinkLines lines) override;
    bool ReadLinkLines(LinkLines* lines) override;
    // "There was an error calling GetCommModemStatus", as the Windows program says it.
    void TellStatusReadFailure(JobEvents& events) override;

    // Line writes are kept in order while recording is on.
    void RecordWrites(bool on) { recording = on; }
    std::vector<LinkLines> RecordedWrites();
    void ClearRecordedWrites();

    // The value the last read returned (3 after a failed one).
    LinkLines LastReading() const { return lastReading; }

    VirtualPortCounters Counts() const { return {writeCount.load(), readCount.load()}; }
    void ResetCounts();

    // While set, every status read fails as GetCommModemStatus would.
    void FailStatusReads(bool fail) { failReads = fail; }

    // A slow line, as through a USB serial adapter: every line call lasts this long (0: as long
    // as it takes), and up to `jitter` more, at random. A write reaches the wires, and a read
    // looks at them, as the call returns.
    void SetCallTime(std::chrono::microseconds time,
                     std::chrono::microseconds jitter = std::chrono::microseconds(0)) {
        callTime = time.count();
        callJitter = jitter.count();
    }

    // An adapter that reports the input lines only once every `period` (an FTDI adapter's
    // latency timer, under Windows): a status read returns at once the lines as the last report
    // gave them, while a write still takes the call time (0: reads look at the wires).
    void SetReportPeriod(std::chrono::microseconds period) { reportPeriod = period.count(); }

    // A glitch: the `nth` read from now (1: the next one) returns its reading with the bits of
    // `flip` turned over.
    void GlitchRead(std::uint64_t nth, LinkLines flip);

    // A busy PC: the job's thread is held off the processor for `shortest` to `longest`, at
    // random, after one release write in `releases` (right after letting go of a wire) and one
    // read in `reads` (between reading the lines and judging them); at most once every `spacing`.
    // 0 for `releases` or `reads`: never there.
    struct Stalls {
        unsigned releases = 0;
        unsigned reads = 0;
        std::chrono::milliseconds shortest{20};
        std::chrono::milliseconds longest{50};
        std::chrono::milliseconds spacing{100};
    };
    void SetStalls(Stalls plan) { stalls = plan; }
    // The `nth` write from now (1: the next one) is followed by a stall of `duration`.
    void StallAfterWrite(std::uint64_t nth, std::chrono::microseconds duration);
    // Stalls of the job's thread so far.
    unsigned StallCount() const { return stallCount.load(); }

    // A USB serial adapter as a driver presents it (see AdapterModel).
    void Model(const AdapterModel& adapter);

    // A driver that carries a switch of RTS out only together with one of DTR (reported of
    // Windows' own CDC driver), until the link makes RTS go another way (SwitchAnotherWay).
    // Set before the job runs.
    void IgnoreRtsUnlessDtrChanges() { rtsIgnored = true; }
    bool SwitchAnotherWay(Wire wire) override;

  private:
    using Clock = std::chrono::steady_clock;

    LinkLines CarriedOut(LinkLines lines);
    void NapWhileUnchanged(LinkLines lines);
    LinkLines Reported(LinkLines lines);
    void TakeCallTime();
    void MayStall(unsigned oneIn);
    void Stall(std::chrono::microseconds duration);

    VirtualCable& cable;
    std::atomic<bool> recording{false};
    std::atomic<bool> failReads{false};
    std::atomic<LinkLines> lastReading{3};
    std::mutex writesLock;
    std::vector<LinkLines> writes;
    std::atomic<std::uint64_t> writeCount{0};
    std::atomic<std::uint64_t> readCount{0};
    std::atomic<std::chrono::microseconds::rep> callTime{0};
    std::atomic<std::chrono::microseconds::rep> reportPeriod{0};
    std::atomic<std::chrono::microseconds::rep> callJitter{0};
    std::atomic<std::uint64_t> glitchAt{0};
    std::atomic<LinkLines> glitchFlip{0};
    std::atomic<std::uint64_t> stallWriteAt{0};
    std::atomic<std::chrono::microseconds::rep> stallWriteFor{0};
    std::atomic<unsigned> stallCount{0};
    Stalls stalls; // set before the job runs
    std::uint32_t random = 12345;
    Clock::time_point lastStall;
    // The job's thread only.
    Clock::time_point nextReport;
    LinkLines reported = 3;
    Clock::time_point unchangedSince;
    bool rtsIgnored = false;
    bool rtsAnotherWay = false;
    LinkLines carried = kReleaseBoth; // the outputs as the driver last set them
};

// A busy PC as the tests hold it off: 20 to 50 ms now and then (one release in 8, one reading in
// 64, at most every 300 ms), right after letting go of a wire and between reading the lines and
// judging them.
inline VirtualLines::Stalls BusyPc() {
    VirtualLines::Stalls stalls;
    stalls.releases = 8;
    stalls.reads = 64;
    stalls.spacing = std::chrono::milliseconds(300);
    return stalls;
}
