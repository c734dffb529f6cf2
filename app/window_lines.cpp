#include "app/window_lines.h"

#include "app/window_job_events.h"

void WindowLines::TellStatusReadFailure(JobEvents& events) {
    WindowEvents* window = dynamic_cast<WindowEvents*>(&events);
    if (window && window->KeepPortFailureQuiet())
        return;
    port.TellStatusReadFailure(events);
}
