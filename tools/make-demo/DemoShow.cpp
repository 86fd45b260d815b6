#include "DemoShow.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <memory>
#include <numbers>

#include "DemoMedia.h"
#include "DemoMusic.h"
#include "core/Globals.h"
#include "io/BinaryIO.h"
#include "io/Utf16.h"
#include "model/SceneObjects.h"
#include "model/TimeLine.h"
#include "scene/AnimatedMesh.h"
#include "scene/Catalog.h"
#include "scene/MeshContent.h"
#include "sequence/StandaloneShow.h"

namespace mv::demo {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr const char* kTrack = "demo-beat.flac";

// Value scripts of value.dat (DemoValueScripts).
enum Script : std::int32_t {
  kBassPulse = 1,
  kSineSway = 2,
  kBeatTurn = 3,
  kStrongPulse = 4,
  kSlowDrift = 5,
  kPeak = 6,
  kCounterTurn = 7,
  kBigPulse = 8,
};

// Called once per key with the key's index, before the key is captured.
using KeySetter = std::function<void(int key)>;

struct SlideBuilder {
  StandaloneShow& show;
  std::vector<KeySetter> setters;

  CMesh* Mesh(std::int32_t entry, std::int32_t kind, const char16_t* text = nullptr) {
    auto* o = show.scene.InsertObject(kind, -1, entry, text, text ? u"Arial" : nullptr, -1);
    return dynamic_cast<CMesh*>(o);
  }
  // Every object gets a key for each duration, captured after the setters ran.
  void Keys(const std::vector<int>& durations) {
    for (int k = 0; k < int(durations.size()); ++k) {
      for (auto& s : setters) s(k);
      for (int i = 0; i < show.scene.GetObjectCount(); ++i) {
        CSceneObject* o = show.scene.GetObject(i);
        TimeLine* t = o->timeLine ? o->timeLine : o->CreateTimeLine();
        if (t) t->InsertKey(k, durations[std::size_t(k)]);
      }
    }
  }
};

void SetCamera(StandaloneShow& s, float ex, float ey, float ez, float lx = 0, float ly = 0, float lz = 0) {
  CCameraObject* c = s.scene.GetCameraObject();
  c->Eye[0] = ex, c->Eye[1] = ey, c->Eye[2] = ez;
  c->LookAt[0] = lx, c->LookAt[1] = ly, c->LookAt[2] = lz;
}

void SetLight(StandaloneShow& s, float x, float y, float z, float radius = 1.0f) {
  CLightObject* l = s.scene.GetLight();
  l->position[0] = x, l->position[1] = y, l->position[2] = z;
  l->radius = radius;
}

void Place(CMesh* m, float x, float y, float z, float scale) {
  if (!m) return;
  m->params.iPos[0] = x, m->params.iPos[1] = y, m->params.iPos[2] = z;
  m->params.iScale[0] = m->params.iScale[1] = m->params.iScale[2] = scale;
}

void Colour(CMesh* m, float r, float g, float b, float a = 1.0f) {
  if (!m) return;
  m->params.vDiff[0] = r, m->params.vDiff[1] = g, m->params.vDiff[2] = b, m->params.vDiff[3] = a;
}

// The post-process chain of a predefined combination, its parameter
// defaults copied into the post-process object's block (what the chain reads
// each frame and the timeline captures).
void PostProcess(StandaloneShow& s, const PostProcessCombination* c) {
  s.postProcess.ClearActiveList();
  if (c) s.postProcess.ApplyCombination(*c);
  s.postProcess.SyncRecords();
  if (auto* post = dynamic_cast<CPostProcessObject*>(s.scene.GetObject(3))) s.postProcess.StoreParameters(post->params);
}

void SkyBox(StandaloneShow& s, int row, float size) {
  s.skyBox.LoadSkyBox(row);
  s.skyBox.SetEnabled(true);
  s.skyBox.SetScale(glm::vec3(size));
  CSkyBoxObject* sky = s.scene.GetSkyBoxObject();
  sky->size[0] = sky->size[1] = sky->size[2] = size;
}

// Durations of a slide's keys (frames): three moves and a hold.
std::vector<int> Durations(bool shortShow, int full) {
  // Three seconds: long enough for a screenshot of every slide on a busy
  // machine.
  if (shortShow) return {24, 24, 24, 3};
  const int third = full / 3;
  return {third, third, full - 2 * third - 1, 1};
}

constexpr int kSlideFrames = 375;  // 15 s

// 1: the title in 3D, turning with the beat, under a warm sky.
void TitleSlide(SlideBuilder& b) {
  StandaloneShow& s = b.show;
  SkyBox(s, 0, 100);
  SetLight(s, 0.4f, 0.8f, -1.0f);
  CMesh* title = b.Mesh(kEntryTitle, 4, u"MORVANE");
  CMesh* torus = b.Mesh(kEntryTorus, 1);
  const PostProcessCombination bloom = PostProcessCombination::Bloom;
  PostProcess(s, &bloom);
  b.setters.push_back([&s, title, torus](int k) {
    SetCamera(s, 0.3f * float(k) - 0.5f, 0.2f, -4.5f + 0.4f * float(k));
    s.scene.GetCameraObject()->eyeLinks[0] = kSineSway;
    Place(title, 0, 0.6f, 0, 1.6f);
    Colour(title, 1.0f, 0.85f - 0.1f * float(k), 0.4f);
    if (title) {
      title->params.iRot[0] = 0.0f;
      title->params.iRotLinks[0] = kSineSway;  // sways left and right
      title->params.iScaleLinks[1] = kBassPulse;  // jumps with the kick
      title->params.Reflectivity = 30;
    }
    Place(torus, 0, -0.9f, 0, 1.2f);
    Colour(torus, 0.3f, 0.6f, 1.0f);
    if (torus) {
      torus->params.iRot[1] = 0.5f * float(k);
      torus->params.iRotLinks[0] = kBeatTurn;  // turns on every beat
      torus->params.renderer = 1;
      torus->params.Reflectivity = 60;
    }
  });
}

// 2: static meshes pulsing with the bass, edges glowing.
void ShapesSlide(SlideBuilder& b) {
  StandaloneShow& s = b.show;
  SkyBox(s, 1, 100);
  SetLight(s, -0.5f, 1.0f, -0.6f);
  CMesh* cube = b.Mesh(kEntryCube, 1);
  CMesh* sphere = b.Mesh(kEntrySphere, 1);
  CMesh* torus = b.Mesh(kEntryTorus, 1);
  const PostProcessCombination glow = PostProcessCombination::EdgeGlow;
  PostProcess(s, &glow);
  b.setters.push_back([&s, cube, sphere, torus](int k) {
    SetCamera(s, 0, 1.0f + 0.3f * float(k), -5.0f);
    Place(cube, -1.8f, 0, 0, 0.8f);
    if (cube) {
      cube->params.iRot[0] = float(k) * kPi / 3;
      cube->params.iRot[1] = float(k) * kPi / 5;
      for (auto& l : cube->params.iScaleLinks) l = kBassPulse;
    }
    Place(sphere, 0, 0, 0, 0.9f);
    if (sphere) {
      sphere->params.renderer = 1;
      sphere->params.Reflectivity = 80;
      sphere->params.iPosLinks[1] = kSineSway;
    }
    Place(torus, 1.8f, 0, 0, 0.9f);
    Colour(torus, 1.0f, 0.4f, 0.3f);
    if (torus) {
      torus->params.iRot[2] = float(k) * kPi / 2;
      torus->params.iRotLinks[1] = kCounterTurn;
      torus->params.vDiffLinks[1] = kPeak;
    }
  });
}

// 3: the hierarchy and the skinned snake, in a cell under depth of field.
void CreaturesSlide(SlideBuilder& b) {
  StandaloneShow& s = b.show;
  SkyBox(s, 3, 60);
  SetLight(s, 0.3f, 1.0f, -0.8f);
  CMesh* tower = b.Mesh(kEntryTower, 1);
  CMesh* snake = b.Mesh(kEntrySnake, 7);
  const PostProcessCombination dof = PostProcessCombination::DepthOfField;
  PostProcess(s, &dof);
  b.setters.push_back([&s, tower, snake](int k) {
    SetCamera(s, 2.0f * std::sin(float(k)), 0.8f, -4.5f, 0, 0.2f, 0);
    Place(tower, -1.2f, 0, 0, 1.4f);
    if (tower) {
      tower->params.animationSet = 0;
      tower->params.animationSpeed = 1.0f;
      tower->params.animationType = ANIM_LOOP_FORWARD;
      tower->params.end = 1000;
    }
    Place(snake, 1.2f, -0.2f, 0, 1.4f);
    if (snake) {
      // The first two keys wave, the others twist.
      snake->params.animationSet = k < 2 ? 0 : 1;
      snake->params.animationSpeed = 1.0f + 0.5f * float(k);
      snake->params.animationType = ANIM_LOOP_FORWARD;
      snake->params.end = 1000;
      snake->params.iRotLinks[0] = kSlowDrift;
    }
  });
}

// 4: metaballs and a generated mesh, breathing with the music.
void BlobsSlide(SlideBuilder& b) {
  StandaloneShow& s = b.show;
  SkyBox(s, 2, 100);
  SetLight(s, 0.0f, 1.0f, -1.0f);
  CMesh* balls = b.Mesh(kEntryMetaballs, 11);
  CMesh* gen = b.Mesh(kEntryGenerated, 9);
  const PostProcessCombination blur = PostProcessCombination::Blur;
  PostProcess(s, &blur);
  b.setters.push_back([&s, balls, gen](int k) {
    SetCamera(s, 0, 0.5f, -4.0f + 0.3f * float(k));
    s.scene.GetCameraObject()->lookAtLinks[1] = kSineSway;
    Place(balls, -1.0f, 0, 0, 1.5f);
    Colour(balls, 0.9f, 0.3f, 0.8f);
    if (balls) {
      balls->params.renderer = 1;
      balls->params.Reflectivity = 50;
      for (auto& l : balls->params.iScaleLinks) l = kBassPulse;
    }
    Place(gen, 1.3f, 0, 0, 1.0f);
    Colour(gen, 0.3f, 1.0f, 0.7f);
    if (gen) {
      gen->params.start = 0;
      gen->params.end = std::min(100, 30 + 25 * k);  // the shape grows key by key
      gen->params.iRot[0] = float(k) * kPi / 2;
      gen->params.iRotLinks[1] = kBeatTurn;
    }
  });
}

// 5: the particle fountain beside a spinning sphere in a red cloud.
void FountainSlide(SlideBuilder& b) {
  StandaloneShow& s = b.show;
  SkyBox(s, 5, 100);
  SetLight(s, 0.6f, 0.8f, -0.4f);
  CMesh* fountain = b.Mesh(kEntryParticles, 5);
  CMesh* sphere = b.Mesh(kEntrySphere, 1);
  PostProcess(s, nullptr);
  b.setters.push_back([&s, fountain, sphere](int k) {
    SetCamera(s, 1.5f * std::cos(float(k)), 1.0f, -5.0f);
    Place(fountain, 0, -1.0f, 0, 1.0f);
    Place(sphere, 0, 0.8f, 0, 0.7f);
    if (sphere) {
      sphere->params.renderer = 3;
      sphere->params.Reflectivity = 70;
      sphere->params.iRotLinks[0] = kBeatTurn;
      sphere->params.iPosLinks[0] = kSineSway;
    }
  });
}

// 6: everything together for the finale.
void FinaleSlide(SlideBuilder& b) {
  StandaloneShow& s = b.show;
  SkyBox(s, 4, 100);
  SetLight(s, 0.0f, 1.0f, -1.0f);
  CMesh* text = b.Mesh(kEntryThanks, 4, u"THANK YOU");
  CMesh* cube = b.Mesh(kEntryCube, 1);
  CMesh* balls = b.Mesh(kEntryMetaballs, 11);
  const PostProcessCombination bloom = PostProcessCombination::Bloom;
  PostProcess(s, &bloom);
  b.setters.push_back([&s, text, cube, balls](int k) {
    SetCamera(s, 0, 0.3f, -5.0f + 0.5f * float(k));
    Place(text, 0, 0.9f, 0, 2.0f);
    Colour(text, 1.0f, 1.0f, 1.0f);
    if (text) {
      text->params.iScaleLinks[0] = kBassPulse;
      text->params.iRotLinks[1] = kSineSway;
    }
    Place(cube, -1.5f, -0.8f, 0, 0.6f);
    if (cube) cube->params.iRotLinks[0] = kBeatTurn;
    Place(balls, 1.5f, -0.8f, 0, 1.0f);
    Colour(balls, 0.2f, 0.8f, 1.0f);
  });
}

using SlideFn = void (*)(SlideBuilder&);
struct SlideDef {
  const char* title;
  SlideFn build;
};
constexpr SlideDef kSlides[] = {
    {"Title: 3D text and a torus, bloom", TitleSlide},
    {"Shapes: static meshes on the bass, edge glow", ShapesSlide},
    {"Creatures: hierarchy and skinned animation, depth of field", CreaturesSlide},
    {"Blobs: metaballs and a generated mesh, blur", BlobsSlide},
    {"Fountain: particles and a glass sphere", FountainSlide},
    {"Finale: thank you, bloom", FinaleSlide},
};

int SumFrames(const std::vector<int>& d) {
  int n = 0;
  for (int v : d) n += v;
  return n;
}

bool CopyEffects(const std::filesystem::path& from, const std::filesystem::path& to, std::string& error) {
  std::error_code ec;
  if (from.empty() || !std::filesystem::is_directory(from)) {
    error = "no effect folder at " + from.string();
    return false;
  }
  std::filesystem::remove_all(to, ec);
  std::filesystem::copy(from, to, std::filesystem::copy_options::recursive, ec);
  if (ec) error = "could not copy the effects: " + ec.message();
  return !ec;
}

}  // namespace

