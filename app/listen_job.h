// The Windows program listens while it is idle: a job of its own on the job thread waits for
// the calculator to begin sending (transfer/batch_receiver.h), with the lines released as between
// jobs. While it only listens it is out of sight: the button reads "Close" and a Send..., Resend
// or drop stops it first. Once the calculator sends, it is a running job like a send (Cancel
// answers the calculator's next VAR with the exit), and at the batch's end what came whole is
// offered in the Save As dialog (app/save_received.h).
#pragma once

#include <windows.h>

// Takes its WindowJob, made with `listens` set.
DWORD WINAPI ListenJob(LPVOID windowJob);
