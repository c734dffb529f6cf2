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

TEST(ReportLateness, AReadingMayBeStaleForTwiceTheLagProvenAndTwoMillisecondsMore) {
    ReportLateness lateness;
    // One latency timer of 16 ms: the last reading that did not show the pull began 15.9 ms
    // after it, which the port has proven.
    PullShownAt(lateness, kPullDtrDsr, 0us, 16000us);
    EXPECT_EQ(lateness.LearntLag(), 15900us);
    PullShownAt(lateness, kPullRtsCts, 20000us, 24000us); // a shorter one lowers nothing yet
    EXPECT_EQ(lateness.LearntLag(), 15900us);
    lateness.NoteWrite(kReleaseBoth, At(30000us));
    EXPECT_TRUE(lateness.MayBeStale(At(30000us + 33799us)));
    EXPECT_FALSE(lateness.MayBeStale(At(30000us + 33800us)));
    EXPECT_TRUE(lateness.MayBeStale(At(30000us + 53799us), 20ms));
}

// The program held off the processor is not the port reporting late: only readings that did
// not show the pull, by the time their read began, prove anything.
TEST(ReportLateness, TheProgramsOwnStallsTeachNothing) {
    ReportLateness lateness;
    lateness.NoteWrite(kPullRtsCts, At(0us));
    lateness.NoteReading(OnlyLow(Wire::RtsCts), At(50000us)); // began 50 ms late, shows it
    EXPECT_EQ(lateness.LearntLag(), Clock::duration::zero());
    lateness.NoteWrite(kPullDtrDsr, At(60000us));
    lateness.NoteReading(kIdleReading, At(60100us));           // not yet shown
    lateness.NoteReading(OnlyLow(Wire::DtrDsr), At(120000us)); // after a 60 ms stall
    EXPECT_EQ(lateness.LearntLag(), 100us);
}

TEST(ReportLateness, TheLagFollowsThePortDownAfterTwoBytesOfPulls) {
    ReportLateness lateness;
    PullShownAt(lateness, kPullRtsCts, 0us, 40000us);
    ASSERT_EQ(lateness.LearntLag(), 39900us);
    std::chrono::microseconds t = 50000us;
    for (std::size_t pull = 1; pull < ReportLateness::kKept; ++pull, t += 5000us)
        PullShownAt(lateness, kPullDtrDsr, t, t + 1000us);
    EXPECT_EQ(lateness.LearntLag(), 39900us); // still among the last ones kept
    PullShownAt(lateness, kPullDtrDsr, t, t + 1000us);
    EXPECT_EQ(lateness.LearntLag(), 900us);
}

TEST(ReportLateness, OnlyAReadingThatShowsThePulledWireLowEndsTheWaitForIt) {
    ReportLateness lateness;
    lateness.NoteWrite(kPullDtrDsr, At(0us));
    // The other wire low (the calculator's pull) does not show the PC's own.
    lateness.NoteReading(OnlyLow(Wire::RtsCts), At(100us));
    EXPECT_TRUE(lateness.AwaitsPull());
    lateness.NoteReading(kBothLowReading, At(3000us));
    EXPECT_FALSE(lateness.AwaitsPull());
    EXPECT_EQ(lateness.LearntLag(), 100us);
    // Readings after it teach nothing more.
    lateness.NoteReading(kIdleReading, At(90000us));
    EXPECT_EQ(lateness.LearntLag(), 100us);
}

TEST(ReportLateness, ANewJobForgetsWhatWasLearnt) {
    ReportLateness lateness;
    PullShownAt(lateness, kPullRtsCts, 0us, 8000us);
    ASSERT_EQ(lateness.LearntLag(), 7900us);
    lateness.Forget();
    lateness.NoteWrite(kReleaseBoth, At(10000us));
    EXPECT_FALSE(lateness.MayBeStale(At(10001us)));
}
