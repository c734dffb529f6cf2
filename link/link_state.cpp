#include "link/link_state.h"

#include "link/link_port.h"

#include <atomic>

namespace {
std::atomic<LinkOutcome> outcome{LinkOutcome::Running};
std::atomic<LinkStop> stopRequest{LinkStop::None};
// Job thread only.
bool packetStart = false;
bool linesWritten = false;
} // namespace

void ResetLinkState() {
    outcome = LinkOutcome::Running;
    LinkStop cancel = LinkStop::Cancel;
    stopRequest.compare_exchange_strong(cancel, LinkStop::None);
    packetStart = false;
    linesWritten = false;
}

void RequestLinkStop(LinkStop stop) {
    if (stopRequest.load() != LinkStop::Closing)
        stopRequest = stop;
}

LinkStop LinkStopRequest() {
    return stopRequest.load();
}

LinkOutcome LinkJobOutcome() {
    return outcome.load();
}

bool LinkGivenUp() {
    return outcome.load() != LinkOutcome::Running;
}

void GiveUpLink(LinkOutcome reason) {
    LinkOutcome running = LinkOutcome::Running;
    if (reason == LinkOutcome::Running || !outcome.compare_exchange_strong(running, reason))
        return;
    SetLinkLines(3);
}

bool GiveUpOnStatusReadFailure() {
    bool first = !LinkGivenUp();
    GiveUpLink(LinkOutcome::StatusReadFailed);
    return first;
}

void MarkPacketStart() {
    packetStart = true;
}

bool TakePacketStart() {
    bool wasSet = packetStart;
    packetStart = false;
    return wasSet;
}

bool TakeFirstLineWrite() {
    bool first = !linesWritten;
    linesWritten = true;
    return first;
}
