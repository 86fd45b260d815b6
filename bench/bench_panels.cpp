// Drawing every panel while the GUI is shown: the toolkit's look, the
// painter and the sprite's batching, down to the recording device with
// recording off (the CPU side of a frame's panels), and the allocations
// per frame once the glyphs and textures are made (the goal: none).
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>

#include "app/App.h"
#include "app/PanelDrawing.h"
#include "audio/SoundManager.h"
#include "core/Globals.h"
#include "effects/DeviceManager.h"
#include "gfx/RecordingDevice.h"
#include "gfx/Sprite.h"
#include "sequence/SequenceManager.h"
#include "support/AllocationCounter.h"

namespace {

gfx::RecordingDevice* Prepare() {
  static std::unique_ptr<gfx::RecordingDevice> device;
  if (device) return device.get();
  const auto dir = std::filesystem::temp_directory_path() / "mv-bench-panels";
  std::filesystem::create_directories(dir / "media");
  // The player's effects beside the show, as the player needs them.
  std::error_code ec;
  std::filesystem::copy(std::filesystem::path(MV_SOURCE_DIR) / "fx", dir / "fx",
                        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing, ec);
  std::filesystem::current_path(dir);
  InitApp();
  device = gfx::CreateRecordingDevice(1920, 1080);
  device->SetRecording(false);
  const gfx::BackBufferDesc bb = device->GetBackBufferDesc();
  DeviceManager::OnCreateDevice(device.get(), bb, &g_DeviceManager);
  DeviceManager::OnResetDevice(device.get(), bb, &g_DeviceManager);
  g_bGuiHidden = false;
  for (int i = 0; i < 3; ++i) g_SequenceManager.Insert();
  return device.get();
}

void Panels(benchmark::State& state, bool settings) {
  Prepare();
  g_bGuiHidden = false;
  g_DeviceManager.GetSettingsDialog().SetActive(settings);
  mv::audio::SpectrumBands& bands = g_SoundManager.Bands();
  int frame = 0;
  auto step = [&] {
    // Live data, as the analysis leaves it every frame.
    for (int b = 0; b < 64; ++b) bands.bands[std::size_t(b)] = 0.5f + 0.4f * std::sin(0.3f * float(b + frame));
    ++frame;
    DrawPanels(0.04f);
  };
  for (int i = 0; i < 50; ++i) step();
  const auto before = mv::bench::Allocations();
  for (auto _ : state) step();
  state.counters["allocs/frame"] =
      benchmark::Counter(static_cast<double>(mv::bench::Allocations() - before) / double(state.iterations()));
  if (gfx::Sprite* sprite = g_DeviceManager.GetSprite()) state.counters["draws"] = sprite->LastBatchDraws();
  g_DeviceManager.GetSettingsDialog().SetActive(false);
}

void BM_DrawEveryPanel(benchmark::State& state) { Panels(state, false); }
void BM_DrawEveryPanelAndSettings(benchmark::State& state) { Panels(state, true); }
BENCHMARK(BM_DrawEveryPanel)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawEveryPanelAndSettings)->Unit(benchmark::kMicrosecond);

}  // namespace
