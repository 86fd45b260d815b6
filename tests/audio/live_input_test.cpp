// Live input between two device clocks. A capture device delivers 512-frame
// blocks, the output asks for 2048-frame blocks; each callback comes late by
// a random amount and the capture clock may run fast or slow. The monitored
// output must be one continuous copy of the input a steady distance behind
// it, and the analysis must see every burst once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "AudioFixtures.h"
#include "audio/BandAnalysis.h"
#include "audio/LiveRing.h"
#include "audio/SoundSystem.h"

using namespace mv::audio;

namespace {

constexpr double kRate = 44100.0;
constexpr double kToneHz = 1010.0;         // no buffer holds a whole number of periods
constexpr double kBurstPeriod = 0.37;      // 16317 frames: no buffer divides it
constexpr int kBursts = 20;

float Tone(std::int64_t n) {
  return float(0.5 * std::sin(2.0 * std::numbers::pi * kToneHz * double(n) / kRate));
}

// A kick: 57 Hz, decaying, 120 ms long, every 0.37 s from 0.1 s on.
float Kick(std::int64_t n) {
  const double t = double(n) / kRate - 0.1;
  if (t < 0.0 || t >= kBurstPeriod * kBursts) return 0.0f;
  const double in = std::fmod(t, kBurstPeriod);
  if (in >= 0.12) return 0.0f;
  return float(0.8 * std::exp(-in / 0.04) * std::sin(2.0 * std::numbers::pi * 57.0 * in));
}

struct Schedule {
  double drift = 0.0;           // capture clock rate / output clock rate - 1
  double captureJitterMs = 3.0; // each callback up to this late
  double outputJitterMs = 3.0;
  unsigned seed = 1;
  double seconds = 8.5;
  // Capture stops delivering between these times (seconds), then resumes.
  double stallFrom = -1.0, stallTo = -1.0;
};

struct Recording {
  std::vector<float> output;              // the monitor, left channel
  std::vector<double> distances;          // live distance at each request, last 4 s
  std::vector<double> trims;              // the monitor's rate trim, last 4 s
  std::vector<float> levels;              // band level every 40 ms
  std::vector<std::int64_t> outputFrames; // output frame of each level
  int targetDistance = 0;
  int resyncs = 0;
};

// Drives one recording through the offline backend by the schedule.
Recording Drive(const Schedule& sch, const std::function<float(std::int64_t)>& signal,
          int captureBlock = 512, int outputBlock = 2048) {
  SoundSystem system(SoundBackend::Offline);
  EXPECT_TRUE(system.Init(kOutputRate, 2, 0));
  system.SetFftActive(true);
  SampleHandle s = system.SampleAlloc(0, 2205, kModeSample16Mono, 44100, 255, 128, 255);
  system.SampleSetLoopPoints(s, 0, 2205);
  system.SampleSetMode(s, kModeLoopNormal);
  EXPECT_TRUE(system.RecordStartSample(s, true));
  EXPECT_GT(system.PlaySound(kFreeChannel, s), 0);

  std::mt19937 random(sch.seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double captureRate = kRate * (1.0 + sch.drift);
  const double capturePhase = unit(random) * captureBlock / captureRate;
  const double outputPhase = unit(random) * outputBlock / kRate;
  double lastCapture = 0.0, lastOutput = 0.0;
  auto nextCapture = [&](std::int64_t j) {
    double t = double(j + 1) * captureBlock / captureRate + capturePhase +
               unit(random) * sch.captureJitterMs / 1000.0;
    if (sch.stallFrom >= 0.0 && t >= sch.stallFrom && t < sch.stallTo) t = sch.stallTo;
    return lastCapture = std::max(lastCapture, t);
  };
  auto nextOutput = [&](std::int64_t k) {
    double t = double(k) * outputBlock / kRate + outputPhase + unit(random) * sch.outputJitterMs / 1000.0;
    return lastOutput = std::max(lastOutput, t);
  };

  Recording run;
  SpectrumBands bands;
  bands.selected[1] = bands.selected[2] = true;
  bands.threshold = 0.0f;
  std::vector<float> block(static_cast<std::size_t>(captureBlock));
  std::vector<float> out(static_cast<std::size_t>(outputBlock) * 2);
  std::int64_t j = 0, k = 0;
  double tc = nextCapture(0), to = nextOutput(0), nextAnalysis = 0.04;
  while (std::min(tc, to) < sch.seconds) {
    if (tc <= to) {
      for (int i = 0; i < captureBlock; ++i) block[std::size_t(i)] = signal(j * captureBlock + i);
      system.FeedCapture(block.data(), block.size());
      tc = nextCapture(++j);
    } else {
      // The distance as the output asks for its block.
      SoundSystem::LiveStatus live = system.GetLiveStatus();
      if (to > sch.seconds - 4.0 && live.running) {
        run.distances.push_back(live.distance);
        run.trims.push_back(live.trim);
      }
      system.Mix(out.data(), outputBlock);
      for (int i = 0; i < outputBlock; ++i) run.output.push_back(out[std::size_t(i) * 2]);
      to = nextOutput(++k);
    }
    if (std::min(tc, to) >= nextAnalysis) {
      nextAnalysis += 0.04;
      if (AnalyseBands(system.GetSpectrum(), bands)) {
        EXPECT_EQ(system.LastAnalysedSignal(), AnalysedSignal::Capture);
        run.levels.push_back(bands.level);
        run.outputFrames.push_back(std::int64_t(run.output.size()));
      }
    }
  }
  SoundSystem::LiveStatus live = system.GetLiveStatus();
  run.targetDistance = live.targetDistance;
  run.resyncs = live.resyncs;
  return run;
}

// Samples where the output stops being one sine: the sine's recurrence
// y[n] = 2 cos(w) y[n-1] - y[n-2] predicts each sample from the two before
// it; a seam misses by up to the amplitude, a slowly trimmed rate by 1e-3.
int Discontinuities(const std::vector<float>& y, std::size_t from) {
  const double c = 2.0 * std::cos(2.0 * std::numbers::pi * kToneHz / kRate);
  int count = 0;
  for (std::size_t n = std::max<std::size_t>(from, 2); n < y.size(); ++n)
    if (std::fabs(y[n] - (c * y[n - 1] - y[n - 2])) > 0.02) ++count;
  return count;
}

// Rising edges of a signal's envelope through a high and a low mark.
int Bursts(const std::vector<float>& v, float high, float low) {
  int count = 0;
  bool on = false;
  for (float x : v) {
    if (!on && x > high) { on = true; ++count; }
    if (on && x < low) on = false;
  }
  return count;
}

std::vector<float> Envelope(const std::vector<float>& y) {
  std::vector<float> env(y.size());
  float e = 0.0f;
  for (std::size_t n = 0; n < y.size(); ++n) {
    e = std::max(std::fabs(y[n]), e * 0.999f);  // about 20 ms to fall by 2/3
    env[n] = e;
  }
  return env;
}

// First sample after the monitor's fade-in.
std::size_t Settled(const std::vector<float>& y) {
  std::size_t n = 0;
  while (n < y.size() && y[n] == 0.0f) ++n;
  return n + LiveRing::kFadeFrames + 2;
}

std::string Describe(const Schedule& s) {
  return "drift " + std::to_string(s.drift * 100.0) + " %, jitter " +
         std::to_string(s.captureJitterMs) + "/" + std::to_string(s.outputJitterMs) + " ms, seed " +
         std::to_string(s.seed);
}

// Clocks as real devices have them (a few hundred ppm apart), and SDL's
// disk driver, whose capture runs about 3 % fast against its output;
// callbacks late by up to 3 ms, or up to 10 ms on a loaded machine.
const Schedule kSchedules[] = {
    {0.0, 3.0, 3.0, 1},      {0.0, 10.0, 10.0, 2},   {0.0005, 3.0, 3.0, 3},
    {-0.0005, 3.0, 3.0, 4},  {0.005, 10.0, 3.0, 5},  {-0.005, 3.0, 10.0, 6},
    {0.034, 3.0, 3.0, 7},    {0.0002, 0.0, 0.0, 8},
};

}  // namespace

TEST(LiveInput, MonitorIsOneContinuousTone) {
  for (const Schedule& sch : kSchedules) {
    SCOPED_TRACE(Describe(sch));
    Recording run = Drive(sch, Tone);
    const std::size_t from = Settled(run.output);
    ASSERT_LT(from, run.output.size() / 4) << "the monitor never started";
    EXPECT_EQ(Discontinuities(run.output, from), 0);
    EXPECT_EQ(run.resyncs, 0);
    // Full level all along: no block of silence, no fade.
    float lowest = 1.0f;
    for (std::size_t n = from; n + 100 < run.output.size(); n += 100) {
      float peak = 0.0f;
      for (std::size_t i = n; i < n + 100; ++i) peak = std::max(peak, std::fabs(run.output[i]));
      lowest = std::min(lowest, peak);
    }
    EXPECT_GT(lowest, 0.45f);
  }
}

// The distance behind the capture is the stated one: one output block, one
// capture block and the margin, give or take where the capture callback
// stands when the output asks.
TEST(LiveInput, MonitorTrailsTheCaptureByTheStatedDistance) {
  for (Schedule sch : kSchedules) {
    SCOPED_TRACE(Describe(sch));
    sch.seconds = 24.0;  // the trim settles (a few seconds), then the last 4 s are judged
    Recording run = Drive(sch, Tone);
    EXPECT_EQ(run.targetDistance, 2048 + 512 + LiveRing::kMarginFrames);
    ASSERT_FALSE(run.distances.empty());
    double mean = 0.0;
    for (double d : run.distances) mean += d;
    mean /= double(run.distances.size());
    const double allowed = 0.5 * (512 + LiveRing::kMarginFrames) + 512;
    for (double d : run.distances) {
      EXPECT_GE(d, run.targetDistance - allowed);
      EXPECT_LE(d, run.targetDistance + allowed);
    }
    // Where the smoothed distance settles: inside the dead band, or just at
    // its edge when the clocks drift.
    EXPECT_NEAR(mean, run.targetDistance, 0.5 * (512 + LiveRing::kMarginFrames) + 128);
    // The read rate settled on the clocks' ratio and stays there: less than
    // 0.1 % (under two cents) either side.
    const auto [lo, hi] = std::minmax_element(run.trims.begin(), run.trims.end());
    EXPECT_LT(*hi - *lo, 0.002);
    EXPECT_NEAR(0.5 * (*hi + *lo), sch.drift, 0.001);
  }
}

TEST(LiveInput, EveryKickOnceInTheMonitorAndInTheAnalysis) {
  for (const Schedule& sch : kSchedules) {
    SCOPED_TRACE(Describe(sch));
    Recording run = Drive(sch, Kick);
    EXPECT_EQ(Bursts(Envelope(run.output), 0.3f, 0.05f), kBursts);
    EXPECT_EQ(Bursts(run.levels, 0.3f, 0.1f), kBursts);
  }
}

// The capture stops for 300 ms (a device that hiccups) and comes back: the
// monitor fades out and back in, never jumps.
TEST(LiveInput, StallFadesOutAndBackWithoutAClick) {
  Schedule sch;
  sch.stallFrom = 2.0;
  sch.stallTo = 2.3;
  Recording run = Drive(sch, Tone);
  EXPECT_GE(run.resyncs, 1);
  const std::size_t from = Settled(run.output);
  // A sine of 0.5 at 1010 Hz moves by at most 0.072 a sample; a click by
  // up to the amplitude.
  float largest = 0.0f;
  for (std::size_t n = from; n < run.output.size(); ++n)
    largest = std::max(largest, std::fabs(run.output[n] - run.output[n - 1]));
  EXPECT_LT(largest, 0.08f);
  // Silent while nothing came, at full level again afterwards.
  auto peakAt = [&](double seconds) {
    auto n = std::size_t(seconds * kRate);
    float peak = 0.0f;
    for (std::size_t i = n; i < n + 441; ++i) peak = std::max(peak, std::fabs(run.output[i]));
    return peak;
  };
  EXPECT_LT(peakAt(2.2), 1e-4f);
  EXPECT_GT(peakAt(3.0), 0.45f);
  EXPECT_EQ(Discontinuities(run.output, std::size_t(2.6 * kRate)), 0);
}

// The capture slower than the trim's start-up can follow: the starved
// monitor fades out and back in, and is one tone again once settled.
TEST(LiveInput, SlowCaptureResyncsWithoutAClick) {
  Schedule sch;
  sch.drift = -0.034;
  sch.seconds = 12.0;
  Recording run = Drive(sch, Tone);
  const std::size_t from = Settled(run.output);
  float largest = 0.0f;
  for (std::size_t n = from; n < run.output.size(); ++n)
    largest = std::max(largest, std::fabs(run.output[n] - run.output[n - 1]));
  EXPECT_LT(largest, 0.08f);
  EXPECT_EQ(Discontinuities(run.output, std::size_t(8.0 * kRate)), 0);
}

// Blocks of other sizes (the offline frame loop feeds 40 ms at a time): the
// distance follows the blocks seen.
TEST(LiveInput, DistanceFollowsTheBlockSizes) {
  struct Case {
    int capture, output;
  };
  for (Case c : {Case{1764, 1764}, Case{256, 4096}, Case{480, 1024}}) {
    SCOPED_TRACE(std::to_string(c.capture) + " / " + std::to_string(c.output));
    Schedule sch;
    Recording run = Drive(sch, Tone, c.capture, c.output);
    EXPECT_EQ(run.targetDistance, c.capture + c.output + LiveRing::kMarginFrames);
    EXPECT_EQ(Discontinuities(run.output, Settled(run.output)), 0);
    EXPECT_EQ(run.resyncs, 0);
  }
}
