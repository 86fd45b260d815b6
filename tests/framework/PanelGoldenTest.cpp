// Dialogs on a headless GL device through the panel painter: golden
// images of every control kind in its states, an open combo box, an edit
// box with a selection and a minimized panel; and the panel textures, read
// from their files or generated when a file is missing. Expected images
// live in tests/framework/golden/ (MV_APPROVE=1 rewrites them).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/PanelPainter.h"
#include "framework/PanelTexture.h"
#include "gfx/Dds.h"
#include "gfx/GLDevice.h"
#include "gfx/Sprite.h"
#include "gui/Gui.h"
#include "gui/Skin.h"
#include "support/GLTestContext.h"
#include "support/TempWorkDir.h"

namespace {

const std::string kGolden = std::string(MV_SOURCE_DIR) + "/tests/framework/golden";
constexpr int kTolerance = 3;

LPARAM At(int x, int y) { return MakeLParam(x, y); }

class PanelGolden : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ctx_ = mvtest::GLTestContext::Create(&why);
    if (!ctx_) GTEST_SKIP() << "no headless GL: " << why;
    CDXUTDialog::ClearFocus();
    gui::ResetKeyState();
  }
  void TearDown() override {
    CDXUTDialog::ClearFocus();
    painter_.reset();
    sprite_.reset();
    device_.reset();
    ctx_.reset();
  }

  void MakeDevice(int w, int h) {
    w_ = w, h_ = h;
    device_ = gfx::CreateGLDevice(gfx::GLDeviceDesc{w, h, 0});
    ASSERT_TRUE(device_);
    std::string error;
    sprite_ = gfx::Sprite::Create(*device_, &error);
    ASSERT_TRUE(sprite_) << error;
    painter_ = std::make_unique<fw::PanelPainter>(*device_, *sprite_);
  }

  // The dialogs over a grey ground with stripes, so that transparent parts
  // show.
  std::vector<std::uint8_t> Draw(std::initializer_list<CDXUTDialog*> dialogs) {
    device_->BeginScene();
    device_->Clear(gfx::CLEAR_TARGET, 0xFF404850, 1.0f, 0);
    painter_->Begin();
    for (int i = 0; i < w_ + h_; i += 24) painter_->FillRect({i - h_ / 2, 0, i - h_ / 2 + 8, h_}, 0xFF586470);
    for (CDXUTDialog* d : dialogs) d->OnRender(*painter_, 0.04f);
    EXPECT_EQ(painter_->End(), gfx::S_OK);
    device_->EndScene();
    std::vector<std::uint8_t> px;
    EXPECT_EQ(device_->ReadSurfaceRGBA8(nullptr, &px), gfx::S_OK);
    for (std::size_t i = 3; i < px.size(); i += 4) px[i] = 255;
    return px;
  }
  const std::uint8_t* Pixel(const std::vector<std::uint8_t>& px, int x, int y) const {
    return &px[(static_cast<std::size_t>(y) * w_ + x) * 4];
  }
  void ExpectGolden(const std::string& name, const std::vector<std::uint8_t>& px) {
    const std::string diff = mvtest::CompareWithGolden(kGolden, name, w_, h_, px, kTolerance);
    EXPECT_TRUE(diff.empty()) << diff;
  }

  std::unique_ptr<mvtest::GLTestContext> ctx_;
  std::unique_ptr<gfx::Device> device_;
  std::unique_ptr<gfx::Sprite> sprite_;
  std::unique_ptr<fw::PanelPainter> painter_;
  int w_ = 0, h_ = 0;
  CDXUTDialogResourceManager manager_;
};

