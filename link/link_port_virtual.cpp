#include "link/link_port_virtual.h"

#include "link/link_state.h"
#include "sim/short_nap.h"
#include "sim/virtual_cable.h"
#include "ui/recorded_ui.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace {
std::atomic<VirtualCable*> cable{nullptr};
std::atomic<bool> recording{false};
std::atomic<bool> failReads{false};
std::atomic<LinkLines> lastReading{3};
std::mutex writesLock;
std::vector<LinkLines> writes;
std::atomic<std::uint64_t> writeCount{0};
std::atomic<std::uint64_t> readCount{0};
std::atomic<std::chrono::microseconds::rep> callTime{0};
std::atomic<std::chrono::microseconds::rep> reportPeriod{0};
std::chrono::steady_clock::time_point nextReport;
LinkLines reported = 3;

// Tests run busy pollers at both ends of the cable on few, often busy processors: once the
// lines have read the same for a while, a poll naps first, so that the other end gets a
// processor sooner. A status read through the system may take as long.
constexpr auto kPatience = std::chrono::microseconds(200);
constexpr auto kNap = std::chrono::microseconds(20);
std::chrono::steady_clock::time_point unchangedSince;

void NapWhileUnchanged(LinkLines lines) {
    const auto now = std::chrono::steady_clock::now();
    if (lines != lastReading.load())
        unchangedSince = now;
    else if (now - unchangedSince > kPatience)
        ShortNap(kNap);
}

// A report carries the lines of its instant; the first read after it stands in for that.
LinkLines Reported(LinkLines lines) {
    const std::chrono::microseconds period(reportPeriod.load());
    if (period.count() == 0)
        return lines;
    const auto now = std::chrono::steady_clock::now();
    if (now >= nextReport) {
        reported = lines;
        nextReport = now + period - (now - nextReport) % period;
    }
    return reported;
}

void TakeCallTime() {
    std::chrono::microseconds::rep time = callTime.load();
    if (time > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(time));
}
} // namespace

void AttachVirtualPort(VirtualCable* attached) {
    cable = attached;
}

void RecordLinkWrites(bool on) {
    recording = on;
}

std::vector<LinkLines> RecordedLinkWrites() {
    std::lock_guard<std::mutex> hold(writesLock);
    return writes;
}

void ClearRecordedLinkWrites() {
    std::lock_guard<std::mutex> hold(writesLock);
    writes.clear();
}

VirtualPortCounters VirtualPortCounts() {
    return {writeCount.load(), readCount.load()};
}
void ResetVirtualPortCounts() {
    writeCount = 0;
    readCount = 0;
}

void SetLineCallTime(std::chrono::microseconds time) {
    callTime = time.count();
}

void SetLineReportPeriod(std::chrono::microseconds period) {
    reportPeriod = period.count();
}

LinkLines LastLinkReading() {
    return lastReading;
}

void FailStatusReads(bool fail) {
    failReads = fail;
}

bool OpenLinkPort() {
    return cable.load() != nullptr;
}

void SetLinkLines(LinkLines lines) {
    ++writeCount;
    TakeCallTime();
    if (recording) {
        std::lock_guard<std::mutex> hold(writesLock);
        writes.push_back(lines & 3);
    }
    cable.load()->WritePcLines(lines);
}

LinkLines ReadLinkLines() {
    ++readCount;
    if (reportPeriod.load() == 0)
        TakeCallTime();
    LinkLines lines = 3;
    if (!failReads)
        lines = Reported(cable.load()->ReadPcLines());
    else if (GiveUpOnStatusReadFailure())
        RecordMessage("There was an error calling GetCommModemStatus", "Calquin");
    NapWhileUnchanged(lines);
    lastReading = lines;
    return lines;
}
