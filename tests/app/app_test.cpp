#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "app/App.h"
#include "app/Bindings.h"
#include "audio/SoundManager.h"
#include "audio/SoundSettings.h"
#include "core/Globals.h"
#include "effects/DeviceManager.h"
#include "effects/SkyBoxManager.h"
#include "gfx/Font.h"
#include <cstring>
#include "effects/RenderTargetChain.h"
#include "framework/Framework.h"
#include "gfx/RecordingDevice.h"
#include "gui/Gui.h"
#include "io/BinaryIO.h"
#include "io/Utf16.h"
#include "scene/Catalog.h"
#include "scene/SceneManager.h"
#include "sequence/SequenceManager.h"
#include "support/SceneEffectText.h"
#include "support/TempWorkDir.h"
#include "effects/QuadVertex.h"

// ctest runs each test in a process of its own; run whole or shuffled, each
// test still sets up the global state it relies on.

using mv::test::TempWorkDir;

namespace {

const std::string kSequence = "media/sequence.mv";

std::string Le32(std::int32_t v) {
  std::ostringstream os;
  mv::io::WriteI32(os, v);
  return os.str();
}

std::string Prefs(std::int32_t x, std::int32_t y, bool minimized) {
  return Le32(x) + Le32(y) + std::string(1, minimized ? '\1' : '\0');
}

std::string Records(int n, std::int32_t firstDuration = 1000) {
  std::vector<SlideRecord> slides(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    slides[i].number = static_cast<std::uint32_t>(i);
    slides[i].durationMs = firstDuration + i;
    mv::io::CopyToFixed(slides[i].path, 260, mv::io::Utf8ToUtf16("media\\DSlide" + std::to_string(i)));
  }
  std::ostringstream os;
  mv::seq::WriteSlideList(os, slides);
  return os.str().substr(4);  // without the count
}

std::u16string MessageText() {
  auto* s = static_cast<CDXUTStatic*>(
      g_SequenceManager.MessageDialog().GetControl(SequenceManager::IDC_MSG_TEXT, DXUT_CONTROL_STATIC));
  return s ? std::u16string(s->GetText()) : u"";
}

// The bytes a show of `n` slides leaves at exit with the panel where it was
// built (116, 65, not minimized).
std::string ExpectedSequence(const std::string& records, int count) {
  return Le32(7) + Prefs(116, 65, false) + Le32(count) + records;
}

}  // namespace

TEST(StartUp, WithoutSequenceFileTheShowIsEmptyAndTheWarningComesOnce) {
  TempWorkDir dir;
  std::filesystem::create_directories("media");
  std::istringstream empty(Prefs(0, 0, false) + Le32(0));
  g_SequenceManager.Read(empty);
  EXPECT_FALSE(InitApp());
  EXPECT_TRUE(g_SequenceManager.Slides().empty());
  EXPECT_EQ(MessageText(), u"Welcome to morvane");

  g_bPreferencesLoaded = false;
  g_SequenceManager.FrameMove(0.04f);
  EXPECT_EQ(MessageText(), u"Error when loading preference file...");
  EXPECT_TRUE(g_bPreferencesLoaded);

  // Dismissed, it does not come back.
  g_SequenceManager.MessageDialog().SetVisible(false);
  g_SequenceManager.FrameMove(0.04f);
  EXPECT_FALSE(g_SequenceManager.MessageDialog().GetVisible());

  ASSERT_TRUE(CloseApp());
  EXPECT_EQ(dir.Read(kSequence), ExpectedSequence("", 0));
  EXPECT_EQ(dir.Read(kSequence).size(), 17u);
}

