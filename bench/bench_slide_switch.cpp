// A slide switch as the show makes it: two slides holding the same real .x
// meshes (objects of the same catalog entries, placed differently), the
// sequence manager moving from one to the other and loading it. With the
// meshes shared through the parsed-file cache, and with the cache emptied
// before every switch (what the first visit of a slide costs).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "io/Utf16.h"
#include "model/SceneObjects.h"
#include "scene/AnimatedMesh.h"
#include "scene/Catalog.h"
#include "scene/MeshContent.h"
#include "gfx/XFile.h"
#include "sequence/StandaloneShow.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSource = MV_SOURCE_DIR;
const fs::path kX = kSource / ".." / ".." / "shared" / "testdata" / "x";

struct Entry {
  const char* file;
  const char* kind;
};
const Entry kMeshes[] = {{"test_cube_text.x", "MESHOBJ"},
                         {"test_cube_binary.x", "MESHOBJ"},
                         {"test_cube_compressed.x", "MESHOBJ"},
                         {"kwxport_test_cubewithvcolors.x", "MESHOBJ"},
                         {"anim_test.x", "ANIMOBJ"}};

// A working folder with the scene effect, the meshes, their catalog and a
// show of two slides; entered for the benchmark, removed after.
class SlideSwitchShow {
 public:
  SlideSwitchShow() {
    dir_ = fs::temp_directory_path() / ("mv_bench_slide_switch_" + std::to_string(::getpid()));
    fs::create_directories(dir_ / "media" / "mesh");
    fs::create_directories(dir_ / "fx");
    fs::copy_file(kSource / "fx" / "reflectori.fxo", dir_ / "fx" / "reflectori.fxo",
                  fs::copy_options::overwrite_existing);
    std::ofstream catalog(dir_ / "media" / "mesh" / "objects.mesh");
    int i = 0;
    for (const Entry& e : kMeshes) {
      fs::copy_file(kX / e.file, dir_ / "media" / "mesh" / e.file, fs::copy_options::overwrite_existing);
      catalog << i << ",Mesh" << i << ",media\\mesh\\" << e.file << "," << e.kind << ",,0,\n";
      ++i;
    }
    catalog << "#,\n";
    catalog.close();
    previous_ = fs::current_path();
    fs::current_path(dir_);
    ObjectCatalog().LoadFile();

    show_ = std::make_unique<StandaloneShow>();
    show_->BuildPanels();
    show_->CreateDevice(640, 360);
    show_->Device()->SetRecording(false);
    SetMeshLoadContext(MeshLoadContext{show_->Device(), show_->device.SceneEffect(),
                                       show_->device.GetWhiteTexture(), nullptr});
    for (int s = 0; s < 2; ++s) {
      // The fixed four (light, camera, sky box, post-process) stay.
      while (show_->scene.GetObjectCount() > 4) {
        show_->scene.SetSelectedIndex(4);
        show_->scene.RemoveSelectedObject();
      }
      for (int m = 0; m < static_cast<int>(std::size(kMeshes)); ++m) {
        const int entry = s == 0 ? m : static_cast<int>(std::size(kMeshes)) - 1 - m;
        show_->scene.InsertObject(CatalogKeywordKind(kMeshes[entry].kind), -1, entry, nullptr, nullptr, -1);
        show_->scene.LoadCatalogEntry(entry);
        if (auto* mesh = dynamic_cast<CMesh*>(show_->scene.GetSelectedObject()))
          mesh->params.iPos[0] = static_cast<float>(m) - 2.0f, mesh->params.iPos[1] = static_cast<float>(s);
      }
      show_->sequence.Insert();
      const SlideRecord& r = show_->sequence.Slides().back();
      ok_ = show_->sequence.SaveSlide(mv::io::FixedView(r.path, SlideRecord::kPathUnits)) && ok_;
    }
    show_->sequence.Previous();
    show_->sequence.FrameMove(0.04f);
  }
  ~SlideSwitchShow() {
    show_.reset();
    SetMeshLoadContext(MeshLoadContext{});
    ObjectCatalog().Free();
    fs::current_path(previous_);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // Moves to the other slide and loads it, as the next frame does.
  void Switch() {
    if (show_->sequence.Current() == 0) show_->sequence.Next();
    else show_->sequence.Previous();
    show_->sequence.FrameMove(0.04f);
  }
  // Mesh objects of the current slide that hold a loaded mesh.
  int LoadedMeshes() const {
    int n = 0;
    for (int i = 0; i < show_->scene.GetObjectCount(); ++i)
      if (auto* m = dynamic_cast<CMesh*>(show_->scene.GetObject(i)); m && m->animatedMesh) ++n;
    return n;
  }
  bool Ok() const { return ok_ && show_->device.GetSceneEffect() && show_->sequence.Slides().size() == 2; }

 private:
  fs::path dir_, previous_;
  std::unique_ptr<StandaloneShow> show_;
  bool ok_ = true;
};

void Run(benchmark::State& state, bool coldCache) {
  SlideSwitchShow show;
  if (!show.Ok()) {
    state.SkipWithError("the show could not be made");
    return;
  }
  show.Switch();
  if (show.LoadedMeshes() != static_cast<int>(std::size(kMeshes))) {
    state.SkipWithError("the slide's meshes did not load");
    return;
  }
  for (auto _ : state) {
    if (coldCache) {
      state.PauseTiming();
      SharedXFileCache().Clear();
      state.ResumeTiming();
    }
    show.Switch();
  }
  state.counters["meshes"] = static_cast<double>(show.LoadedMeshes());
}

void BM_SlideSwitchSharedMeshes(benchmark::State& state) { Run(state, false); }
BENCHMARK(BM_SlideSwitchSharedMeshes)->Unit(benchmark::kMillisecond);

void BM_SlideSwitchColdCache(benchmark::State& state) { Run(state, true); }
BENCHMARK(BM_SlideSwitchColdCache)->Unit(benchmark::kMillisecond);

}  // namespace
