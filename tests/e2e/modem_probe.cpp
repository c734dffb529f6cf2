// Opens a COM port as calquin.exe does and walks its modem lines through Wine's serial driver:
// after each EscapeCommFunction it prints what GetCommModemStatus reports. It leaves DTR off,
// so that the far end can see the last change.
#include <windows.h>

#include <cstdio>

namespace {
bool PrintStatus(HANDLE port, const char* step) {
    DWORD status = 0;
    if (!GetCommModemStatus(port, &status)) {
        std::printf("%s status-failed %lu\n", step, GetLastError());
        return false;
    }
    std::printf("%s cts=%d dsr=%d\n", step, (status & MS_CTS_ON) ? 1 : 0,
                (status & MS_DSR_ON) ? 1 : 0);
    return true;
}
} // namespace

int main(int argc, char** argv) {
    const char* name = argc > 1 ? argv[1] : "COM2";
    HANDLE port = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_NO_BUFFERING, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        std::printf("open-failed %lu\n", GetLastError());
        return 2;
    }
    DCB dcb;
    dcb.DCBlength = sizeof dcb;
    std::printf("dcb %s\n", GetCommState(port, &dcb) ? "read" : "failed");
    bool ok = PrintStatus(port, "initial");
    const struct {
        DWORD function;
        const char* name;
    } steps[] = {{CLRDTR, "CLRDTR"},
                 {CLRRTS, "CLRRTS"},
                 {SETDTR, "SETDTR"},
                 {SETRTS, "SETRTS"},
                 {CLRDTR, "CLRDTR"}};
    for (const auto& step : steps) {
        if (!EscapeCommFunction(port, step.function)) {
            std::printf("%s escape-failed %lu\n", step.name, GetLastError());
            ok = false;
        }
        ok = PrintStatus(port, step.name) && ok;
    }
    CloseHandle(port);
    std::fflush(stdout);
    return ok ? 0 : 1;
}
