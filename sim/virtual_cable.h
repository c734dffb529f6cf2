// The $4 cable as two wired-AND wires between the PC end and the calculator end.
// The whole state is a few lock-free atomics, so a cable can live in memory shared by two
// processes as well as between two threads.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// Wire bits, used for pulls and for levels: bit 0 = the DTR/DSR wire, bit 1 = the RTS/CTS wire.
enum : std::uint8_t { kDtrDsrWire = 1, kRtsCtsWire = 2, kBothWires = 3 };

// Nanoseconds of the system's monotonic clock, the one time base of both ends, in any process.
std::uint64_t CableClockNow();

// One end: the wires it pulls low.
struct CableEnd {
    std::atomic<std::uint32_t> pulls{0};

    void Pull(std::uint8_t wires) { pulls.store(wires & kBothWires); } // exactly these wires
    std::uint8_t Pulled() const { return static_cast<std::uint8_t>(pulls.load()); }
};

// When the PC end's pulls changed, so that the calculator can tell what a wire showed at any
// instant it looked, even one its thread got to late. One writer: the PC end.
struct PullHistory {
    static constexpr unsigned kKept = 64;
    std::atomic<std::uint64_t> changes{0};
    // Each change: its time in nanoseconds, shifted left by 2, with the pulls in the low bits.
    std::atomic<std::uint64_t> kept[kKept];

    void Record(std::uint8_t pulls, std::uint64_t nanoseconds);
    // The pulls at `nanoseconds` (0 before the first change; before the oldest change kept, the
    // oldest one kept).
    std::uint8_t PulledAt(std::uint64_t nanoseconds) const;
    std::uint64_t Changes() const { return changes.load(); }
    // The pulls after the `index`-th change (from 0), and its time, while it is still kept.
    std::uint8_t PullsOfChange(std::uint64_t index) const;
    std::uint64_t TimeOfChange(std::uint64_t index) const;
};

struct VirtualCable {
    CableEnd pc;
    CableEnd calculator;
    PullHistory pcChanges;

    // Bits set for wires that are high (pulled by neither end).
    std::uint8_t WireLevels() const;
    // The wires the PC pulled at `nanoseconds` of CableClockNow.
    std::uint8_t PcPulledAt(std::uint64_t nanoseconds) const;

    // The PC end as the serial port sees it.
    void WritePcLines(std::uint8_t lines); // bit 0 DTR on, bit 1 RTS on
    std::uint8_t ReadPcLines() const;      // bit 0 CTS, bit 1 DSR
};

static_assert(std::atomic<std::uint32_t>::is_always_lock_free &&
                  std::atomic<std::uint64_t>::is_always_lock_free,
              "the cable must work in shared memory");
// The same layout in 32-bit and 64-bit processes, and in tests/preload/guard_probe.c.
static_assert(offsetof(VirtualCable, calculator) == 4 && offsetof(VirtualCable, pcChanges) == 8 &&
                  offsetof(PullHistory, kept) == 8,
              "the cable's layout is shared with other programs");
