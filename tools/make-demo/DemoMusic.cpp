#include "DemoMusic.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include <sndfile.h>

namespace mv::demo {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

double NoteHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

}  // namespace

std::vector<float> SynthesiseMusic(double seconds) {
  const auto frames = static_cast<std::size_t>(std::max(0.0, seconds) * kMusicRate);
  std::vector<float> out(frames * 2, 0.0f);
  const double beat = 60.0 / kMusicBpm;
  // A minor, F, C, G: one chord a bar (four beats).
  const int roots[4] = {45, 41, 48, 43};            // A2, F2, C3, G2
  const int chords[4][3] = {{57, 60, 64}, {57, 60, 65}, {55, 60, 64}, {55, 59, 62}};
  const int pattern[8] = {0, 0, 12, 0, 7, 0, 12, 7};  // semitones over the root, per eighth

  double kickPhase = 0, bassPhase = 0, bassLow = 0, padLow[2] = {0, 0};
  double padPhase[3][2] = {};
  std::uint32_t noise = 22222u;
  double hatHigh = 0, hatPrev = 0;

  for (std::size_t i = 0; i < frames; ++i) {
    const double t = double(i) / kMusicRate;
    const double beats = t / beat;
    const int bar = int(beats / 4) % 4;
    const double inBeat = (beats - std::floor(beats)) * beat;  // seconds since the beat
    const double eighth = beats * 2;
    const double inEighth = (eighth - std::floor(eighth)) * beat / 2;
    const int step = int(eighth) % 8;
    // Fades at both ends keep the file from clicking.
    const double fade = std::min({1.0, t / 0.05, (seconds - t) / 1.0});

    // Kick: a falling sine with a fast decay.
    const double kf = 45.0 + 110.0 * std::exp(-inBeat * 28.0);
    kickPhase += kTwoPi * kf / kMusicRate;
    if (inBeat < 1.0 / kMusicRate) kickPhase = 0;
    const double kick = std::sin(kickPhase) * std::exp(-inBeat * 7.0) * 0.9;

    // Bass: a filtered saw in eighths.
    const double bf = NoteHz(roots[bar] - 12 + pattern[step]);
    bassPhase += bf / kMusicRate;
    bassPhase -= std::floor(bassPhase);
    const double saw = 2.0 * bassPhase - 1.0;
    bassLow += (saw - bassLow) * 0.08;
    const double bass = bassLow * std::exp(-inEighth * 9.0) * 0.3;

    // Pad: two detuned saws per chord note, softly filtered, swelling each bar.
    double pad[2] = {0, 0};
    for (int n = 0; n < 3; ++n)
      for (int s = 0; s < 2; ++s) {
        const double f = NoteHz(chords[bar][n]) * (s ? 1.004 : 0.996);
        padPhase[n][s] += f / kMusicRate;
        padPhase[n][s] -= std::floor(padPhase[n][s]);
        pad[s] += 2.0 * padPhase[n][s] - 1.0;
      }
    const double inBar = std::fmod(beats, 4.0) / 4.0;
    const double swell = 0.5 + 0.5 * std::sin(inBar * std::numbers::pi);
    for (int s = 0; s < 2; ++s) padLow[s] += (pad[s] / 6.0 - padLow[s]) * 0.03;

    // Hats on the off-beats: high-passed noise.
    noise = noise * 1664525u + 1013904223u;
    const double white = double(noise >> 8) / double(1u << 24) * 2.0 - 1.0;
    hatHigh = 0.7 * (hatHigh + white - hatPrev);
    hatPrev = white;
    const double sinceOff = std::fmod(t + beat / 2, beat);
    const double hat = hatHigh * std::exp(-sinceOff * 40.0) * 0.18;

    const double left = kick + bass + padLow[0] * swell * 0.35 + hat * 0.8;
    const double right = kick + bass + padLow[1] * swell * 0.35 + hat * 1.0;
    out[2 * i] = static_cast<float>(std::tanh(left * 1.1) * 0.89 * fade);
    out[2 * i + 1] = static_cast<float>(std::tanh(right * 1.1) * 0.89 * fade);
  }
  return out;
}

bool WriteFlac(const std::filesystem::path& file, const std::vector<float>& stereo, int rate) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(file.string().c_str(), SFM_WRITE, &info);
  if (!f) return false;
  const sf_count_t frames = static_cast<sf_count_t>(stereo.size() / 2);
  const bool ok = sf_writef_float(f, stereo.data(), frames) == frames;
  return sf_close(f) == 0 && ok;
}

}  // namespace mv::demo
