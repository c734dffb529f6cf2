// What the job thread shows in the main window: the status controls and the IDOK label.
#pragma once

// IDC_VARIABLE: the variable being sent, or "Chunk1".."Chunk3".
void ShowVariableName(const char* name);
// IDC_PERCENT as "%d%%", then PBM_SETPOS on IDC_PROGRESS with the same value.
void ShowPercent(int percent);
// IDOK: "Cancel" while a job runs, "Close" otherwise.
void ShowButtonLabel(const char* label);
