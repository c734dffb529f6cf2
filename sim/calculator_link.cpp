#include "sim/calculator_link.h"

#include <thread>

namespace {
std::uint8_t OtherWire(std::uint8_t wire) {
    return wire == kDtrDsrWire ? kRtsCtsWire : kDtrDsrWire;
}
} // namespace

CalculatorLink::CalculatorLink(VirtualCable& cable, CalculatorLinkOptions options)
    : cable(cable), options(options) {}

// The PC's own pulls: what the calculator sees of the wires while it pulls none of them, and
// the only sign of the PC's acknowledgement when a glitch has the calculator pull both.
bool CalculatorLink::PcPulls(std::uint8_t wires) const {
    return (cable.pc.Pulled() & wires) != 0;
}

// A release the calculator may have missed (the PC pulls the wire again for its next bit at
// once) still counts: the PC end's release counter has moved on.
bool CalculatorLink::WireHighOrReleased(std::uint8_t wire) const {
    return (cable.WireLevels() & wire) != 0 || cable.pc.Releases(wire) != releasesSeen;
}

// A read counts itself before it looks at the wires, so the first count after the link went idle
// may belong to a read that is still to look, and a pull now could be all it sees; once a second
// read has counted itself, the first one has seen the idle link.
bool CalculatorLink::PcPolled(std::uint8_t) const {
    return static_cast<std::uint32_t>(cable.pcReads.load() - pcReadsAtIdle) >= 2;
}

bool CalculatorLink::WaitFor(bool (CalculatorLink::*condition)(std::uint8_t) const,
                             std::uint8_t wire) {
    for (unsigned spins = 0;; ++spins) {
        if (Cut() || frozen)
            return false;
        if ((this->*condition)(wire))
            return true;
        if (spins % 64 == 63) {
            if (std::chrono::steady_clock::now() >= options.deadline)
                return false;
            std::this_thread::yield();
        }
    }
}

void CalculatorLink::Pause(std::chrono::microseconds delay) {
    if (delay.count() > 0)
        std::this_thread::sleep_for(delay);
}

bool CalculatorLink::StopsAt(int bit, bool holding) const {
    return !stopPointSpent && byteIndex == options.stopAtByte && bit == options.stopAtBit &&
           options.stopHoldingWire == holding;
}

void CalculatorLink::Record(LinkDirection direction, std::uint8_t value) {
    std::lock_guard<std::mutex> hold(recordLock);
    bytes.push_back({direction, value});
}

bool CalculatorLink::ZeroTurnaround() const {
    return !options.turnaroundWaitsForPcPoll && options.turnaround.count() == 0;
}

bool CalculatorLink::TurnAround() {
    Pause(options.turnaround);
    return !options.turnaroundWaitsForPcPoll || WaitFor(&CalculatorLink::PcPolled, 0);
}

void CalculatorLink::LetGoOfHeldAck() {
    if (!holdingAck)
        return;
    holdingAck = false;
    cable.calculator.Pull(0);
    pcReadsAtIdle = cable.pcReads.load();
}

bool CalculatorLink::ReceiveByte(std::uint8_t* value) {
    return Ended(ReceiveBits(value));
}

bool CalculatorLink::SendByte(std::uint8_t value) {
    return Ended(SendBits(value));
}

bool CalculatorLink::Ended(bool completed) {
    if (!completed && !frozen) {
        // Let go again: a Stop or Unplug from another thread may have come before a pull of ours.
        holdingAck = false;
        cable.calculator.Pull(0);
    }
    return completed;
}

bool CalculatorLink::UnplugsAt(int bit) {
    if (StopsAt(bit, false))
        Unplug();
    return unplugged;
}

bool CalculatorLink::FreezesAt(int bit) {
    if (StopsAt(bit, true)) {
        NoteStop();
        frozen = true;
    }
    return frozen;
}

