#include "audio/BandAnalysis.h"

#include <algorithm>
#include <cmath>

namespace mv::audio {
namespace {

// The band edges never change: computed once, with the exponent in single
// precision and the power in double precision rounded to single, as the
// band layout has always been.
struct BandEdges {
  std::array<int, kBandCount> end{};
  BandEdges() {
    int start = 0;
    for (int i = 0; i < kBandCount; ++i) {
      float exponent = float(i) * 9.0f / 63.0f;
      auto e = int(float(std::pow(2.0, double(exponent))));
      if (e > 511) e = 511;
      if (e <= start) e = start + 1;
      end[std::size_t(i)] = e;
      start = e;
    }
  }
};

const BandEdges& Edges() {
  static const BandEdges edges;
  return edges;
}

}  // namespace

int BandEnd(int band) {
  if (band < 0 || band >= kBandCount) return 0;
  return Edges().end[std::size_t(band)];
}

bool AnalyseBands(const float* spectrum, SpectrumBands& s) {
  if (!spectrum) return false;
  const auto& edges = Edges().end;
  float level = 0.0f;
  int count = 0;
  int start = 0;
  const float threshold = s.threshold / 255.0f;
  for (std::size_t i = 0; i < std::size_t(kBandCount); ++i) {
    const int end = edges[i];
    float sum = 0.0f;
    for (int b = start; b < end; ++b) sum += spectrum[b];
    start = end;
    // A NaN sum (never from the mixer, which drops non-finite samples) reads 0.
    s.bands[i] = sum > 0.0f ? std::min(std::sqrt(sum), 1.0f) : 0.0f;

    const bool holding = s.hold[i] >= 1.0f;
    s.hold[i] -= 1.0f;
    if (!holding) {
      s.hold[i] = 0.0f;
      if (s.fall[i] < 9.0f) s.fall[i] += 0.01f;
    }
    s.markers[i] -= s.fall[i];
    if (s.markers[i] < 0.0f) s.markers[i] = 0.0f;
    if (s.bands[i] >= s.markers[i]) {
      s.markers[i] = s.bands[i];
      s.hold[i] = 10.0f;
      s.fall[i] = 0.0f;
    }

    if (s.selected[i]) {
      ++count;
      if (s.takePeak)
        level += s.markers[i];
      else if (s.bands[i] > threshold)
        level += s.bands[i];
    }
  }
  if (count > 0) level /= float(count);
  s.level = level;
  return true;
}

}  // namespace mv::audio
