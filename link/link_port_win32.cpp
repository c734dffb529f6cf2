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
    // DTR and RTS keep the control modes the port reported, so the wires stay as they are.
    SetCommState(LinkPort, &dcb);
    return true;
}

void Win32Lines::SetLinkLines(LinkLines lines) {
    EscapeCommFunction(LinkPort, (lines & kRtsOn) ? SETRTS : CLRRTS);
    EscapeCommFunction(LinkPort, (lines & kDtrOn) ? SETDTR : CLRDTR);
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
