#include "link/link_port.h"
#include "link/link_port_posix.h"
#include "link/link_state.h"
#include "ui/message_box.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr int kBothOutputs = TIOCM_DTR | TIOCM_RTS;

int port = -1;
termios found{}; // the settings at the open, restored at the close
int outputs = 0; // the outputs as last written: each write changes only what differs

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
termios SettingsToLeave() {
    termios left = found;
    left.c_cflag &= ~HUPCL;
    if (cfgetospeed(&left) == B0) {
        cfsetispeed(&left, B9600);
        cfsetospeed(&left, B9600);
    }
    return left;
}
} // namespace

PortOpenResult OpenSerialDevice(const char* path) {
    // Without O_NONBLOCK the open of a port without CLOCAL waits for a carrier that this cable
    // never gives.
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
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
    found = settings;
    outputs = lines & kBothOutputs;
    return {PortOpening::Opened, 0};
}

void CloseSerialDevice() {
    if (port < 0)
        return;
    SetLinkLines(3);
    termios left = SettingsToLeave();
    tcsetattr(port, TCSANOW, &left);
    ioctl(port, TIOCNXCL);
    close(port); // the lock goes with it
    port = -1;
}

bool OpenLinkPort() {
    return OpenSerialDevice(portName).opening == PortOpening::Opened;
}

void SetLinkLines(LinkLines lines) {
    int wanted = ((lines & 1) ? TIOCM_DTR : 0) | ((lines & 2) ? TIOCM_RTS : 0);
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

LinkLines ReadLinkLines() {
    int status = 0;
    if (ioctl(port, TIOCMGET, &status) != 0) {
        // Told once: the job gives the link up, so no later poll comes back here.
        if (GiveUpOnStatusReadFailure())
            ShowErrorMessage("There was an error calling TIOCMGET on %s", portName);
        return 3;
    }
    return static_cast<LinkLines>(((status & TIOCM_CTS) ? 1 : 0) | ((status & TIOCM_DSR) ? 2 : 0));
}
