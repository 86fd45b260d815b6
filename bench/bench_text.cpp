// Per-frame cost of laying out the overlay text (three lines, glyphs already
// in the atlas), and the DDS reader and DXT decoder on a sky-box-sized cube.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "gfx/Dds.h"
#include "gfx/Font.h"
#include "gfx/TextMesh.h"
#include "support/AllocationCounter.h"

namespace {

void BM_OverlayTextLayout(benchmark::State& state) {
  auto font = gfx::Font::Create("Arial", 15, 700, false);
  if (!font) {
    state.SkipWithError("no font");
    return;
  }
  std::vector<gfx::GlyphQuad> quads;
  quads.reserve(512);
  const gfx::Color yellow(1, 1, 0, 1);
  char line3[64];
  int frame = 0;
  auto layout = [&] {
    quads.clear();
    font->LayoutText(std::string_view("42.17 fps (640x400), vsync off"), 320, 5, yellow, quads, 15);
    font->LayoutText(std::string_view("HAL (pure hw vp): llvmpipe"), 320, 20, yellow, quads, 15);
    const int n = std::snprintf(line3, sizeof line3, "%3d - %3d - %3d", frame % 1920, frame % 1080, -1);
    font->LayoutText(std::string_view(line3, std::size_t(n)), 320, 35, yellow, quads, 15);
    ++frame;
  };
  for (int i = 0; i < 2000; ++i) layout();  // every digit seen, atlas warm
  const long before = mv::bench::Allocations();
  for (auto _ : state) {
    layout();
    benchmark::DoNotOptimize(quads.data());
  }
  state.counters["new_per_frame"] =
      benchmark::Counter(double(mv::bench::Allocations() - before) / double(state.iterations()));
  state.counters["quads"] = double(quads.size());
}
BENCHMARK(BM_OverlayTextLayout);

// The default 3D text of a text object, built as a slide loads it.
void BM_TextGeometry(benchmark::State& state) {
  gfx::TextGeometry g;
  for (auto _ : state) gfx::BuildTextGeometry("Arial", 400, u"Insert your text !", 0.001f, 0.4f, g);
  state.counters["triangles"] = double(g.indices.size() / 3);
}
BENCHMARK(BM_TextGeometry)->Unit(benchmark::kMillisecond);

gfx::Image MakeCube(gfx::ImageFormat format, int size) {
  gfx::Image img;
  img.format = format;
  img.width = img.height = size;
  img.faces = 6;
  img.mipLevels = gfx::FullMipCount(size, size);
  std::uint32_t seed = 1;
  for (int face = 0; face < 6; ++face)
    for (int mip = 0; mip < img.mipLevels; ++mip) {
      const int s = std::max(1, size >> mip);
      gfx::ImageLevel l{s, s, std::vector<std::uint8_t>(*gfx::ImageLevelSize(format, s, s))};
      for (auto& b : l.data) b = std::uint8_t((seed = seed * 1664525u + 1013904223u) >> 24);
      img.levels.push_back(std::move(l));
    }
  return img;
}

void BM_ReadDdsCubeDxt5(benchmark::State& state) {
  const auto file = gfx::WriteDds(MakeCube(gfx::ImageFormat::DXT5, int(state.range(0))));
  std::string error;
  for (auto _ : state) benchmark::DoNotOptimize(gfx::ReadDds(file, error));
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(file.size()));
}
BENCHMARK(BM_ReadDdsCubeDxt5)->Arg(512);

void BM_ReadDdsCubeArgb(benchmark::State& state) {
  const auto file = gfx::WriteDds(MakeCube(gfx::ImageFormat::RGBA8, int(state.range(0))));
  std::string error;
  for (auto _ : state) benchmark::DoNotOptimize(gfx::ReadDds(file, error));
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(file.size()));
}
BENCHMARK(BM_ReadDdsCubeArgb)->Arg(512);

void BM_DecodeDxt5(benchmark::State& state) {
  const int s = int(state.range(0));
  const gfx::Image img = MakeCube(gfx::ImageFormat::DXT5, s);
  for (auto _ : state)
    benchmark::DoNotOptimize(gfx::DecodeDxt(gfx::ImageFormat::DXT5, s, s, img.levels[0].data));
  state.SetItemsProcessed(std::int64_t(state.iterations()) * s * s);
}
BENCHMARK(BM_DecodeDxt5)->Arg(1024);

}  // namespace