TEST(StartUp, DamagedSequenceFilesGiveAnEmptyShow) {
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"foreign tag", Le32(3) + Prefs(1, 2, false) + Le32(1) + Records(1)},
      {"fewer than 4 bytes", std::string("\x07\x00", 2)},
      {"empty", ""},
  };
  for (const auto& c : cases) {
    TempWorkDir dir;
    dir.Write(kSequence, c.bytes);
    // Each case in this process reuses the globals: reset the list first.
    std::istringstream empty(Prefs(0, 0, false) + Le32(0));
    g_SequenceManager.Read(empty);
    EXPECT_FALSE(InitApp()) << c.name;
    EXPECT_TRUE(g_SequenceManager.Slides().empty()) << c.name;
    // Overwritten at exit with tag 7 and the (empty) list.
    ASSERT_TRUE(CloseApp()) << c.name;
    EXPECT_EQ(dir.Read(kSequence).substr(0, 4), Le32(7)) << c.name;
    EXPECT_EQ(dir.Read(kSequence).size(), 17u) << c.name;
  }
}

TEST(StartUp, TwelveSlidesSurviveARestart) {
  TempWorkDir dir;
  const std::string records = Records(12);
  dir.Write(kSequence, Le32(7) + Prefs(-30, 900, true) + Le32(12) + records);
  ASSERT_TRUE(InitApp());
  ASSERT_EQ(g_SequenceManager.Slides().size(), 12u);
  EXPECT_EQ(g_SequenceManager.Current(), 0u);
  EXPECT_EQ(g_SequenceManager.LastLoaded(), SequenceManager::kNone);
  EXPECT_EQ(g_SequenceManager.GetRemaining(), 1000);
  EXPECT_EQ(g_SequenceManager.Panel().GetX(), -30);
  EXPECT_TRUE(g_SequenceManager.Panel().GetMinimized());
  ASSERT_TRUE(CloseApp());
  EXPECT_EQ(dir.Read(kSequence), Le32(7) + Prefs(-30, 900, true) + Le32(12) + records);
}

TEST(StartUp, CountsThatDisagreeWithTheRecords) {
  struct Case {
    std::int32_t count;
    int present;
    std::size_t expect;
  };
  const Case cases[] = {{1000000, 3, 3}, {0, 2, 0}, {-1, 2, 0}, {11, 11, 11}};
  for (const auto& c : cases) {
    TempWorkDir dir;
    dir.Write(kSequence, Le32(7) + Prefs(0, 0, false) + Le32(c.count) + Records(c.present));
    std::istringstream empty(Prefs(0, 0, false) + Le32(0));
    g_SequenceManager.Read(empty);
    EXPECT_TRUE(InitApp()) << c.count;
    EXPECT_EQ(g_SequenceManager.Slides().size(), c.expect) << c.count;
  }
}

TEST(StartUp, AShortRecordIsKeptAsRead) {
  TempWorkDir dir;
  std::string bytes = Le32(7) + Prefs(0, 0, false) + Le32(2) + Records(2);
  bytes.resize(bytes.size() - 500);
  dir.Write(kSequence, bytes);
  ASSERT_TRUE(InitApp());
  ASSERT_EQ(g_SequenceManager.Slides().size(), 2u);
  EXPECT_EQ(g_SequenceManager.Slides()[1].number, 1u);
}

TEST(ShutDown, AFailedWriteKeepsThePreviousFile) {
  TempWorkDir dir;
  const std::string good = Le32(7) + Prefs(0, 0, false) + Le32(1) + Records(1);
  dir.Write(kSequence, good);
  ASSERT_TRUE(InitApp());
  // A folder where the temporary file would go makes the write fail.
  std::filesystem::create_directories("media/sequence.mv.tmp-" + std::to_string(::getpid()));
  EXPECT_FALSE(CloseApp());
  EXPECT_EQ(dir.Read(kSequence), good);
}

