// The panels in the frame, on the recording device: nothing of them while
// the GUI is hidden; with it shown, each panel's quads lie where the panel
// takes its clicks, and they reach the device in the reverse of the order
// in which the message routing offers a click (the first to get it is on
// top), the device-settings dialog above all while it is active.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "animation/AnimationManager.h"
#include "app/App.h"
#include "audio/SoundManager.h"
#include "core/Globals.h"
#include "effects/DeviceManager.h"
#include "gfx/RecordingDevice.h"
#include "gui/Gui.h"
#include "scene/SceneManager.h"
#include "sequence/SequenceManager.h"
#include "support/SceneEffectText.h"
#include "support/TempWorkDir.h"
#include "values/ValuesManager.h"

namespace {

using K = gfx::RecordedEvent::Kind;

// The sprite's batch vertex: position (pre-transformed), image and glyph
// coordinates, colour.
struct BatchVertex {
  float x, y, z, rhw, u, v, s, t;
  std::uint32_t color;
};

struct Quad {
  float x0, y0, x1, y1;  // pixels
};

// Every quad of the panels' batches, in the order drawn.
std::vector<Quad> PanelQuads(const gfx::RecordingDevice& device) {
  std::vector<Quad> out;
  for (const gfx::RecordedEvent& e : device.Events()) {
    if (e.kind != K::Draw || e.effect != "sprite" || e.technique != "Batch") continue;
    const std::size_t n = e.vertices.size() / sizeof(BatchVertex);
    std::vector<BatchVertex> v(n);
    std::memcpy(v.data(), e.vertices.data(), n * sizeof(BatchVertex));
    for (std::size_t i = 0; i + 5 < n; i += 6) out.push_back({v[i].x + 0.5f, v[i].y + 0.5f, v[i + 4].x + 0.5f, v[i + 4].y + 0.5f});
  }
  return out;
}

// Index of the first quad that covers exactly `rc`, or none.
std::optional<std::size_t> Find(const std::vector<Quad>& quads, const gui::Rect& rc) {
  for (std::size_t i = 0; i < quads.size(); ++i) {
    const Quad& q = quads[i];
    if (q.x0 == float(rc.left) && q.y0 == float(rc.top) && q.x1 == float(rc.right) && q.y1 == float(rc.bottom)) return i;
  }
  return std::nullopt;
}

class PanelDrawing : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.Write("fx/reflectori.fxo", mv::test::SceneEffectText());
    InitApp();  // every panel built; no sequence file
    device_ = gfx::CreateRecordingDevice(1920, 1080);
    const gfx::BackBufferDesc bb = device_->GetBackBufferDesc();
    ASSERT_EQ(DeviceManager::OnCreateDevice(device_.get(), bb, &g_DeviceManager), 0);
    ASSERT_EQ(DeviceManager::OnResetDevice(device_.get(), bb, &g_DeviceManager), 0);
  }
  void TearDown() override {
    g_bGuiHidden = true;
    g_DeviceManager.GetSettingsDialog().SetActive(false);
    DeviceManager::OnLostDevice(&g_DeviceManager);
    DeviceManager::OnDestroyDevice(&g_DeviceManager);
  }
  std::vector<Quad> Frame(bool hidden) {
    g_bGuiHidden = hidden;
    device_->ClearEvents();
    OnFrameRender(device_.get(), 1.0, 0.04f, nullptr);
    return PanelQuads(*device_);
  }

  mv::test::TempWorkDir dir_;
  std::unique_ptr<gfx::RecordingDevice> device_;
};

TEST_F(PanelDrawing, NothingOfThePanelsWhileTheGuiIsHidden) {
  EXPECT_FALSE(Frame(false).empty());
  EXPECT_TRUE(Frame(true).empty());
  g_DeviceManager.GetSettingsDialog().SetActive(true);
  EXPECT_TRUE(Frame(true).empty()) << "not even the settings dialog";
}

