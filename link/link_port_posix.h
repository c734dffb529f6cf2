// The Linux program's serial port: a tty device whose modem lines are the two link wires.
// Opened without waiting for a carrier and for this program alone; closed with both lines
// released and left so.
#pragma once

#include "link/line_seam.h"

#include <string>
#include <termios.h>

enum class PortOpening {
    Opened,
    Missing,      // no such device
    NoPermission, // the user may not open it
    Busy,         // another program has it open for exclusive use (TIOCEXCL)
    InUse,        // another program holds its lock (flock)
    NoDevice,     // the name exists but no hardware answers behind it
    NoModemLines, // not a tty, or one without modem lines
    Failed,       // any other reason; the error number tells it
};

struct PortOpenResult {
    PortOpening opening;
    int error; // errno of the call that failed; 0 when opened
};

// One tty device as the line seam: its handle, the settings found at the open and the outputs
// as last written.
class SerialDevice : public LineSeam {
  public:
    SerialDevice() = default;
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;
    ~SerialDevice() override { Close(); }

    // Opens `path` (O_NONBLOCK, then CLOCAL; blocking again once it is configured), takes the
    // advisory lock, asks for exclusive use, turns HUPCL, flow control and the UART's byte
    // handling off, and reads the lines once. Nothing of the device is changed when it fails.
    PortOpenResult Open(const char* path);
    // Releases both lines, restores the settings found at the open except HUPCL (kept off, so
    // that the close does not drop RTS and DTR) and a zero speed (which would drop them too),
    // gives up the exclusive use and the lock, and closes. Does nothing when no port is open.
    void Close();

    void SetLinkLines(LinkLines lines) override;
    bool ReadLinkLines(LinkLines* lines) override;
    // "There was an error calling TIOCMGET on" the device, as a port error of the job.
    void TellStatusReadFailure(JobEvents& events) override;
    // The latency timer of a USB serial adapter's driver (ttyUSB devices) in sysfs.
    std::string LatencyTimerSetting() const override;

  private:
    int port = -1;
    std::string path;
    termios found{}; // the settings at the open, restored at the close
    int outputs = 0; // the outputs as last written: each write changes only what differs
};