// The sound settings come back on the next start and go out at exit
// beside the sequence file, which keeps its bytes.
TEST(StartUp, SoundSettingsSurviveARestart) {
  TempWorkDir dir;
  const std::string show = Le32(7) + Prefs(0, 0, false) + Le32(1) + Records(1);
  dir.Write(kSequence, show);
  dir.Write("media/sound.toml", "[analysis]\nbands = [1, 2]\nthreshold = 30\n[sync]\noffset_ms = 80\n");
  ASSERT_TRUE(InitApp());
  EXPECT_TRUE(g_SoundManager.Bands().selected[1]);
  EXPECT_TRUE(g_SoundManager.Bands().selected[2]);
  EXPECT_FALSE(g_SoundManager.Bands().selected[3]);
  EXPECT_EQ(g_SoundManager.Bands().threshold, 30.0f);
  EXPECT_EQ(g_SoundManager.System().AnalysisOffsetMs(), 80);
  g_SoundManager.Bands().selected[3] = true;
  ASSERT_TRUE(CloseApp());
  EXPECT_EQ(dir.Read(kSequence), show);
  mv::audio::SoundSettingsRead read = mv::audio::ReadSoundSettings("media/sound.toml");
  ASSERT_EQ(read.status, mv::audio::SoundSettingsRead::Status::Read);
  EXPECT_TRUE(read.settings.selected[1] && read.settings.selected[2] && read.settings.selected[3]);
  EXPECT_EQ(read.settings.threshold, 30);
  EXPECT_EQ(read.settings.syncOffsetMs, 80);
  // Without the file the next start is the panel's: nothing selected.
  std::filesystem::remove("media/sound.toml");
  ASSERT_TRUE(InitApp());
  EXPECT_EQ(std::count(g_SoundManager.Bands().selected.begin(), g_SoundManager.Bands().selected.end(), true), 0);
  EXPECT_EQ(g_SoundManager.System().AnalysisOffsetMs(), 0);
}

TEST(ShutDown, NoMediaFolderMeansNoFileAndFalse) {
  TempWorkDir dir;
  EXPECT_FALSE(InitApp());
  EXPECT_FALSE(CloseApp());
  EXPECT_FALSE(std::filesystem::exists(kSequence));
}

namespace {

std::vector<std::string> Steps() {
  const auto& t = mv::app::Trace();
  return std::vector<std::string>(t.steps, t.steps + t.count);
}

// Records the steps of one test only: whatever ran before starts no trace,
// and what runs after finds recording off.
struct ScopedTrace {
  ScopedTrace() {
    mv::app::Trace().Clear();
    mv::app::Trace().enabled = true;
  }
  ~ScopedTrace() {
    mv::app::Trace().enabled = false;
    mv::app::Trace().Clear();
  }
};

}  // namespace

TEST(FrameLoop, FrameMoveRunsTheManagersInOrder) {
  TempWorkDir dir;
  ScopedTrace trace;
  OnFrameMove(1.0, 0.04f, nullptr);
  EXPECT_EQ(Steps(), (std::vector<std::string>{"sound.analyse", "scene.framemove", "sequence.framemove",
                                               "animation.update"}));
}

TEST(FrameLoop, FrameRenderOrderWithGuiHiddenAndShown) {
  TempWorkDir dir;
  auto device = gfx::CreateRecordingDevice(1920, 1080);
  ScopedTrace trace;

  g_bGuiHidden = true;
  OnFrameRender(device.get(), 1.0, 0.04f, nullptr);
  EXPECT_EQ(Steps(), (std::vector<std::string>{"clear", "skybox.render", "scene.render", "values.update",
                                               "chains.flip", "targets.unbind", "postprocess.render", "compose",
                                               "endscene", "sound.checktrack"}));

  mv::app::Trace().Clear();
  g_bGuiHidden = false;
  OnFrameRender(device.get(), 1.0, 0.04f, nullptr);
  EXPECT_EQ(Steps(), (std::vector<std::string>{"clear", "skybox.render", "scene.render", "panels.refresh",
                                               "values.update", "chains.flip", "targets.unbind",
                                               "postprocess.render", "compose", "overlay", "endscene",
                                               "sound.checktrack"}));

  // The frame begins with the clear colour 0x000A1428, depth 1, stencil 0.
  const auto clears = device->Find(gfx::RecordedEvent::Kind::Clear);
  ASSERT_FALSE(clears.empty());
  EXPECT_EQ(clears[0]->value, 0x000A1428u);
  EXPECT_EQ(clears[0]->index, int(gfx::CLEAR_TARGET | gfx::CLEAR_ZBUFFER));
  ASSERT_EQ(clears[0]->values.size(), 1u);
  EXPECT_EQ(clears[0]->values[0], 1.0f);
  // Every scene that begins also ends.
  EXPECT_EQ(device->Find(gfx::RecordedEvent::Kind::BeginScene).size(),
            device->Find(gfx::RecordedEvent::Kind::EndScene).size());
}