// Every kind in one captioned panel: a static, buttons normal, under the
// pointer, pressed and disabled, check boxes and radio buttons on and off,
// a slider, an edit box, a list box with a selection and its scroll bar,
// the level, timeline and spectrum controls, and a focused button.
TEST_F(PanelGolden, EveryControlKindAndState) {
  MakeDevice(360, 300);
  mv::test::TempWorkDir dir;
  CDXUTDialog d;
  d.Init(&manager_);
  d.EnableKeyboardInput(true);
  d.EnableCaption(true);
  d.SetCaptionText(u"Every Control");
  d.SetLocation(4, 4);
  d.SetSize(352, 270);
  d.SetBackgroundColors(0xC0203040, 0xC0304060, 0xC0102030, 0xC0405070);
  d.AddStatic(1, u"Static text", 4, 4, 100, 16);
  d.AddButton(2, u"Normal", 4, 24, 80, 22);
  d.AddButton(3, u"Hover", 90, 24, 80, 22);
  d.AddButton(4, u"Pressed", 176, 24, 80, 22);
  d.AddButton(5, u"Disabled", 262, 24, 80, 22);
  d.SetControlEnabled(5, false);
  d.AddCheckBox(6, u"Checked", 4, 52, 100, 18, true);
  d.AddCheckBox(7, u"Unchecked", 110, 52, 100, 18, false);
  d.AddRadioButton(8, 1, u"On", 216, 52, 60, 18, true);
  d.AddRadioButton(9, 1, u"Off", 280, 52, 60, 18, false);
  d.AddSlider(10, 4, 76, 160, 18, 0, 100, 30);
  CDXUTEditBox* edit = nullptr;
  d.AddEditBox(11, u"Edit me", 176, 74, 166, 24, false, &edit);
  CDXUTListBox* list = nullptr;
  d.AddListBox(12, 4, 102, 160, 70, 0, &list);
  for (const char16_t* item : {u"Alpha", u"Bravo", u"Charlie", u"Delta", u"Echo", u"Foxtrot"}) list->AddItem(item, nullptr);
  list->SelectItem(1);
  CDXUTLevel* level = nullptr;
  d.AddLevel(13, 600.0f, 176, 104, 166, 16, false, &level);
  level->SetThreshold(400.0f);
  CDXUTTimeLine* timeline = nullptr;
  d.AddTimeLine(14, 0.0f, 176, 126, 166, 30, false, &timeline);
  timeline->SetLength(50.0f);
  timeline->SetMarker(20.0f);
  timeline->SetKeys(4, 1);
  float bands[64], peaks[64];
  bool selected[64] = {};
  std::int32_t hovered = 40;
  for (int b = 0; b < 64; ++b) {
    bands[b] = 0.9f - 0.012f * b;
    peaks[b] = bands[b] + 0.08f;
  }
  selected[3] = selected[4] = selected[5] = true;
  CDXUTSpectrum* spectrum = nullptr;
  d.AddSpectrum(15, bands, selected, &hovered, 4, 178, 338, 50, false, &spectrum);
  spectrum->SetPeaks(peaks);
  spectrum->SetThreshold(100.0f);
  d.AddButton(16, u"Focused", 4, 236, 100, 22);

  const gui::Point o = d.GetControlOrigin();
  d.MsgProc(WM_MOUSEMOVE, 0, At(o.x + 180, o.y + 30));   // press "Pressed" and keep it down
  d.MsgProc(WM_LBUTTONDOWN, MK_LBUTTON, At(o.x + 180, o.y + 30));
  d.RequestFocus(d.GetControl(16));
  d.GetButton(3)->OnMouseEnter();  // the pointer can be over one control only; the look of both is shown
  ExpectGolden("every_control", Draw({&d}));
}

// An open combo box with more items than its list holds: the list, the
// highlighted item and the scroll bar, over the control below it.
TEST_F(PanelGolden, OpenComboBox) {
  MakeDevice(200, 160);
  CDXUTDialog d;
  d.Init(&manager_);
  d.SetLocation(0, 0);
  d.SetSize(200, 160);
  CDXUTComboBox* combo = nullptr;
  d.AddComboBox(1, 10, 10, 160, 22, 0, false, &combo);
  for (const char16_t* item : {u"Monochrome", u"Sepia", u"Blur", u"Edge", u"Glow", u"Invert", u"Posterize", u"Emboss", u"Night"})
    combo->AddItem(item, nullptr);
  combo->SetSelectedByIndex(1);
  d.AddButton(2, u"Hidden below", 10, 60, 160, 22);
  d.MsgProc(WM_LBUTTONDOWN, MK_LBUTTON, At(20, 20));
  d.MsgProc(WM_LBUTTONUP, 0, At(20, 20));
  ASSERT_TRUE(combo->IsOpened());
  d.MsgProc(WM_KEYDOWN, VK_DOWN, 1);  // highlight the next item
  ExpectGolden("combo_open", Draw({&d}));
}

// An edit box with a selection in the middle and the caret at its end.
TEST_F(PanelGolden, EditBoxWithSelection) {
  MakeDevice(220, 40);
  CDXUTDialog d;
  d.Init(&manager_);
  d.SetSize(220, 40);
  CDXUTEditBox* edit = nullptr;
  d.AddEditBox(1, u"media\\DSlide3", 8, 8, 204, 24, false, &edit);
  edit->SetBorderWidth(1);
  edit->SetSpacing(2);
  d.MsgProc(WM_LBUTTONDOWN, MK_LBUTTON, At(10, 20));
  d.MsgProc(WM_LBUTTONUP, 0, At(10, 20));
  ASSERT_TRUE(edit->HasFocus());
  d.MsgProc(WM_KEYDOWN, VK_HOME, 1);
  for (int i = 0; i < 6; ++i) d.MsgProc(WM_KEYDOWN, VK_RIGHT, 1);
  gui::NoteInputMessage(WM_KEYDOWN, VK_SHIFT);
  for (int i = 0; i < 5; ++i) d.MsgProc(WM_KEYDOWN, VK_RIGHT, 1);
  gui::NoteInputMessage(WM_KEYUP, VK_SHIFT);
  ASSERT_NE(edit->GetCaret(), edit->GetSelStart());
  ExpectGolden("edit_selection", Draw({&d}));
}

