#include "transfer/transfer_job.h"

#include "protocol/packet.h"
#include "transfer/after_exchange.h"
#include "transfer/file_sender.h"
#include "transfer/given_up_message.h"
#include "ui/job_events.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {
void RememberLastFilePath(char** lastFilePath, const char* path) {
    std::free(*lastFilePath);
    std::size_t size = std::strlen(path) + 1;
    *lastFilePath = static_cast<char*>(std::malloc(size));
    if (*lastFilePath)
        std::memcpy(*lastFilePath, path, size);
}

// The link gives up silently; the job tells the user what became of the transfer. A stop the
// user asked for needs no message, and a failed status read has shown its own.
void ReportGivenUpLink(TransferJob& job) {
    if (job.Link().Outcome() == LinkOutcome::NoAnswer)
        TellGivenUp(job.Link(), "The calculator stopped answering. Check the cable and that the "
                                "calculator is waiting to receive.");
}

struct OnePath {
    const char* path;
    bool handedOut;
};

const char* OnePathOnce(void* context) {
    OnePath* one = static_cast<OnePath*>(context);
    if (one->handedOut)
        return nullptr;
    one->handedOut = true;
    return one->path;
}
} // namespace

void SendBatch(TransferJob& job, NextJobPath next, void* context, char** lastFilePath) {
    JobLink& link = job.Link();
    for (const char* path = next(context); path && !job.BatchStopRequested();
         path = next(context)) {
        if (lastFilePath)
            RememberLastFilePath(lastFilePath, path);
        if (!SendFile(job, path) || link.GivenUp())
            break;
    }
    // A backup the calculator took leaves bytesSent at 0: that batch ends without an EOT.
    if (!link.GivenUp() && link.bytesSent != 0)
        SendEndOfTransmission(link);
    TellAfterExchange(job);
    if (link.GivenUp())
        ReportGivenUpLink(job);
}

void ResendLastFile(TransferJob& job, const char* lastFilePath) {
    if (!lastFilePath) {
        job.Events().Message(MessageKind::Error, "Error opening file: %s",
                             "(no file has been sent yet)");
        return;
    }
    OnePath one{lastFilePath, false};
    SendBatch(job, OnePathOnce, &one, nullptr);
}

void EndTransferJob(TransferJob& job) {
    job.Events().JobEnded(job.Link().Outcome());
}
