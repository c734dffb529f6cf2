#include "link/link_port_posix.h"

#include "ui/job_events.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr int kBothOutputs = TIOCM_DTR | TIOCM_RTS;

PortOpening OpeningAfter(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return PortOpening::Missing;
    case EACCES:
    case EPERM:
        return PortOpening::NoPermission;
    case EBUSY:
        return PortOpening::Busy;
    case ENXIO:
    case ENODEV:
        return PortOpening::NoDevice;
    default:
        return PortOpening::Failed;
    }
}

PortOpenResult Refused(int fd, PortOpening opening, int error) {
    close(fd);
    return {opening, error};
}

// No byte ever passes the UART: raw, no flow control of any kind (with CRTSCTS the driver would
// drive RTS itself), no carrier, no hang-up on close, and a speed other than 0 (which holds
// RTS and DTR off).
termios LinkSettings(const termios& settings) {
    termios link = settings;
    cfmakeraw(&link);
    link.c_cflag |= CLOCAL | CREAD;
    link.c_cflag &= ~(HUPCL | CRTSCTS);
    link.c_iflag &= ~(IXON | IXOFF | IXANY);
    cfsetispeed(&link, B9600);
    cfsetospeed(&link, B9600);
    return link;
}

// What the close leaves behind: the settings found, but never HUPCL or a zero speed.
termios SettingsToLeave(const termios& found) {
    termios left = found;
    left.c_cflag &= ~HUPCL;
    if (cfgetospeed(&left) == B0) {
        cfsetispeed(&left, B9600);
        cfsetospeed(&left, B9600);
    }
    return left;
}
} // namespace

PortOpenResult SerialDevice::Open(const char* device) {
    // Without O_NONBLOCK the open of a port without CLOCAL waits for a carrier that this cable
    // never gives.
    int fd = open(device, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {OpeningAfter(errno), errno};
    termios settings{};
    if (tcgetattr(fd, &settings) != 0)
        return Refused(fd, PortOpening::NoModemLines, errno);
    // The lock comes first: a program refused after asking for exclusive use would already have
    // changed the port of the one that holds it.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return Refused(fd, errno == EWOULDBLOCK ? PortOpening::InUse : PortOpening::Failed, errno);
    int lines = 0;
    if (ioctl(fd, TIOCMGET, &lines) != 0)
        return Refused(fd, PortOpening::NoModemLines, errno);
    termios link = LinkSettings(settings);
    if (tcsetattr(fd, TCSANOW, &link) != 0)
        return Refused(fd, PortOpening::Failed, errno);
    // Others keep out from here on; root is not kept out by it, the lock is what stops a second
    // copy of this program.
    ioctl(fd, TIOCEXCL);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    port = fd;
    path = device;
    found = settings;
    outputs = lines & kBothOutputs;
    return {PortOpening::Opened, 0};
}

void SerialDevice::Close() {
    if (port < 0)
        return;
    SetLinkLines(kReleaseBoth);
    termios left = SettingsToLeave(found);
    tcsetattr(port, TCSANOW, &left);
    ioctl(port, TIOCNXCL);
    close(port); // the lock goes with it
    port = -1;
}

void SerialDevice::SetLinkLines(LinkLines lines) {
    int wanted = ((lines & kDtrOn) ? TIOCM_DTR : 0) | ((lines & kRtsOn) ? TIOCM_RTS : 0);
    int release = wanted & ~outputs;
    int pull = outputs & ~wanted;
    // Releases first: both wires low at once is the calculator's error signal. In the handshake
    // every change is one line, one call.
    if (release)
        ioctl(port, TIOCMBIS, &release);
    if (pull)
        ioctl(port, TIOCMBIC, &pull);
    outputs = wanted;
}

bool SerialDevice::ReadLinkLines(LinkLines* lines) {
    int status = 0;
    if (ioctl(port, TIOCMGET, &status) != 0)
        return false;
    *lines = static_cast<LinkLines>(((status & TIOCM_CTS) ? kCtsHigh : 0) |
                                    ((status & TIOCM_DSR) ? kDsrHigh : 0));
    return true;
}

void SerialDevice::TellStatusReadFailure(JobEvents& events) {
    events.Message(MessageKind::PortError, "There was an error calling TIOCMGET on %s",
                   path.c_str());
}

std::string SerialDevice::LatencyTimerSetting() const {
    // The device's own name, through any link to it (/dev/serial/by-id/...).
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved))
        return {};
    const char* slash = std::strrchr(resolved, '/');
    const std::string name = slash ? slash + 1 : resolved;
    if (name.compare(0, 6, "ttyUSB") != 0)
        return {};
    return "echo 1 | sudo tee /sys/bus/usb-serial/devices/" + name + "/latency_timer";
}
