#include "tests/support/recorded_ui.h"

#include "ui/message_text.h"

#include <cstdio>

void RecordingEvents::Clear() {
    std::lock_guard<std::mutex> hold(lock);
    recorded = RecordedUi{};
}

void RecordingEvents::VariableStarted(const char* name) {
    std::lock_guard<std::mutex> hold(lock);
    recorded.variableNames.emplace_back(name);
}

void RecordingEvents::Progress(int percent, std::uint32_t) {
    std::lock_guard<std::mutex> hold(lock);
    recorded.percents.push_back(percent);
}

void RecordingEvents::Message(MessageKind kind, const char* format, const char* argument) {
    char text[kMessageBufferSize];
    std::snprintf(text, sizeof text, format, FitMessageArgument(format, argument));
    std::lock_guard<std::mutex> hold(lock);
    recorded.messages.emplace_back(text);
    recorded.captions.emplace_back(kind == MessageKind::PortError ? "Calquin" : "Calquin Error");
}

void RecordingEvents::JobEnded(LinkOutcome outcome) {
    std::lock_guard<std::mutex> hold(lock);
    recorded.buttonLabels.emplace_back("Close");
    recorded.endings.push_back(outcome);
}
