#include "sim/virtual_cable.h"

void CableEnd::Pull(std::uint8_t wires) {
    std::uint32_t old = state.load();
    for (;;) {
        std::uint32_t next = (old & ~std::uint32_t{kBothWires}) | (wires & kBothWires);
        std::uint8_t released = static_cast<std::uint8_t>(old & ~wires & kBothWires);
        if (released & kDtrDsrWire)
            next = (next & ~0x0000FF00u) | ((next + 0x00000100u) & 0x0000FF00u);
        if (released & kRtsCtsWire)
            next = (next & ~0x00FF0000u) | ((next + 0x00010000u) & 0x00FF0000u);
        if (state.compare_exchange_weak(old, next))
            return;
    }
}

std::uint8_t CableEnd::Releases(std::uint8_t wire) const {
    std::uint32_t value = state.load();
    return static_cast<std::uint8_t>(wire == kDtrDsrWire ? value >> 8 : value >> 16);
}

std::uint8_t VirtualCable::WireLevels() const {
    return static_cast<std::uint8_t>(~(pc.Pulled() | calculator.Pulled()) & kBothWires);
}

void VirtualCable::WritePcLines(std::uint8_t lines) {
    // DTR off pulls the DTR/DSR wire, RTS off the RTS/CTS wire.
    std::uint8_t pulls = 0;
    if (!(lines & 1))
        pulls |= kDtrDsrWire;
    if (!(lines & 2))
        pulls |= kRtsCtsWire;
    pc.Pull(pulls);
}

std::uint8_t VirtualCable::ReadPcLines() {
    pcReads.fetch_add(1);
    std::uint8_t levels = WireLevels();
    std::uint8_t lines = 0;
    if (levels & kRtsCtsWire)
        lines |= 1; // CTS
    if (levels & kDtrDsrWire)
        lines |= 2; // DSR
    return lines;
}
