// The pacing decision and the pacer's schedule, on a clock the test
// drives: no real sleeping, no timing assertions.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "framework/FramePacer.h"

namespace {

using fw::FramePacer;
using Ns = FramePacer::Nanoseconds;

constexpr Ns kMs = 1'000'000;
constexpr Ns kSecond = 1'000'000'000;

// Time moves only by the frames' work and by sleeping; a sleep wakes
// `lateness` after its deadline, as a real one does.
struct FakeClock {
  Ns t = 123 * kMs;
  Ns lateness = 0;
  int reads = 0;
  std::vector<Ns> deadlines;

  static Ns Now(void* ctx) {
    auto* c = static_cast<FakeClock*>(ctx);
    ++c->reads;
    return c->t;
  }
  static void SleepUntil(Ns deadline, void* ctx) {
    auto* c = static_cast<FakeClock*>(ctx);
    c->deadlines.push_back(deadline);
    if (deadline > c->t) c->t = deadline;
    c->t += c->lateness;
  }
  FramePacer::Clock Clock() { return {&Now, &SleepUntil, this}; }
};

// Runs `frames` frames of `work` each; returns the time each frame started.
std::vector<Ns> RunFrames(FramePacer& pacer, FakeClock& clock, int frames, Ns work, int slowFrame = -1, Ns slowWork = 0) {
  std::vector<Ns> starts;
  for (int i = 0; i < frames; ++i) {
    starts.push_back(clock.t);
    clock.t += i == slowFrame ? slowWork : work;
    pacer.Wait();
  }
  return starts;
}

TEST(ChoosePacing, TheLoopSleepsOnlyWhereTheSwapCannotWaitAndTheClockIsReal) {
  struct Case {
    bool requested, honoured, fixedStep;
    int displayHz;
    bool vsync;
    int selfPacedHz;
  };
  const Case cases[] = {
      {true, true, false, 60, true, 0},     // the swap waits for the display
      {true, true, true, 60, true, 0},      // ... and a fixed step changes nothing there
      {true, false, false, 75, false, 75},  // refused interval: the display's rate
      {true, false, false, 0, false, 60},   // ... 60 Hz when the mode has none
      {true, false, false, -1, false, 60},
      {true, false, true, 75, false, 0},    // fixed-step clock: never sleeps
      {false, false, false, 60, false, 0},  // an immediate present runs free
      {false, true, false, 60, false, 0},
  };
  for (const Case& c : cases) {
    const fw::PacingChoice p = fw::ChoosePacing(c.requested, c.honoured, c.fixedStep, c.displayHz);
    EXPECT_EQ(p.vsync, c.vsync) << c.requested << c.honoured << c.fixedStep << " " << c.displayHz;
    EXPECT_EQ(p.selfPacedHz, c.selfPacedHz) << c.requested << c.honoured << c.fixedStep << " " << c.displayHz;
  }
}

TEST(FramePacer, DeadlinesStayOnTheRatesGridHoweverLateTheSleepsWake) {
  struct Case {
    int hz;
    Ns work, lateness;
  };
  const Case cases[] = {
      {60, 5 * kMs, 0}, {60, 5 * kMs, 700'000}, {59, 1 * kMs, 2 * kMs}, {144, 3 * kMs, 100'000}, {75, 12 * kMs, kMs},
      {50, 0, 0},
  };
  for (const Case& c : cases) {
    FakeClock clock;
    clock.lateness = c.lateness;
    FramePacer pacer(clock.Clock());
    pacer.SetRate(c.hz);
    const int frames = 3 * c.hz + 1;
    RunFrames(pacer, clock, frames, c.work);
    // The first frame's end starts the schedule; every later frame sleeps
    // to origin + n / hz, never to "last wake-up + period".
    const Ns origin = 123 * kMs + c.work;
    ASSERT_EQ(clock.deadlines.size(), static_cast<std::size_t>(frames - 1)) << c.hz << " Hz";
    for (std::size_t n = 1; n <= clock.deadlines.size(); ++n)
      ASSERT_EQ(clock.deadlines[n - 1], origin + static_cast<Ns>(n) * kSecond / c.hz) << c.hz << " Hz, frame " << n;
    // Three seconds of frames end three seconds after the origin.
    EXPECT_EQ(clock.t, origin + 3 * kSecond + c.lateness) << c.hz << " Hz";
  }
}

TEST(FramePacer, FramesSlowerThanTheRateNeverSleep) {
  FakeClock clock;
  FramePacer pacer(clock.Clock());
  pacer.SetRate(60);
  RunFrames(pacer, clock, 100, 25 * kMs);
  EXPECT_TRUE(clock.deadlines.empty());
  EXPECT_EQ(clock.t, 123 * kMs + 100 * 25 * kMs);
}

TEST(FramePacer, AFrameLateByLessThanAPeriodIsCaughtUpOnTheSameGrid) {
  FakeClock clock;
  FramePacer pacer(clock.Clock());
  pacer.SetRate(60);
  const Ns period = kSecond / 60;
  // Frame 10 overruns its slot by 5 ms; frame 11 then has less time.
  RunFrames(pacer, clock, 121, 4 * kMs, 10, period + 5 * kMs);
  const Ns origin = 123 * kMs + 4 * kMs;
  std::vector<Ns> expected;
  for (int n = 1; n <= 120; ++n)
    if (n != 10) expected.push_back(origin + n * kSecond / 60);
  EXPECT_EQ(clock.deadlines, expected);
}

TEST(FramePacer, AnOverrunStartsANewScheduleInsteadOfABurst) {
  FakeClock clock;
  FramePacer pacer(clock.Clock());
  pacer.SetRate(60);
  const Ns period = kSecond / 60;
  const std::vector<Ns> starts = RunFrames(pacer, clock, 40, 4 * kMs, 20, 100 * kMs);
  for (std::size_t i = 2; i < starts.size(); ++i) {
    const Ns gap = starts[i] - starts[i - 1];
    if (i == 21) {
      EXPECT_EQ(gap, 100 * kMs);  // the long frame itself, then no catching up
    } else {
      EXPECT_GE(gap, period) << "frame " << i;
      EXPECT_LE(gap, period + 1) << "frame " << i;
    }
  }
}

TEST(FramePacer, ARateOfZeroRunsFreeAndANewRateStartsANewSchedule) {
  FakeClock clock;
  FramePacer pacer(clock.Clock());
  RunFrames(pacer, clock, 10, 5 * kMs);
  EXPECT_TRUE(clock.deadlines.empty());
  EXPECT_EQ(clock.reads, 0);

  pacer.SetRate(60);
  RunFrames(pacer, clock, 5, 5 * kMs);
  ASSERT_EQ(clock.deadlines.size(), 4u);
  clock.deadlines.clear();
  pacer.SetRate(30);
  const Ns restart = clock.t + 5 * kMs;
  RunFrames(pacer, clock, 3, 5 * kMs);
  const std::vector<Ns> expected = {restart + kSecond / 30, restart + 2 * kSecond / 30};
  EXPECT_EQ(clock.deadlines, expected);

  clock.deadlines.clear();
  pacer.SetRate(0);
  RunFrames(pacer, clock, 10, 5 * kMs);
  EXPECT_TRUE(clock.deadlines.empty());
}

}  // namespace
