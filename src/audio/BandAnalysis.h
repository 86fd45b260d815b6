#pragma once
// The per-frame reduction of the 512-bin spectrum into 64 logarithmic bands
// with falling peak markers, and of the selected bands into one level (the
// value-script source BassValue).
#include <array>
#include <cstdint>

namespace mv::audio {

constexpr int kBandCount = 64;

struct SpectrumBands {
  std::array<float, kBandCount> bands{};    // 0..1
  std::array<float, kBandCount> markers{};  // peak markers, 0..1
  std::array<float, kBandCount> hold{};     // frames before a marker falls
  std::array<float, kBandCount> fall{};     // a marker's falling speed per frame
  std::array<bool, kBandCount> selected{};  // bands that make up the level
  float threshold = 125.0f;                 // 0..255, compared as threshold / 255
  bool takePeak = false;                    // sum markers instead of bands
  float level = 0.0f;                       // average over the selected bands
  std::int32_t hovered = -1;                // band under the pointer, -1 none
};

// First bin past band i (bands are [BandEnd(i - 1), BandEnd(i)), band 0
// starts at bin 0). Bin 511 belongs to no band.
int BandEnd(int band);

// One analysis step over `spectrum` (512 magnitudes). Returns false and
// changes nothing when there is no spectrum.
bool AnalyseBands(const float* spectrum, SpectrumBands& state);

}  // namespace mv::audio
