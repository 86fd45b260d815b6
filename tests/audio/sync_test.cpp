// Where the analysed window lies against what is heard. SDL's disk driver
// writes every block it plays to a file: what is in the file is what was
// "heard", so the analysed window can be checked against it, by position
// and by content.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "AudioFixtures.h"
#include "audio/SoundSystem.h"

using namespace mv::audio;

namespace {

constexpr double kRate = 44100.0;

// Noise from a fixed seed: every window of it has a spectrum of its own, so
// a spectrum says which frames it was taken from.
float Noise(std::size_t f) {
  std::uint32_t x = std::uint32_t(f) * 2654435761u + 12345u;
  x ^= x >> 13;
  x *= 0x5bd1e995u;
  x ^= x >> 15;
  return 0.3f * (float(x & 0xFFFF) / 32768.0f - 1.0f);
}

bool WriteNoise(const std::filesystem::path& path, double seconds) {
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return false;
  std::vector<float> data(std::size_t(seconds * kRate) * 2);
  for (std::size_t f = 0; f < data.size() / 2; ++f) data[f * 2] = data[f * 2 + 1] = Noise(f);
  sf_writef_float(file, data.data(), sf_count_t(data.size() / 2));
  sf_close(file);
  return true;
}

// The spectrum as the sound system defines it (periodic Hann, 4 / N), by a
// plain DFT of 1024 mono samples ending before `end`.
std::vector<float> ReferenceSpectrum(const std::vector<float>& mono, std::int64_t end) {
  std::vector<float> out(kSpectrumSize, 0.0f);
  if (end < kFftSize || end > std::int64_t(mono.size())) return {};
  static const std::vector<double> turn = [] {
    std::vector<double> t(kFftSize);
    for (int m = 0; m < kFftSize; ++m) t[std::size_t(m)] = 2.0 * std::numbers::pi * m / kFftSize;
    return t;
  }();
  std::vector<double> x(kFftSize);
  for (int n = 0; n < kFftSize; ++n)
    x[std::size_t(n)] = mono[std::size_t(end - kFftSize + n)] * (0.5 - 0.5 * std::cos(turn[std::size_t(n)]));
  static std::vector<double> cosine, sine;
  if (cosine.empty()) {
    for (int m = 0; m < kFftSize; ++m) {
      cosine.push_back(std::cos(turn[std::size_t(m)]));
      sine.push_back(std::sin(turn[std::size_t(m)]));
    }
  }
  for (int k = 0; k < kSpectrumSize; ++k) {
    double re = 0, im = 0;
    for (int n = 0; n < kFftSize; ++n) {
      const std::size_t m = std::size_t((k * n) % kFftSize);
      re += x[std::size_t(n)] * cosine[m];
      im -= x[std::size_t(n)] * sine[m];
    }
    out[std::size_t(k)] = float(std::sqrt(re * re + im * im) * 4.0 / kFftSize);
  }
  return out;
}

// Largest difference above the lowest bins (the high-pass lives there).
float Difference(const std::vector<float>& a, const float* b) {
  float worst = 0.0f;
  for (std::size_t k = 8; k < a.size(); ++k) worst = std::max(worst, std::fabs(a[k] - b[k]));
  return worst;
}

std::int64_t FileFrames(const std::filesystem::path& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return -1;
  return std::int64_t(st.st_size) / std::int64_t(2 * sizeof(float));
}

// Sets an environment variable for a scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old, m_had = true;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (m_had) ::setenv(m_name, m_old.c_str(), 1);
    else ::unsetenv(m_name);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* m_name;
  std::string m_old;
  bool m_had = false;
};

}  // namespace

// Offline, the newest mixed frame is the heard one: the window ends there,
// or the offset earlier, and then shows what the window showed that much
// earlier. A negative offset cannot reach past the newest frame.
TEST(AnalysisOffset, MovesTheWindowBackInTime) {
  audiotest::ScratchFolder folder;
  ASSERT_TRUE(WriteNoise("noise.wav", 2.0));
  struct Case {
    int offsetMs;
    std::int64_t behind;  // frames the window ends before the newest mixed one
  };
  const Case cases[] = {{0, 0}, {100, 4410}, {250, 11025}, {-50, 0}, {1000, 44100}, {5000, 44100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offsetMs);
    SoundSystem system(SoundBackend::Offline);
    ASSERT_TRUE(system.Init(kOutputRate, 2, 0));
    system.SetFftActive(true);
    system.SetAnalysisOffsetMs(c.offsetMs);
    EXPECT_EQ(system.AnalysisOffsetMs(), std::clamp(c.offsetMs, -kMaxAnalysisOffsetMs, kMaxAnalysisOffsetMs));
    StreamHandle h = system.StreamOpenFile("noise.wav", kModeStreamNormal, 0);
    system.StreamPlay(0, h);
    system.Advance(1.5);
    const float* spectrum = system.GetSpectrum();
    ASSERT_NE(spectrum, nullptr);
    const std::int64_t mixed = system.GetOutputClock().framesMixed;
    EXPECT_EQ(system.LastAnalysedFrame(), mixed - c.behind);
    // The same as a system without an offset shows at that earlier moment.
    SoundSystem earlier(SoundBackend::Offline);
    ASSERT_TRUE(earlier.Init(kOutputRate, 2, 0));
    earlier.SetFftActive(true);
    StreamHandle e = earlier.StreamOpenFile("noise.wav", kModeStreamNormal, 0);
    earlier.StreamPlay(0, e);
    earlier.Advance((double(mixed - c.behind) + 0.5) / kRate);
    ASSERT_EQ(earlier.GetOutputClock().framesMixed, mixed - c.behind);
    const float* then = earlier.GetSpectrum();
    ASSERT_NE(then, nullptr);
    for (int k = 0; k < kSpectrumSize; ++k) ASSERT_FLOAT_EQ(spectrum[k], then[k]) << "bin " << k;
  }
}

