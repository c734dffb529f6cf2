#include "tests/support/virtual_lines.h"

#include "sim/short_nap.h"
#include "sim/virtual_cable.h"
#include "ui/job_events.h"

#include <thread>

namespace {
// Tests run busy pollers at both ends of the cable on few, often busy processors: once the
// lines have read the same for a while, a poll naps first, so that the other end gets a
// processor sooner. A status read through the system may take as long.
constexpr auto kPatience = std::chrono::microseconds(200);
constexpr auto kNap = std::chrono::microseconds(20);
} // namespace

void VirtualLines::NapWhileUnchanged(LinkLines lines) {
    const auto now = Clock::now();
    if (lines != lastReading.load())
        unchangedSince = now;
    else if (now - unchangedSince > kPatience)
        ShortNap(kNap);
}

// A report carries the lines of its instant; the first read after it stands in for that.
LinkLines VirtualLines::Reported(LinkLines lines) {
    const std::chrono::microseconds period(reportPeriod.load());
    if (period.count() == 0)
        return lines;
    const auto now = Clock::now();
    if (now >= nextReport) {
        reported = lines;
        nextReport = now + period - (now - nextReport) % period;
    }
    return reported;
}

void VirtualLines::TakeCallTime() {
    std::chrono::microseconds::rep time = callTime.load();
    if (time > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(time));
}

std::vector<LinkLines> VirtualLines::RecordedWrites() {
    std::lock_guard<std::mutex> hold(writesLock);
    return writes;
}

void VirtualLines::ClearRecordedWrites() {
    std::lock_guard<std::mutex> hold(writesLock);
    writes.clear();
}

void VirtualLines::ResetCounts() {
    writeCount = 0;
    readCount = 0;
}

void VirtualLines::SetLinkLines(LinkLines lines) {
    ++writeCount;
    TakeCallTime();
    if (recording) {
        std::lock_guard<std::mutex> hold(writesLock);
        writes.push_back(lines & 3);
    }
    cable.WritePcLines(lines);
}

bool VirtualLines::ReadLinkLines(LinkLines* lines) {
    ++readCount;
    if (reportPeriod.load() == 0)
        TakeCallTime();
    const bool read = !failReads;
    *lines = read ? Reported(cable.ReadPcLines()) : 3;
    NapWhileUnchanged(*lines);
    lastReading = *lines;
    return read;
}

void VirtualLines::TellStatusReadFailure(JobEvents& events) {
    events.Message(MessageKind::PortError, "There was an error calling GetCommModemStatus");
}