// What one frame leaves on the device, GUI hidden and shown: the clear, the
// scene, the render targets put back, then the composition into the whole
// back buffer or the device panel's rectangle (image and two bars), the
// overlay only when shown, and one end of scene for the composition's.
TEST(FrameLoop, AFrameReachesTheDeviceInOrder) {
  TempWorkDir dir;
  dir.Write("fx/reflectori.fxo", mv::test::SceneEffectText());
  // A sky box left by an earlier test would draw inside the scene: this
  // frame has none (a failed load keeps the previous box).
  g_SkyBoxManager.OnDestroyDevice();
  auto device = gfx::CreateRecordingDevice(1920, 1080);
  const gfx::BackBufferDesc bb = device->GetBackBufferDesc();
  g_DeviceManager.SetViewSize(640, 400);
  g_DeviceManager.BuildPanel(1920, 1080);
  ASSERT_EQ(DeviceManager::OnCreateDevice(device.get(), bb, &g_DeviceManager), 0);
  ASSERT_EQ(DeviceManager::OnResetDevice(device.get(), bb, &g_DeviceManager), 0);
  std::shared_ptr<gfx::Surface> backBuffer = device->GetBackBuffer();

  using K = gfx::RecordedEvent::Kind;
  for (const bool hidden : {true, false}) {
    g_bGuiHidden = hidden;
    device->ClearEvents();
    OnFrameRender(device.get(), 1.0, 0.04f, nullptr);
    std::vector<K> kinds;
    std::vector<const gfx::RecordedEvent*> draws;
    for (const auto& e : device->Events()) {
      if (e.kind == K::Clear || e.kind == K::BeginScene || e.kind == K::EndScene || e.kind == K::SetRenderTarget)
        kinds.push_back(e.kind);
      if (e.kind == K::Draw) {
        kinds.push_back(e.kind);
        draws.push_back(&e);
      }
    }
    // Clear, the scene's begin and end, render target 0 back, then the
    // composition's scene with the image and the bars; the overlay's text
    // batches follow when shown; one end.
    // Whatever the scene binds pass by pass stays inside its begin and end;
    // with no sky box to cover them the scene targets are cleared there.
    std::vector<K> insideScene;
    for (std::size_t i = 2; i < kinds.size() && (kinds[i] == K::SetRenderTarget || kinds[i] == K::Clear); ++i)
      insideScene.push_back(kinds[i]);
    EXPECT_NE(std::count(insideScene.begin(), insideScene.end(), K::Clear), 0) << hidden;
    std::vector<K> expected = {K::Clear, K::BeginScene};
    expected.insert(expected.end(), insideScene.begin(), insideScene.end());
    expected.push_back(K::EndScene);
    const auto targets = device->Find(K::SetRenderTarget);
    const auto targetsInside =
        static_cast<std::size_t>(std::count(insideScene.begin(), insideScene.end(), K::SetRenderTarget));
    for (std::size_t i = targetsInside; i < targets.size(); ++i) expected.push_back(K::SetRenderTarget);
    expected.insert(expected.end(), {K::BeginScene, K::Draw, K::Draw, K::Draw});
    const std::size_t overlayDraws = draws.size() - 3;
    for (std::size_t i = 0; i < overlayDraws; ++i) expected.push_back(K::Draw);
    expected.push_back(K::EndScene);
    EXPECT_EQ(kinds, expected) << hidden;
    EXPECT_EQ(overlayDraws > 0, !hidden);
    ASSERT_FALSE(targets.empty());
    EXPECT_EQ(targets.back()->index, 0);
    EXPECT_EQ(targets.back()->surface, backBuffer.get());
    EXPECT_EQ(device->Find(K::Clear)[0]->value, 0x000A1428u);

    ASSERT_GE(draws.size(), 3u);
    EXPECT_EQ(draws[0]->technique, "RenderNoLight");
    QuadVertex v[4];
    ASSERT_EQ(draws[0]->vertices.size(), sizeof v);
    std::memcpy(v, draws[0]->vertices.data(), sizeof v);
    const float x = hidden ? 0.0f : 100.0f, y = hidden ? 0.0f : 200.0f;
    const float w = hidden ? 1920.0f : 640.0f, h = hidden ? 1080.0f : 400.0f;
    EXPECT_EQ(v[0].x, x - 0.5f) << hidden;
    EXPECT_EQ(v[0].y, y - 0.5f) << hidden;
    EXPECT_EQ(v[3].x, x + w - 0.5f) << hidden;
    EXPECT_EQ(v[3].y, y + h - 0.5f) << hidden;
    // Without post-processing the image is the colour scene-save texture.
    const auto tx = device->Find(K::SetParameter, "g_txScene");
    ASSERT_EQ(tx.size(), 2u);
    EXPECT_EQ(tx[0]->texture, g_DeviceManager.GetSceneTexture(0).get());
  }
  g_bGuiHidden = true;
  DeviceManager::OnLostDevice(&g_DeviceManager);
  DeviceManager::OnDestroyDevice(&g_DeviceManager);
  EXPECT_EQ(device->LiveDefaultPoolResources(), 0);
}

