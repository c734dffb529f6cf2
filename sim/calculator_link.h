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
    // The calculator stops answering at bit `stopAtBit` of the byte with this index (counting
    // every byte exchanged, in either direction, from 0). Negative: never.
    long stopAtByte = -1;
    int stopAtBit = 0;
    // How it stops there. False: it lets go of both wires before the bit and answers nothing
    // more (the cable pulled out). True: it makes its first move of the bit (its acknowledgement
    // when receiving; its signal when sending, then waits for the PC's acknowledgement) and then
    // holds that wire low for good (frozen mid-bit, until Stop or Replug).
    bool stopHoldingWire = false;
    // Bit positions (bit i of the mask for bit i of a byte) at which a 0 the calculator sends is
    // signalled by pulling both wires at once, a glitch the PC must take as a 0.
    std::uint8_t zerosOnBothWires = 0;
    // Before sending after receiving, the real calculator leaves the link idle for a moment; the
    // handshake has no other way to tell the PC's last bit from the calculator's first. By
    // default it waits until the PC has polled the idle link; without that, only `turnaround`.
    // With neither (no poll wait, zero turnaround) the link never shows idle in between: the
    // calculator keeps its last acknowledgement of a received byte until its next move and, when
    // that move is a send, goes from it straight to its first signal.
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

    // False when the byte did not complete: unplugged, stopped, frozen, or past the deadline.
    // Unplugged or stopped, the calculator has let go of both wires when these return.
    bool ReceiveByte(std::uint8_t* value);
    bool SendByte(std::uint8_t value);

    // Any thread: every wait ends at once and the calculator lets go of the wires.
    void Stop();
    bool Stopped() const { return stopped.load(); }
    // Let go of both wires and answer nothing more (the cable pulled out).
    void Unplug();
    // Plugged back in (call it while no byte is under way): lets go of any wire it held and
    // answers again, as a calculator newly put in receive mode; the stop point is spent.
    void Replug();
    bool Unplugged() const { return unplugged.load(); }
    // When it stopped answering at its stop point, or Unplug was called; the epoch before that.
    std::chrono::steady_clock::time_point StoppedAnsweringAt() const;

    std::vector<LinkByteRecord> Bytes() const;
    std::vector<std::uint8_t> BytesIn(LinkDirection direction) const;
    long ByteCount() const;

    CalculatorLinkOptions& Options() { return options; }

  private:
    bool ReceiveBits(std::uint8_t* value);
    bool SendBits(std::uint8_t value);
    bool WaitFor(bool (CalculatorLink::*condition)(std::uint8_t) const, std::uint8_t wire);
    bool PcPulls(std::uint8_t wires) const;
    bool WireHighOrReleased(std::uint8_t wire) const;
    bool PcPolled(std::uint8_t) const;
    bool StopsAt(int bit, bool holding) const;
    bool UnplugsAt(int bit);
    bool FreezesAt(int bit);
    bool Ended(bool completed);
    void Pause(std::chrono::microseconds delay);
    void Record(LinkDirection direction, std::uint8_t value);
    bool TurnAround();
    bool ZeroTurnaround() const;
    void LetGoOfHeldAck();
    bool Cut() const { return stopped || unplugged; }
    void NoteStop();

    VirtualCable& cable;
    CalculatorLinkOptions options;
    std::atomic<bool> stopped{false};
    std::atomic<bool> unplugged{false};
    std::atomic<bool> frozen{false};
    std::atomic<bool> stopPointSpent{false};
    std::atomic<std::chrono::steady_clock::rep> stoppedAnswering{0};
    long byteIndex = 0;
    bool lastWasReceive = false;
    bool holdingAck = false;         // zero turn-around: the last acknowledgement still held
    std::uint8_t releasesSeen = 0;   // the PC's release count of the awaited wire
    std::uint32_t pcReadsAtIdle = 0; // the PC's status reads when the link went idle
    mutable std::mutex recordLock;
    std::vector<LinkByteRecord> bytes;
};
