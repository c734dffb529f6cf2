// The link layer: one byte at a time over the two-wire handshake.
//
//   Port (port.h)          the open port: its line seam, what has been learnt about it; owned
//                          by the front end for as long as the port is open
//   JobLink (here)         one job's use of the port: its outcome, the stop its front end asked
//                          for, its payload count and the byte layer's state; made per job
//   SendLinkByte,          the entry points (link_byte.h), each given the job's link
//   ReceiveLinkByte
//   AwaitLines             the one wait loop under them (link_wait.h)
//
// Called by the packet layer (protocol/) only; calls the line seam (line_seam.h) only. The front
// end reaches a running job's link to ask it to stop (RequestStop, from any thread).
#pragma once

#include "link/link_outcome.h"
#include "link/port.h"

#include <atomic>
#include <cstdint>

class JobEvents;

class JobLink {
  public:
    // `carried` is what a job inherits from the one before it: Closing is never withdrawn.
    JobLink(Port& port, JobEvents& events, LinkStop carried = LinkStop::None);
    JobLink(const JobLink&) = delete;
    JobLink& operator=(const JobLink&) = delete;

    Port& ThePort() { return port; }
    JobEvents& Events() { return events; }

    // A given-up link stays silent for the rest of the job: the byte routines return at once
    // without touching the lines, and the layers above ask GivenUp() to end cleanly.
    LinkOutcome Outcome() const { return outcome.load(); }
    bool GivenUp() const { return Outcome() != LinkOutcome::Running; }
    // Records the first reason only; releases both lines the first time.
    void GiveUp(LinkOutcome reason);

    // Any thread. Closing is never withdrawn.
    void RequestStop(LinkStop stop);
    LinkStop StopRequest() const { return stop.load(); }
    // What the next job on the port inherits: a Closing, never a Cancel.
    LinkStop CarriedStop() const;

    // The job's line calls. A write is noted for the port's report lateness and call time; a
    // read that fails gives the link up (the user is told the first time) and reads as the idle
    // link. A reading is judged by the time its read began (*began): whatever kept the program
    // from judging it sooner, the lines it shows are no older than the port's lateness then.
    void Write(LinkLines lines);
    LinkLines Read(ReportLateness::Clock::time_point* began);
    LinkLines Read() {
        ReportLateness::Clock::time_point began;
        return Read(&began);
    }

    // Payload bytes sent since the job began, resends included. The packet layer adds to it;
    // a backup the calculator took sets it back to 0, so that its batch ends without an EOT.
    std::uint32_t bytesSent = 0;
    // Whether the exchange has begun in this job (a packet has gone out, or the calculator has
    // begun to send): until then the PC's packet may wait for a person (the calculator not yet
    // in receive mode). The packet layer's.
    bool exchangeBegun = false;

    // The byte layer's state between bytes (job thread only).
    struct ByteLayerState {
        // Until a transfer writes them, the port's lines stay as the port set them at open,
        // which may be low: a job releases them before its first wait for the idle link.
        bool linesWritten = false;
        // Receiving: the reading that ended the PC's last acknowledgement, its own wire still
        // low in it (kIdleReading: none since the PC let go of that wire).
        LinkLines lateAck = kIdleReading;
    };
    ByteLayerState byteState;

  private:
    Port& port;
    JobEvents& events;
    std::atomic<LinkOutcome> outcome{LinkOutcome::Running};
    std::atomic<LinkStop> stop;
};
