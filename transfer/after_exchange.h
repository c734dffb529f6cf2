// What the user is told only once the exchange with the calculator is over. A message box holds
// the job's thread, so one shown earlier would keep the calculator waiting for the rest of the
// exchange (the EOT of the batch).
#pragma once

#include "transfer/transfer_job.h"

// At the job's end, whether the EOT went out, could not be delivered or was not due: shows
// what was noted (TransferJob::outOfMemory), once.
void TellAfterExchange(TransferJob& job);
