#include "app/port_lock.h"

#include "app/port_name.h"

#include <windows.h>

#include <string>

namespace {
HANDLE portLock = nullptr;
} // namespace

bool TakePortLock() {
    std::string name = std::string("Local\\Calquin.") + portName;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    if (!mutex)
        return true; // no lock to be had: the port's own open decides, as it always did
    // Abandoned: a copy that ended without releasing it holds the port no more.
    DWORD taken = WaitForSingleObject(mutex, 0);
    if (taken == WAIT_OBJECT_0 || taken == WAIT_ABANDONED) {
        portLock = mutex;
        return true;
    }
    CloseHandle(mutex);
    return false;
}

void ReleasePortLock() {
    if (!portLock)
        return;
    ReleaseMutex(portLock);
    CloseHandle(portLock);
    portLock = nullptr;
}
