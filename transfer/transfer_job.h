// The frame of every transfer job (Send..., Resend, a drop): the batch of files, the EOT,
// and the job's end. Collecting the paths is the platform's part.
#pragma once

// Heap copy of the path the most recent job started to send; null before the first.
extern char* lastFilePath;
// Id of the job thread the main window regards as running; 0 when none.
extern unsigned long workerThreadId;

// The next path of the batch, or null when there are no more.
using NextJobPath = const char* (*)(void* context);

// Job start: bytesSent to 0, a fresh link state and an empty batch report. Called by the thread
// that starts the job, before the job's thread exists, so that a stop requested from then on
// reaches the job.
void BeginTransferJob();
// Sends each path in turn (storing it in lastFilePath first when `storesLastPath`), stops at
// the first file that ends the batch or at a batch stop (transfer/batch_stop.h), and sends the
// EOT when payload went out. A given-up link sends no EOT; the user is told when the calculator
// stopped answering. What must wait until the exchange is over (transfer/after_exchange.h) is
// told after the EOT, delivered or not.
void SendBatch(NextJobPath next, void* context, bool storesLastPath);
// Resend's batch: lastFilePath alone, left as it is. Before any job has stored a path it sends
// nothing and shows the open-failure message with "(no file has been sent yet)" for the path.
void ResendLastFile();
// Job end: the IDOK button reads "Close" and workerThreadId is 0.
void EndTransferJob();
