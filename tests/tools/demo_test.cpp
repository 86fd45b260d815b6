// The demo show generator: what it writes is what the player reads, the way
// the player reads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <glm/geometric.hpp>
#include <sndfile.h>

#include "DemoMedia.h"
#include "DemoMusic.h"
#include "DemoShow.h"
#include "audio/SoundManager.h"
#include "framework/PanelTexture.h"
#include "gfx/Dds.h"
#include "gfx/XFile.h"
#include "model/SceneObjects.h"
#include "model/TimeLine.h"
#include "scene/Catalog.h"
#include "sequence/StandaloneShow.h"

namespace fs = std::filesystem;
using namespace mv::demo;

namespace {

std::vector<std::uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}

// One short show for every test of this file.
class DemoShowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder() = fs::temp_directory_path() / ("mv-demo-test-" + std::to_string(::getpid()));
    fs::remove_all(folder());
    DemoOptions o;
    o.shortShow = true;
    o.fxSource = fs::path(MV_SOURCE_DIR) / "fx";
    std::string error;
    built() = BuildDemoShow(folder(), o, error);
    message() = error;
  }
  static void TearDownTestSuite() { fs::remove_all(folder()); }
  static fs::path& folder() {
    static fs::path p;
    return p;
  }
  static bool& built() {
    static bool b = false;
    return b;
  }
  static std::string& message() {
    static std::string m;
    return m;
  }
  void SetUp() override {
    ASSERT_TRUE(built()) << message();
    previous_ = fs::current_path();
    fs::current_path(folder());
  }
  void TearDown() override { fs::current_path(previous_); }
  fs::path previous_;
};

// The face's winding (clockwise seen from where it faces, for a left-handed
// device) agrees with the normals in `share` of the faces.
double FacesAlongNormals(const gfx::XMesh& m) {
  std::size_t along = 0, faces = 0;
  for (std::size_t i = 0; i + 2 < m.indices.size(); i += 3, ++faces) {
    const gfx::Vec3 a = m.positions[m.indices[i]], b = m.positions[m.indices[i + 1]], c = m.positions[m.indices[i + 2]];
    const gfx::Vec3 n = m.normals[m.indices[i]] + m.normals[m.indices[i + 1]] + m.normals[m.indices[i + 2]];
    if (glm::dot(glm::cross(b - a, c - a), n) > 0) ++along;
  }
  return faces ? double(along) / double(faces) : 0.0;
}

}  // namespace

TEST_F(DemoShowTest, CatalogHoldsAnEntryOfEveryKindTheShowUses) {
  std::ifstream in("media/mesh/objects.mesh");
  Catalog catalog;
  ASSERT_EQ(catalog.Load(in), std::size_t(kEntryCount));
  const std::pair<int, std::int32_t> kinds[] = {{kEntryCube, 1},      {kEntryTower, 1},      {kEntrySnake, 7},
                                                {kEntryTitle, 4},     {kEntryGenerated, 9},  {kEntryMetaballs, 11},
                                                {kEntryParticles, 5}, {kEntryLayerText, 10}};
  for (auto [entry, kind] : kinds) EXPECT_EQ(catalog.Get(entry)->kind, kind) << entry;
  EXPECT_EQ(catalog.Get(kEntryTitle)->number, 24);
  EXPECT_EQ(std::u16string(catalog.Get(kEntrySnake)->file), u"media\\mesh\\snake.x");
}

