// The test's serial device gets modem-control lines: TIOCMGET/TIOCMSET/TIOCMBIS/TIOCMBIC on a
// descriptor of the device named by CALQUIN_CABLE_DEVICE (told by its device number, since
// wineserver opens the device and hands the descriptor over) drive the PC end of the
// shared-memory cable in the file named by CALQUIN_CABLE. Every other ioctl passes through.
// With CALQUIN_CABLE_REPORT_US set, the device acts as a USB serial adapter under Windows: each
// write lasts CALQUIN_CABLE_WRITE_US (default 1000), and a status read returns the lines as the
// adapter's last report gave them, made once per that many microseconds.
#include "preload/path_guard.h"
#include "preload/real_function.h"
#include "sim/shared_cable.h"
#include "sim/virtual_cable.h"

#include <asm/ioctls.h>
#include <asm/termios.h>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <dlfcn.h>
#include <pthread.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {
struct CableDevice {
    bool configured = false; // CALQUIN_CABLE_DEVICE names a character device
    dev_t device = 0;
    VirtualCable* cable = nullptr;
    std::uint64_t reportPeriod = 0; // nanoseconds; 0: reads look at the wires
    std::uint64_t writeTime = 0;
    // The last report (the program's link thread only).
    std::uint64_t nextReport = 0;
    std::uint8_t reported = 3;
};

std::uint64_t MicrosecondsFrom(const char* name, std::uint64_t otherwise) {
    const char* value = std::getenv(name);
    return value && *value ? std::strtoull(value, nullptr, 10) : otherwise;
}

CableDevice cableDevice;
pthread_once_t cableDeviceOnce = PTHREAD_ONCE_INIT;

void FindCableDevice() {
    const char* devicePath = std::getenv("CALQUIN_CABLE_DEVICE");
    const char* cablePath = std::getenv("CALQUIN_CABLE");
    struct stat64 status;
    if (!devicePath || !*devicePath || stat64(devicePath, &status) != 0 || !S_ISCHR(status.st_mode))
        return;
    cableDevice.device = status.st_rdev;
    cableDevice.configured = true;
    if (cablePath && *cablePath)
        cableDevice.cable = MapSharedCable(cablePath, false);
    cableDevice.reportPeriod = MicrosecondsFrom("CALQUIN_CABLE_REPORT_US", 0) * 1000u;
    if (cableDevice.reportPeriod > 0)
        cableDevice.writeTime = MicrosecondsFrom("CALQUIN_CABLE_WRITE_US", 1000) * 1000u;
    GuardLog(cableDevice.cable ? "cable" : "no-cable", "ioctl", devicePath);
}

bool IsModemRequest(unsigned long request) {
    return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
}

bool IsCableDescriptor(int fd) {
    pthread_once(&cableDeviceOnce, FindCableDevice);
    if (!cableDevice.configured)
        return false;
    struct stat64 status;
    return fstat64(fd, &status) == 0 && S_ISCHR(status.st_mode) &&
           status.st_rdev == cableDevice.device;
}

// The PC's outputs as TIOCM bits: a line is on while the PC does not pull its wire.
int Outputs(const VirtualCable& cable) {
    std::uint8_t pulled = cable.pc.Pulled();
    return ((pulled & kDtrDsrWire) ? 0 : TIOCM_DTR) | ((pulled & kRtsCtsWire) ? 0 : TIOCM_RTS);
}

void WriteOutputs(VirtualCable& cable, int bits) {
    if (cableDevice.writeTime > 0) {
        const timespec pause{static_cast<time_t>(cableDevice.writeTime / 1000000000u),
                             static_cast<long>(cableDevice.writeTime % 1000000000u)};
        nanosleep(&pause, nullptr);
    }
    cable.WritePcLines(
        static_cast<std::uint8_t>(((bits & TIOCM_DTR) ? 1 : 0) | ((bits & TIOCM_RTS) ? 2 : 0)));
}

// The lines as the adapter's last report gave them.
std::uint8_t ReportedLines(const VirtualCable& cable) {
    const std::uint64_t period = cableDevice.reportPeriod;
    if (period == 0)
        return cable.ReadPcLines();
    const std::uint64_t now = CableClockNow();
    if (now >= cableDevice.nextReport) {
        cableDevice.reported = cable.ReadPcLines();
        cableDevice.nextReport = now + period - (now - cableDevice.nextReport) % period;
    }
    return cableDevice.reported;
}

int ReadStatus(const VirtualCable& cable) {
    std::uint8_t lines = ReportedLines(cable);
    return Outputs(cable) | ((lines & 1) ? TIOCM_CTS : 0) | ((lines & 2) ? TIOCM_DSR : 0);
}

int ModemIoctl(unsigned long request, int* bits) {
    VirtualCable* cable = cableDevice.cable;
    if (!cable) {
        errno = EIO;
        return -1;
    }
    switch (request) {
    case TIOCMGET:
        *bits = ReadStatus(*cable);
        break;
    case TIOCMSET:
        WriteOutputs(*cable, *bits);
        break;
    case TIOCMBIS:
        WriteOutputs(*cable, Outputs(*cable) | *bits);
        break;
    default: // TIOCMBIC
        WriteOutputs(*cable, Outputs(*cable) & ~*bits);
        break;
    }
    return 0;
}

using IoctlFunction = int (*)(int, unsigned long, ...);

int Ioctl(const char* name, IoctlFunction& next, int fd, unsigned long request, void* argument) {
    if (IsModemRequest(request) && IsCableDescriptor(fd))
        return ModemIoctl(request, static_cast<int*>(argument));
    if (!next)
        next = reinterpret_cast<IoctlFunction>(dlsym(RTLD_NEXT, name));
    if (!next) {
        errno = ENOSYS;
        return -1;
    }
    return next(fd, request, argument);
}
} // namespace

// Every ioctl carries at most one pointer-sized argument, which is passed on as it came.
GUARD_EXPORT int ioctl(int fd, unsigned long request, ...) noexcept {
    static IoctlFunction next;
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    return Ioctl("ioctl", next, fd, request, argument);
}

// Debian's 32-bit programs built with 64-bit time call this name.
GUARD_EXPORT int __ioctl_time64(int fd, unsigned long request, ...) noexcept {
    static IoctlFunction next;
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    return Ioctl("__ioctl_time64", next, fd, request, argument);
}

// With a log asked for, every process that carries the guard says so: the Wine harness checks
// that each of its Wine processes did before it trusts the guard.
__attribute__((constructor)) static void AnnounceGuard() {
    char program[256];
    long length = readlink("/proc/self/exe", program, sizeof program - 1);
    program[length > 0 ? length : 0] = '\0';
    GuardLog("loaded", "-", program);
}
