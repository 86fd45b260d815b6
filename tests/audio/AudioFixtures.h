#pragma once
// Small audio fixtures made on the spot: sines written through libsndfile
// in every format it can write here, a ProTracker module built byte by byte,
// and a scratch working folder with media/music.
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "audio/SoundManager.h"

namespace audiotest {

constexpr double kBinHz = 44100.0 / 1024.0;

// A sine of `seconds` at `hz`, written with `format`. False when libsndfile
// cannot write that format here.
inline bool WriteSine(const std::filesystem::path& path, int format, int rate, int channels,
                      double seconds, double hz, double amplitude = 0.8) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  if (!sf_format_check(&info)) return false;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return false;
  auto frames = std::size_t(seconds * rate);
  std::vector<float> data(frames * std::size_t(channels));
  for (std::size_t f = 0; f < frames; ++f) {
    float v = float(amplitude * std::sin(2.0 * std::numbers::pi * hz * double(f) / rate));
    for (int c = 0; c < channels; ++c) data[f * std::size_t(channels) + std::size_t(c)] = v;
  }
  sf_count_t written = sf_writef_float(file, data.data(), sf_count_t(frames));
  sf_close(file);
  return written == sf_count_t(frames);
}

// Silence, then a sine from `onsetSeconds` on (WAV, 16-bit).
inline bool WriteOnset(const std::filesystem::path& path, double seconds, double onsetSeconds,
                       double hz) {
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return false;
  auto frames = std::size_t(seconds * 44100);
  auto onset = std::size_t(onsetSeconds * 44100);
  std::vector<float> data(frames * 2, 0.0f);
  for (std::size_t f = onset; f < frames; ++f)
    data[f * 2] = data[f * 2 + 1] =
        float(0.8 * std::sin(2.0 * std::numbers::pi * hz * double(f - onset) / 44100.0));
  sf_writef_float(file, data.data(), sf_count_t(frames));
  sf_close(file);
  return true;
}

// A four-channel ProTracker module ("M.K."): one pattern whose first row
// plays a looping 32-byte square wave at C-3 on channel 1.
inline std::vector<std::uint8_t> MakeModule() {
  std::vector<std::uint8_t> mod;
  auto put = [&](std::uint8_t b) { mod.push_back(b); };
  auto putText = [&](const char* text, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) put(i < std::strlen(text) ? std::uint8_t(text[i]) : 0);
  };
  auto putWordBE = [&](std::uint16_t w) {
    put(std::uint8_t(w >> 8));
    put(std::uint8_t(w & 0xFF));
  };
  putText("test tune", 20);
  for (int s = 0; s < 31; ++s) {
    putText(s == 0 ? "square" : "", 22);
    putWordBE(s == 0 ? 16 : 0);  // length in words
    put(0);                      // finetune
    put(s == 0 ? 64 : 0);        // volume
    putWordBE(0);                // loop start
    putWordBE(s == 0 ? 16 : 1);  // loop length in words
  }
  put(1);    // song length
  put(127);  // restart
  for (int i = 0; i < 128; ++i) put(0);
  putText("M.K.", 4);
  const std::uint16_t period = 428;  // C-3
  for (int row = 0; row < 64; ++row) {
    for (int ch = 0; ch < 4; ++ch) {
      if (row == 0 && ch == 0) {
        put(std::uint8_t(0x00 | (period >> 8)));  // sample 1: high nibble 0
        put(std::uint8_t(period & 0xFF));
        put(0x10);  // sample 1 low nibble, no effect
        put(0x00);
      } else {
        put(0); put(0); put(0); put(0);
      }
    }
  }
  for (int i = 0; i < 32; ++i) put(i < 16 ? 0x60 : 0xA0);  // signed 8-bit square
  return mod;
}

inline void WriteBytesTo(const std::filesystem::path& path, const std::vector<std::uint8_t>& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

// A fresh working folder for the duration of a test, with media/music.
class ScratchFolder {
 public:
  ScratchFolder() {
    static int counter = 0;
    m_root = std::filesystem::temp_directory_path() /
             ("mv-audio-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(m_root);
    std::filesystem::create_directories(m_root / "media" / "music");
    m_previous = std::filesystem::current_path();
    std::filesystem::current_path(m_root);
  }
  ~ScratchFolder() {
    std::filesystem::current_path(m_previous);
    std::error_code ec;
    std::filesystem::remove_all(m_root, ec);
  }
  std::filesystem::path Music() const { return m_root / "media" / "music"; }
  const std::filesystem::path& Root() const { return m_root; }

 private:
  std::filesystem::path m_root;
  std::filesystem::path m_previous;
};

}  // namespace audiotest