std::vector<DemoSlideInfo> DemoSlides(bool shortShow) {
  std::vector<DemoSlideInfo> v;
  for (const auto& d : kSlides) v.push_back({d.title, SumFrames(Durations(shortShow, kSlideFrames))});
  return v;
}

double DemoShowSeconds(bool shortShow) {
  int frames = 0;
  for (const auto& s : DemoSlides(shortShow)) frames += s.frames;
  return frames / 25.0;
}

bool BuildDemoShow(const std::filesystem::path& folder, const DemoOptions& options, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(folder / "media" / "music", ec);
  if (ec) {
    error = "could not make " + folder.string() + ": " + ec.message();
    return false;
  }
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  struct Back {
    std::filesystem::path p;
    ~Back() {
      std::error_code e;
      std::filesystem::current_path(p, e);
    }
  } back{previous};

  if (!CopyEffects(options.fxSource, "fx", error)) return false;
  if (!WriteDemoMedia(".", error)) return false;
  // The music outlasts the show a little, so it never stops before the end.
  if (!WriteFlac(std::filesystem::path("media") / "music" / kTrack, SynthesiseMusic(DemoShowSeconds(options.shortShow) + 3.0))) {
    error = "could not write the music";
    return false;
  }
  ObjectCatalog().LoadFile();

  // Panels built as the player builds them: the slides keep the player's
  // panel places, not unbuilt dialogs at the corner.
  StandaloneShow list;
  list.BuildPanels();
  int number = 0;
  for (const auto& def : kSlides) {
    StandaloneShow show;
    show.BuildPanels();
    show.CreateDevice();
    // Meshes load on the recording device, so part and face counts are real.
    SetMeshLoadContext(MeshLoadContext{show.Device(), nullptr, nullptr, nullptr});
    show.postProcess.OnCreateDevice(*show.Device());
    show.sound.OpenTrack(kTrack);
    show.sound.SetVolume(255);
    show.sound.EnableSound(true);
    SlideBuilder b{show, {}};
    def.build(b);
    const std::vector<int> durations = Durations(options.shortShow, kSlideFrames);
    b.Keys(durations);

    list.sequence.Insert();
    SlideRecord& r = list.sequence.Slides().back();
    r.durationMs = SumFrames(durations) * 40;
    const bool saved = show.sequence.SaveSlide(mv::io::FixedView(r.path, SlideRecord::kPathUnits));
    SetMeshLoadContext(MeshLoadContext{});
    if (!saved) {
      error = "could not write slide " + std::to_string(number);
      return false;
    }
    ++number;
  }
  ObjectCatalog().Free();

  std::ofstream out(std::filesystem::path("media") / "sequence.mv", std::ios::binary | std::ios::trunc);
  mv::io::WriteI32(out, MV_TYPE_SEQUENCE);
  list.sequence.Write(out);
  if (!out) {
    error = "could not write media/sequence.mv";
    return false;
  }
  return true;
}

}  // namespace mv::demo
