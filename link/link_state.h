// Whether the current job may still use the link, and why it was given up.
// A given-up link stays silent for the rest of the job: the byte routines return at once
// without touching the lines, and the layers above ask LinkGivenUp() to end cleanly.
#pragma once

enum class LinkOutcome {
    Running,          // nothing given up
    NoAnswer,         // a wait passed its limit: cable pulled or calculator off
    StatusReadFailed, // the port's status could not be read (the user has been told)
    StopRequested,    // the job was told to stop
};

enum class LinkStop {
    None,
    Cancel,  // give up a calculator that has not answered for a second
    Closing, // the program is closing: give up every wait at once
};

// Job thread, when a job begins: forget the last job's outcome and its Cancel.
void ResetLinkState();
// Any thread. Closing is never withdrawn.
void RequestLinkStop(LinkStop stop);
LinkStop LinkStopRequest();

LinkOutcome LinkJobOutcome();
bool LinkGivenUp();
// Records the first reason only; releases both lines the first time.
void GiveUpLink(LinkOutcome reason);

// A status read failed: gives the link up; true the first time, when the caller tells the user.
bool GiveUpOnStatusReadFailure();

// The packet layer calls this before a packet's first byte (sent or received): the first
// wait of that byte may last as long as a person needs.
void MarkPacketStart();
bool TakePacketStart();

// True the first time in a job. Until a transfer writes them, the port's lines stay as the port
// set them at open, which may be low: a job releases them before its first wait for the idle link.
bool TakeFirstLineWrite();
