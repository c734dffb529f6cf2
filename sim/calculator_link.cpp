#include "sim/calculator_link.h"

#include <thread>

namespace {
std::uint8_t OtherWire(std::uint8_t wire) {
    return wire == kDtrDsrWire ? kRtsCtsWire : kDtrDsrWire;
}
} // namespace

CalculatorLink::CalculatorLink(VirtualCable& cable, CalculatorLinkOptions options)
    : cable(cable), options(options) {}

bool CalculatorLink::WireLow(std::uint8_t wire) const { return !(cable.WireLevels() & wire); }

// A release the calculator may have missed (the PC pulls the wire again for its next bit at
// once) still counts: the PC end's release counter has moved on.
bool CalculatorLink::WireHighOrReleased(std::uint8_t wire) const {
    return !WireLow(wire) || cable.pc.Releases(wire) != releasesSeen;
}

bool CalculatorLink::PcPolled(std::uint8_t) const { return cable.pcReads.load() != pcReadsAtIdle; }

bool CalculatorLink::WaitFor(bool (CalculatorLink::*condition)(std::uint8_t) const,
                             std::uint8_t wire) {
    for (unsigned spins = 0;; ++spins) {
        if (stopped || unplugged)
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

bool CalculatorLink::AtStopPoint(int bit) {
    if (byteIndex == options.stopAtByte && bit == options.stopAtBit)
        Unplug();
    return unplugged;
}

void CalculatorLink::Record(LinkDirection direction, std::uint8_t value) {
    std::lock_guard<std::mutex> hold(recordLock);
    bytes.push_back({direction, value});
}

void CalculatorLink::TurnAround() {
    Pause(options.turnaround);
    if (options.turnaroundWaitsForPcPoll)
        WaitFor(&CalculatorLink::PcPolled, 0);
}

bool CalculatorLink::ReceiveByte(std::uint8_t* value) {
    std::uint8_t byte = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (AtStopPoint(bit))
            return false;
        // Wait for the PC to pull a wire: the DTR/DSR wire for a 1, the RTS/CTS wire for a 0.
        std::uint8_t signal = 0;
        for (unsigned spins = 0; signal == 0; ++spins) {
            if (stopped || unplugged)
                return false;
            std::uint8_t pulled = cable.pc.Pulled();
            signal = (pulled & kDtrDsrWire) ? kDtrDsrWire : (pulled & kRtsCtsWire);
            if (signal == 0 && spins % 64 == 63) {
                if (std::chrono::steady_clock::now() >= options.deadline)
                    return false;
                std::this_thread::yield();
            }
        }
        if (signal == kDtrDsrWire)
            byte |= static_cast<std::uint8_t>(1u << bit);
        Pause(options.bitDelay);
        releasesSeen = cable.pc.Releases(signal);
        cable.calculator.Pull(OtherWire(signal));
        if (!WaitFor(&CalculatorLink::WireHighOrReleased, signal))
            return false;
        cable.calculator.Pull(0);
        pcReadsAtIdle = cable.pcReads.load();
    }
    ++byteIndex;
    lastWasReceive = true;
    Record(LinkDirection::PcToCalculator, byte);
    *value = byte;
    return true;
}

bool CalculatorLink::SendByte(std::uint8_t value) {
    if (lastWasReceive) {
        lastWasReceive = false;
        TurnAround();
    }
    std::uint8_t byte = value;
    for (int bit = 0; bit < 8; ++bit, byte >>= 1) {
        if (AtStopPoint(bit))
            return false;
        std::uint8_t signal = (byte & 1) ? kDtrDsrWire : kRtsCtsWire;
        std::uint8_t ack = OtherWire(signal);
        Pause(options.bitDelay);
        cable.calculator.Pull(signal);
        if (!WaitFor(&CalculatorLink::WireLow, ack))
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
    unplugged = true;
    cable.calculator.Pull(0);
}

void CalculatorLink::Replug() {
    options.stopAtByte = -1;
    lastWasReceive = false;
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
