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

namespace {
// A small generator of the job's thread's own: the same run of calls each time.
std::uint32_t NextRandom(std::uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

// Until `until`: a nap for most of a long wait, then spinning, so that a call lasts as long as
// it should also when naps overshoot.
void WaitUntil(std::chrono::steady_clock::time_point until) {
    constexpr auto kSpinLast = std::chrono::microseconds(60);
    const auto now = std::chrono::steady_clock::now();
    if (until - now > kSpinLast)
        ShortNap(until - now - kSpinLast);
    while (std::chrono::steady_clock::now() < until) {
    }
}
} // namespace

void VirtualLines::TakeCallTime() {
    std::chrono::microseconds::rep time = callTime.load();
    if (time <= 0)
        return;
    const std::chrono::microseconds::rep jitter = callJitter.load();
    if (jitter > 0)
        time += static_cast<std::chrono::microseconds::rep>(NextRandom(random) % (jitter + 1));
    WaitUntil(Clock::now() + std::chrono::microseconds(time));
}

void VirtualLines::GlitchRead(std::uint64_t nth, LinkLines flip) {
    glitchFlip = flip;
    glitchAt = readCount.load() + nth;
}

void VirtualLines::StallAfterWrite(std::uint64_t nth, std::chrono::microseconds duration) {
    stallWriteFor = duration.count();
    stallWriteAt = writeCount.load() + nth;
}

void VirtualLines::Stall(std::chrono::microseconds duration) {
    ++stallCount;
    std::this_thread::sleep_for(duration);
    lastStall = Clock::now();
}

void VirtualLines::MayStall(unsigned oneIn) {
    if (oneIn == 0 || NextRandom(random) % oneIn != 0 || Clock::now() - lastStall < stalls.spacing)
        return;
    const auto range = (stalls.longest - stalls.shortest).count() + 1;
    Stall(stalls.shortest + std::chrono::milliseconds(NextRandom(random) % range));
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
    cable.WritePcLines(CarriedOut(lines & 3));
    if (writeCount.load() == stallWriteAt.load())
        Stall(std::chrono::microseconds(stallWriteFor.load()));
    if ((lines & 3) == 3)
        MayStall(stalls.releases);
}

bool VirtualLines::ReadLinkLines(LinkLines* lines) {
    ++readCount;
    if (reportPeriod.load() == 0)
        TakeCallTime();
    const bool read = !failReads;
    *lines = read ? Reported(cable.ReadPcLines()) : 3;
    if (readCount.load() == glitchAt.load())
        *lines = static_cast<LinkLines>((*lines ^ glitchFlip.load()) & 3);
    NapWhileUnchanged(*lines);
    lastReading = *lines;
    MayStall(stalls.reads);
    return read;
}

void VirtualLines::TellStatusReadFailure(JobEvents& events) {
    events.Message(MessageKind::PortError, "There was an error calling GetCommModemStatus");
}

LinkLines VirtualLines::CarriedOut(LinkLines lines) {
    if (rtsIgnored && !rtsAnotherWay && ((lines ^ carried) & kDtrOn) == 0)
        lines = static_cast<LinkLines>((lines & ~kRtsOn) | (carried & kRtsOn));
    carried = lines;
    return lines;
}

bool VirtualLines::SwitchAnotherWay(Wire wire) {
    if (!rtsIgnored || wire != Wire::RtsCts)
        return false;
    rtsAnotherWay = true;
    return true;
}

void VirtualLines::Model(const AdapterModel& adapter) {
    SetCallTime(adapter.callTime, adapter.jitter);
    SetReportPeriod(adapter.reportPeriod);
}