void CalculatorLink::NoteStop() {
    stoppedAnswering = std::chrono::steady_clock::now().time_since_epoch().count();
}

std::chrono::steady_clock::time_point CalculatorLink::StoppedAnsweringAt() const {
    return std::chrono::steady_clock::time_point(
        std::chrono::steady_clock::duration(stoppedAnswering.load()));
}

bool CalculatorLink::ReceiveBits(std::uint8_t* value) {
    LetGoOfHeldAck();
    std::uint8_t byte = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (UnplugsAt(bit))
            return false;
        // The PC pulls the DTR/DSR wire for a 1, the RTS/CTS wire for a 0.
        if (!WaitFor(&CalculatorLink::PcPulls, kBothWires))
            return false;
        std::uint8_t signal = PcPulls(kDtrDsrWire) ? kDtrDsrWire : kRtsCtsWire;
        if (signal == kDtrDsrWire)
            byte |= static_cast<std::uint8_t>(1u << bit);
        Pause(options.bitDelay);
        releasesSeen = cable.pc.Releases(signal);
        cable.calculator.Pull(OtherWire(signal));
        if (FreezesAt(bit))
            return false;
        if (!WaitFor(&CalculatorLink::WireHighOrReleased, signal))
            return false;
        if (bit == 7 && ZeroTurnaround())
            holdingAck = true;
        else
            cable.calculator.Pull(0);
        pcReadsAtIdle = cable.pcReads.load();
    }
    ++byteIndex;
    lastWasReceive = true;
    Record(LinkDirection::PcToCalculator, byte);
    *value = byte;
    return true;
}

bool CalculatorLink::SendBits(std::uint8_t value) {
    if (lastWasReceive) {
        lastWasReceive = false;
        if (!TurnAround())
            return false;
    }
    std::uint8_t byte = value;
    for (int bit = 0; bit < 8; ++bit, byte >>= 1) {
        if (UnplugsAt(bit))
            return false;
        std::uint8_t signal = (byte & 1) ? kDtrDsrWire : kRtsCtsWire;
        std::uint8_t ack = OtherWire(signal);
        std::uint8_t pulls = signal;
        if (!(byte & 1) && ((options.zerosOnBothWires >> bit) & 1))
            pulls = kBothWires;
        Pause(options.bitDelay);
        cable.calculator.Pull(pulls); // in one move from an acknowledgement still held
        holdingAck = false;
        if (!WaitFor(&CalculatorLink::PcPulls, ack))
            return false;
        if (FreezesAt(bit))
            return false;
        releasesSeen = cable.pc.Releases(ack);
        cable.calculator.Pull(0);
        if (!WaitFor(&CalculatorLink::WireHighOrReleased, ack))
            return false;
    }
    ++byteIndex;
    Record(LinkDirection::CalculatorToPc, value);
    return true;
}

void CalculatorLink::Stop() {
    stopped = true;
    cable.calculator.Pull(0);
}

void CalculatorLink::Unplug() {
    NoteStop();
    unplugged = true;
    cable.calculator.Pull(0);
}

void CalculatorLink::Replug() {
    stopPointSpent = true;
    lastWasReceive = false;
    holdingAck = false;
    if (frozen.exchange(false))
        cable.calculator.Pull(0);
    unplugged = false;
}

std::vector<LinkByteRecord> CalculatorLink::Bytes() const {
    std::lock_guard<std::mutex> hold(recordLock);
    return bytes;
}

std::vector<std::uint8_t> CalculatorLink::BytesIn(LinkDirection direction) const {
    std::lock_guard<std::mutex> hold(recordLock);
    std::vector<std::uint8_t> values;
    for (const LinkByteRecord& record : bytes)
        if (record.direction == direction)
            values.push_back(record.value);
    return values;
}

long CalculatorLink::ByteCount() const {
    std::lock_guard<std::mutex> hold(recordLock);
    return static_cast<long>(bytes.size());
}