TEST_F(DemoShowTest, MeshFilesReadBackWithTheirHierarchyBonesAndAnimations) {
  std::shared_ptr<const gfx::XFileData> snake, tower, cube, sky;
  std::string error;
  ASSERT_EQ(gfx::ParseXFile("media/mesh/snake.x", &snake, &error), gfx::S_OK) << error;
  ASSERT_EQ(gfx::ParseXFile("media/mesh/tower.x", &tower, &error), gfx::S_OK) << error;
  ASSERT_EQ(gfx::ParseXFile("media/mesh/cube.x", &cube, &error), gfx::S_OK) << error;
  ASSERT_EQ(gfx::ParseXFile("media/skybox/skybox2.x", &sky, &error), gfx::S_OK) << error;

  ASSERT_EQ(snake->meshes.size(), 1u);
  EXPECT_EQ(snake->meshes[0].bones.size(), 3u);
  ASSERT_EQ(snake->animationSets.size(), 2u);
  EXPECT_EQ(snake->animationSets[0].name, "Wave");
  EXPECT_EQ(snake->animationSets[1].name, "Twist");
  EXPECT_EQ(snake->animationSets[0].ticksPerSecond, 4800.0);
  // Every vertex's weights add up to one.
  std::vector<float> sum(snake->meshes[0].positions.size(), 0.0f);
  for (const auto& bone : snake->meshes[0].bones)
    for (std::size_t i = 0; i < bone.vertices.size(); ++i) sum[bone.vertices[i]] += bone.weights[i];
  for (float s : sum) EXPECT_NEAR(s, 1.0f, 1e-4f);

  // Tower > Column > Arm > two lamps, each part a mesh of its own.
  auto frame = [&](const std::string& name) {
    for (std::size_t i = 0; i < tower->frames.size(); ++i)
      if (tower->frames[i].name == name) return int(i);
    return -1;
  };
  ASSERT_GE(frame("Arm"), 0);
  EXPECT_EQ(tower->frames[std::size_t(frame("Arm"))].parent, frame("Column"));
  EXPECT_EQ(tower->frames[std::size_t(frame("LampLeft"))].parent, frame("Arm"));
  EXPECT_EQ(tower->frames[std::size_t(frame("Column"))].parent, frame("Tower"));
  EXPECT_GE(tower->meshes.size(), 5u);
  ASSERT_EQ(tower->animationSets.size(), 1u);
  EXPECT_EQ(tower->animationSets[0].channels.at(0).frame, "Arm");

  ASSERT_EQ(cube->materials.size(), 1u);
  EXPECT_EQ(cube->materials[0].textureFile, "checker.dds");
  // Solid meshes face out; the sky box faces the viewer inside it.
  EXPECT_EQ(FacesAlongNormals(cube->meshes[0]), 1.0);
  EXPECT_EQ(FacesAlongNormals(sky->meshes[0]), 1.0);
  const auto& s = sky->meshes[0];
  for (std::size_t i = 0; i < s.normals.size(); i += 17) EXPECT_LT(glm::dot(s.normals[i], s.positions[i]), 0.0f);
}

TEST_F(DemoShowTest, EverySkyBoxRowFindsItsMeshAndCubeMap) {
  for (int row = 0; row < SkyBoxManager::kSkyBoxCount; ++row) {
    SkyBoxManager sky;
    const SkyBoxEntry& e = sky.GetEntry(row);
    std::string mesh, cube;
    for (char16_t c : std::u16string(e.meshFile)) mesh += c == u'\\' ? '/' : char(c);
    for (char16_t c : std::u16string(e.cubeMapFile)) cube += c == u'\\' ? '/' : char(c);
    EXPECT_TRUE(fs::exists(mesh)) << mesh;
    const auto bytes = ReadAll(cube);
    std::string error;
    const auto img = gfx::ReadDds(bytes, error);
    ASSERT_TRUE(img) << cube << ": " << error;
    EXPECT_TRUE(img->IsCube()) << cube;
    EXPECT_EQ(U32(bytes, 112), 0xFE00u) << cube;  // all six faces
  }
}

// The dialogs name these two; the show carries our own, as the player would
// draw them without the files.
TEST_F(DemoShowTest, PanelTexturesAreTheGeneratedOnes) {
  const struct {
    const char* file;
    fw::PanelTexture which;
  } textures[] = {{"media/GUI/Widget2.dds", fw::PanelTexture::Widget2},
                  {"media/GUI/Widget3.dds", fw::PanelTexture::Widget3}};
  for (const auto& t : textures) {
    std::string error;
    const auto img = gfx::ReadDds(ReadAll(t.file), error);
    ASSERT_TRUE(img) << t.file << ": " << error;
    const gfx::Image want = fw::MakePanelTexture(t.which);
    EXPECT_EQ(img->width, want.width) << t.file;
    EXPECT_EQ(img->height, want.height) << t.file;
    EXPECT_TRUE(img->levels[0].data == want.levels[0].data) << t.file;
  }
}