// The scene's objects reach the device inside the frame's first scene,
// drawn with the scene effect into the scene-save targets, layer texts
// last, before the composition's scene takes the saved colour to the
// screen; with the GUI hidden and shown.
TEST(FrameLoop, TheSceneIsDrawnInsideTheFirstSceneBeforeTheComposition) {
  TempWorkDir dir;
  dir.Write("fx/reflectori.fxo", mv::test::SceneEffectText());
  auto device = gfx::CreateRecordingDevice(1920, 1080);
  const gfx::BackBufferDesc bb = device->GetBackBufferDesc();
  g_DeviceManager.SetViewSize(640, 400);
  g_DeviceManager.BuildPanel(1920, 1080);
  ASSERT_EQ(DeviceManager::OnCreateDevice(device.get(), bb, &g_DeviceManager), 0);
  ASSERT_EQ(DeviceManager::OnResetDevice(device.get(), bb, &g_DeviceManager), 0);
  // A fresh scene (an earlier device's destruction empties the list).
  auto freshScene = [] {
    std::stringstream fresh;
    SceneManager(ProgramScenePeers()).Write(fresh);
    g_SceneManager.Read(fresh);
  };
  freshScene();
  Catalog catalog;
  std::istringstream entries("0,Secteur,,GENERATEDOBJ,,0,\n#,");
  catalog.Load(entries);
  g_SceneManager.SetCatalog(&catalog);
  g_SceneManager.SetSelectedIndex(3);
  ASSERT_NE(g_SceneManager.InsertObject(OBJ_GENERATED, -1, 0, nullptr, nullptr, -1), nullptr);
  ASSERT_NE(g_SceneManager.InsertObject(OBJ_LAYERTEXT, -1, -1, nullptr, nullptr, -1), nullptr);

  using K = gfx::RecordedEvent::Kind;
  for (const bool hidden : {true, false}) {
    g_bGuiHidden = hidden;
    device->ClearEvents();
    OnFrameRender(device.get(), 1.0, 0.04f, nullptr);
    // Draws by the scene they fall in, with their technique.
    std::vector<std::vector<std::string>> scenes;
    std::vector<const gfx::Surface*> meshTarget;
    const gfx::Surface* target0 = nullptr;
    for (const auto& e : device->Events()) {
      if (e.kind == K::BeginScene) scenes.emplace_back();
      if (e.kind == K::SetRenderTarget && e.index == 0) target0 = e.surface;
      if (e.kind == K::Draw && !scenes.empty()) {
        // The scene effect's techniques by name, the sprite's glyph quads as text.
        const bool sceneEffect = e.effect == g_DeviceManager.GetSceneEffect()->GetDesc().name;
        scenes.back().push_back(sceneEffect ? e.technique : "text");
        if (e.indexed) meshTarget.push_back(target0);
      }
    }
    ASSERT_EQ(scenes.size(), 2u) << hidden;
    ASSERT_GE(scenes[0].size(), 2u) << hidden;
    EXPECT_EQ(scenes[0][0], "RenderScene") << hidden;
    for (std::size_t i = 1; i < scenes[0].size(); ++i) EXPECT_EQ(scenes[0][i], "text") << hidden;
    // The mesh went into the colour scene-save texture's surface.
    ASSERT_EQ(meshTarget.size(), 1u);
    EXPECT_EQ(meshTarget[0], g_DeviceManager.GetPassTarget(0, 0).get());
    ASSERT_FALSE(scenes[1].empty());
    EXPECT_EQ(scenes[1][0], "RenderNoLight") << hidden;
  }
  g_bGuiHidden = true;
  // Back to a fresh scene for whatever runs next in this process.
  freshScene();
  g_SceneManager.SetCatalog(&ObjectCatalog());
  DeviceManager::OnLostDevice(&g_DeviceManager);
  DeviceManager::OnDestroyDevice(&g_DeviceManager);
  EXPECT_EQ(device->LiveDefaultPoolResources(), 0);
}

