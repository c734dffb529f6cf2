// Whether the driver carried out the PC's pulls, judged in simulated time: each write and
// reading is given its instant, in microseconds from an arbitrary start.
#include "link/ignored_pull_check.h"

#include <gtest/gtest.h>

namespace {
using namespace std::chrono_literals;
using Clock = IgnoredPullCheck::Clock;

Clock::time_point At(std::chrono::microseconds since) {
    return Clock::time_point(since);
}

// The first instant, reading every 100 us from `from`, at which the check finds the pull of
// `wire` ignored while the wire stays high; -1 us when it never does within a second.
std::chrono::microseconds FoundIgnoredAt(IgnoredPullCheck& check, Wire wire,
                                         std::chrono::microseconds from,
                                         std::chrono::microseconds lateness) {
    check.NoteWrite(PullOnly(wire), At(from));
    for (auto t = from; t < from + 1s; t += 100us) {
        Wire ignored = OtherWire(wire);
        if (check.PullIgnored(kIdleReading, At(t), lateness, &ignored)) {
            EXPECT_EQ(ignored, wire);
            return t - from;
        }
    }
    return -1us;
}

// Pulls of `wire`, enough to know the port, each showing at the reading `after` it was written;
// they end before `at` + 1 s.
void PullsShow(IgnoredPullCheck& check, Wire wire, std::chrono::microseconds at,
               std::chrono::microseconds after) {
    for (unsigned pull = 0; pull < IgnoredPullCheck::kPullsToKnowThePort; ++pull) {
        const auto written = at + pull * 50ms;
        check.NoteWrite(PullOnly(wire), At(written));
        Wire ignored;
        EXPECT_FALSE(check.PullIgnored(kIdleReading, At(written), 0us, &ignored));
        EXPECT_FALSE(check.PullIgnored(OnlyLow(wire), At(written + after), 0us, &ignored));
    }
}
} // namespace

TEST(IgnoredPullCheck, APullIsJudgedOnlyAfterThePortHadTheTimeItShowedItNeeds) {
    IgnoredPullCheck check;
    // Nothing has shown yet: a latency timer may be at its largest.
    EXPECT_EQ(FoundIgnoredAt(check, Wire::RtsCts, 0us, 0us), IgnoredPullCheck::kUnknownPortBound);

    // A few pulls shown are not enough to know how late the port may report.
    IgnoredPullCheck young;
    young.NoteWrite(PullOnly(Wire::DtrDsr), At(0us));
    Wire ignored;
    EXPECT_FALSE(young.PullIgnored(OnlyLow(Wire::DtrDsr), At(100us), 0us, &ignored));
    EXPECT_EQ(FoundIgnoredAt(young, Wire::RtsCts, 1ms, 0us), IgnoredPullCheck::kUnknownPortBound);

    IgnoredPullCheck prompt;
    PullsShow(prompt, Wire::DtrDsr, 0us, 100us);
    EXPECT_EQ(FoundIgnoredAt(prompt, Wire::RtsCts, 1s, 0us), IgnoredPullCheck::kMargin);

    // A port learnt to report 16 ms late has twice that, and the margin.
    IgnoredPullCheck late;
    PullsShow(late, Wire::DtrDsr, 0us, 16ms);
    EXPECT_EQ(FoundIgnoredAt(late, Wire::RtsCts, 1s, 16ms), 32ms + IgnoredPullCheck::kMargin);
}

TEST(IgnoredPullCheck, AWireIsFoundIgnoredOnceAndAShownPullOrAReleaseIsNeverJudged) {
    IgnoredPullCheck check;
    PullsShow(check, Wire::DtrDsr, 0us, 0us);
    EXPECT_EQ(FoundIgnoredAt(check, Wire::RtsCts, 1s, 0us), IgnoredPullCheck::kMargin);
    // The same wire again: it has been dealt with.
    EXPECT_EQ(FoundIgnoredAt(check, Wire::RtsCts, 2s, 0us), -1us);
    // The other wire's pulls show late but within their time.
    PullsShow(check, Wire::DtrDsr, 3s, 15ms);

    // A release awaits nothing: the calculator may hold the wire.
    check.NoteWrite(kReleaseBoth, At(4s));
    Wire ignored;
    EXPECT_FALSE(check.PullIgnored(kBothLowReading, At(5s), 0us, &ignored));
}

// A reading whose read began before the bound says nothing, however late it came back (the
// program was off the processor); the first that began after it does.
TEST(IgnoredPullCheck, AReadingIsJudgedByTheTimeItsReadBegan) {
    IgnoredPullCheck check;
    PullsShow(check, Wire::RtsCts, 0us, 0us);
    check.NoteWrite(PullOnly(Wire::DtrDsr), At(2s));
    Wire ignored;
    EXPECT_FALSE(check.PullIgnored(kIdleReading, At(2s + 19ms), 0us, &ignored));
    EXPECT_TRUE(check.PullIgnored(kIdleReading, At(2s + 20ms), 0us, &ignored));
    EXPECT_EQ(ignored, Wire::DtrDsr);
}
