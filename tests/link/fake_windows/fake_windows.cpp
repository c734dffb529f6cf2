#include "tests/link/fake_windows/fake_windows.h"

namespace {
FakeWindows fake;

void Record(const char* function, HANDLE handle, DWORD argument = 0) {
    fake.calls.push_back({function, handle, argument});
}
} // namespace

FakeWindows& Fake() {
    return fake;
}
void ResetFake() {
    fake = FakeWindows{};
}

std::vector<DWORD> FakeWindows::Escapes() const {
    std::vector<DWORD> codes;
    for (const FakeCall& call : calls)
        if (call.function == "EscapeCommFunction")
            codes.push_back(call.argument);
    return codes;
}

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile) {
    Record("CreateFileA", nullptr);
    fake.creates.push_back({fileName, desiredAccess, shareMode, securityAttributes,
                            creationDisposition, flagsAndAttributes, templateFile});
    return fake.openedHandle;
}

BOOL WINAPI CloseHandle(HANDLE object) {
    Record("CloseHandle", object);
    return TRUE;
}

BOOL WINAPI GetCommState(HANDLE file, LPDCB dcb) {
    Record("GetCommState", file);
    if (!fake.getCommStateResult)
        return FALSE; // the block is left as it was
    *dcb = fake.portDcb;
    return TRUE;
}

BOOL WINAPI SetCommState(HANDLE file, LPDCB dcb) {
    Record("SetCommState", file);
    fake.setDcbs.push_back(*dcb);
    fake.portDcb = *dcb;
    // The driver's RTS state is the block's from now on: an escape held back is forgotten.
    if (dcb->fRtsControl == RTS_CONTROL_ENABLE || dcb->fRtsControl == RTS_CONTROL_DISABLE) {
        fake.rts = dcb->fRtsControl == RTS_CONTROL_ENABLE;
        fake.rtsHeldBack = false;
    }
    if (dcb->fDtrControl == DTR_CONTROL_ENABLE || dcb->fDtrControl == DTR_CONTROL_DISABLE)
        fake.dtr = dcb->fDtrControl == DTR_CONTROL_ENABLE;
    return TRUE;
}

BOOL WINAPI EscapeCommFunction(HANDLE file, DWORD function) {
    Record("EscapeCommFunction", file, function);
    switch (function) {
    case SETRTS:
    case CLRRTS:
        if (fake.rtsOnlyWithDtr) {
            fake.rtsHeldBack = true;
            fake.heldBackRts = function == SETRTS;
            return FALSE;
        }
        fake.rts = function == SETRTS;
        return TRUE;
    case SETDTR:
    case CLRDTR:
        if (fake.dtr != (function == SETDTR) && fake.rtsHeldBack) {
            fake.rts = fake.heldBackRts;
            fake.rtsHeldBack = false;
        }
        fake.dtr = function == SETDTR;
        return TRUE;
    default:
        return TRUE;
    }
}

BOOL WINAPI GetCommModemStatus(HANDLE file, LPDWORD modemStat) {
    Record("GetCommModemStatus", file);
    if (!fake.modemStatusResult)
        return FALSE;
    *modemStat = fake.loopback ? (fake.rts ? MS_CTS_ON : 0u) | (fake.dtr ? MS_DSR_ON : 0u)
                               : fake.modemStatus;
    return TRUE;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    Record("MessageBoxA", nullptr);
    fake.boxes.push_back({owner, text, caption, type});
    return 1; // IDOK
}