TEST(FrameLoop, AFailedBeginSceneSkipsOnlyTheSceneSteps) {
  TempWorkDir dir;
  auto device = gfx::CreateRecordingDevice(1920, 1080);
  device->GetSettings().failBeginScene = true;
  ScopedTrace trace;
  g_bGuiHidden = false;
  OnFrameRender(device.get(), 1.0, 0.04f, nullptr);
  EXPECT_EQ(Steps(), (std::vector<std::string>{"clear", "chains.flip", "targets.unbind", "postprocess.render",
                                               "compose", "overlay", "endscene", "sound.checktrack"}));
}

TEST(FrameLoop, RenderTargetZeroIsRestoredAndChainsFlip) {
  TempWorkDir dir;
  auto device = gfx::CreateRecordingDevice(1920, 1080);
  std::shared_ptr<gfx::Surface> before;
  device->GetRenderTarget(0, &before);
  const int next = g_RenderTargetChain[1].GetNext();
  OnFrameRender(device.get(), 1.0, 0.04f, nullptr);
  std::shared_ptr<gfx::Surface> after;
  device->GetRenderTarget(0, &after);
  EXPECT_EQ(before, after);
  EXPECT_EQ(g_RenderTargetChain[1].GetNext(), 1 - next);
}

TEST(FrameLoop, OverlayLinesShowStatisticsAndThePointer) {
  TempWorkDir dir;
  auto device = gfx::CreateRecordingDevice(1920, 1080);
  g_bGuiHidden = false;
  bool stop = false;
  OnMsgProc(nullptr, WM_MOUSEMOVE, 0, MakeLParam(12, 345), &stop, nullptr);
  OnFrameRender(device.get(), 1.0, 0.04f, nullptr);
  EXPECT_STREQ(mv::app::OverlayLine(2), " 12 - 345 -  -1");
}

