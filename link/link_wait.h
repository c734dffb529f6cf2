// Polling the link lines until a condition shows, within the job's give-up policy.
#pragma once

#include "link/link_port.h"

#include <chrono>

// How long a wait inside a packet may go without the change it waits for.
constexpr std::chrono::milliseconds kLinkAnswerLimit{2000};
// How long a packet's first wait must have gone unanswered before Cancel gives it up.
constexpr std::chrono::milliseconds kLinkCancelGrace{1000};

// Polls ReadLinkLines (no sleep) until IsDone(reading) holds, and returns that reading in *last.
// A packet's first wait (patient) lasts until the job is told to stop; any other gives up after
// kLinkAnswerLimit. Returns false when the wait was given up (the link is then given up too).
bool AwaitLines(bool (*IsDone)(LinkLines reading), bool patient, LinkLines* last);
