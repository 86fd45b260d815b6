#include <gtest/gtest.h>

#include "framework/SettingsDialog.h"

#include <string>

#include "gui/Controls.h"
#include "io/Utf16.h"

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

namespace {

std::u16string StaticText(fw::CD3DSettingsDlg& dlg, int id) {
  CDXUTStatic* s = dlg.GetDialogControl().GetStatic(id);
  return s ? std::u16string(s->GetText()) : u"<none>";
}

// A press and release at the centre of the control, in window pixels.
void Click(fw::CD3DSettingsDlg& dlg, int id) {
  CDXUTDialog& d = dlg.GetDialogControl();
  CDXUTControl* c = d.GetControl(id);
  ASSERT_NE(c, nullptr) << id;
  const gui::Rect r = d.ControlToWindow(c->GetBoundingBox());
  const LPARAM at = MakeLParam((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  dlg.MsgProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, at);
  dlg.MsgProc(nullptr, WM_LBUTTONUP, 0, at);
}

}  // namespace

TEST(SettingsDialog, ShowsTheCurrentSettingsWhenActivated) {
  fw::CD3DSettingsDlg dlg;
  dlg.SetActive(true);
  const fw::DeviceSettings& s = fw::GetDeviceSettings();
  EXPECT_EQ(StaticText(dlg, fw::CD3DSettingsDlg::IDC_RESOLUTION),
            mv::io::Utf8ToUtf16(std::to_string(s.width) + " x " + std::to_string(s.height)));
  CDXUTComboBox* types = dlg.GetDialogControl().GetComboBox(fw::CD3DSettingsDlg::IDC_DEVICE_TYPE);
  ASSERT_NE(types, nullptr);
  EXPECT_EQ(types->GetSelectedIndex(), s.deviceType == fw::DeviceType::Reference ? 1 : 0);
  EXPECT_EQ(dlg.GetDialogControl().GetRadioButton(fw::CD3DSettingsDlg::IDC_WINDOWED)->GetChecked(), s.windowed);
  EXPECT_EQ(dlg.GetDialogControl().GetRadioButton(fw::CD3DSettingsDlg::IDC_FULLSCREEN)->GetChecked(), !s.windowed);
  EXPECT_FALSE(dlg.WantsDeviceTypeChange());
  EXPECT_FALSE(dlg.WantsWindowedChange());
}

// The routed messages reach the dialog's controls: the choices change what
// "OK" would do, and "Cancel" or "OK" close the dialog.
TEST(SettingsDialog, ClicksChooseAndCloseTheDialog) {
  for (const int closer : {fw::CD3DSettingsDlg::IDC_CANCEL, fw::CD3DSettingsDlg::IDC_OK}) {
    fw::CD3DSettingsDlg dlg;
    dlg.SetActive(true);
    const bool windowed = fw::GetDeviceSettings().windowed;
    Click(dlg, windowed ? fw::CD3DSettingsDlg::IDC_FULLSCREEN : fw::CD3DSettingsDlg::IDC_WINDOWED);
    EXPECT_TRUE(dlg.WantsWindowedChange());
    dlg.GetDialogControl().GetComboBox(fw::CD3DSettingsDlg::IDC_DEVICE_TYPE)->SetSelectedByIndex(
        fw::GetDeviceSettings().deviceType == fw::DeviceType::Reference ? 0 : 1);
    EXPECT_TRUE(dlg.WantsDeviceTypeChange());
    EXPECT_TRUE(dlg.IsActive());
    // Without a device the toggles have nothing to switch.
    Click(dlg, closer);
    EXPECT_FALSE(dlg.IsActive()) << closer;
    // Opening again shows the settings as they are.
    dlg.SetActive(true);
    EXPECT_FALSE(dlg.WantsWindowedChange());
    EXPECT_FALSE(dlg.WantsDeviceTypeChange());
  }
}
