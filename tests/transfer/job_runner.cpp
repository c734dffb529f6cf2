#include "tests/transfer/job_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>

const std::string kNoAnswer = "The calculator stopped answering. Check the cable and that the "
                              "calculator is waiting to receive.";

const char* NextPath(void* context) {
    PathList* list = static_cast<PathList*>(context);
    return list->taken < list->paths.size() ? list->paths[list->taken++].c_str() : nullptr;
}

LastPath::~LastPath() {
    std::free(path);
}

void RunJob(TestPc& pc, PathList* list, LastPath* last) {
    TransferJob& job = pc.NewJob();
    SendBatch(job, NextPath, list, last ? &last->path : nullptr);
    EndTransferJob(job);
    EXPECT_EQ(pc.Ui().buttonLabels, std::vector<std::string>{"Close"});
    EXPECT_EQ(pc.Ui().endings, std::vector<LinkOutcome>{job.Link().Outcome()});
}