// The device backend on SDL's disk driver. The window ends exactly at the
// newest frame in the file, or the offset before it (a block handed over
// within the last two milliseconds may not be written yet and is not
// counted: the window is then a block further back).
TEST(AnalysisOffset, DiskDriverOutputConfirmsTheStatedLag) {
  audiotest::ScratchFolder folder;
  ASSERT_TRUE(WriteNoise("noise.wav", 4.0));
  const std::filesystem::path written = folder.Root() / "played.raw";
  SoundSystem system(SoundBackend::Device);
  {
    ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    ScopedEnv file("SDL_DISKAUDIOFILE", written.string());
    ASSERT_TRUE(system.Init(kOutputRate, 2, 0));
  }
  ASSERT_EQ(system.DriverName(), "disk");
  ASSERT_EQ(system.GetHeardModel(), HeardModel::HandedOver);
  const int block = system.DeviceBufferFrames();
  system.SetFftActive(true);
  system.SetSfxMasterVolume(255);  // the file then holds the mix itself
  StreamHandle h = system.StreamOpenFile("noise.wav", kModeStreamNormal, 0);
  ASSERT_NE(h, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the decoder fills ahead
  ASSERT_EQ(system.StreamPlay(0, h), 0);

  struct Sample {
    int offsetMs;
    std::int64_t fileFrames;
    std::vector<float> spectrum;
  };
  std::vector<Sample> samples;
  const auto start = std::chrono::steady_clock::now();
  for (int frame = 0; frame < 50; ++frame) {
    std::this_thread::sleep_until(start + std::chrono::milliseconds(37 * frame + 300));
    const int offset = frame < 25 ? 0 : 100;
    system.SetAnalysisOffsetMs(offset);
    const std::int64_t before = FileFrames(written);
    const float* spectrum = system.GetSpectrum();
    const std::int64_t after = FileFrames(written);
    ASSERT_NE(spectrum, nullptr);
    if (before != after) continue;  // a block landed meanwhile: no clear truth
    samples.push_back({offset, before, std::vector<float>(spectrum, spectrum + kSpectrumSize)});
  }
  system.Close();
  ASSERT_GE(samples.size(), 40u);

  // The file: every block the callback mixed, from the first one on.
  std::ifstream in(written, std::ios::binary);
  std::vector<float> raw(std::size_t(FileFrames(written)) * 2);
  in.read(reinterpret_cast<char*>(raw.data()), std::streamsize(raw.size() * sizeof(float)));
  std::vector<float> mono(raw.size() / 2);
  for (std::size_t f = 0; f < mono.size(); ++f) mono[f] = 0.5f * (raw[f * 2] + raw[f * 2 + 1]);

  // Where each window lies in the file, found by its content alone (the
  // file's frames are not the mixer's: SDL writes silence while a new
  // device is still paused): it must end the stated lag before the file's
  // end, or a block more, and match nowhere a little earlier or later.
  int exact = 0;
  for (const Sample& s : samples) {
    SCOPED_TRACE("offset " + std::to_string(s.offsetMs) + " ms, file " + std::to_string(s.fileFrames));
    const std::int64_t stated = std::llround(s.offsetMs * kRate / 1000.0);
    int found = -1;
    for (int blocks = 0; blocks < 4 && found < 0; ++blocks) {
      const std::vector<float> truth = ReferenceSpectrum(mono, s.fileFrames - stated - blocks * block);
      if (!truth.empty() && Difference(truth, s.spectrum.data()) < 1e-3f) found = blocks;
    }
    ASSERT_TRUE(found == 0 || found == 1) << "window " << found << " blocks off the stated lag";
    if (found == 0) ++exact;
    const std::int64_t end = s.fileFrames - stated - found * block;
    for (std::int64_t shift : {-256, -32, 32, 256}) {
      const std::vector<float> other = ReferenceSpectrum(mono, end + shift);
      if (!other.empty()) {
        EXPECT_GT(Difference(other, s.spectrum.data()), 2e-3f) << "shift " << shift;
      }
    }
  }
  // The grace after a hand-over covers 2 ms of every 46.
  EXPECT_GE(exact, int(samples.size()) * 3 / 4);
}
