#include "link/link_byte.h"

#include "link/link_wait.h"

namespace {
bool BothLow(LinkLines reading) {
    return reading == kBothLowReading;
}

struct WireHigh {
    Wire wire;
    bool operator()(LinkLines reading) const { return IsHigh(reading, wire); }
};

WaitKind FirstWait(const JobLink& link, ByteStart start) {
    if (start == ByteStart::Listen)
        return WaitKind::Listen;
    return start == ByteStart::PacketStart && !link.byteState.calculatorLeads
               ? WaitKind::PacketStart
               : WaitKind::Answer;
}

// The calculator's next bit. A port that reports late may still show the reading that ended the
// PC's last acknowledgement: the same reading counts as a bit on that wire (the calculator's
// next bit may well be there) once it has lasted longer than a report can be late. Any other
// reading shows that the release has been reported.
//
// Listening, a reading may show the PC's own pulls from before it released the lines, on a port
// whose lateness nothing has shown yet: one so soon after the release does not count. The
// calculator holds its first bit far longer.
constexpr std::chrono::milliseconds kListenAfterRelease{20};

class NextBit {
  public:
    explicit NextBit(JobLink& link, bool listening = false) : link(link), listening(listening) {}
    bool operator()(LinkLines reading) {
        if (listening)
            return reading != kIdleReading &&
                   !link.ThePort().Lateness().MayBeStale(ReportLateness::Clock::now(),
                                                         kListenAfterRelease);
        LinkLines& lateAck = link.byteState.lateAck;
        if (lateAck == kIdleReading || reading != lateAck) {
            lateAck = kIdleReading;
            return reading != kIdleReading;
        }
        return !link.ThePort().Lateness().MayBeStale(ReportLateness::Clock::now());
    }

  private:
    JobLink& link;
    const bool listening;
};

// The job's first use of the lines releases them.
void TakeLines(JobLink& link) {
    if (!link.byteState.linesWritten) {
        // A new job, perhaps on another port: what the last one learnt does not hold.
        link.byteState.linesWritten = true;
        link.ThePort().Lateness().Forget();
        link.Write(kReleaseBoth);
    }
}

// A packet the PC sends starts on a link that has read idle for a while: the calculator may
// still be looking for the release of the PC's last acknowledgement, and a pull at once could
// hide it (when it is on the same wire).
bool StartPacket(JobLink& link) {
    TakeLines(link);
    return AwaitIdleLink(link);
}
} // namespace

void SendLinkByte(JobLink& link, std::uint8_t byte, ByteStart start) {
    if (link.GivenUp())
        return;
    bool packetStart = start != ByteStart::InPacket;
    if (packetStart && !StartPacket(link))
        return;
    const WaitKind firstWait = FirstWait(link, start);
    link.byteState.lateAck = kIdleReading;
    LinkLines reading;
    for (int bit = 0; bit < 8; ++bit, byte >>= 1) {
        // A 1 pulls the DTR/DSR wire, a 0 the RTS/CTS wire; the calculator acknowledges on the
        // other one.
        const Wire signal = (byte & 1) ? Wire::DtrDsr : Wire::RtsCts;
        link.Write(PullOnly(signal));
        if (!AwaitLines(link, packetStart ? firstWait : WaitKind::Answer, BothLow, &reading))
            return;
        packetStart = false;
        link.Write(kReleaseBoth);
        // Only the acknowledgement's release is awaited: a calculator that has turned round may
        // already pull its first bit on the other wire.
        if (!AwaitLines(link, WaitKind::AckRelease, WireHigh{OtherWire(signal)}, &reading))
            return;
    }
}

std::uint8_t ReceiveLinkByte(JobLink& link, ByteStart start) {
    if (link.GivenUp())
        return 0;
    bool packetStart = start != ByteStart::InPacket;
    if (start == ByteStart::Listen)
        TakeLines(link); // listening, the PC pulls no wire
    const WaitKind firstWait = FirstWait(link, start);
    std::uint8_t value = 0;
    LinkLines reading;
    for (int bit = 0; bit < 8; ++bit) {
        if (!AwaitLines(link, packetStart ? firstWait : WaitKind::Answer,
                        NextBit(link, packetStart && start == ByteStart::Listen), &reading))
            return 0;
        packetStart = false;
        // The calculator pulls the DTR/DSR wire for a 1, the RTS/CTS wire (or both) for a 0;
        // the PC acknowledges on the other wire and waits for the calculator's to be released.
        const Wire signal = reading == OnlyLow(Wire::DtrDsr) ? Wire::DtrDsr : Wire::RtsCts;
        if (signal == Wire::DtrDsr)
            value |= static_cast<std::uint8_t>(1u << bit);
        link.Write(PullOnly(OtherWire(signal)));
        if (!AwaitLines(link, WaitKind::Answer, WireHigh{signal}, &reading))
            return 0;
        link.Write(kReleaseBoth);
        link.byteState.lateAck = reading;
    }
    if (start == ByteStart::Listen)
        link.byteState.calculatorLeads = true;
    return value;
}
