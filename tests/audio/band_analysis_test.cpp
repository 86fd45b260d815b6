#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "audio/BandAnalysis.h"

using namespace mv::audio;

namespace {

std::array<float, 512> Silence() { return {}; }

// First and last bin of band i.
std::pair<int, int> Bins(int band) {
  return {band == 0 ? 0 : BandEnd(band - 1), BandEnd(band) - 1};
}

}  // namespace

TEST(BandEdges, SingleBinBandsThenWidening) {
  for (int i = 0; i <= 36; ++i) EXPECT_EQ(Bins(i), std::make_pair(i, i)) << "band " << i;
  struct Case { int band, first, last; };
  const Case cases[] = {{37, 37, 38}, {38, 39, 42}, {40, 47, 51},  {49, 115, 127},
                        {56, 231, 255}, {62, 420, 462}, {63, 463, 510}};
  for (const Case& c : cases)
    EXPECT_EQ(Bins(c.band), std::make_pair(c.first, c.last)) << "band " << c.band;
  // Contiguous, and bin 511 belongs to no band.
  for (int i = 1; i < kBandCount; ++i) EXPECT_GT(BandEnd(i), BandEnd(i - 1));
  EXPECT_EQ(BandEnd(63), 511);
}

TEST(BandEdges, Bin511IsNeverSummed) {
  auto spectrum = Silence();
  spectrum[511] = 1.0f;
  SpectrumBands s;
  ASSERT_TRUE(AnalyseBands(spectrum.data(), s));
  for (float b : s.bands) EXPECT_EQ(b, 0.0f);
}

TEST(AnalyseBands, BandIsRootOfSumClamped) {
  auto spectrum = Silence();
  spectrum[10] = 0.25f;                       // band 10 alone
  spectrum[39] = spectrum[40] = 0.02f;        // band 38 (39-42)
  spectrum[41] = spectrum[42] = 0.02f;
  spectrum[463] = 3.0f;                       // band 63: sqrt(3) clamps
  SpectrumBands s;
  AnalyseBands(spectrum.data(), s);
  EXPECT_FLOAT_EQ(s.bands[10], 0.5f);
  EXPECT_NEAR(s.bands[38], std::sqrt(0.08f), 1e-6);
  EXPECT_FLOAT_EQ(s.bands[63], 1.0f);
  EXPECT_EQ(s.bands[11], 0.0f);
}

TEST(AnalyseBands, NoSpectrumChangesNothing) {
  SpectrumBands s;
  s.level = 0.42f;
  s.markers[3] = 0.7f;
  s.hold[3] = 4.0f;
  s.fall[3] = 0.05f;
  s.bands[3] = 0.6f;
  const SpectrumBands before = s;
  EXPECT_FALSE(AnalyseBands(nullptr, s));
  EXPECT_EQ(s.level, before.level);
  EXPECT_EQ(s.markers, before.markers);
  EXPECT_EQ(s.hold, before.hold);
  EXPECT_EQ(s.fall, before.fall);
  EXPECT_EQ(s.bands, before.bands);
}

TEST(AnalyseBands, MarkerHoldsTenFramesThenFallsFasterEachFrame) {
  auto loud = Silence();
  loud[5] = 1.0f;
  auto quiet = Silence();
  SpectrumBands s;
  AnalyseBands(loud.data(), s);
  EXPECT_EQ(s.markers[5], 1.0f);
  EXPECT_EQ(s.hold[5], 10.0f);
  for (int frame = 1; frame <= 10; ++frame) {
    AnalyseBands(quiet.data(), s);
    EXPECT_EQ(s.markers[5], 1.0f) << "held in frame " << frame;
  }
  // Then 0.01, 0.02, 0.03 ... per frame.
  double expected = 1.0;
  for (int step = 1; step <= 8; ++step) {
    AnalyseBands(quiet.data(), s);
    expected -= 0.01 * step;
    EXPECT_NEAR(s.markers[5], expected, 1e-4) << "falling step " << step;
  }
  // A band reaching the marker catches it and restarts the hold.
  auto mid = Silence();
  mid[5] = 0.81f;  // band 0.9
  AnalyseBands(mid.data(), s);
  EXPECT_NEAR(s.markers[5], 0.9f, 1e-6);
  EXPECT_EQ(s.hold[5], 10.0f);
  EXPECT_EQ(s.fall[5], 0.0f);
}

