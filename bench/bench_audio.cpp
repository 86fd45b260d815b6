// Audio: the per-frame spectrum analysis (alone, and with decoding through
// the resampler and the high-pass in the path), and how far the analysed
// window lags what SDL's disk driver wrote out, found in the file itself.
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <unistd.h>

#include <kiss_fftr.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "audio/SoundManager.h"
#include "audio/SoundSystem.h"
#include "audio/BandAnalysis.h"
#include "core/Globals.h"

using namespace mv::audio;
namespace fs = std::filesystem;

namespace {

constexpr double kBinHz = 44100.0 / 1024.0;

// A scratch folder holding media/music for the benchmarks.
struct BenchFolder {
  fs::path root = fs::temp_directory_path() / ("mv-bench-audio-" + std::to_string(::getpid()));
  fs::path previous = fs::current_path();
  BenchFolder() {
    fs::create_directories(root / "media" / "music");
    fs::current_path(root);
  }
  ~BenchFolder() {
    fs::current_path(previous);
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};

// `seconds` of stereo WAV at `rate` from a sample function of the frame.
template <class F>
void WriteWav(const fs::path& path, double seconds, F sample, int rate = 44100) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  auto frames = std::size_t(seconds * rate);
  std::vector<float> data(frames * 2);
  for (std::size_t f = 0; f < frames; ++f) data[f * 2] = data[f * 2 + 1] = sample(f);
  sf_writef_float(file, data.data(), sf_count_t(frames));
  sf_close(file);
}

// Music-like: a bass line with beats, a chord and some noise.
float MusicSample(std::size_t f, int rate = 44100) {
  double t = double(f) / double(rate);
  double beat = std::exp(-8.0 * std::fmod(t, 0.5));
  double v = 0.5 * beat * std::sin(2 * std::numbers::pi * 55.0 * t) +
             0.1 * std::sin(2 * std::numbers::pi * 440.0 * t) +
             0.1 * std::sin(2 * std::numbers::pi * 660.0 * t) +
             0.05 * (double((f * 2654435761u) % 1000) / 500.0 - 1.0);
  return float(v);
}

// Band reduction alone, on a spectrum of music.
void BM_AnalyseBands(benchmark::State& state) {
  BenchFolder folder;
  WriteWav("media/music/music.wav", 2.0, [](std::size_t f) { return MusicSample(f); });
  SoundSystem system(SoundBackend::Offline);
  system.Init(kOutputRate, 2, 0);
  system.SetFftActive(true);
  StreamHandle h = system.StreamOpenFile("media/music/music.wav", kModeStreamNormal, 0);
  system.StreamPlay(0, h);
  system.Advance(0.5);
  std::vector<float> spectrum(system.GetSpectrum(), system.GetSpectrum() + kSpectrumSize);
  SpectrumBands bands;
  for (int i = 0; i < 16; ++i) bands.selected[std::size_t(i)] = true;
  for (auto _ : state) {
    AnalyseBands(spectrum.data(), bands);
    benchmark::DoNotOptimize(bands.level);
  }
}
BENCHMARK(BM_AnalyseBands);

// What the frame-move callback pays: the spectrum of the played samples
// (window, FFT, magnitudes) and the band reduction, on the offline backend
// so that each frame sees 40 ms of new music.
void BM_AnalyseSpectrumPerFrame(benchmark::State& state) {
  BenchFolder folder;
  WriteWav("media/music/music.wav", 30.0, [](std::size_t f) { return MusicSample(f); });
  SoundManager manager(std::make_unique<SoundSystem>(SoundBackend::Offline));
  manager.OpenTrack("music.wav");
  manager.Play();
  for (int i = 0; i < 8; ++i) manager.Bands().selected[std::size_t(i)] = true;
  int frames = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (++frames == 700) {  // keep within the track
      manager.SetStreamTime(0);
      frames = 0;
    }
    manager.System().Advance(0.04);
    state.ResumeTiming();
    manager.AnalyseSpectrum();
    benchmark::DoNotOptimize(manager.GetBandLevel());
  }
}
BENCHMARK(BM_AnalyseSpectrumPerFrame);

