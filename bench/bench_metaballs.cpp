// The metaball surface per frame: the balls move, the surface is followed
// and polygonised on the 64-cell grid a metaball object uses, in batches.
// Against it, in the same run, a sweep of every cube of the same grid and
// field (what following the surface saves).
#include <benchmark/benchmark.h>

#include <vector>

#include "effects/MarchingCubes.h"
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

// Five balls spread over the field, fixed, on 64 cells per axis.
constexpr int kGrid = 64;
MetaballField FiveBallField() {
  MetaballField f(7);
  f.SetGridSize(kGrid);
  const glm::vec3 at[5] = {{-0.4f, 0.0f, 0.0f}, {0.4f, 0.1f, 0.0f}, {0.0f, 0.45f, 0.2f}, {0.0f, -0.4f, -0.3f},
                           {0.1f, 0.0f, 0.5f}};
  for (int i = 0; i < 5; ++i) {
    MetaBall b;
    b.position = at[i];
    f.SetBall(i, b);
  }
  return f;
}

// The surface followed from the balls.
void BM_MetaballFollowSurface64(benchmark::State& state) {
  MetaballField field = FiveBallField();
  CountingSink sink;
  field.Polygonise(sink);
  long long triangles = 0;
  for (auto _ : state) {
    sink = CountingSink{};
    field.Polygonise(sink);
    triangles = sink.indices / 3;
  }
  state.counters["cubes"] = field.GetCubesVisited();
  state.counters["triangles"] = double(triangles);
}
BENCHMARK(BM_MetaballFollowSurface64)->Unit(benchmark::kMillisecond);

// Every cube of the grid: the field at every grid point once, then each
// cube's case and its interpolated vertices, as a plain marching-cubes
// sweep does it.
void BM_MetaballFullSweep64(benchmark::State& state) {
  const MetaballField field = FiveBallField();
  const int n = kGrid, points = n + 1;
  const float cell = 2.0f / n, level = field.GetLevel();
  std::vector<float> value(static_cast<std::size_t>(points) * points * points);
  std::vector<MetaballVertex> vertices(static_cast<std::size_t>(MetaballField::kMeshVertices) + 64);
  long long triangles = 0;
  for (auto _ : state) {
    // The field sampled as the follower samples it.
    const MetaballSampler sampler = field.Sampler();
    for (int k = 0; k < points; ++k)
      for (int j = 0; j < points; ++j)
        // Four points of a row at a time, as the follower samples a cube's
        // corners.
        for (int i = 0; i < points; i += 4) {
          float x[4], y[4], z[4], v[4];
          for (int l = 0; l < 4; ++l) {
            x[l] = (i + l) * cell - 1.0f;
            y[l] = j * cell - 1.0f;
            z[l] = k * cell - 1.0f;
          }
          sampler.Values4(x, y, z, v);
          for (int l = 0; l < 4 && i + l < points; ++l) {
            const int p = i + l;
            const bool boundary = p == 0 || j == 0 || k == 0 || p == n || j == n || k == n;
            value[(static_cast<std::size_t>(k) * points + j) * points + p] = boundary ? 0.0f : v[l];
          }
        }
    long long made = 0;
    std::size_t used = 0;
    for (int k = 0; k < n; ++k)
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
          float v[8];
          int pattern = 0;
          for (int c = 0; c < 8; ++c) {
            v[c] = value[(static_cast<std::size_t>(k + mc::kCornerOffset[c][2]) * points + j + mc::kCornerOffset[c][1]) *
                             points +
                         i + mc::kCornerOffset[c][0]];
            if (v[c] > level) pattern |= 1 << c;
          }
          const mc::Case& cs = mc::TriangleTable()[static_cast<std::size_t>(pattern)];
          bool made_[12] = {};
          for (int t = 0; t < cs.triangleCount * 3; ++t) {
            const int e = cs.edges[static_cast<std::size_t>(t)];
            // One vertex per crossed edge of the cube, as the follower does.
            if (made_[e]) continue;
            made_[e] = true;
            const int a = mc::kEdgeCorners[e][0], b = mc::kEdgeCorners[e][1];
            const float s = (level - v[a]) / (v[b] - v[a]);
            const glm::vec3 pa((i + mc::kCornerOffset[a][0]) * cell - 1.0f, (j + mc::kCornerOffset[a][1]) * cell - 1.0f,
                               (k + mc::kCornerOffset[a][2]) * cell - 1.0f);
            const glm::vec3 pb((i + mc::kCornerOffset[b][0]) * cell - 1.0f, (j + mc::kCornerOffset[b][1]) * cell - 1.0f,
                               (k + mc::kCornerOffset[b][2]) * cell - 1.0f);
            const glm::vec3 x = pa + (pb - pa) * s;
            const glm::vec3 nrm = sampler.Normal(x);
            vertices[used] = MetaballVertex{{x.x, x.y, x.z}, {nrm.x, nrm.y, nrm.z}, {nrm.x * 0.5f + 0.5f, 0.5f - nrm.y * 0.5f}};
            used = (used + 1) % MetaballField::kMeshVertices;
          }
          made += cs.triangleCount;
        }
    benchmark::DoNotOptimize(vertices.data());
    triangles = made;
  }
  state.counters["cubes"] = double(n) * n * n;
  state.counters["triangles"] = double(triangles);
}
BENCHMARK(BM_MetaballFullSweep64)->Unit(benchmark::kMillisecond);

}  // namespace
