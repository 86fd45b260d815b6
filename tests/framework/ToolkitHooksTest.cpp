#include <gtest/gtest.h>

#include "framework/Framework.h"
#include "gui/GuiTypes.h"

namespace {

class ToolkitHooks : public ::testing::Test {
 protected:
  void SetUp() override {
    fw::ResetState();
    fw::SetHeadless(true);
    ASSERT_EQ(fw::Init(false, false, nullptr, false), gfx::S_OK);
    fw::InstallToolkitHooks();
  }
  void TearDown() override {
    gui::ResetPlatformHooks();
    fw::ResetState();
  }
};

TEST_F(ToolkitHooks, CaptureGoesThroughTheFramework) {
  EXPECT_FALSE(fw::HasCapture());
  gui::SetCapture();
  EXPECT_TRUE(fw::HasCapture());
  gui::ReleaseCapture();
  EXPECT_FALSE(fw::HasCapture());
}

TEST_F(ToolkitHooks, ClipboardRoundTripsUtf16ThroughSdl) {
  const std::u16string text = u"Morvane \u00e9\u20ac \U0001F3B5";
  gui::SetClipboardText(text);
  EXPECT_EQ(fw::GetClipboardText(), text);
  EXPECT_EQ(gui::GetClipboardText(), text);
}

TEST_F(ToolkitHooks, KeyStateFollowsTheRoutedKeyMessages) {
  EXPECT_FALSE(gui::IsKeyDown(VK_SHIFT));
  fw::SendWindowMessage(WM_KEYDOWN, VK_SHIFT, 0);
  EXPECT_TRUE(gui::IsKeyDown(VK_SHIFT));
  EXPECT_TRUE(fw::IsKeyDown(VK_SHIFT));
  fw::SendWindowMessage(WM_KEYUP, VK_SHIFT, 0);
  EXPECT_FALSE(gui::IsKeyDown(VK_SHIFT));
  EXPECT_FALSE(fw::IsKeyDown(0x1234));
}

}  // namespace
