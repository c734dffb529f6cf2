// Polling the link lines until a condition shows, within the job's give-up policy.
#pragma once

#include "link/link_port.h"

#include <chrono>

// How long a wait inside a packet may go without the change it waits for.
constexpr std::chrono::milliseconds kLinkAnswerLimit{2000};
// How long a packet's first wait must have gone unanswered before Cancel gives it up.
constexpr std::chrono::milliseconds kLinkCancelGrace{1000};
// How long a packet's first wait polls at full speed. Past it, it sleeps between polls: that
// wait may last minutes while the user gets the calculator ready, and costs no processor then.
// A calculator that answers meanwhile loses at most one sleep, once per packet.
constexpr std::chrono::milliseconds kLinkIdleAfter{100};

// Polls ReadLinkLines until IsDone(reading) holds, and returns that reading in *last. No sleep,
// except in a packet's first wait (patient) once it has gone kLinkIdleAfter unanswered. That
// wait lasts until the job is told to stop; any other gives up after kLinkAnswerLimit.
// Returns false when the wait was given up (the link is then given up too).
bool AwaitLines(bool (*IsDone)(LinkLines reading), bool patient, LinkLines* last);
