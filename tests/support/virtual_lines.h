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
    // as it takes). A write reaches the wires, and a read looks at them, as the call returns.
    void SetCallTime(std::chrono::microseconds time) { callTime = time.count(); }

    // An adapter that reports the input lines only once every `period` (an FTDI adapter's
    // latency timer, under Windows): a status read returns at once the lines as the last report
    // gave them, while a write still takes the call time (0: reads look at the wires).
    void SetReportPeriod(std::chrono::microseconds period) { reportPeriod = period.count(); }

  private:
    using Clock = std::chrono::steady_clock;

    void NapWhileUnchanged(LinkLines lines);
    LinkLines Reported(LinkLines lines);
    void TakeCallTime();

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
    // The job's thread only.
    Clock::time_point nextReport;
    LinkLines reported = 3;
    Clock::time_point unchangedSince;
};
