#include "transfer/transfer_job.h"

#include "link/link_state.h"
#include "protocol/packet.h"
#include "transfer/after_exchange.h"
#include "transfer/batch_report.h"
#include "transfer/batch_stop.h"
#include "transfer/file_sender.h"
#include "ui/message_box.h"
#include "ui/status_display.h"

#include <cstdlib>
#include <cstring>

char* lastFilePath = nullptr;
unsigned long workerThreadId = 0;

namespace {
void RememberLastFilePath(const char* path) {
    std::free(lastFilePath);
    std::size_t size = std::strlen(path) + 1;
    lastFilePath = static_cast<char*>(std::malloc(size));
    if (lastFilePath)
        std::memcpy(lastFilePath, path, size);
}

// The link gives up silently; the job tells the user what became of the transfer. A stop the
// user asked for needs no message, and a failed status read has shown its own.
void ReportGivenUpLink() {
    if (LinkJobOutcome() == LinkOutcome::NoAnswer)
        ShowErrorMessage("The calculator stopped answering. Check the cable and that the "
                         "calculator is waiting to receive.");
}

const char* LastFilePathOnce(void* context) {
    bool* handedOut = static_cast<bool*>(context);
    if (*handedOut)
        return nullptr;
    *handedOut = true;
    return lastFilePath;
}
} // namespace

void BeginTransferJob() {
    bytesSent = 0;
    ResetLinkState();
    ClearBatchReport();
}

void SendBatch(NextJobPath next, void* context, bool storesLastPath) {
    for (const char* path = next(context); path && !BatchStopRequested(); path = next(context)) {
        if (storesLastPath)
            RememberLastFilePath(path);
        if (!SendFile(path) || LinkGivenUp())
            break;
    }
    // A backup the calculator took leaves bytesSent at 0: that batch ends without an EOT.
    if (!LinkGivenUp() && bytesSent != 0)
        SendEndOfTransmission();
    TellAfterExchange();
    if (LinkGivenUp())
        ReportGivenUpLink();
}

void ResendLastFile() {
    if (!lastFilePath) {
        ShowErrorMessage("Error opening file: %s", "(no file has been sent yet)");
        return;
    }
    bool handedOut = false;
    SendBatch(LastFilePathOnce, &handedOut, false);
}

void EndTransferJob() {
    ShowButtonLabel("Close");
    workerThreadId = 0;
}
