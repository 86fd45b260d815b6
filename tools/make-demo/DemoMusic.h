#pragma once
// The demo show's music: a 120 BPM track synthesised here (a kick on every
// beat, a bass line in eighths, a pad, off-beat hats), written as FLAC.
#include <filesystem>
#include <vector>

namespace mv::demo {

inline constexpr int kMusicRate = 44100;
inline constexpr double kMusicBpm = 120.0;

// Interleaved stereo samples in -1..1, `seconds` long; the same every time.
std::vector<float> SynthesiseMusic(double seconds);

// 16-bit FLAC through libsndfile. False when the file could not be written.
bool WriteFlac(const std::filesystem::path& file, const std::vector<float>& stereo, int rate = kMusicRate);

}  // namespace mv::demo
