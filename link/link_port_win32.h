// The Win32 line seam: a COM port's RTS/DTR outputs and CTS/DSR inputs.
#pragma once

#include "link/line_seam.h"

#include <windows.h>

// Handle of the open port: set by OpenLinkPort, closed by start-up at exit.
extern HANDLE LinkPort;

// Opens `name` ("COM1".."COM9") for this process alone into LinkPort and configures it; false
// when it cannot be opened (LinkPort is then INVALID_HANDLE_VALUE).
bool OpenLinkPort(const char* name);

// The line primitives on LinkPort. A failed status read is shown in a box owned by `owner`
// (read when the box is shown).
class Win32Lines : public LineSeam {
  public:
    explicit Win32Lines(const HWND& owner) : owner(owner) {}
    // RTS then DTR, each by EscapeCommFunction; an output known to be as asked is left alone
    // (through an adapter every call is a USB round trip). An output switched another way goes
    // by SetCommState, together with the other one.
    void SetLinkLines(LinkLines lines) override;
    bool ReadLinkLines(LinkLines* lines) override;
    void TellStatusReadFailure(JobEvents& events) override;
    // Some drivers (Windows' own usbser.sys) carry an RTS escape out only when DTR changes too,
    // while SetCommState with the control fields works.
    bool SwitchAnotherWay(Wire wire) override;
    std::string LatencyTimerSetting() const override;

  private:
    bool SetByControlState(LinkLines lines);

    const HWND& owner;
    LinkLines outputs = kReleaseBoth; // as last written
    LinkLines known = 0;              // the outputs whose state is known: written with success
    LinkLines byControlState = 0;     // the outputs switched by SetCommState
};