TEST(Messages, EveryMessageUpdatesThePointer) {
  TempWorkDir dir;
  const UINT messages[] = {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_KEYDOWN, WM_CHAR, WM_SIZE, WM_MOUSEWHEEL, 0x1234};
  int i = 0;
  for (UINT m : messages) {
    bool stop = false;
    const int x = -7 + i * 100, y = 1000 - i;
    EXPECT_EQ(OnMsgProc(nullptr, m, 0, MakeLParam(x, y), &stop, nullptr), 0);
    EXPECT_EQ(g_PointerX, x) << std::hex << m;
    EXPECT_EQ(g_PointerY, y) << std::hex << m;
    ++i;
  }
}

TEST(Messages, APanelThatConsumesAMessageStopsTheRouting) {
  TempWorkDir dir;
  InitApp();
  // The message dialog's "Ok" button at (320 + 100, 200 + caption + 40).
  CDXUTDialog& msg = g_SequenceManager.MessageDialog();
  ASSERT_TRUE(msg.GetVisible());
  const auto origin = msg.GetControlOrigin();
  const LPARAM at = MakeLParam(origin.x + 110, origin.y + 45);
  bool stop = false;
  OnMsgProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, at, &stop, nullptr);
  EXPECT_TRUE(stop);
  stop = false;
  OnMsgProc(nullptr, WM_LBUTTONUP, 0, at, &stop, nullptr);
  EXPECT_TRUE(stop);
  EXPECT_FALSE(msg.GetVisible());  // "Ok" hides the message dialog
}

TEST(Headless, TheClearColourReadsBack) {
  TempWorkDir dir;
  dir.Write("fx/reflectori.fxo", mv::test::SceneEffectText());
  std::filesystem::create_directories("media");
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  static std::uint8_t pixel[4];
  static bool read = false;
  fw::ResetState();
  fw::SetHeadless(true);
  fw::SetFixedTimeStep(0.04);
  fw::SetFrameLimit(2, 0);
  fw::SetCallbackFrameMove(&OnFrameMove);
  fw::SetCallbackFrameRender([](gfx::Device* device, double t, float e, void* ctx) {
    OnFrameRender(device, t, e, ctx);
    std::vector<std::uint8_t> rgba(1920 * 1080 * 4);
    if (fw::ReadBackBuffer(rgba.data(), rgba.size())) {
      const std::size_t at = (540 * 1920 + 960) * 4;
      std::copy(rgba.begin() + at, rgba.begin() + at + 4, pixel);
      read = true;
    }
  });
  fw::Init(false, false, nullptr, false);
  if (fw::CreateWindow("Morvane Player") < 0 || fw::CreateDevice(false, 1920, 1080) < 0)
    GTEST_SKIP() << "no headless GL context here";
  fw::MainLoop();
  ASSERT_TRUE(read);
  EXPECT_EQ(pixel[0], 10);
  EXPECT_EQ(pixel[1], 20);
  EXPECT_EQ(pixel[2], 40);
  EXPECT_EQ(fw::GetExitCode(), 0);
  fw::ResetState();
}

