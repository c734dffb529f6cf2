// The two link wires as the serial port sees them. The PC writes its two outputs and reads its
// two inputs; the cable ties each output to the input on the same wire:
//
//   wire         pulled low by writing   read high as
//   RTS/CTS      RTS off                  CTS (bit 0 read)
//   DTR/DSR      DTR off                  DSR (bit 1 read)
//
// A written value has bit 0 = DTR and bit 1 = RTS; a read value bit 0 = CTS and bit 1 = DSR.
// So the same bit of a written and of a read value stands for different wires.
#pragma once

#include <cstdint>

// Two bits, as written to RTS/DTR or as read from CTS/DSR.
using LinkLines = std::uint8_t;

enum class Wire { RtsCts, DtrDsr };

// What the PC writes.
constexpr LinkLines kReleaseBoth = 3; // both outputs on: neither wire pulled
constexpr LinkLines kDtrOn = 1;
constexpr LinkLines kRtsOn = 2;

// The value that pulls `wire` low and releases the other one.
constexpr LinkLines PullOnly(Wire wire) {
    return wire == Wire::RtsCts ? kDtrOn : kRtsOn;
}
// The wire a written value pulls; false for a release of both (the PC never pulls both).
constexpr bool PulledWire(LinkLines written, Wire* wire) {
    if ((written & 3) == kReleaseBoth)
        return false;
    *wire = (written & kRtsOn) ? Wire::DtrDsr : Wire::RtsCts;
    return true;
}

// What the PC reads.
constexpr LinkLines kIdleReading = 3; // both wires high
constexpr LinkLines kBothLowReading = 0;
constexpr LinkLines kCtsHigh = 1;
constexpr LinkLines kDsrHigh = 2;

// The bit of a reading that shows `wire` high.
constexpr LinkLines HighBit(Wire wire) {
    return wire == Wire::RtsCts ? kCtsHigh : kDsrHigh;
}
constexpr bool IsHigh(LinkLines reading, Wire wire) {
    return (reading & HighBit(wire)) != 0;
}
// The reading with only `wire` low, the other high.
constexpr LinkLines OnlyLow(Wire wire) {
    return static_cast<LinkLines>(kIdleReading & ~HighBit(wire));
}
constexpr Wire OtherWire(Wire wire) {
    return wire == Wire::RtsCts ? Wire::DtrDsr : Wire::RtsCts;
}
