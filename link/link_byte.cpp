#include "link/link_byte.h"

#include "link/link_port.h"
#include "link/link_state.h"
#include "link/link_wait.h"

namespace {
// Receiving: the reading that ended the PC's last acknowledgement, its own wire still low in it
// (3: none since the PC let go of that wire). Job thread only.
LinkLines lateAck = 3;

// Writes the lines; lines 1 pulls the RTS/CTS wire, 2 the DTR/DSR wire, 3 lets go of both.
void Drive(LinkLines lines, bool newJob = false) {
    SetLinkLines(lines);
    NoteLinkWrite(lines, newJob);
}

bool BothLow(LinkLines reading) {
    return reading == 0;
}
bool DsrHigh(LinkLines reading) {
    return (reading & 2) != 0;
}
bool CtsHigh(LinkLines reading) {
    return (reading & 1) != 0;
}

// The calculator's next bit. A port that reports late may still show the reading that ended the
// PC's last acknowledgement: the same reading counts as a bit on that wire (the calculator's
// next bit may well be there) once it has lasted longer than a report can be late. Any other
// reading shows that the release has been reported.
bool NextBit(LinkLines reading) {
    if (lateAck == 3 || reading != lateAck) {
        lateAck = 3;
        return reading != 3;
    }
    return !ReadingMayBeLate();
}

// A packet the PC sends starts on a link that has read idle for a while: the calculator may
// still be looking for the release of the PC's last acknowledgement, and a pull at once could
// hide it (when it is on the same wire).
bool StartPacket() {
    if (TakeFirstLineWrite())
        Drive(3, true); // a new job, perhaps on another port
    return AwaitIdleLink();
}
} // namespace

void SendLinkByte(std::uint8_t byte) {
    if (LinkGivenUp())
        return;
    bool patient = TakePacketStart();
    if (patient && !StartPacket())
        return;
    lateAck = 3;
    LinkLines reading;
    for (int bit = 0; bit < 8; ++bit, byte >>= 1) {
        // A 1 pulls the DTR/DSR wire (DTR off), a 0 the RTS/CTS wire (RTS off); the calculator
        // acknowledges on the other one.
        const bool one = byte & 1;
        Drive(one ? 2 : 1);
        if (!AwaitLines(BothLow, patient, &reading))
            return;
        patient = false;
        Drive(3);
        // Only the acknowledgement's release is awaited: a calculator that has turned round may
        // already pull its first bit on the other wire.
        if (!AwaitLines(one ? CtsHigh : DsrHigh, false, &reading, true))
            return;
    }
}

std::uint8_t ReceiveLinkByte() {
    if (LinkGivenUp())
        return 0;
    bool patient = TakePacketStart();
    std::uint8_t value = 0;
    LinkLines reading;
    for (int bit = 0; bit < 8; ++bit) {
        if (!AwaitLines(NextBit, patient, &reading))
            return 0;
        patient = false;
        bool released;
        if (reading == 1) {
            // The calculator pulls the DTR/DSR wire: a 1, acknowledged on the RTS/CTS wire.
            value |= static_cast<std::uint8_t>(1u << bit);
            Drive(1);
            released = AwaitLines(DsrHigh, false, &reading);
        } else {
            // The RTS/CTS wire (or both wires) low: a 0, acknowledged on the DTR/DSR wire.
            Drive(2);
            released = AwaitLines(CtsHigh, false, &reading);
        }
        if (!released)
            return 0;
        Drive(3);
        lateAck = reading;
    }
    return value;
}
