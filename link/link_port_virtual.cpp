#include "link/link_port_virtual.h"

#include "link/link_state.h"
#include "sim/virtual_cable.h"
#include "ui/recorded_ui.h"

#include <atomic>
#include <mutex>

namespace {
std::atomic<VirtualCable*> cable{nullptr};
std::atomic<bool> recording{false};
std::atomic<bool> failReads{false};
std::atomic<LinkLines> lastReading{3};
std::mutex writesLock;
std::vector<LinkLines> writes;
// Only the job thread touches the lines; tests read the counts after it is done.
VirtualPortCounters counters;
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
    return counters;
}
void ResetVirtualPortCounts() {
    counters = VirtualPortCounters{};
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
    ++counters.writes;
    if (recording) {
        std::lock_guard<std::mutex> hold(writesLock);
        writes.push_back(lines & 3);
    }
    cable.load()->WritePcLines(lines);
}

LinkLines ReadLinkLines() {
    ++counters.reads;
    LinkLines lines = 3;
    if (!failReads)
        lines = cable.load()->ReadPcLines();
    else if (GiveUpOnStatusReadFailure())
        RecordMessage("There was an error calling GetCommModemStatus", "Calquin");
    lastReading = lines;
    return lines;
}