TEST(AnalyseBands, FallingMarkerStopsAtTheBand) {
  auto loud = Silence();
  loud[0] = 1.0f;
  auto low = Silence();
  low[0] = 0.7744f;  // band 0.88
  SpectrumBands s;
  AnalyseBands(loud.data(), s);
  for (int i = 0; i < 10; ++i) AnalyseBands(low.data(), s);
  // Falls 0.01, 0.02, 0.03, 0.04 (to 0.90), stays above the band ...
  for (int i = 0; i < 4; ++i) AnalyseBands(low.data(), s);
  EXPECT_NEAR(s.markers[0], 0.9f, 1e-5);
  EXPECT_NEAR(s.fall[0], 0.04f, 1e-6);
  // ... and the next fall (to 0.85) would pass it: the band catches it.
  AnalyseBands(low.data(), s);
  EXPECT_NEAR(s.markers[0], 0.88f, 1e-5);
  EXPECT_EQ(s.hold[0], 10.0f);
  EXPECT_EQ(s.fall[0], 0.0f);
}

TEST(AnalyseBands, ThresholdIsStrictAndTakePeakIgnoresIt) {
  // band value exactly threshold / 255: 0.5 needs a bin of 0.25.
  auto spectrum = Silence();
  spectrum[7] = 0.25f;
  struct Case {
    float threshold;
    bool takePeak;
    float expected;
  };
  const Case cases[] = {
      {127.5f, false, 0.0f},    // equal: contributes nothing
      {127.0f, false, 0.5f},    // just below: contributes
      {127.5f, true, 0.5f},     // peak marker, threshold ignored
      {255.0f, true, 0.5f},
      {255.0f, false, 0.0f},    // band values never exceed 1
  };
  for (const Case& c : cases) {
    SpectrumBands s;
    s.selected[7] = true;
    s.threshold = c.threshold;
    s.takePeak = c.takePeak;
    AnalyseBands(spectrum.data(), s);
    EXPECT_FLOAT_EQ(s.level, c.expected) << c.threshold << " peak " << c.takePeak;
  }
}

TEST(AnalyseBands, TakePeakSumsHeldMarkers) {
  auto loud = Silence();
  loud[2] = 1.0f;
  SpectrumBands s;
  s.selected[2] = true;
  s.takePeak = true;
  AnalyseBands(loud.data(), s);
  auto quiet = Silence();
  AnalyseBands(quiet.data(), s);
  EXPECT_EQ(s.bands[2], 0.0f);
  EXPECT_EQ(s.level, 1.0f);  // the held marker, not the silent band
}

TEST(AnalyseBands, LevelAveragesOverSelectedBands) {
  auto spectrum = Silence();
  spectrum[1] = 1.0f;     // band 1 = 1.0
  spectrum[2] = 0.36f;    // band 2 = 0.6
  SpectrumBands s;
  s.threshold = 0.0f;
  s.selected[1] = s.selected[2] = s.selected[3] = true;  // band 3 silent
  AnalyseBands(spectrum.data(), s);
  EXPECT_NEAR(s.level, (1.0f + 0.6f) / 3.0f, 1e-6);
}

TEST(AnalyseBands, NoBandSelectedGivesZeroEveryFrame) {
  auto spectrum = Silence();
  for (float& v : spectrum) v = 0.5f;
  SpectrumBands s;
  s.threshold = 0.0f;
  s.level = 0.8f;
  for (int i = 0; i < 3; ++i) {
    AnalyseBands(spectrum.data(), s);
    EXPECT_EQ(s.level, 0.0f);
  }
}

TEST(AnalyseBands, NonFiniteBinsReadAsSilence) {
  auto spectrum = Silence();
  spectrum[4] = std::nanf("");
  spectrum[5] = -1.0f;
  SpectrumBands s;
  AnalyseBands(spectrum.data(), s);
  EXPECT_EQ(s.bands[4], 0.0f);
  EXPECT_EQ(s.bands[5], 0.0f);
}
