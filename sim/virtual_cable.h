// The $4 cable as two wired-AND wires between the PC end and the calculator end.
// The whole state is a few lock-free atomics, so a cable can live in memory shared by two
// processes as well as between two threads.
#pragma once

#include <atomic>
#include <cstdint>

// Wire bits, used for pulls and for levels: bit 0 = the DTR/DSR wire, bit 1 = the RTS/CTS wire.
enum : std::uint8_t { kDtrDsrWire = 1, kRtsCtsWire = 2, kBothWires = 3 };

// One end: the wires it pulls low (bits 0-1) and, per wire, how often it has let go of it
// (bits 8-15 for the DTR/DSR wire, 16-23 for the RTS/CTS wire), so that the other end can tell
// a release it did not see from a wire that never went high.
struct CableEnd {
    std::atomic<std::uint32_t> state{0};

    void Pull(std::uint8_t wires); // pull exactly these wires, release the others
    std::uint8_t Pulled() const { return state.load() & kBothWires; }
    std::uint8_t Releases(std::uint8_t wire) const;
};

struct VirtualCable {
    CableEnd pc;
    CableEnd calculator;
    // Status reads made by the PC end: lets the calculator know the PC has looked at the link.
    std::atomic<std::uint32_t> pcReads{0};

    // Bits set for wires that are high (pulled by neither end).
    std::uint8_t WireLevels() const;

    // The PC end as the serial port sees it.
    void WritePcLines(std::uint8_t lines); // bit 0 DTR on, bit 1 RTS on
    std::uint8_t ReadPcLines();            // bit 0 CTS, bit 1 DSR; counts the read
};

static_assert(std::atomic<std::uint32_t>::is_always_lock_free,
              "the cable must work in shared memory");
