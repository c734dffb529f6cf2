// The native side of the status and message seams: everything the job would have shown,
// recorded for tests and tools.
#pragma once

#include <string>
#include <vector>

struct RecordedUi {
    std::vector<std::string> variableNames; // every IDC_VARIABLE write
    std::vector<int> percents;              // every IDC_PERCENT/IDC_PROGRESS write
    std::vector<std::string> buttonLabels;  // every IDOK write
    std::vector<std::string> messages;      // every message box text
    std::vector<std::string> captions;      // and its caption
};

RecordedUi& RecordedUiState();
void ClearRecordedUi();
// For native seams that show a box of their own (the line status read).
void RecordMessage(const std::string& text, const std::string& caption);
