#include "sim/calculator_link.h"

#include "sim/short_nap.h"

#include <algorithm>

namespace {
std::uint8_t OtherWire(std::uint8_t wire) {
    return wire == kDtrDsrWire ? kRtsCtsWire : kDtrDsrWire;
}

std::uint64_t Nanoseconds(std::chrono::microseconds duration) {
    return duration.count() > 0 ? static_cast<std::uint64_t>(duration.count()) * 1000u : 0;
}

bool Low(std::uint8_t levels, std::uint8_t wire) {
    return (levels & wire) == 0;
}
bool High(std::uint8_t levels, std::uint8_t wire) {
    return (levels & wire) != 0;
}
bool AnyLow(std::uint8_t levels, std::uint8_t) {
    return levels != kBothWires;
}
bool BothHigh(std::uint8_t levels, std::uint8_t) {
    return levels == kBothWires;
}

// Waits of more than this nap for most of their time, also between looks a period apart: the
// cable keeps what the calculator's looks would have seen meanwhile, and the PC gets the
// processor (a PC that polls is starved by a calculator that spins on a busy machine).
constexpr std::uint64_t kSpinLimit = 60000;
// Waiting for the PC: how long it looks without a break, and then its naps between looks (a look
// this close to now is not one its thread got to late).
constexpr std::uint64_t kPatience = 50000;
constexpr std::uint64_t kNap = 20000;
constexpr std::uint64_t kCaughtUp = 20000;
} // namespace

CalculatorLinkOptions FastCalculator() {
    CalculatorLinkOptions fast;
    fast.samplePeriod = std::chrono::microseconds(0);
    fast.hold = std::chrono::microseconds(0);
    fast.bitTime = std::chrono::microseconds(0);
    fast.turnaround = std::chrono::microseconds(1000);
    return fast;
}

CalculatorLink::CalculatorLink(VirtualCable& cable, CalculatorLinkOptions options)
    : cable(cable), options(options), nextLook(CableClockNow()),
      changesLooked(cable.pcChanges.Changes()) {}

bool CalculatorLink::PastDeadline() const {
    return std::chrono::steady_clock::now() >= options.deadline;
}

// Short waits spin, as the calculator's own loop would; long ones sleep for most of their time.
bool CalculatorLink::WaitUntil(std::uint64_t when) {
    for (unsigned spins = 0;; ++spins) {
        if (Cut())
            return false;
        std::uint64_t now = CableClockNow();
        if (now >= when)
            return true;
        if (when - now > kSpinLimit)
            ShortNap(std::chrono::nanoseconds(
                std::min<std::uint64_t>(when - now - kSpinLimit / 2, 1000000)));
        if ((when - now > kSpinLimit || spins % 1024 == 1023) && PastDeadline())
            return false;
    }
}

bool CalculatorLink::AwaitIdle() {
    return See(BothHigh, 0);
}

// It does not look at the wires meanwhile.
bool CalculatorLink::Pause(std::chrono::microseconds duration) {
    bool waited = WaitUntil(CableClockNow() + Nanoseconds(duration));
    nextLook = std::max(nextLook, CableClockNow());
    return waited;
}

// Its next look at the wires, once its instant has come. A thread that got there late looks at
// the instants it missed one by one: the cable tells what they showed. Looking all the time, it
// looks at every change of the PC's pulls in turn (one told late is taken as coming now), and
// then at now.
CalculatorLink::Look CalculatorLink::NextLook() {
    const std::uint64_t period = Nanoseconds(options.samplePeriod);
    if (period == 0) {
        const PullHistory& changes = cable.pcChanges;
        const std::uint64_t count = changes.Changes();
        if (changesLooked + PullHistory::kKept <= count)
            changesLooked = count - PullHistory::kKept + 1; // the older ones are gone
        if (changesLooked < count) {
            nextLook = std::max(nextLook, changes.TimeOfChange(changesLooked));
            return {nextLook, changes.PullsOfChange(changesLooked++)};
        }
        // The last change counted, not the PC end's own pulls, which may come a moment later.
        nextLook = std::max(nextLook, CableClockNow());
        return {nextLook, count == 0 ? std::uint8_t{0} : changes.PullsOfChange(count - 1)};
    }
    if (!WaitUntil(nextLook))
        return {nextLook, 0}; // cut off: the caller finds out
    const Look look{nextLook, cable.PcPulledAt(nextLook)};
    nextLook += period;
    return look;
}

// Looks until `condition` holds for levels it has seen unchanged for the hold time. Once the
// PC has kept it waiting for a while, it naps between looks and lets the PC have the processor:
// the cable tells what the looks it slept through would have seen.
bool CalculatorLink::See(Condition condition, std::uint8_t wire, std::uint8_t* seen) {
    const std::uint64_t hold = Nanoseconds(options.hold);
    const bool continuous = options.samplePeriod.count() == 0;
    const std::uint64_t started = CableClockNow();
    std::uint8_t levels = 0xFF;
    std::uint64_t since = 0;
    for (unsigned looks = 0;; ++looks) {
        if (Cut())
            return false;
        const Look look = NextLook();
        const std::uint64_t at = look.at;
        const std::uint8_t shown = static_cast<std::uint8_t>(~(look.pcPulls | pulls) & kBothWires);
        // Looking all the time, it saw the levels before a change up to the change.
        const bool heldUntilNow =
            continuous && looks > 0 && condition(levels, wire) && at - since >= hold;
        if (shown != levels && !heldUntilNow) {
            levels = shown;
            since = at;
        }
        if (condition(levels, wire) && at - since >= hold) {
            if (seen)
                *seen = levels;
            return true;
        }
        if (looks % 64 == 63 && PastDeadline())
            return false;
        const std::uint64_t clock = CableClockNow();
        if (clock - started > kPatience && clock - at < kCaughtUp)
            ShortNap(std::chrono::nanoseconds(kNap));
    }
}

