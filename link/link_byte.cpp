#include "link/link_byte.h"

#include "link/link_wait.h"

namespace {
using Clock = ReportLateness::Clock;

bool BothLow(LinkLines reading, Clock::time_point) {
    return reading == kBothLowReading;
}

struct WireHigh {
    Wire wire;
    bool operator()(LinkLines reading, Clock::time_point) const { return IsHigh(reading, wire); }
};

WaitKind FirstWait(ByteStart start) {
    switch (start) {
    case ByteStart::PacketForAPerson:
        return WaitKind::Person;
    case ByteStart::Listen:
        return WaitKind::Listen;
    default:
        return WaitKind::Answer;
    }
}

// The release of the calculator's acknowledgement on `ack`. After the last bit of a packet the
// calculator answers, that wire may instead carry its first bit (answerNext): a reading begun
// once the acknowledgement cannot last any more, the port's lateness included, that still shows
// the wire low is that bit.
class AckReleased {
  public:
    AckReleased(JobLink& link, Wire ack, bool answerNext)
        : link(link), ack(ack), answerNext(answerNext && ack == Wire::DtrDsr) {}
    bool operator()(LinkLines reading, Clock::time_point at) const {
        if (IsHigh(reading, ack))
            return true;
        return answerNext && reading == OnlyLow(Wire::DtrDsr) &&
               !link.ThePort().Lateness().MayBeStale(at, kLinkAckLongest);
    }

  private:
    JobLink& link;
    Wire ack;
    bool answerNext;
};

// Listening, the port may still report the lines as they were before the job released them (a
// late port, the last job's pulls), and nothing has shown yet how late it is: a reading counts
// as the calculator's first bit only once it began this long after the release. The calculator
// holds its bits far longer.
constexpr std::chrono::milliseconds kListenStaleLimit{20};

// The calculator's next bit. A port that reports late may still show the reading that ended the
// PC's last acknowledgement: the same reading counts as a bit on that wire (the calculator's
// next bit may well be there) once it has lasted longer than a report can be late. Two other
// readings in a row show that the release has been reported (one may be a glitch).
class NextBit {
  public:
    NextBit(JobLink& link, bool listening) : link(link), listening(listening) {}
    bool operator()(LinkLines reading, Clock::time_point at) {
        const ReportLateness& lateness = link.ThePort().Lateness();
        if (listening)
            return reading != kIdleReading && !lateness.MayBeStale(at, kListenStaleLimit);
        LinkLines& lateAck = link.byteState.lateAck;
        if (lateAck == kIdleReading || reading != lateAck) {
            if (otherBefore)
                lateAck = kIdleReading;
            otherBefore = true;
            return reading != kIdleReading;
        }
        otherBefore = false;
        return !lateness.MayBeStale(at);
    }

  private:
    JobLink& link;
    const bool listening;
    bool otherBefore = false;
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

void SendLinkByte(JobLink& link, std::uint8_t byte, ByteStart start, ByteEnd end) {
    if (link.GivenUp())
        return;
    if (start != ByteStart::InPacket && !StartPacket(link))
        return;
    link.byteState.lateAck = kIdleReading;
    WaitKind firstWait = FirstWait(start);
    LinkLines reading;
    for (int bit = 0; bit < 8; ++bit, byte >>= 1) {
        // A 1 pulls the DTR/DSR wire, a 0 the RTS/CTS wire; the calculator acknowledges on the
        // other one.
        const Wire signal = (byte & 1) ? Wire::DtrDsr : Wire::RtsCts;
        const Wire ack = OtherWire(signal);
        link.Write(PullOnly(signal));
        if (!AwaitLines(link, firstWait, BothLow, &reading))
            return;
        firstWait = WaitKind::Answer;
        link.Write(kReleaseBoth);
        // Only the acknowledgement's release is awaited: a calculator that has turned round may
        // already pull its first bit on the other wire.
        const AckReleased released(link, ack, end == ByteEnd::AnswerNext && bit == 7);
        if (!AwaitLines(link, WaitKind::AckRelease, released, &reading))
            return;
        if (!IsHigh(reading, ack))
            link.byteState.lateAck = reading; // the answer's first bit, taken as it stands
    }
}

std::uint8_t ReceiveLinkByte(JobLink& link, ByteStart start) {
    if (link.GivenUp())
        return 0;
    if (start == ByteStart::Listen)
        TakeLines(link); // listening, the PC pulls no wire
    WaitKind firstWait = FirstWait(start);
    std::uint8_t value = 0;
    LinkLines reading;
    for (int bit = 0; bit < 8; ++bit) {
        if (!AwaitLines(link, firstWait, NextBit(link, firstWait == WaitKind::Listen), &reading))
            return 0;
        firstWait = WaitKind::Answer;
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
    return value;
}