// A minimized panel keeps only its caption bar ("+" in the minimize box);
// the open one beside it shows its body.
TEST_F(PanelGolden, MinimizedPanel) {
  MakeDevice(240, 120);
  CDXUTDialog open, minimized;
  for (CDXUTDialog* d : {&open, &minimized}) {
    d->Init(&manager_);
    d->EnableCaption(true);
    d->SetSize(110, 80);
    d->SetBackgroundColors(0x64FFC8FF);
    d->SetTexture(1, u"media\\GUI\\Widget2.dds");
    d->AddButton(1, u"Inside", 5, 5, 90, 22);
  }
  open.SetCaptionText(u"Open");
  open.SetLocation(5, 10);
  minimized.SetCaptionText(u"Minimized");
  minimized.SetLocation(125, 10);
  minimized.MsgProc(WM_LBUTTONDOWN, MK_LBUTTON, At(125 + 12, 15));
  ASSERT_TRUE(minimized.GetMinimized());
  mv::test::TempWorkDir dir;  // no media folder: the built-in look
  const std::vector<std::uint8_t> px = Draw({&open, &minimized});
  // Below the minimized caption lies the ground, not a panel.
  const std::uint8_t* below = Pixel(px, 180, 60);
  EXPECT_LT(below[0], 0x60);
  ExpectGolden("minimized", px);
}

// A panel texture file is read when it is there; when it is missing the
// generated texture of the same name stands in, pixel for pixel what the
// generator writes into the file.
TEST_F(PanelGolden, PanelTexturesFromFilesOrGenerated) {
  MakeDevice(120, 40);
  mv::test::TempWorkDir dir;
  auto panel = [&](CDXUTDialog& d) {
    d.Init(&manager_);
    d.SetSize(120, 40);
    d.SetTexture(1, u"media\\GUI\\Widget3.dds");
    d.AddButton(1, u"", 10, 5, 100, 30);
  };
  CDXUTDialog missing;
  panel(missing);
  const std::vector<std::uint8_t> generated = Draw({&missing});

  // The generator's own file: the same picture.
  const std::vector<std::uint8_t> dds = gfx::WriteDds(fw::MakePanelTexture(fw::PanelTexture::Widget3));
  dir.Write("media/GUI/Widget3.dds", std::string(dds.begin(), dds.end()));
  painter_ = std::make_unique<fw::PanelPainter>(*device_, *sprite_);
  CDXUTDialog written;
  panel(written);
  EXPECT_EQ(Draw({&written}), generated);

  // A file of another look (a red face) is what gets drawn.
  gfx::Image red = fw::MakePanelTexture(fw::PanelTexture::Widget3);
  for (int y = gui::skin::kFace.top; y < gui::skin::kFace.bottom; ++y)
    for (int x = gui::skin::kFace.left; x < gui::skin::kFace.right; ++x) {
      std::uint8_t* p = &red.levels[0].data[(static_cast<std::size_t>(y) * red.width + x) * 4];
      p[0] = 255, p[1] = 0, p[2] = 0, p[3] = 255;
    }
  const std::vector<std::uint8_t> redDds = gfx::WriteDds(red);
  dir.Write("media/GUI/Widget3.dds", std::string(redDds.begin(), redDds.end()));
  painter_ = std::make_unique<fw::PanelPainter>(*device_, *sprite_);
  CDXUTDialog fromFile;
  panel(fromFile);
  const std::vector<std::uint8_t> px = Draw({&fromFile});
  const std::uint8_t* face = Pixel(px, 60, 20);
  EXPECT_GT(face[0], 120);
  EXPECT_LT(face[1], 30);
  EXPECT_LT(face[2], 30);
  const std::uint8_t* before = Pixel(generated, 60, 20);
  EXPECT_GT(before[1], 100) << "the generated face is not red";
}

// The two generated textures differ (the message dialog's is warm) and
// keep the layout's white piece white.
TEST(PanelTexture, TwoLooksOneLayout) {
  const gfx::Image a = fw::MakePanelTexture(fw::PanelTexture::Widget2);
  const gfx::Image b = fw::MakePanelTexture(fw::PanelTexture::Widget3);
  ASSERT_EQ(a.width, gui::skin::kTextureSize);
  ASSERT_EQ(a.levels.size(), 1u);
  ASSERT_EQ(a.levels[0].data.size(), std::size_t(gui::skin::kTextureSize) * gui::skin::kTextureSize * 4);
  EXPECT_NE(a.levels[0].data, b.levels[0].data);
  const std::size_t white = (std::size_t(gui::skin::kWhite.top + 3) * a.width + gui::skin::kWhite.left + 3) * 4;
  for (int c = 0; c < 4; ++c) EXPECT_EQ(a.levels[0].data[white + c], 255);
  // Shapes are white on transparent ground: a corner of the check mark is clear.
  const std::size_t corner = (std::size_t(gui::skin::kCheckMark.top) * a.width + gui::skin::kCheckMark.left) * 4;
  EXPECT_EQ(a.levels[0].data[corner + 3], 0);
  EXPECT_EQ(fw::PanelTextureFor(u"media\\GUI\\Widget3.dds"), fw::PanelTexture::Widget3);
  EXPECT_EQ(fw::PanelTextureFor(u"media\\GUI\\Widget2.dds"), fw::PanelTexture::Widget2);
}

}  // namespace
