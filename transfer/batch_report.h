// What became of a batch, beyond what the user has been shown: for a front end that sums a
// batch up when it ends (the command line's exit status). Kept by the job (transfer_job.h).
#pragma once

struct BatchReport {
    unsigned refusedFiles = 0;      // could not be opened or read, or failed the checks
    unsigned declinedVariables = 0; // answered with a SKIP
    bool endedByCalculator = false; // a SKIP or another answer that ends the batch

    void NoteRefusedFile() { ++refusedFiles; }
    void NoteDeclinedVariable(bool endsBatch) {
        ++declinedVariables;
        endedByCalculator = endedByCalculator || endsBatch;
    }
    void NoteBatchEndedByCalculator() { endedByCalculator = true; }
};
