// How late a port reports its lines, learnt in simulated time: each write and reading is given
// its instant, in microseconds from an arbitrary start.
#include "link/report_lateness.h"

#include <gtest/gtest.h>

namespace {
using namespace std::chrono_literals;
using Clock = ReportLateness::Clock;

Clock::time_point At(std::chrono::microseconds since) {
    return Clock::time_point(since);
}

constexpr LinkLines kPullRtsCts = PullOnly(Wire::RtsCts); // shows as CTS low: reading 2
constexpr LinkLines kPullDtrDsr = PullOnly(Wire::DtrDsr); // shows as DSR low: reading 1

// A pull written at `written`, read as not yet shown until `shown`, then as shown there.
void PullShownAt(ReportLateness& lateness, LinkLines pull, std::chrono::microseconds written,
                 std::chrono::microseconds shown) {
    lateness.NoteWrite(pull, At(written));
    const LinkLines before = kIdleReading;
    const LinkLines after = pull == kPullRtsCts ? OnlyLow(Wire::RtsCts) : OnlyLow(Wire::DtrDsr);
    for (auto t = written + 100us; t < shown; t += 100us)
        lateness.NoteReading(before, At(t));
    lateness.NoteReading(after, At(shown));
}
} // namespace

TEST(ReportLateness, APortThatShowsEachPullAtItsFirstReadingIsNeverStaleHoweverSlowItsCalls) {
    ReportLateness lateness;
    // The first reading after the pull shows it, 5 ms later: a slow call, not a late report.
    lateness.NoteWrite(kPullRtsCts, At(0us));
    lateness.NoteReading(OnlyLow(Wire::RtsCts), At(5000us));
    EXPECT_EQ(lateness.LearntLag(), Clock::duration::zero());
    EXPECT_FALSE(lateness.AwaitsPull());
    lateness.NoteWrite(kReleaseBoth, At(6000us));
    EXPECT_FALSE(lateness.AwaitsPull()); // a release awaits no pull
    EXPECT_FALSE(lateness.MayBeStale(At(6001us)));
    // The error signal's margin alone still holds after a write.
    EXPECT_TRUE(lateness.MayBeStale(At(6000us + 19999us), 20ms));
    EXPECT_FALSE(lateness.MayBeStale(At(6000us + 20000us), 20ms));
}

TEST(ReportLateness, AReadingMayBeStaleForTwiceTheLongestDelayAndTwoMillisecondsMore) {
    ReportLateness lateness;
    PullShownAt(lateness, kPullDtrDsr, 0us, 16000us); // one latency timer of 16 ms
    EXPECT_EQ(lateness.LearntLag(), 16ms);
    PullShownAt(lateness, kPullRtsCts, 20000us, 24000us); // a shorter one lowers nothing
    EXPECT_EQ(lateness.LearntLag(), 16ms);
    lateness.NoteWrite(kReleaseBoth, At(30000us));
    EXPECT_TRUE(lateness.MayBeStale(At(30000us + 33999us)));
    EXPECT_FALSE(lateness.MayBeStale(At(30000us + 34000us)));
    EXPECT_TRUE(lateness.MayBeStale(At(30000us + 53999us), 20ms));
}

TEST(ReportLateness, OnlyAReadingThatShowsThePulledWireLowEndsTheWaitForIt) {
    ReportLateness lateness;
    lateness.NoteWrite(kPullDtrDsr, At(0us));
    // The other wire low (the calculator's pull) does not show the PC's own.
    lateness.NoteReading(OnlyLow(Wire::RtsCts), At(100us));
    EXPECT_TRUE(lateness.AwaitsPull());
    lateness.NoteReading(kBothLowReading, At(3000us));
    EXPECT_FALSE(lateness.AwaitsPull());
    EXPECT_EQ(lateness.LearntLag(), 3ms);
    // Readings after it teach nothing more.
    lateness.NoteReading(kBothLowReading, At(90000us));
    EXPECT_EQ(lateness.LearntLag(), 3ms);
}

TEST(ReportLateness, ANewJobForgetsWhatWasLearnt) {
    ReportLateness lateness;
    PullShownAt(lateness, kPullRtsCts, 0us, 8000us);
    ASSERT_EQ(lateness.LearntLag(), 8ms);
    lateness.Forget();
    lateness.NoteWrite(kReleaseBoth, At(10000us));
    EXPECT_FALSE(lateness.MayBeStale(At(10001us)));
}

// Until a port has shown how it reports, nothing can be judged stale: it is known once a delay
// is learnt, or once so many pulls in a row showed at their first reading.
TEST(ReportLateness, APortIsKnownByALearntDelayOrSixteenPullsShownAtOnce) {
    ReportLateness lateness;
    EXPECT_FALSE(lateness.Known());
    for (int i = 0; i < 16; ++i) {
        EXPECT_FALSE(lateness.Known()) << i;
        const auto start = std::chrono::microseconds(i * 1000);
        lateness.NoteWrite(kPullRtsCts, At(start));
        lateness.NoteReading(OnlyLow(Wire::RtsCts), At(start + 200us));
    }
    EXPECT_TRUE(lateness.Known());
    EXPECT_EQ(lateness.LearntLag(), Clock::duration::zero());
    lateness.Forget();
    EXPECT_FALSE(lateness.Known());
    PullShownAt(lateness, kPullDtrDsr, 0us, 3000us);
    EXPECT_TRUE(lateness.Known());
}
