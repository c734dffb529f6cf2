#include "link/watched_lines.h"

#include <algorithm>

void LineCallTimes::Note(Clock::duration call) {
    recent[count % recent.size()] = call;
    ++count;
}

LineCallTimes::Clock::duration LineCallTimes::Typical() const {
    if (count == 0)
        return Clock::duration::zero();
    const auto end = recent.begin() + std::min<std::size_t>(count, recent.size());
    return *std::min_element(recent.begin(), end);
}

void WatchedLines::SetLinkLines(LinkLines lines) {
    const Clock::time_point began = Clock::now();
    seam.SetLinkLines(lines);
    const Clock::time_point ended = Clock::now();
    calls.Note(ended - began);
    lastWritten = lines;
    pulls.NoteWrite(lines, ended);
}

bool WatchedLines::ReadLinkLines(LinkLines* lines) {
    const Clock::time_point began = Clock::now();
    const bool read = seam.ReadLinkLines(lines);
    calls.Note(Clock::now() - began);
    Wire ignored;
    if (read && pulls.PullIgnored(*lines, began, lateness.LearntLag(), &ignored) &&
        seam.SwitchAnotherWay(ignored)) {
        anotherWay[ignored == Wire::RtsCts ? 0 : 1] = true;
        // The write again, the other way; the lateness counts from it, not from the one the
        // driver ignored.
        seam.SetLinkLines(lastWritten);
        const Clock::time_point now = Clock::now();
        lateness.NoteWrite(lastWritten, now);
        pulls.NoteWrite(lastWritten, now);
    }
    return read;
}

bool WatchedLines::SwitchedAnotherWay(Wire wire) const {
    return anotherWay[wire == Wire::RtsCts ? 0 : 1];
}
