// Writes a show into the folder given: "media\sequence.mv" and N slides
// whose four fixed objects each hold one key of F frames, saved through the
// managers' own Write, with the player's effects (fx/) beside it. Used by
// the end-to-end scripts.
//   --objects      every slide also holds a generated mesh and a 3D text in
//                  front of the camera (with a catalog for them)
//   --chain NAME   every slide's post-process chain is the combination NAME
//                  ("Blur", "Bloom", "Depth of Field", "Edge Glow") with its
//                  effects' defaults
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "model/TimeLine.h"
#include "app/App.h"
#include "core/Globals.h"
#include "effects/PostProcessManager.h"
#include "gfx/RecordingDevice.h"
#include "io/BinaryIO.h"
#include "io/Utf16.h"
#include "scene/Catalog.h"
#include "scene/SceneManager.h"
#include "sequence/SequenceManager.h"

namespace {

const char kCatalog[] =
    "0,Shape,,GENERATEDOBJ,,0,\n"
    "1,Title,,TEXTOBJ,Arial,24,\n"
    "#,\n";

CMesh* Insert(std::int32_t kind, std::int32_t entry, const char16_t* text, float y, float scale, float r, float g,
              float b) {
  auto* m = dynamic_cast<CMesh*>(g_SceneManager.InsertObject(kind, -1, entry, text, text ? u"Arial" : nullptr, -1));
  if (!m) return nullptr;
  m->params.iPos[1] = y;
  for (float& s : m->params.iScale) s = scale;
  m->params.vDiff[0] = r, m->params.vDiff[1] = g, m->params.vDiff[2] = b, m->params.vDiff[3] = 1.0f;
  return m;
}

bool AddObjects() {
  std::filesystem::create_directories("media/mesh");
  {
    std::ofstream catalog("media/mesh/objects.mesh", std::ios::binary);
    catalog << kCatalog;
    if (!catalog.good()) return false;
  }
  if (ObjectCatalog().LoadFile() == 0) return false;
  CCameraObject* camera = g_SceneManager.GetCameraObject();
  camera->Eye[0] = 0, camera->Eye[1] = 0, camera->Eye[2] = -5;
  camera->LookAt[0] = camera->LookAt[1] = camera->LookAt[2] = 0;
  CMesh* shape = Insert(OBJ_GENERATED, 0, nullptr, -0.8f, 0.8f, 0.3f, 1.0f, 0.7f);
  if (!shape) return false;
  // The whole shape: with no device here nothing was built to set the range.
  shape->params.start = 0;
  shape->params.end = 100;
  return Insert(OBJ_TEXT, 1, u"MV", 0.6f, 1.5f, 1.0f, 0.9f, 0.3f) != nullptr;
}

// The combination's effects with the defaults their files give, copied into
// the post-process object's block, which is what the chain reads.
bool SetChain(const std::string& name) {
  PostProcessCombination c;
  if (name == "Blur")
    c = PostProcessCombination::Blur;
  else if (name == "Bloom")
    c = PostProcessCombination::Bloom;
  else if (name == "Depth of Field")
    c = PostProcessCombination::DepthOfField;
  else if (name == "Edge Glow")
    c = PostProcessCombination::EdgeGlow;
  else
    return false;
  auto device = gfx::CreateRecordingDevice(1920, 1080);
  if (gfx::Failed(g_PostProcessManager.OnCreateDevice(*device))) return false;
  g_PostProcessManager.ApplyCombination(c);
  g_PostProcessManager.SyncRecords();
  auto* post = dynamic_cast<CPostProcessObject*>(g_SceneManager.GetObject(3));
  if (!post) return false;
  g_PostProcessManager.StoreParameters(post->params);
  g_PostProcessManager.ReleaseEffects();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: mv_make_show FOLDER SLIDES FRAMES [--objects] [--chain NAME]\n");
    return 2;
  }
  bool objects = false;
  std::string chain;
  for (int a = 4; a < argc; ++a) {
    const std::string arg = argv[a];
    if (arg == "--objects") {
      objects = true;
    } else if (arg == "--chain" && a + 1 < argc) {
      chain = argv[++a];
    } else {
      std::fprintf(stderr, "unknown argument: %s\n", arg.c_str());
      return 2;
    }
  }
  std::filesystem::create_directories(std::filesystem::path(argv[1]) / "media");
  // The player does not start without its effects beside the show.
  std::error_code ec;
  std::filesystem::copy(std::filesystem::path(MV_SOURCE_DIR) / "fx", std::filesystem::path(argv[1]) / "fx",
                        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing,
                        ec);
  if (ec) {
    std::fprintf(stderr, "could not copy the effects: %s\n", ec.message().c_str());
    return 1;
  }
  std::filesystem::current_path(argv[1]);
  const int slides = std::atoi(argv[2]);
  const int frames = std::atoi(argv[3]);
  if (objects && !AddObjects()) {
    std::fprintf(stderr, "could not add the objects\n");
    return 1;
  }
  if (!chain.empty() && !SetChain(chain)) {
    std::fprintf(stderr, "could not set the chain \"%s\"\n", chain.c_str());
    return 1;
  }

  for (int i = 0; i < g_SceneManager.GetObjectCount(); ++i) {
    CSceneObject* o = g_SceneManager.GetObject(i);
    TimeLine* t = o->timeLine ? o->timeLine : o->CreateTimeLine();
    if (t && t->GetKeyCount() == 0) t->InsertKey(0, frames);
  }
  for (int s = 0; s < slides; ++s) {
    g_SequenceManager.Insert();
    const SlideRecord& r = g_SequenceManager.Slides().back();
    if (!g_SequenceManager.SaveSlide(mv::io::FixedView(r.path, SlideRecord::kPathUnits))) {
      std::fprintf(stderr, "could not write slide %d\n", s);
      return 1;
    }
  }
  std::ofstream out("media/sequence.mv", std::ios::binary);
  mv::io::WriteI32(out, MV_TYPE_SEQUENCE);
  g_SequenceManager.Write(out);
  return out.good() ? 0 : 1;
}
