// Receiving what the calculator sends after its user's SEND: one batch of variables, or a
// backup, caught on a job's link and handed to the front end one whole variable at a time.
//
//   ReceiveBatch (here)        listens for the calculator's first packet, then answers the
//                              batch: VAR -> ACK, CTS (or SKIP 1 after Cancel) -> the
//                              calculator's ACK -> DATA -> ACK; EOT -> ACK ends it; a backup is
//                              a VAR of type 0x1D, ACK, CTS, then three DATA each acknowledged
//                              and no EOT. A packet that fails its checks gets ERR and comes
//                              again.
//   ReceivedVariables (here)   what the front end implements: each whole variable as it arrives
//   ReceivePacket (protocol/packet_receive.h)   one packet from the calculator, checked
//   ReceivedEntry, BuildVariableFile (variable_file_writer.h)   a variable as a file image
//   ProposedFileName, FreeFileName (received_file_name.h), WriteNewFile (file_writer.h)
//
// How a front end uses it, on a job thread as for a send:
//
//   TransferJob job(port, events, carried);     // or a bare JobLink on the port
//   ReceiveResult result = ReceiveBatch(job.Link(), myReceivedVariables);
//   EndTransferJob(job);                        // JobEnded with the link's outcome
//
// Waits and stops, as for sending:
//   - The wait for the calculator's first bit is for a person (WaitKind::Listen): unlimited,
//     with the lines released, looking at the link at least every 10 ms between short sleeps,
//     so that it costs no processor. Any stop request (Cancel or Closing) ends it at once:
//     ReceiveEnd::NothingCame. A front end that listens while idle runs this as a job and asks
//     it to stop (JobLink::RequestStop(LinkStop::Cancel)) before it starts a send.
//   - Once the calculator has begun (BatchStarted), every wait is within kLinkAnswerLimit and
//     Cancel no longer ends a wait: the packet under way is taken whole, and the calculator's
//     next VAR is answered with the exit (SKIP, reason 1), which ends its batch:
//     ReceiveEnd::Exited. Closing gives every wait up at once.
//   - A batch that ends early (cable pulled, calculator stopped, ON key, status read failed)
//     keeps the variables already handed over; the one under way is dropped, never handed over
//     in part. The user is told when the calculator stopped sending.
// Called by the front ends (cli/, app/); calls the packet layer (protocol/) and tells the job's
// events (ui/job_events.h): VariableStarted with the variable's name ("Chunk1" to "Chunk3"
// during a backup), Progress of each DATA as its bytes arrive.
#pragma once

#include "link/job_link.h"
#include "transfer/variable_file_writer.h"

// The front end's side: what is received. Called on the job's thread.
class ReceivedVariables {
  public:
    virtual ~ReceivedVariables() = default;
    // The calculator has begun to send (its first bit came): from here on the batch runs to its
    // end, and a front end refuses new sends meanwhile.
    virtual void BatchStarted() {}
    // One variable has arrived whole (its DATA, or a backup's three chunks, checked and
    // acknowledged): the VAR payload and the DATA payloads exactly as the calculator sent them.
    // A front end may write it at once (the Linux program) or keep it for the batch's end (the
    // Windows program's Save As).
    virtual void VariableReceived(const ReceivedEntry& entry) = 0;
};

enum class ReceiveEnd {
    Completed,   // the calculator's EOT after its last variable, or a backup's third chunk
    Exited,      // the PC's Cancel answered a VAR with the exit: the calculator ended its batch
    Interrupted, // given up mid-batch: the link's outcome (JobLink::Outcome) says why; a packet
                 // that kept failing its checks counts as the calculator not answering
    NothingCame, // the wait for the calculator's first packet was stopped before it began
};

struct ReceiveResult {
    ReceiveEnd end = ReceiveEnd::NothingCame;
    unsigned variables = 0;       // handed to VariableReceived
    unsigned rejectedPackets = 0; // answered with ERR (and received again)
};

// Listens on `link` for one batch and receives it; returns when the batch has ended (see above).
ReceiveResult ReceiveBatch(JobLink& link, ReceivedVariables& received);
