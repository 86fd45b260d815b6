// The metaball surface per frame: the balls move, the surface is followed
// and polygonised on the 64-cell grid a metaball object uses, in batches.
#include <benchmark/benchmark.h>

#include "effects/MetaballField.h"
#include "support/AllocationCounter.h"

namespace {

struct CountingSink final : MetaballBatchSink {
  long long indices = 0;
  int batches = 0;
  void DrawBatch(const MetaballVertex* v, int, const std::uint32_t*, int indexCount) override {
    indices += indexCount;
    ++batches;
    benchmark::DoNotOptimize(v);
  }
};

void BM_MetaballFrame(benchmark::State& state) {
  MetaballField field(1234);
  field.SetGridSize(static_cast<int>(state.range(0)));
  CountingSink sink;
  // Settle the balls and grow the cube list once.
  for (int i = 0; i < 50; ++i) field.Advance(0.04f);
  field.Polygonise(sink);
  const long long before = mv::bench::Allocations();
  long long frames = 0, cubes = 0;
  sink = CountingSink{};
  for (auto _ : state) {
    field.Advance(0.04f);
    field.Polygonise(sink);
    cubes += field.GetCubesVisited();
    ++frames;
  }
  const long long allocations = mv::bench::Allocations() - before;
  state.counters["allocs_per_frame"] = frames ? double(allocations) / double(frames) : 0.0;
  state.counters["cubes_per_frame"] = frames ? double(cubes) / double(frames) : 0.0;
  state.counters["triangles_per_frame"] = frames ? double(sink.indices) / 3.0 / double(frames) : 0.0;
  state.counters["batches_per_frame"] = frames ? double(sink.batches) / double(frames) : 0.0;
}
BENCHMARK(BM_MetaballFrame)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace
