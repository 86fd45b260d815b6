#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "animation/AnimationManager.h"
#include "model/TimeLine.h"
#include "io/WindowMessages.h"
#include "gui/Gui.h"
#include "scene/SceneManager.h"
#include "support/PanelChecks.h"

namespace {

struct NullPeers : ScenePeers {
  void SetSkyBoxSize(const float[3]) override {}
  void RefreshAnimationPanel() override {}
  void PrepareMetaballs(CMesh&) override {}
  void CreateParticleSystem(CMesh&) override {}
};

struct FakeShow : AnimationLinks {
  bool IsSequencePlaying() override { return false; }
  void RequestSlideAdvance() override {}
  void ResetSlideRemaining() override {}
  void SetMusicPosition(std::int32_t ms) override { music = ms; }
  std::int32_t music = -1;
};

class AnimationPanelTest : public ::testing::Test {
 protected:
  AnimationPanelTest() { anim.BuildPanel(nullptr); }

  void Click(int id) { anim.OnPanelEvent(EVENT_BUTTON_CLICKED, id, anim.Panel().GetControl(id)); }

  NullPeers peers;
  SceneManager scene{peers};
  FakeShow show;
  AnimationManager anim{&scene, &show};
};

TEST_F(AnimationPanelTest, BuildsTheDialogAndItsControls) {
  CDXUTDialog& d = anim.Panel();
  EXPECT_EQ(anim.GetPanel(), &d);
  EXPECT_EQ(d.GetCaptionText(), u"Animation Manager");
  EXPECT_TRUE(d.HasCaption());
  EXPECT_EQ(d.GetX(), 384);
  EXPECT_EQ(d.GetY(), 65);
  EXPECT_EQ(d.GetWidth(), 370);
  EXPECT_EQ(d.GetHeight(), 100);
  for (int corner = 0; corner < 4; ++corner) EXPECT_EQ(d.GetBackgroundColor(corner), 0x64FFC8FFu);
  ASSERT_NE(d.GetTexture(1), nullptr);
  EXPECT_EQ(*d.GetTexture(1), u"media\\GUI\\Widget2.dds");

  struct C {
    int id;
    const char16_t* text;  // null for controls without one
    int x, y, w, h;
  };
  const C controls[] = {{902, u"<", 10, 5, 30, 20},       {901, u"Play", 40, 5, 30, 20},
                        {903, u">", 70, 5, 30, 20},       {905, u"Insert", 100, 5, 50, 20},
                        {906, u"Remove", 150, 5, 50, 20}, {907, u"Record", 200, 5, 50, 20},
                        {911, u"Propagate", 270, 5, 80, 20}, {904, u"No Keyframe !", 10, 25, 200, 20},
                        {922, nullptr, 260, 25, 100, 20}, {910, nullptr, 10, 50, 50, 20},
                        {921, nullptr, 10, 75, 300, 30}};
  for (const C& c : controls) {
    CDXUTControl* control = d.GetControl(c.id);
    ASSERT_NE(control, nullptr) << c.id;
    EXPECT_EQ(control->m_x, c.x) << c.id;
    EXPECT_EQ(control->m_y, c.y) << c.id;
    EXPECT_EQ(control->GetWidth(), c.w) << c.id;
    if (c.text) {
      EXPECT_EQ(static_cast<CDXUTStatic*>(control)->GetTextString(), c.text) << c.id;
    }
  }
  EXPECT_EQ(d.GetEditBox(910)->GetTextString(), u"100");
  CDXUTComboBox* combo = d.GetComboBox(922);
  ASSERT_NE(combo, nullptr);
  const char16_t* items[] = {u"All After", u"All Before", u"All", u"After", u"Before"};
  ASSERT_EQ(combo->GetNumItems(), 5u);
  for (UINT i = 0; i < 5; ++i) {
    EXPECT_EQ(combo->GetItem(i)->strText, items[i]);
    EXPECT_EQ(gui::FromData(combo->GetItem(i)->pData), static_cast<std::intptr_t>(i));
  }
  for (int id : {901, 902, 903, 906, 907, 911}) EXPECT_FALSE(d.GetControlEnabled(id)) << id;
  EXPECT_TRUE(d.GetControlEnabled(905));
  ASSERT_NE(d.GetTimeLine(921), nullptr);
}

TEST_F(AnimationPanelTest, PanelPreferencesComeFromTheDialog) {
  std::ostringstream out;
  anim.Write(out);
  EXPECT_EQ(out.str(), std::string("\x80\x01\0\0\x41\0\0\0\0", 9));
}

TEST_F(AnimationPanelTest, InsertPlayAndStatusGoThroughTheControls) {
  scene.SetSelectedIndex(0);
  anim.Panel().GetEditBox(910)->SetText(u"25");
  anim.OnPanelEvent(EVENT_EDITBOX_CHANGE, 910, anim.Panel().GetEditBox(910));
  Click(905);
  anim.OnRender();
  EXPECT_EQ(scene.GetLight()->timeLine->GetKeyTime(0), 25);
  EXPECT_EQ(anim.Panel().GetStatic(904)->GetTextString(), u"Key :   1/  1 - Pause Mode");
  EXPECT_EQ(anim.Panel().GetEditBox(910)->GetTextString(), u"25");
  for (int id : {901, 902, 903, 906, 907, 911}) EXPECT_TRUE(anim.Panel().GetControlEnabled(id)) << id;

  Click(901);
  EXPECT_TRUE(anim.IsPlaying());
  EXPECT_FALSE(anim.Panel().GetControlEnabled(905));
  anim.OnRender();
  EXPECT_EQ(anim.Panel().GetButton(901)->GetTextString(), u"Stop");
  EXPECT_TRUE(anim.Panel().GetControlEnabled(907));  // keys exist: Record comes back
  Click(901);
  anim.OnRender();
  EXPECT_EQ(anim.Panel().GetButton(901)->GetTextString(), u"Play");
  EXPECT_TRUE(anim.Panel().GetControlEnabled(905));
}

TEST_F(AnimationPanelTest, PropagateUsesTheChosenMode) {
  scene.SetSelectedIndex(0);
  for (int k = 0; k < 3; ++k) {
    Click(905);
    scene.SetSelectedIndex(0);
  }
  auto* t = static_cast<TimeLineLight*>(scene.GetLight()->timeLine);
  t->currentKey = 1;
  scene.GetLight()->radius = 9.0f;
  anim.Panel().GetComboBox(922)->SetSelectedByIndex(2);  // "All"
  anim.OnPanelEvent(EVENT_COMBOBOX_SELECTION_CHANGED, 922, anim.Panel().GetComboBox(922));
  EXPECT_EQ(anim.GetPropagateMode(), AnimationManager::ALL);
  Click(911);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(t->GetKey(k)->radius, 9.0f);
}

TEST_F(AnimationPanelTest, ClickOnTheTimelineControlSeeks) {
  scene.SetSelectedIndex(0);
  anim.Panel().GetEditBox(910)->SetText(u"100");
  anim.OnPanelEvent(EVENT_EDITBOX_CHANGE, 910, nullptr);
  Click(905);
  anim.OnRender();
  CDXUTTimeLine* timeline = anim.Panel().GetTimeLine(921);
  ASSERT_EQ(timeline->GetLength(), 100.0f);
  CDXUTDialog& d = anim.Panel();
  const gui::Rect rc = d.ControlToWindow(timeline->GetBoundingBox());
  const int x = rc.left + 20, y = rc.top + 10;
  d.MsgProc(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(x, y));
  d.MsgProc(WM_LBUTTONUP, 0, MakeLParam(x, y));
  const int lastX = timeline->GetLastX();
  ASSERT_NE(show.music, -1) << "the click reached the manager";
  ASSERT_NE(lastX, 0);
  int expect = static_cast<int>((static_cast<float>(lastX - 32) / 270.0f) * 100.0f + 1.0f);
  if (expect >= 99) expect = 99;
  if (expect < 0) expect = 0;
  EXPECT_EQ(timeline->GetMarker(), static_cast<float>(expect));
  EXPECT_EQ(show.music, expect * 40);
  EXPECT_EQ(scene.GetLight()->timeLine->segmentTime, expect * 40.0f);
}

}  // namespace

// Building the panel again gives the same controls, once each, and they
// still act on the manager.
TEST_F(AnimationPanelTest, ABuildAgainKeepsOneSetOfControls) {
  const int count = anim.Panel().GetNumControls();
  anim.BuildPanel(nullptr);
  EXPECT_EQ(anim.Panel().GetNumControls(), count);
  EXPECT_EQ(mvtest::DuplicateControlIds(anim.Panel()), 0);
  EXPECT_NE(anim.Panel().GetControl(AnimationManager::IDC_INSERT), nullptr);
}
