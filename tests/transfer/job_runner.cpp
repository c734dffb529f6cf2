#include "tests/transfer/job_runner.h"

#include "transfer/transfer_job.h"
#include "ui/recorded_ui.h"

#include <gtest/gtest.h>

const std::string kNoAnswer = "The calculator stopped answering. Check the cable and that the "
                              "calculator is waiting to receive.";

const char* NextPath(void* context) {
    PathList* list = static_cast<PathList*>(context);
    return list->taken < list->paths.size() ? list->paths[list->taken++].c_str() : nullptr;
}

void RunJob(PathList* list, bool storesLastPath) {
    workerThreadId = 1234;
    BeginTransferJob();
    SendBatch(NextPath, list, storesLastPath);
    EndTransferJob();
    EXPECT_EQ(workerThreadId, 0u);
    EXPECT_EQ(RecordedUiState().buttonLabels, std::vector<std::string>{"Close"});
}
