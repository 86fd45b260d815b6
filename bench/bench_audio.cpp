// Audio: the per-frame spectrum analysis, and how far the analysed samples
// lag what the output plays on the device backend.
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <numbers>
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

// `seconds` of stereo WAV from a sample function.
template <class F>
void WriteWav(const fs::path& path, double seconds, F sample) {
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  auto frames = std::size_t(seconds * 44100);
  std::vector<float> data(frames * 2);
  for (std::size_t f = 0; f < frames; ++f) data[f * 2] = data[f * 2 + 1] = sample(f);
  sf_writef_float(file, data.data(), sf_count_t(frames));
  sf_close(file);
}

// Music-like: a bass line with beats, a chord and some noise.
float MusicSample(std::size_t f) {
  double t = double(f) / 44100.0;
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
  WriteWav("media/music/music.wav", 2.0, MusicSample);
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
  WriteWav("media/music/music.wav", 30.0, MusicSample);
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

// The device backend (SDL's dummy driver on a machine without a sound card)
// plays a track of tone bursts; a 25 fps frame loop analyses the spectrum
// and notes when each burst shows. Measured against the moment the output
// started playing the burst's first sample (the block holding it handed to
// the device, plus its offset in the block and what the device still held),
// and against the moment that block was mixed. A negative value would mean
// the spectrum ran ahead of the output.
void BM_SpectrumLagBehindOutput(benchmark::State& state) {
  BenchFolder folder;
  constexpr double kPeriod = 0.4;  // silence, then a tone, each 0.2 s
  constexpr int kBursts = 16;
  constexpr int kBin = 20;
  WriteWav("media/music/bursts.wav", kPeriod * kBursts, [](std::size_t f) {
    double t = double(f) / 44100.0;
    double in = std::fmod(t, kPeriod);
    if (in < kPeriod / 2) return 0.0f;
    return float(0.8 * std::sin(2 * std::numbers::pi * kBin * kBinHz * (in - kPeriod / 2)));
  });
  // The dummy driver opens one output at a time: the program's own manager
  // gives its device up for the measurement.
  if (g_SoundManager.System().Backend() == SoundBackend::Device)
    g_SoundManager.SetSoundSystem(std::make_unique<SoundSystem>(SoundBackend::Offline));
  using Clock = std::chrono::steady_clock;
  std::vector<double> lagPlayed, lagMixed, window;
  int deviceFrames = 0;
  bool dummy = false;
  for (auto _ : state) {
    SoundSystem system(SoundBackend::Device);
    system.SetBufferSize(50);
    if (!system.Init(kOutputRate, 2, 0)) {
      state.SkipWithError("no audio output, not even the dummy driver");
      return;
    }
    deviceFrames = system.DeviceBufferFrames();
    dummy = system.UsesDummyDriver();
    system.SetFftActive(true);
    StreamHandle h = system.StreamOpenFile("media/music/bursts.wav", kModeStreamNormal, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // decoder fills ahead
    system.StreamPlay(0, h);
    std::vector<Clock::time_point> played(kBursts), mixed(kBursts);
    std::vector<bool> seen(kBursts), shown(kBursts);
    auto nextFrame = Clock::now();
    const auto end = Clock::now() + std::chrono::duration<double>(kPeriod * kBursts + 0.3);
    while (Clock::now() < end) {
      SoundSystem::OutputClock clock = system.GetOutputClock();
      for (int k = 0; k < kBursts; ++k) {
        auto onset = std::int64_t((k * kPeriod + kPeriod / 2) * 44100);
        if (seen[std::size_t(k)] || clock.streamFrames < onset) continue;
        // The block that holds the onset was just mixed.
        std::int64_t blockStart = clock.streamFrames - clock.lastBlockFrames;
        double offset = double(std::max<std::int64_t>(0, onset - blockStart)) / 44100.0;
        mixed[std::size_t(k)] = clock.lastBlockTime;
        played[std::size_t(k)] =
            clock.lastBlockTime + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(offset));
        seen[std::size_t(k)] = true;
      }
      auto now = Clock::now();
      if (now >= nextFrame) {
        nextFrame += std::chrono::milliseconds(40);
        const float* spectrum = system.GetSpectrum();
        if (spectrum) {
          SoundSystem::OutputClock after = system.GetOutputClock();
          window.push_back(double(after.framesMixed - system.LastAnalysedFrame()) / 44.1);
          if (spectrum[kBin] > 0.4f) {
            for (int k = 0; k < kBursts; ++k) {
              if (!seen[std::size_t(k)] || shown[std::size_t(k)]) continue;
              shown[std::size_t(k)] = true;
              lagPlayed.push_back(std::chrono::duration<double, std::milli>(now - played[std::size_t(k)]).count());
              lagMixed.push_back(std::chrono::duration<double, std::milli>(now - mixed[std::size_t(k)]).count());
            }
          }
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    system.Close();
  }
  auto stats = [](const std::vector<double>& v, double& lo, double& mean, double& hi) {
    lo = v.empty() ? 0 : *std::min_element(v.begin(), v.end());
    hi = v.empty() ? 0 : *std::max_element(v.begin(), v.end());
    mean = 0;
    for (double x : v) mean += x;
    mean = v.empty() ? 0 : mean / double(v.size());
  };
  double lo, mean, hi;
  stats(lagPlayed, lo, mean, hi);
  state.counters["lag_played_min_ms"] = lo;
  state.counters["lag_played_mean_ms"] = mean;
  state.counters["lag_played_max_ms"] = hi;
  stats(lagMixed, lo, mean, hi);
  state.counters["lag_mixed_min_ms"] = lo;
  state.counters["lag_mixed_max_ms"] = hi;
  stats(window, lo, mean, hi);
  state.counters["window_end_behind_mix_mean_ms"] = mean;
  state.counters["window_end_behind_mix_max_ms"] = hi;
  state.counters["bursts_detected"] = double(lagPlayed.size());
  state.counters["device_buffer_ms"] = deviceFrames / 44.1;
  state.counters["dummy_driver"] = dummy ? 1 : 0;
}
BENCHMARK(BM_SpectrumLagBehindOutput)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