TEST(Overlay, ThreeYellowLinesWhenTheGuiIsShownAndNoneWhenHidden) {
  TempWorkDir dir;
  dir.Write("fx/reflectori.fxo", mv::test::SceneEffectText());
  auto device = gfx::CreateRecordingDevice(1920, 1080);
  const gfx::BackBufferDesc bb = device->GetBackBufferDesc();
  ASSERT_EQ(DeviceManager::OnCreateDevice(device.get(), bb, &g_DeviceManager), 0);
  ASSERT_EQ(DeviceManager::OnResetDevice(device.get(), bb, &g_DeviceManager), 0);
  ASSERT_NE(g_DeviceManager.GetFont(0), nullptr) << "no font: is fonts-liberation2 installed?";
  ASSERT_NE(g_DeviceManager.GetSprite(), nullptr);
  EXPECT_EQ(g_DeviceManager.GetFont(0)->Weight(), 700);

  // The overlay's draws: the sprite's text batches (not the composition's
  // image and bars, nor the panels, which draw through its other technique).
  auto overlayDraws = [&] {
    std::vector<const gfx::RecordedEvent*> out;
    for (const gfx::RecordedEvent* d : device->Find(gfx::RecordedEvent::Kind::Draw))
      if (d->technique == "Text") out.push_back(d);
    return out;
  };
  g_bGuiHidden = true;
  device->ClearEvents();
  OnFrameRender(device.get(), 1.0, 0.04f, nullptr);
  EXPECT_EQ(device->Find(gfx::RecordedEvent::Kind::Draw).size(), 3u);  // the image and its two bars
  EXPECT_TRUE(overlayDraws().empty());

  g_bGuiHidden = false;
  device->ClearEvents();
  OnFrameRender(device.get(), 1.0, 0.04f, nullptr);
  const auto draws = overlayDraws();
  // One batch per line with text; without a running framework the two
  // statistics lines are empty.
  std::size_t lines = 0;
  for (int i = 0; i < 3; ++i) lines += mv::app::OverlayLine(i)[0] != '\0';
  ASSERT_GE(lines, 1u);
  ASSERT_EQ(draws.size(), lines);
  const gfx::RecordedEvent* color = device->LastParameter("g_vColor");
  ASSERT_NE(color, nullptr);
  EXPECT_EQ(color->values, (std::vector<float>{1.0f, 1.0f, 0.0f, 1.0f}));
  // The pointer line is the third: its glyphs start near x = 320 and
  // within the line that begins 30 pixels below y = 5.
  float v[2];
  std::memcpy(v, draws.back()->vertices.data(), sizeof v);
  EXPECT_NEAR(v[0], 320.0f, 8.0f);
  EXPECT_GE(v[1], 35.0f - 1.0f);
  EXPECT_LT(v[1], 50.0f);
  DeviceManager::OnLostDevice(&g_DeviceManager);
  DeviceManager::OnDestroyDevice(&g_DeviceManager);
}

TEST(Headless, OverlayTextReachesTheScreenInYellow) {
  TempWorkDir dir;
  dir.Write("fx/reflectori.fxo", mv::test::SceneEffectText());
  std::filesystem::create_directories("media");
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  static int yellow = 0, elsewhere = 0;
  fw::ResetState();
  fw::SetHeadless(true);
  fw::SetFixedTimeStep(0.04);
  fw::SetFrameLimit(2, 0);
  BindFrameworkCallbacks();
  fw::SetCallbackMsgProc(nullptr);
  fw::SetCallbackFrameMove(nullptr);
  fw::SetCallbackFrameRender([](gfx::Device* device, double t, float e, void* ctx) {
    g_bGuiHidden = false;
    OnFrameRender(device, t, e, ctx);
    std::vector<std::uint8_t> rgba(1920 * 1080 * 4);
    if (!fw::ReadBackBuffer(rgba.data(), rgba.size())) return;
    yellow = elsewhere = 0;
    for (int y = 0; y < 1080; ++y)
      for (int x = 0; x < 1920; ++x) {
        const std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * 1920 + x) * 4];
        const bool isYellow = p[0] > 200 && p[1] > 200 && p[2] < 80;
        if (!isYellow) continue;
        if (x >= 318 && y >= 3 && y < 5 + 3 * 15 + 4)
          ++yellow;
        else
          ++elsewhere;
      }
  });
  fw::Init(false, false, nullptr, false);
  if (fw::CreateWindow("Morvane Player") < 0 || fw::CreateDevice(false, 1920, 1080) < 0)
    GTEST_SKIP() << "no headless GL context here";
  fw::MainLoop();
  EXPECT_GT(yellow, 200);  // three lines of glyphs
  EXPECT_EQ(elsewhere, 0);
  fw::ResetState();
}