// The whole per-frame path of the offline backend at 25 fps: 40 ms decoded
// (through libsoxr for a file not at 44.1 kHz), mixed, DC-blocked into the
// history, then the spectrum and the bands. The argument is the file's rate.
void BM_FramePathWithResampler(benchmark::State& state) {
  BenchFolder folder;
  const int rate = int(state.range(0));
  WriteWav("media/music/music.wav", 30.0, [rate](std::size_t f) { return MusicSample(f, rate); }, rate);
  SoundManager manager(std::make_unique<SoundSystem>(SoundBackend::Offline));
  manager.OpenTrack("music.wav");
  manager.Play();
  for (int i = 0; i < 8; ++i) manager.Bands().selected[std::size_t(i)] = true;
  int frames = 0;
  for (auto _ : state) {
    if (++frames == 700) {  // keep within the track
      state.PauseTiming();
      manager.SetStreamTime(0);
      frames = 0;
      state.ResumeTiming();
    }
    manager.System().Advance(0.04);
    manager.AnalyseSpectrum();
    benchmark::DoNotOptimize(manager.GetBandLevel());
  }
}
BENCHMARK(BM_FramePathWithResampler)->Arg(44100)->Arg(48000)->Arg(96000)->Unit(benchmark::kMicrosecond);

// The spectrum of 1024 mono samples ending before `end`, as the sound
// system computes it (periodic Hann, magnitudes times 4 / N).
class Reference {
 public:
  Reference() : m_cfg(kiss_fftr_alloc(kFftSize, 0, nullptr, nullptr)) {
    for (int n = 0; n < kFftSize; ++n)
      m_window[std::size_t(n)] = float(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / kFftSize));
  }
  ~Reference() { kiss_fftr_free(m_cfg); }
  Reference(const Reference&) = delete;
  Reference& operator=(const Reference&) = delete;
  // Largest difference from `spectrum` above the lowest bins (where the
  // high-pass acts); a large number when the window is out of the file.
  float Difference(const std::vector<float>& mono, std::int64_t end, const float* spectrum) {
    if (end < kFftSize || end > std::int64_t(mono.size())) return 1e9f;
    for (int n = 0; n < kFftSize; ++n)
      m_in[std::size_t(n)] = mono[std::size_t(end - kFftSize + n)] * m_window[std::size_t(n)];
    kiss_fftr(m_cfg, m_in.data(), m_out.data());
    float worst = 0.0f;
    for (int k = 8; k < kSpectrumSize; ++k) {
      const kiss_fft_cpx& c = m_out[std::size_t(k)];
      worst = std::max(worst, std::fabs(std::sqrt(c.r * c.r + c.i * c.i) * 4.0f / kFftSize - spectrum[k]));
    }
    return worst;
  }

 private:
  kiss_fftr_cfg m_cfg;
  std::array<float, kFftSize> m_window{};
  std::array<float, kFftSize> m_in{};
  std::array<kiss_fft_cpx, kFftSize / 2 + 1> m_out{};
};

