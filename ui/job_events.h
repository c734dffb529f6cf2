// The ui layer: what the user is shown, and how.
//
//   JobEvents (here)         what a transfer job tells whoever runs it: a variable starts, the
//                            data's progress, a message for the user, the job's end. The front
//                            end implements it (the Windows main window in app/, the Linux
//                            terminal in terminal_events.h, a test's recorder) and gives it to
//                            the job it makes; all are called on the job's thread.
//   status_text.h, terminal_output.h   the Linux program's status line and messages on stderr
//   message_text.h           fitting a message into its 512-character buffer
//   control_ids.h, utf8_text_win32.h   the Windows program's controls and wide texts
//
// Called by every layer above and by the front ends; calls nothing of the core but the link's
// outcome (link/link_outcome.h).
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
