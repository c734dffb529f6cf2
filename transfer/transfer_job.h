// The transfer layer: variable files sent to the calculator, in batches.
//
//   TransferJob (here)     one job: its link (link/job_link.h), its events, its report, the
//                          stop between variables; made by the front end for each job
//   SendBatch, ResendLastFile, EndTransferJob   a job's frame (here)
//   SendFile, SendVariable (file_sender.h)      one file, one variable
//   ReadFileStart (file_reader.h), the file format (variable_file.h)
//   ReceiveBatch (batch_receiver.h)             the other way: a batch the calculator sends,
//                                               each whole variable handed to the front end
//   BuildVariableFile, the file names, WriteNewFile   what was received, as files
//
// Called by the front ends (the Windows program's job threads in app/, the Linux program in
// cli/), which collect the paths and own the port; calls the packet layer (protocol/) and tells
// the job's events (ui/job_events.h).
#pragma once

#include "link/job_link.h"
#include "transfer/batch_report.h"

#include <atomic>

class TransferJob {
  public:
    // A job on `port`, telling `events`. `carried` is what the job inherits from the one before
    // it on the port (JobLink::CarriedStop).
    TransferJob(Port& port, JobEvents& events, LinkStop carried = LinkStop::None)
        : link(port, events, carried) {}
    TransferJob(const TransferJob&) = delete;
    TransferJob& operator=(const TransferJob&) = delete;

    JobLink& Link() { return link; }
    const JobLink& Link() const { return link; }
    JobEvents& Events() { return link.Events(); }

    // A stop between variables: the variable under way is finished, no further variable or
    // file starts. Any thread; never withdrawn. The Windows program never asks for it: its
    // Cancel lets a batch run to its end.
    void RequestBatchStop() { batchStop = true; }
    bool BatchStopRequested() const { return batchStop.load(); }

    // Job thread only.
    BatchReport report;
    // The calculator declined a variable for want of memory: told once the exchange is over
    // (transfer/after_exchange.h).
    bool outOfMemory = false;

  private:
    JobLink link;
    std::atomic<bool> batchStop{false};
};

// The next path of the batch, or null when there are no more.
using NextJobPath = const char* (*)(void* context);

// Sends each path in turn (storing a heap copy of it in *lastFilePath first, unless
// `lastFilePath` is null), stops at the first file that ends the batch or at a batch stop, and
// sends the EOT when payload went out. A given-up link sends no EOT; the user is told when the
// calculator stopped answering. What must wait until the exchange is over is told after the
// EOT, delivered or not.
void SendBatch(TransferJob& job, NextJobPath next, void* context, char** lastFilePath);
// Resend's batch: `lastFilePath` alone, left as it is. Before any job has stored a path (null)
// it sends nothing and shows the open-failure message with "(no file has been sent yet)".
void ResendLastFile(TransferJob& job, const char* lastFilePath);
// The job's end: its events are told, with the link's outcome.
void EndTransferJob(TransferJob& job);