// Its own move: what it looks at next comes after it. The time is taken before the wires change,
// so that a PC that answers at once is not taken to have answered before the move.
void CalculatorLink::Move(std::uint8_t wires) {
    const std::uint64_t now = CableClockNow();
    pulls = wires;
    cable.calculator.Pull(wires);
    if (nextLook < now)
        nextLook = now;
}

// The pace, and a slow calculator's pause, before its first move of a bit.
bool CalculatorLink::BeginBit() {
    std::uint64_t now = CableClockNow();
    std::uint64_t start =
        std::max(bitStarted + Nanoseconds(options.bitTime), now + Nanoseconds(options.bitDelay));
    if (!WaitUntil(start))
        return false;
    bitStarted = CableClockNow();
    return true;
}

bool CalculatorLink::StopsHere(int bit, bool afterFirstMove) {
    if (stopPointSpent || byteIndex != options.stopAtByte || bit != options.stopAtBit ||
        afterFirstMove != options.stopAfterFirstMove)
        return false;
    switch (options.stopKind) {
    case StopKind::Unplug:
        Unplug();
        break;
    case StopKind::Freeze:
        NoteStop();
        frozen = true;
        break;
    case StopKind::OnKey:
        PressOn();
        break;
    }
    return true;
}

// Both wires low as an error signal, then let go: the calculator is out of receive mode.
void CalculatorLink::PressOn() {
    Move(kBothWires);
    Pause(options.onKeySignal);
    leftReceiveMode = true;
    Move(0);
    NoteStop();
}

void CalculatorLink::NoteStop() {
    stoppedAnswering = CableClockNow();
}

std::chrono::steady_clock::time_point CalculatorLink::StoppedAnsweringAt() const {
    const std::uint64_t stopped = stoppedAnswering.load();
    if (stopped == 0)
        return std::chrono::steady_clock::time_point();
    return std::chrono::steady_clock::now() - std::chrono::nanoseconds(CableClockNow() - stopped);
}

void CalculatorLink::Record(LinkDirection direction, std::uint8_t value) {
    std::lock_guard<std::mutex> hold(recordLock);
    bytes.push_back({direction, value});
}

bool CalculatorLink::ReceiveByte(std::uint8_t* value) {
    return Ended(ReceiveBits(value));
}

bool CalculatorLink::SendByte(std::uint8_t value) {
    return Ended(SendBits(value));
}

bool CalculatorLink::Ended(bool completed) {
    if (!completed && !frozen) {
        // Let go again: a Stop or Unplug from another thread may have come before a move of ours.
        holdingAck = false;
        pulls = 0;
        cable.calculator.Pull(0);
    }
    return completed;
}

bool CalculatorLink::ReceiveBits(std::uint8_t* value) {
    if (holdingAck)
        Move(0);
    holdingAck = false;
    std::uint8_t byte = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (StopsHere(bit, false))
            return false;
        // The PC pulls the DTR/DSR wire for a 1, the RTS/CTS wire for a 0.
        std::uint8_t levels;
        if (!See(AnyLow, 0, &levels))
            return false;
        std::uint8_t signal = Low(levels, kDtrDsrWire) ? kDtrDsrWire : kRtsCtsWire;
        if (signal == kDtrDsrWire)
            byte |= static_cast<std::uint8_t>(1u << bit);
        if (!BeginBit())
            return false;
        Move(OtherWire(signal));
        if (StopsHere(bit, true) || !See(High, signal))
            return false;
        // With no pause before an answer, the release of the last acknowledgement lasts until
        // its next move: none, if that is its first bit on the same wire.
        holdingAck = bit == 7 && options.turnaround.count() == 0;
        if (!holdingAck)
            Move(0);
    }
    receivedAt = CableClockNow();
    lastWasReceive = true;
    ++byteIndex;
    Record(LinkDirection::PcToCalculator, byte);
    *value = byte;
    return true;
}

bool CalculatorLink::SendBits(std::uint8_t value) {
    if (lastWasReceive) {
        lastWasReceive = false;
        if (!WaitUntil(receivedAt + Nanoseconds(options.turnaround)))
            return false;
    }
    std::uint8_t byte = value;
    for (int bit = 0; bit < 8; ++bit, byte >>= 1) {
        if (StopsHere(bit, false))
            return false;
        std::uint8_t signal = (byte & 1) ? kDtrDsrWire : kRtsCtsWire;
        std::uint8_t ack = OtherWire(signal);
        if (!BeginBit())
            return false;
        if (!(byte & 1) && ((options.zerosOnBothWires >> bit) & 1)) {
            Move(kBothWires);
            if (!Pause(options.glitch))
                return false;
        }
        Move(signal); // in one move from an acknowledgement still held
        holdingAck = false;
        if (!See(Low, ack) || StopsHere(bit, true))
            return false;
        Move(0);
        if (!See(High, ack))
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
    pulls = 0;
    unplugged = false;
    leftReceiveMode = false;
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
