#include "sim/virtual_cable.h"

#include <time.h>

std::uint64_t CableClockNow() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u +
           static_cast<std::uint64_t>(now.tv_nsec);
}

// The change is kept before it is counted, so that a reader finds every change it counts.
void PullHistory::Record(std::uint8_t pulls, std::uint64_t nanoseconds) {
    std::uint64_t index = changes.load();
    kept[index % kKept].store(nanoseconds << 2 | (pulls & kBothWires));
    changes.store(index + 1);
}

std::uint8_t PullHistory::PulledAt(std::uint64_t nanoseconds) const {
    std::uint64_t count = changes.load();
    // The slot of the oldest change may be rewritten while we look: it is left out.
    std::uint64_t oldest = count >= kKept ? count - kKept + 1 : 0;
    for (std::uint64_t index = count; index-- > oldest;) {
        std::uint64_t change = kept[index % kKept].load();
        if ((change >> 2) <= nanoseconds)
            return static_cast<std::uint8_t>(change & kBothWires);
    }
    return oldest == 0 ? 0 : PullsOfChange(oldest);
}

std::uint8_t PullHistory::PullsOfChange(std::uint64_t index) const {
    return static_cast<std::uint8_t>(kept[index % kKept].load() & kBothWires);
}

std::uint64_t PullHistory::TimeOfChange(std::uint64_t index) const {
    return kept[index % kKept].load() >> 2;
}

std::uint8_t VirtualCable::WireLevels() const {
    return static_cast<std::uint8_t>(~(pc.Pulled() | calculator.Pulled()) & kBothWires);
}

std::uint8_t VirtualCable::PcPulledAt(std::uint64_t nanoseconds) const {
    return pcChanges.PulledAt(nanoseconds);
}

// The change is recorded before it shows on the wire, so that whoever sees the wire change finds
// it in the history.
void VirtualCable::WritePcLines(std::uint8_t lines) {
    // DTR off pulls the DTR/DSR wire, RTS off the RTS/CTS wire.
    std::uint8_t pulls = 0;
    if (!(lines & 1))
        pulls |= kDtrDsrWire;
    if (!(lines & 2))
        pulls |= kRtsCtsWire;
    if (pulls == pc.Pulled())
        return;
    pcChanges.Record(pulls, CableClockNow());
    pc.Pull(pulls);
}

std::uint8_t VirtualCable::ReadPcLines() const {
    std::uint8_t levels = WireLevels();
    std::uint8_t lines = 0;
    if (levels & kRtsCtsWire)
        lines |= 1; // CTS
    if (levels & kDtrDsrWire)
        lines |= 2; // DSR
    return lines;
}