TEST(DemoMedia, CubeMapFacesLookWhereTheyPoint) {
  // Evening sky: the +Y face (up) is the sky, the -Y face the dark ground.
  const gfx::Image img = MakeCubeMap("stpeters_cross", 16);
  ASSERT_EQ(img.faces, 6);
  auto brightness = [&](int face) {
    double sum = 0;
    for (std::size_t i = 0; i < img.Level(face, 0).data.size(); i += 4)
      sum += img.Level(face, 0).data[i] + img.Level(face, 0).data[i + 1] + img.Level(face, 0).data[i + 2];
    return sum;
  };
  EXPECT_GT(brightness(2), 3 * brightness(3));
  // The +X face's top row looks up more than its bottom row: redder horizon below.
  const auto& px = img.Level(0, 0).data;
  EXPECT_GT(px[2], px[(15 * 16) * 4 + 2]);  // blue at the top, less at the bottom
}

TEST(DemoMedia, ValueFileHoldsOneWordThenTenGroupsOfFour) {
  const auto words = DemoValueScripts();
  ASSERT_EQ(words.size(), 41u);
  const auto bytes = ValueFileBytes(words);
  ASSERT_EQ(bytes.size(), 164u);
  // Script 1 (the bass pulse): Factor 1, Nbr = BassValue, V + Nbr × Factor, end.
  const std::uint8_t script1[16] = {10, 0, 0, 0, 15, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(bytes.data() + 4 + 16, script1, 16), 0);
}

TEST(DemoMusic, KicksOnTheBeatAndABassLineBetween) {
  const auto music = SynthesiseMusic(4.0);
  ASSERT_EQ(music.size(), std::size_t(4 * kMusicRate * 2));
  // Low-passed energy in 40 ms windows: at each beat, and half way between.
  auto energy = [&](double from) {
    double low = 0, e = 0;
    for (int i = 0; i < kMusicRate / 25; ++i) {
      const std::size_t f = std::size_t(from * kMusicRate) + std::size_t(i);
      low += (double(music[2 * f]) - low) * 0.02;
      e += low * low;
    }
    return e;
  };
  for (int beat = 1; beat < 7; ++beat) {
    const double on = energy(beat * 0.5), off = energy(beat * 0.5 + 0.3);
    EXPECT_GT(on, 3 * off) << beat;
    EXPECT_GT(off, 0.0) << beat;  // the bass goes on between the kicks
  }
  for (float v : music) ASSERT_LE(std::fabs(v), 1.0f);
}

TEST(DemoMusic, FlacReadsBackAsWritten) {
  const auto music = SynthesiseMusic(0.5);
  const fs::path p = fs::temp_directory_path() / ("mv-demo-music-" + std::to_string(::getpid()) + ".flac");
  ASSERT_TRUE(WriteFlac(p, music));
  SF_INFO info{};
  SNDFILE* f = sf_open(p.string().c_str(), SFM_READ, &info);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_FLAC);
  EXPECT_EQ(info.channels, 2);
  ASSERT_EQ(info.frames, sf_count_t(music.size() / 2));
  std::vector<float> back(music.size());
  sf_readf_float(f, back.data(), info.frames);
  sf_close(f);
  fs::remove(p);
  for (std::size_t i = 0; i < music.size(); i += 101) EXPECT_NEAR(back[i], music[i], 1.0 / 16384) << i;
}