TEST_F(PanelDrawing, PanelsAreDrawnInTheReverseOfTheRoutingOrder) {
  // The routing's order: sound, device, values, scene, message dialog,
  // sequence panel, animation.
  CDXUTDialog* const routing[] = {&g_SoundManager.Panel(),           &g_DeviceManager.GetDialog(),
                                  &g_ValuesManager.GetDialog(),      &g_SceneManager.Panel(),
                                  &g_SequenceManager.MessageDialog(), &g_SequenceManager.Panel(),
                                  &g_AnimationManager.Panel()};
  const std::vector<Quad> quads = Frame(false);
  std::optional<std::size_t> previous;
  for (CDXUTDialog* d : routing) {
    ASSERT_TRUE(d->HasCaption());
    const std::optional<std::size_t> at = Find(quads, d->GetCaptionRect());
    ASSERT_TRUE(at) << "caption of " << std::string(d->GetCaptionText().begin(), d->GetCaptionText().end());
    if (previous) EXPECT_LT(*at, *previous) << "drawn after the panel that gets a click before it";
    previous = at;
  }

  // The settings dialog, while active, over everything.
  g_DeviceManager.GetSettingsDialog().SetActive(true);
  const std::vector<Quad> withSettings = Frame(false);
  const std::optional<std::size_t> settings =
      Find(withSettings, g_DeviceManager.GetSettingsDialog().GetDialogControl().GetCaptionRect());
  ASSERT_TRUE(settings);
  const std::optional<std::size_t> sound = Find(withSettings, g_SoundManager.Panel().GetCaptionRect());
  ASSERT_TRUE(sound);
  EXPECT_GT(*settings, *sound);
}

// The device panel's buttons are drawn on the rectangles where a click
// presses them; a click there toggles what the button says it does.
TEST_F(PanelDrawing, DevicePanelButtonsAreDrawnWhereTheyTakeClicks) {
  CDXUTDialog& panel = g_DeviceManager.GetDialog();
  const std::vector<Quad> quads = Frame(false);
  for (int id : {DeviceManager::IDC_VIEW_THIRD, DeviceManager::IDC_VIEW_HALF, DeviceManager::IDC_VIEW_FULL,
                 DeviceManager::IDC_FULL_SCREEN, DeviceManager::IDC_CHANGE_DEVICE, DeviceManager::IDC_TOGGLE_REF,
                 DeviceManager::IDC_FULL_SHOW, DeviceManager::IDC_VIEW_SELECTED}) {
    CDXUTButton* b = panel.GetButton(id);
    ASSERT_TRUE(b);
    EXPECT_TRUE(Find(quads, panel.ControlToWindow(b->GetBoundingBox()))) << id;
  }
  // "View Selected": the click at its drawn centre toggles the flag.
  const gui::Rect rc = panel.ControlToWindow(panel.GetButton(DeviceManager::IDC_VIEW_SELECTED)->GetBoundingBox());
  const bool before = g_bViewSelected;
  bool stop = false;
  const LPARAM at = MakeLParam((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
  OnMsgProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, at, &stop, nullptr);
  OnMsgProc(nullptr, WM_LBUTTONUP, 0, at, &stop, nullptr);
  EXPECT_NE(g_bViewSelected, before);
  g_bViewSelected = before;
  panel.GetButton(DeviceManager::IDC_VIEW_SELECTED)->SetText(u"View Selected");
}

// A minimized panel leaves only its caption: no quad of its body.
TEST_F(PanelDrawing, AMinimizedPanelDrawsOnlyItsCaption) {
  CDXUTDialog& seq = g_SequenceManager.Panel();
  // Open, whatever a sequence file read by an earlier test left it as.
  seq.SetMinimized(false);
  CDXUTButton* insert = seq.GetButton(SequenceManager::IDC_INSERT);
  ASSERT_TRUE(insert);
  const gui::Rect button = seq.ControlToWindow(insert->GetBoundingBox());
  EXPECT_TRUE(Find(Frame(false), button));
  seq.SetMinimized(true);
  const std::vector<Quad> quads = Frame(false);
  seq.SetMinimized(false);
  EXPECT_TRUE(Find(quads, seq.GetCaptionRect()));
  EXPECT_FALSE(Find(quads, button));
}

}  // namespace
