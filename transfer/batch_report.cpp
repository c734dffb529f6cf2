#include "transfer/batch_report.h"

namespace {
BatchReport report; // the job's thread only
} // namespace

void ClearBatchReport() {
    report = BatchReport{};
}

BatchReport CurrentBatchReport() {
    return report;
}

void NoteRefusedFile() {
    ++report.refusedFiles;
}

void NoteDeclinedVariable(bool endsBatch) {
    ++report.declinedVariables;
    if (endsBatch)
        NoteBatchEndedByCalculator();
}

void NoteBatchEndedByCalculator() {
    report.endedByCalculator = true;
}
