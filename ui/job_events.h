// What a transfer job tells whoever runs it: the front end (the Windows main window, the Linux
// terminal, a test's recorder) implements these, and the job is given one when it is made. All
// are called on the job's thread.
#pragma once

#include "link/link_outcome.h"

#include <cstdint>

enum class MessageKind {
    Error,     // a file or the job failed: caption "Calquin Error", the error icon
    PortError, // the port's lines could not be read: caption "Calquin", no icon
};

class JobEvents {
  public:
    virtual ~JobEvents() = default;
    // A variable starts (its name as the calculator's raw bytes), or a backup's chunk
    // ("Chunk1" to "Chunk3").
    virtual void VariableStarted(const char* name) = 0;
    // The data of the current packet has reached `percent`; `bytesSent` is the job's count.
    virtual void Progress(int percent, std::uint32_t bytesSent) = 0;
    // A message the user must see: `format` with `argument` put in for its "%s" (a format
    // without one shows as it stands). It holds the job until the user has seen it.
    virtual void Message(MessageKind kind, const char* format, const char* argument = "") = 0;
    // The job has ended, and how its link fared.
    virtual void JobEnded(LinkOutcome outcome) = 0;
};
