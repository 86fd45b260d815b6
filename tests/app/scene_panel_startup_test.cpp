// Start-up builds the scene panel for real: it stands where it should,
// hosts the post-process controls and the values panel's scripts, and its
// position goes into every slide.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "app/App.h"
#include "app/Bindings.h"
#include "core/Globals.h"
#include "effects/PostProcessManager.h"
#include "gui/Gui.h"
#include "io/BinaryIO.h"
#include "scene/SceneManager.h"
#include "scene/ScenePanel.h"
#include "support/TempWorkDir.h"
#include "values/ValuesManager.h"

namespace {

std::string Le32(std::int32_t v) {
  std::ostringstream os;
  mv::io::WriteI32(os, v);
  return os.str();
}

std::string Prefs(std::int32_t x, std::int32_t y, bool minimized) {
  return Le32(x) + Le32(y) + std::string(1, minimized ? '\1' : '\0');
}

class ScenePanelStartUp : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.Write("media/sequence.mv", Le32(7) + Prefs(0, 0, false) + Le32(0));
    wasHidden = g_bGuiHidden;
    ASSERT_TRUE(InitApp());
  }
  void TearDown() override {
    g_bGuiHidden = wasHidden;
    CloseApp();
  }
  mv::test::TempWorkDir dir;
  bool wasHidden = true;
};

TEST_F(ScenePanelStartUp, ThePanelIsBuiltAndItsPlaceGoesIntoSlides) {
  CDXUTDialog& panel = g_SceneManager.Panel();
  EXPECT_EQ(g_SceneManager.GetPanel(), &panel);
  EXPECT_EQ(panel.GetCaptionText(), u"Scene Manager");
  EXPECT_EQ(panel.GetX(), 1060);
  EXPECT_EQ(panel.GetY(), 10);
  EXPECT_NE(panel.GetButton(IDC_SCENE_INSERT), nullptr);

  panel.SetLocation(-25, 600);
  panel.SetMinimized(true);
  std::stringstream slide;
  g_SceneManager.Write(slide);
  EXPECT_EQ(slide.str().substr(0, 9), Prefs(-25, 600, true));
  panel.SetLocation(1060, 10);
  panel.SetMinimized(false);
  g_SceneManager.Read(slide);
  EXPECT_EQ(panel.GetX(), -25);
  EXPECT_EQ(panel.GetY(), 600);
  EXPECT_TRUE(panel.GetMinimized());
}

TEST_F(ScenePanelStartUp, ThePostProcessObjectShowsTheProgramsChainAndLinksUseTheValuesPanel) {
  g_bGuiHidden = false;
  // Other tests of this program leave the scene as they like: start from
  // the four objects of a fresh one.
  {
    SceneManager fresh(ProgramScenePeers());
    std::stringstream section;
    fresh.Write(section);
    g_SceneManager.Read(section);
    ASSERT_EQ(g_SceneManager.GetObjectCount(), 4);
  }
  g_SceneManager.SetSelectedIndex(3);
  g_SceneManager.RefreshPanel();
  g_SceneManager.BuildPanel(g_SceneManager.GetSelectedKind());
  EXPECT_EQ(g_PostProcessManager.GetControlsDialog(), &g_SceneManager.Panel());
  CDXUTListBox* available = g_SceneManager.Panel().GetListBox(PostProcessManager::IDC_PP_AVAILABLE);
  ASSERT_NE(available, nullptr);
  EXPECT_EQ(available->GetSize(), PostProcessManager::kEffectCount);

  g_SceneManager.SetSelectedIndex(1);
  g_SceneManager.RefreshPanel();
  g_SceneManager.BuildPanel(g_SceneManager.GetSelectedKind());
  CDXUTComboBox* selector = g_ValuesManager.GetDialog().GetComboBox(IDC_VALUES_SELECTOR);
  ASSERT_NE(selector, nullptr);
  selector->SetSelectedByData(gui::ToData(4));
  CDXUTButton* link = g_SceneManager.Panel().GetButton(IDC_SCENE_LINK_EYE);
  ASSERT_NE(link, nullptr);
  g_SceneManager.OnPanelEvent(EVENT_BUTTON_CLICKED, IDC_SCENE_LINK_EYE, link);
  EXPECT_EQ(g_SceneManager.GetCameraObject()->eyeLinks[0], 4);
  g_SceneManager.RefreshPanel();
  EXPECT_EQ(link->GetTextString(), u"04");
  g_SceneManager.GetCameraObject()->eyeLinks[0] = 0;
}

}  // namespace