TEST_F(DemoShowTest, TheBassBandsReactFromTheFirstSecond) {
  SoundManager sound(std::make_unique<mv::audio::SoundSystem>(mv::audio::SoundBackend::Offline));
  ASSERT_TRUE(sound.LoadSettings());
  ASSERT_TRUE(sound.OpenTrack("demo-beat.flac"));
  sound.SetVolume(255);
  sound.EnableSound(true);
  sound.Play();
  float high = 0, low = 1;
  for (int frame = 0; frame < 25; ++frame) {
    sound.System().Advance(0.04);
    sound.AnalyseSpectrum();
    if (frame >= 2) high = std::max(high, sound.GetBandLevel()), low = std::min(low, sound.GetBandLevel());
  }
  EXPECT_GT(high, 0.3f);
  EXPECT_LT(low, high * 0.5f);  // it pulses, not a steady level
}

TEST_F(DemoShowTest, SlidesLoadWithTheirObjectsKeysAndChains) {
  StandaloneShow show;
  std::ifstream seq("media/sequence.mv", std::ios::binary);
  std::int32_t tag = 0;
  seq.read(reinterpret_cast<char*>(&tag), 4);
  ASSERT_EQ(tag, 7);
  show.sequence.Read(seq);
  const auto slides = show.sequence.Slides();
  ASSERT_EQ(slides.size(), DemoSlides(true).size());
  std::vector<int> kindsSeen(12, 0), chains;
  for (const SlideRecord& r : slides) {
    ASSERT_TRUE(show.sequence.LoadSlide(std::u16string_view(r.path))) << r.number;
    const int objects = show.scene.GetObjectCount();
    EXPECT_GT(objects, 4);
    int keys = -1;
    for (int i = 0; i < objects; ++i) {
      const CSceneObject* o = show.scene.GetObject(i);
      ++kindsSeen[std::size_t(std::clamp(o->kind, 0, 11))];
      ASSERT_NE(o->timeLine, nullptr);
      if (keys < 0) keys = o->timeLine->GetKeyCount();
      EXPECT_EQ(o->timeLine->GetKeyCount(), keys) << "slide " << r.number << " object " << i;
    }
    int frames = 0;
    for (int k = 0; k < keys; ++k) frames += show.scene.GetObject(0)->timeLine->GetKeyTime(k);
    EXPECT_EQ(frames * 40, r.durationMs);
    chains.push_back(show.postProcess.GetEntryCount());
  }
  for (int kind : {1, 4, 5, 7, 9, 11}) EXPECT_GT(kindsSeen[std::size_t(kind)], 0) << kind;
  // Bloom (9 effects), edge glow (5), depth of field (7), blur (6) and none.
  for (int n : {10, 6, 8, 7, 1}) EXPECT_NE(std::find(chains.begin(), chains.end(), n), chains.end()) << n;
}

// The slides keep the panels where the player's start-up builds them, open:
// with every panel moved away and closed, each slide puts them back.
TEST_F(DemoShowTest, SlidesPutThePanelsWhereThePlayerBuildsThem) {
  StandaloneShow show;
  show.BuildPanels();
  std::ifstream seq("media/sequence.mv", std::ios::binary);
  std::int32_t tag = 0;
  seq.read(reinterpret_cast<char*>(&tag), 4);
  show.sequence.Read(seq);
  const auto slides = show.sequence.Slides();
  ASSERT_FALSE(slides.empty());
  const struct {
    const char* name;
    CDXUTDialog& dialog;
    int x, y;
  } panels[] = {{"device", show.device.GetDialog(), 100, 200},
                {"scene", show.scene.Panel(), 1060, 10},
                {"sound", show.sound.Panel(), 840, 10},
                {"animation", show.animation.Panel(), 384, 65},
                {"values", show.values.GetDialog(), 800, 220}};
  for (const SlideRecord& r : slides) {
    for (const auto& p : panels) {
      p.dialog.SetLocation(3, 4);
      p.dialog.SetMinimized(true);
    }
    ASSERT_TRUE(show.sequence.LoadSlide(std::u16string_view(r.path))) << r.number;
    for (const auto& p : panels) {
      EXPECT_EQ(p.dialog.GetX(), p.x) << p.name << ", slide " << r.number;
      EXPECT_EQ(p.dialog.GetY(), p.y) << p.name << ", slide " << r.number;
      EXPECT_FALSE(p.dialog.GetMinimized()) << p.name << ", slide " << r.number;
    }
  }
}
