#include "ui/message_box.h"
#include "ui/message_text.h"
#include "ui/recorded_ui.h"
#include "ui/status_display.h"

#include <cstdio>
#include <mutex>

namespace {
RecordedUi recorded;
std::mutex recordedLock; // tests read from their own thread while the job writes
} // namespace

RecordedUi& RecordedUiState() {
    return recorded;
}

void ClearRecordedUi() {
    std::lock_guard<std::mutex> hold(recordedLock);
    recorded = RecordedUi{};
}

void RecordMessage(const std::string& text, const std::string& caption) {
    std::lock_guard<std::mutex> hold(recordedLock);
    recorded.messages.push_back(text);
    recorded.captions.push_back(caption);
}

void ShowVariableName(const char* name) {
    std::lock_guard<std::mutex> hold(recordedLock);
    recorded.variableNames.emplace_back(name);
}

void ShowPercent(int percent) {
    std::lock_guard<std::mutex> hold(recordedLock);
    recorded.percents.push_back(percent);
}

void ShowButtonLabel(const char* label) {
    std::lock_guard<std::mutex> hold(recordedLock);
    recorded.buttonLabels.emplace_back(label);
}

void ShowErrorMessage(const char* format, const char* argument) {
    char text[kMessageBufferSize];
    std::snprintf(text, sizeof text, format, FitMessageArgument(format, argument));
    RecordMessage(text, "Calquin Error");
}
