#include "link/link_port_win32.h"

HANDLE LinkPort = nullptr;

bool OpenLinkPort(const char* name) {
    LinkPort = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_NO_BUFFERING, nullptr);
    if (LinkPort == INVALID_HANDLE_VALUE)
        return false;
    // Zeroed first: a failed GetCommState leaves the block unfilled, and SetCommState must not
    // be handed indeterminate bytes (a zeroed block, XonChar equal to XoffChar, is refused).
    DCB dcb = {};
    GetCommState(LinkPort, &dcb);
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = 9600;
    dcb.fBinary = 1;
    dcb.fParity = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fAbortOnError = 0;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    // No byte ever passes the UART; one stop bit is the framing every port accepts with 8 bits.
    dcb.StopBits = ONESTOPBIT;
    // DTR and RTS keep the control modes the port reported, so the wires stay as they are, but
    // for a handshake or toggle mode (left by another program, or a driver's default): an
    // EscapeCommFunction on such a line fails. Enable keeps the line released, as they keep it.
    if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE || dcb.fRtsControl == RTS_CONTROL_TOGGLE)
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE)
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
    SetCommState(LinkPort, &dcb);
    return true;
}

void Win32Lines::SetLinkLines(LinkLines lines) {
    lines &= kReleaseBoth;
    const LinkLines changing = ((lines ^ outputs) | ~known) & kReleaseBoth;
    outputs = lines;
    if ((changing & byControlState) && SetByControlState(lines)) {
        known = kReleaseBoth;
        return;
    }
    for (LinkLines output : {kRtsOn, kDtrOn}) {
        if (!(changing & output))
            continue;
        DWORD code = output == kRtsOn ? ((lines & kRtsOn) ? SETRTS : CLRRTS)
                                      : ((lines & kDtrOn) ? SETDTR : CLRDTR);
        // A failed switch leaves the output unknown: the next write makes it again.
        if (EscapeCommFunction(LinkPort, code))
            known |= output;
        else
            known &= ~output;
    }
}

// Both control fields from `lines`: the one not switched this way must not fall back to the
// mode the port was opened with.
bool Win32Lines::SetByControlState(LinkLines lines) {
    DCB dcb = {};
    if (!GetCommState(LinkPort, &dcb))
        return false;
    dcb.fRtsControl = (lines & kRtsOn) ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    dcb.fDtrControl = (lines & kDtrOn) ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    return SetCommState(LinkPort, &dcb) != 0;
}

bool Win32Lines::SwitchAnotherWay(Wire wire) {
    // The wire pulled by RTS off is the RTS/CTS wire.
    byControlState |= PullOnly(wire) ^ kReleaseBoth;
    known = 0;
    return true;
}

std::string Win32Lines::LatencyTimerSetting() const {
    return "Device Manager > Ports (COM & LPT) > the adapter's port > Properties > Port "
           "Settings > Advanced > Latency Timer (msec)";
}

bool Win32Lines::ReadLinkLines(LinkLines* lines) {
    DWORD status = 0;
    if (!GetCommModemStatus(LinkPort, &status))
        return false;
    *lines = 0;
    if (status & MS_CTS_ON)
        *lines |= kCtsHigh;
    if (status & MS_DSR_ON)
        *lines |= kDsrHigh;
    return true;
}

void Win32Lines::TellStatusReadFailure(JobEvents&) {
    MessageBoxA(owner, "There was an error calling GetCommModemStatus", "Calquin", MB_OK);
}
