#include "link/job_link.h"

JobLink::JobLink(Port& port, JobEvents& events, LinkStop carried)
    : port(port), events(events),
      stop(carried == LinkStop::Closing ? LinkStop::Closing : LinkStop::None) {}

void JobLink::GiveUp(LinkOutcome reason) {
    LinkOutcome running = LinkOutcome::Running;
    if (reason == LinkOutcome::Running || !outcome.compare_exchange_strong(running, reason))
        return;
    port.Lines().SetLinkLines(kReleaseBoth);
}

void JobLink::RequestStop(LinkStop request) {
    LinkStop current = stop.load();
    while (current != LinkStop::Closing && !stop.compare_exchange_weak(current, request)) {
    }
}

LinkStop JobLink::CarriedStop() const {
    return StopRequest() == LinkStop::Closing ? LinkStop::Closing : LinkStop::None;
}

void JobLink::Write(LinkLines lines) {
    port.Lines().SetLinkLines(lines);
    port.Lateness().NoteWrite(lines, ReportLateness::Clock::now());
}

LinkLines JobLink::Read(ReportLateness::Clock::time_point* began) {
    *began = ReportLateness::Clock::now();
    LinkLines reading = kIdleReading;
    if (!port.Lines().ReadLinkLines(&reading)) {
        const bool first = !GivenUp();
        GiveUp(LinkOutcome::StatusReadFailed);
        if (first)
            port.Lines().TellStatusReadFailure(events);
        reading = kIdleReading;
    }
    ReportLateness& lateness = port.Lateness();
    if (lateness.AwaitsPull())
        lateness.NoteReading(reading, *began);
    return reading;
}
