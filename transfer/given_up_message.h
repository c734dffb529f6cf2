// What the user is told when the calculator stopped answering, sending or receiving: the
// message, and as a second line what the link learnt about the port that may have been the
// cause (link/port_advice.h).
#pragma once

#include "link/job_link.h"

// `message` is shown as it stands (it is not a format).
void TellGivenUp(JobLink& link, const char* message);
