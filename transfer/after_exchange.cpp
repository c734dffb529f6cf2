#include "transfer/after_exchange.h"

#include "ui/job_events.h"

void TellAfterExchange(TransferJob& job) {
    if (!job.outOfMemory)
        return;
    job.outOfMemory = false;
    job.Events().Message(MessageKind::Error, "The calculator is out of memory.");
}
