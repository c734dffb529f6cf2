// The recording side of the stand-in <windows.h>: what its functions answer and what they were
// called with, in order.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct FakeCall {
    std::string function;
    HANDLE handle;  // the port handle the call was made on (none for MessageBoxA)
    DWORD argument; // EscapeCommFunction's function code; 0 for the others
};

struct FakeCreate {
    std::string name;
    DWORD access;
    DWORD shareMode;
    LPSECURITY_ATTRIBUTES security;
    DWORD creation;
    DWORD flags;
    HANDLE templateFile;
};

struct FakeMessageBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

struct FakeWindows {
    // Answers.
    HANDLE openedHandle = reinterpret_cast<HANDLE>(0x1234);
    BOOL getCommStateResult = TRUE;
    DCB portDcb = {}; // what GetCommState reports
    BOOL modemStatusResult = TRUE;
    DWORD modemStatus = 0;
    // A cable with nothing at its far end: CTS follows RTS and DSR follows DTR, and the status
    // answers from the outputs instead of modemStatus.
    bool loopback = false;
    // A driver that fails an RTS escape and carries it out only with the next change of DTR
    // (as Windows' usbser.sys is reported to); SetCommState works.
    bool rtsOnlyWithDtr = false;
    // The outputs; SetCommState's control fields and the escapes switch them.
    bool rts = true;
    bool dtr = true;
    // Records.
    std::vector<FakeCall> calls;
    std::vector<FakeCreate> creates;
    std::vector<DCB> setDcbs;
    std::vector<FakeMessageBox> boxes;

    std::vector<DWORD> Escapes() const;

    // An RTS escape the rtsOnlyWithDtr driver holds back.
    bool rtsHeldBack = false;
    bool heldBackRts = true;
};

// A fresh fake for each test.
FakeWindows& Fake();
void ResetFake();
