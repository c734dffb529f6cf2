// A whole transfer job as the program runs it (begin, the batch, end), on the calling thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The paths a job's batch takes, in order, and how many it has taken.
struct PathList {
    std::vector<std::string> paths;
    std::size_t taken = 0;
};

// The batch's NextJobPath over a PathList.
const char* NextPath(void* context);

// Runs the job and expects it to end as every job does: no job thread, the button "Close".
void RunJob(PathList* list, bool storesLastPath = true);

// What the user is told when the calculator stopped answering.
extern const std::string kNoAnswer;
