// The calculator's end of the two-wire handshake, seen as a real TI-85 sees it: nothing but the
// levels of its two wires, looked at once per turn of its own program loop, a level counted only
// once it has held for a while; bits at its own pace, and a pause of its own before it answers.
// It never acknowledges a bit the PC has not signalled, records every byte in each direction,
// and can misbehave on request.
#pragma once

#include "sim/virtual_cable.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

// How the calculator stops at its stop point.
enum class StopKind : std::uint8_t {
    Unplug, // it lets go of both wires and answers nothing more (the cable pulled out)
    Freeze, // it keeps its wires as they are and answers nothing more (hung mid-bit)
    OnKey,  // the user presses ON: both wires low for a moment, then let go; it leaves receive
            // mode and answers nothing more
};

struct CalculatorLinkOptions {
    // It looks at the wires once every `samplePeriod` (0: all the time) and counts a level only
    // once it has seen it for `hold` (0: at once), so a release shorter than that goes unseen.
    std::chrono::microseconds samplePeriod{5};
    std::chrono::microseconds hold{10};
    // Its pace: each bit of its own (its signal, or its acknowledgement of the PC's) starts no
    // sooner than this after the one before. 60 us a bit is about 2 KB a second, a real TI-85's.
    std::chrono::microseconds bitTime{60};
    // From the last byte it received to the first it sends, by its own clock (it checks the
    // packet before it answers). It leaves the link idle meanwhile: a PC that does not see that
    // release cannot tell its first bit from its last acknowledgement when both are on one wire.
    // With none, it holds its last acknowledgement of each byte until its next move.
    std::chrono::microseconds turnaround{3000};
    // A slow calculator: this pause before every signal and every acknowledgement.
    std::chrono::microseconds bitDelay{0};
    // Its stop point: bit `stopAtBit` of the byte with index `stopAtByte` (counting every byte
    // exchanged, in either direction, from 0; negative: never), before its first move of the bit
    // or, with `stopAfterFirstMove`, after it (its acknowledgement when receiving; its signal
    // when sending, once the PC has acknowledged it).
    long stopAtByte = -1;
    int stopAtBit = 0;
    bool stopAfterFirstMove = false;
    StopKind stopKind = StopKind::Unplug;
    // How long ON holds both wires low.
    std::chrono::microseconds onKeySignal{100000};
    // Bit positions (bit i of the mask for bit i of a byte) at which a 0 the calculator sends
    // starts with both wires pulled for `glitch`, a reading the PC must take as a 0.
    std::uint8_t zerosOnBothWires = 0;
    std::chrono::microseconds glitch{200};
    // No wait of the calculator lasts past this point.
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
};

// The fast setting, for benchmarks: levels only, seen at once and all the time, no pace, and
// only a short pause (1 ms) before it answers.
CalculatorLinkOptions FastCalculator();

enum class LinkDirection : std::uint8_t { PcToCalculator, CalculatorToPc };

struct LinkByteRecord {
    LinkDirection direction;
    std::uint8_t value;
};

class CalculatorLink {
  public:
    CalculatorLink(VirtualCable& cable, CalculatorLinkOptions options);

    // False when the byte did not complete: unplugged, stopped, frozen, out of receive mode, or
    // past the deadline. Unless frozen, the calculator has let go of both wires when these return.
    bool ReceiveByte(std::uint8_t* value);
    bool SendByte(std::uint8_t value);
    // Before it starts a packet of its own: waits until it has seen both wires high for its hold
    // time. False when it was cut off meanwhile.
    bool AwaitIdle();
    // Waits this long by its own clock, touching nothing; false when it was cut off meanwhile.
    bool Pause(std::chrono::microseconds duration);

    // Any thread: every wait ends at once and the calculator lets go of the wires.
    void Stop();
    bool Stopped() const { return stopped.load(); }
    // Let go of both wires and answer nothing more (the cable pulled out).
    void Unplug();
    bool Unplugged() const { return unplugged.load(); }
    // It has pressed ON at its stop point and left receive mode.
    bool LeftReceiveMode() const { return leftReceiveMode.load(); }
    // Unplugged or out of receive mode: it answers nothing until Replug.
    bool Silent() const { return Unplugged() || LeftReceiveMode(); }
    // Plugged back in, or put back in receive mode (call it while no byte is under way): lets go
    // of any wire it held and answers again from a fresh packet; the stop point is spent.
    void Replug();
    // When it stopped answering (at its stop point, or Unplug; the end of ON's signal); the
    // epoch before that. Also in nanoseconds of CableClockNow, 0 before.
    std::chrono::steady_clock::time_point StoppedAnsweringAt() const;
    std::uint64_t StoppedAnsweringOnCableClock() const { return stoppedAnswering.load(); }

    std::vector<LinkByteRecord> Bytes() const;
    std::vector<std::uint8_t> BytesIn(LinkDirection direction) const;
    long ByteCount() const;

    CalculatorLinkOptions& Options() { return options; }

  private:
    using Condition = bool (*)(std::uint8_t levels, std::uint8_t wire);
    struct Look {
        std::uint64_t at;     // its instant, on CableClockNow
        std::uint8_t pcPulls; // the wires the PC pulled then
    };

    bool ReceiveBits(std::uint8_t* value);
    bool SendBits(std::uint8_t value);
    bool See(Condition condition, std::uint8_t wire, std::uint8_t* levels = nullptr);
    Look NextLook();
    bool WaitUntil(std::uint64_t when);
    bool BeginBit();
    void Move(std::uint8_t pulls);
    bool StopsHere(int bit, bool afterFirstMove);
    void PressOn();
    bool Ended(bool completed);
    void Record(LinkDirection direction, std::uint8_t value);
    bool Cut() const { return stopped || Silent() || frozen; }
    bool PastDeadline() const;
    void NoteStop();

    VirtualCable& cable;
    CalculatorLinkOptions options;
    std::atomic<bool> stopped{false};
    std::atomic<bool> unplugged{false};
    std::atomic<bool> leftReceiveMode{false};
    std::atomic<bool> frozen{false};
    std::atomic<bool> stopPointSpent{false};
    std::atomic<std::uint64_t> stoppedAnswering{0};
    // The calculator's own thread only: its clock and its moves.
    long byteIndex = 0;
    std::uint8_t pulls = 0;       // the wires it pulls
    std::uint64_t nextLook = 0;   // when it looks at the wires next
    std::uint64_t changesLooked;  // looking all the time: the PC's changes it has looked at
    std::uint64_t bitStarted = 0; // its last first move of a bit
    std::uint64_t receivedAt = 0; // the end of the last byte it received
    bool lastWasReceive = false;
    bool holdingAck = false; // no pause before an answer: its last acknowledgement still held
    mutable std::mutex recordLock;
    std::vector<LinkByteRecord> bytes;
};