// The device backend on SDL's disk driver, which writes every block it
// plays to a file: what is in the file is what was "heard". A 25 fps loop
// takes the spectrum while music plays and notes how much the file held;
// afterwards each spectrum is found in the file by its content (every
// position up to four blocks back from the file's end), and the lag is
// how far before the file's end its window ended. The mixer's own counters
// play no part. Argument: seconds of music (60: a minute).
void BM_AnalysedWindowLagBehindDiskOutput(benchmark::State& state) {
  BenchFolder folder;
  const double seconds = double(state.range(0));
  WriteWav("media/music/music.wav", seconds + 1.0, [](std::size_t f) { return MusicSample(f); });
  // The dummy driver opens one output at a time: the program's own manager
  // gives its device up for the measurement.
  if (g_SoundManager.System().Backend() == SoundBackend::Device)
    g_SoundManager.SetSoundSystem(std::make_unique<SoundSystem>(SoundBackend::Offline));
  const fs::path written = folder.root / "played.raw";
  auto fileFrames = [&written]() {
    struct stat st{};
    return ::stat(written.c_str(), &st) == 0 ? std::int64_t(st.st_size) / 8 : std::int64_t(-1);
  };
  struct Sample {
    std::int64_t fileFrames;
    std::vector<float> spectrum;
  };
  std::vector<Sample> samples;
  int block = 0, skipped = 0;
  std::string driver;
  for (auto _ : state) {
    SoundSystem system(SoundBackend::Device);
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", written.c_str(), 1);
    const bool ok = system.Init(kOutputRate, 2, 0);
    ::unsetenv("SDL_DISKAUDIOFILE");
    ::unsetenv("SDL_AUDIODRIVER");
    if (!ok || system.DriverName() != "disk") {
      state.SkipWithError("SDL's disk driver did not open");
      return;
    }
    driver = system.DriverName();
    block = system.DeviceBufferFrames();
    system.SetFftActive(true);
    system.SetSfxMasterVolume(255);  // the file holds the mix itself
    StreamHandle h = system.StreamOpenFile("media/music/music.wav", kModeStreamNormal, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the decoder fills ahead
    system.StreamPlay(0, h);
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now() + std::chrono::milliseconds(200);
    const int frames = int(seconds * 25.0);
    samples.reserve(std::size_t(frames));
    for (int i = 0; i < frames; ++i) {
      std::this_thread::sleep_until(start + std::chrono::milliseconds(40 * i));
      const std::int64_t before = fileFrames();
      const float* spectrum = system.GetSpectrum();
      const std::int64_t after = fileFrames();
      if (!spectrum || before != after) {
        ++skipped;  // a block landed meanwhile: no single truth
        continue;
      }
      samples.push_back({before, std::vector<float>(spectrum, spectrum + kSpectrumSize)});
    }
    system.Close();
  }
  std::ifstream in(written, std::ios::binary);
  std::vector<float> raw(std::size_t(std::max<std::int64_t>(0, fileFrames())) * 2);
  in.read(reinterpret_cast<char*>(raw.data()), std::streamsize(raw.size() * sizeof(float)));
  std::vector<float> mono(raw.size() / 2);
  for (std::size_t f = 0; f < mono.size(); ++f) mono[f] = 0.5f * (raw[f * 2] + raw[f * 2 + 1]);
  Reference reference;
  std::vector<double> lags;
  int unmatched = 0;
  for (const Sample& s : samples) {
    // Whole blocks back first (where the stated lag puts it), then every
    // frame; a window matches one position only (the tests check that).
    std::int64_t best = -1;
    float bestDiff = 1e9f;
    auto tryAt = [&](std::int64_t back) {
      const float d = reference.Difference(mono, s.fileFrames - back, s.spectrum.data());
      if (d < bestDiff) bestDiff = d, best = back;
    };
    for (std::int64_t back = 0; back <= 4 * block && bestDiff > 1e-3f; back += block) tryAt(back);
    for (std::int64_t back = 0; back <= 4 * block && bestDiff > 1e-3f; ++back) tryAt(back);
    if (bestDiff > 1e-3f) {
      ++unmatched;
      continue;
    }
    lags.push_back(double(best) / 44.1);
  }
  double lo = 0, hi = 0, mean = 0;
  int atZero = 0;
  if (!lags.empty()) {
    lo = *std::min_element(lags.begin(), lags.end());
    hi = *std::max_element(lags.begin(), lags.end());
    for (double x : lags) mean += x, atZero += x == 0.0;
    mean /= double(lags.size());
  }
  state.counters["lag_min_ms"] = lo;
  state.counters["lag_mean_ms"] = mean;
  state.counters["lag_max_ms"] = hi;
  state.counters["frames_at_0ms"] = atZero;
  state.counters["frames_found"] = double(lags.size());
  state.counters["frames_not_found"] = unmatched;
  state.counters["frames_skipped"] = skipped;
  state.counters["block_ms"] = block / 44.1;
  state.SetLabel(driver + " driver, " + std::to_string(int(seconds)) + " s of music");
}
BENCHMARK(BM_AnalysedWindowLagBehindDiskOutput)->Arg(60)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
