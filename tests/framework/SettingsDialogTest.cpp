#include <gtest/gtest.h>

#include "framework/SettingsDialog.h"

namespace {

TEST(SettingsDialog, WhileActiveItTakesEveryMessageAndEscapeOrF2CloseIt) {
  for (UINT closer : {VK_ESCAPE, VK_F2}) {
    fw::CD3DSettingsDlg dlg;
    EXPECT_FALSE(dlg.IsActive());
    EXPECT_EQ(dlg.MsgProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, 0), 0);
    dlg.SetActive(true);
    EXPECT_TRUE(dlg.IsActive());
    EXPECT_NE(dlg.MsgProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, 0), 0);
    EXPECT_NE(dlg.MsgProc(nullptr, WM_KEYDOWN, 'G', 0), 0);
    EXPECT_TRUE(dlg.IsActive());
    EXPECT_NE(dlg.MsgProc(nullptr, WM_KEYDOWN, closer, 0), 0);
    EXPECT_FALSE(dlg.IsActive());
    EXPECT_EQ(dlg.MsgProc(nullptr, WM_KEYDOWN, 'G', 0), 0);
  }
}

TEST(SettingsDialog, RefreshTakesTheCurrentSettings) {
  fw::CD3DSettingsDlg dlg;
  dlg.SetActive(true);
  EXPECT_EQ(dlg.GetSettings().width, fw::GetDeviceSettings().width);
  EXPECT_STREQ(dlg.GetSettings().backBufferFormat, "A8R8G8B8");
  EXPECT_EQ(dlg.OnCreateDevice(nullptr), gfx::S_OK);
  EXPECT_EQ(dlg.OnResetDevice(), gfx::S_OK);
}

}  // namespace
