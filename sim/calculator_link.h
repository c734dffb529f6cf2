// The calculator's end of the two-wire handshake, as a strict peer: it never acknowledges a bit
// the PC has not signalled, and it records every byte in each direction.
#pragma once

#include "sim/virtual_cable.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

struct CalculatorLinkOptions {
    // A slow calculator: this pause before every signal and every acknowledgement.
    std::chrono::microseconds bitDelay{0};
    // The cable pulled mid-byte: at bit `stopAtBit` of the byte with this index (counting every
    // byte exchanged, in either direction, from 0) the calculator lets go of both wires and
    // answers nothing more. Negative: never.
    long stopAtByte = -1;
    int stopAtBit = 0;
    // Before sending after receiving, the real calculator leaves the link idle for a moment; the
    // handshake has no other way to tell the PC's last bit from the calculator's first. By
    // default it waits until the PC has polled the idle link; without that, only `turnaround`.
    bool turnaroundWaitsForPcPoll = true;
    std::chrono::microseconds turnaround{0};
    // No wait of the calculator lasts past this point.
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
};

enum class LinkDirection : std::uint8_t { PcToCalculator, CalculatorToPc };

struct LinkByteRecord {
    LinkDirection direction;
    std::uint8_t value;
};

class CalculatorLink {
  public:
    CalculatorLink(VirtualCable& cable, CalculatorLinkOptions options);

    // False when the byte did not complete: unplugged, stopped, or past the deadline.
    bool ReceiveByte(std::uint8_t* value);
    bool SendByte(std::uint8_t value);

    // Any thread: every wait ends at once and the calculator lets go of the wires.
    void Stop();
    bool Stopped() const { return stopped.load(); }
    // Let go of both wires and answer nothing more (the cable pulled out).
    void Unplug();
    // Plugged back in: answers again, as a calculator newly put in receive mode.
    void Replug();
    bool Unplugged() const { return unplugged.load(); }

    std::vector<LinkByteRecord> Bytes() const;
    std::vector<std::uint8_t> BytesIn(LinkDirection direction) const;
    long ByteCount() const;

    CalculatorLinkOptions& Options() { return options; }

  private:
    bool WaitFor(bool (CalculatorLink::*condition)(std::uint8_t) const, std::uint8_t wire);
    bool WireLow(std::uint8_t wire) const;
    bool WireHighOrReleased(std::uint8_t wire) const;
    bool PcPolled(std::uint8_t) const;
    bool AtStopPoint(int bit);
    void Pause(std::chrono::microseconds delay);
    void Record(LinkDirection direction, std::uint8_t value);
    void TurnAround();

    VirtualCable& cable;
    CalculatorLinkOptions options;
    std::atomic<bool> stopped{false};
    std::atomic<bool> unplugged{false};
    long byteIndex = 0;
    bool lastWasReceive = false;
    std::uint8_t releasesSeen = 0;     // the PC's release count of the awaited wire
    std::uint32_t pcReadsAtIdle = 0;   // the PC's status reads when the link went idle
    mutable std::mutex recordLock;
    std::vector<LinkByteRecord> bytes;
};
