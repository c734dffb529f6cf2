// The Windows program's line seam: the port's own (link/link_port_win32.h), except that a listening
// job that nothing has come to keeps a failed status read to itself (WindowEvents), so that an
// idle program raises no message of its own.
#pragma once

#include "link/line_seam.h"

class WindowLines : public LineSeam {
  public:
    explicit WindowLines(LineSeam& port) : port(port) {}
    void SetLinkLines(LinkLines lines) override { port.SetLinkLines(lines); }
    bool ReadLinkLines(LinkLines* lines) override { return port.ReadLinkLines(lines); }
    void TellStatusReadFailure(JobEvents& events) override;

  private:
    LineSeam& port;
};
