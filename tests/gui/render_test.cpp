// What the controls draw, recorded through a painter: where and in which
// order. The point of every test here is that what is drawn lies where the
// same control takes its input.
#include <algorithm>
#include <cmath>

#include "gui/GuiTestUtil.h"

namespace {

using guitest::Click;
using guitest::Down;
using guitest::Move;
using guitest::Up;

struct Call {
  enum Kind { Fill, Gradient, Image, Text } kind;
  gui::Rect rc;
  gui::Color color = 0;
  std::u16string text;
  UINT texture = 0;
  gui::Rect rcTexture{};
  friend bool operator==(const Call&, const Call&) = default;
};

struct RecordingPainter : gui::Painter {
  std::vector<Call> calls;
  void FillRect(const gui::Rect& rc, gui::Color c) override { calls.push_back({Call::Fill, rc, c}); }
  void FillGradient(const gui::Rect& rc, gui::Color a, gui::Color, gui::Color, gui::Color) override {
    calls.push_back({Call::Gradient, rc, a});
  }
  void DrawImage(const CDXUTDialog&, UINT texture, const gui::Rect& rcTexture, const gui::Rect& rc,
                 gui::Color tint) override {
    calls.push_back({Call::Image, rc, tint, {}, texture, rcTexture});
  }
  void DrawText(const CDXUTDialog&, UINT, std::u16string_view text, const gui::Rect& rc, std::uint32_t,
                gui::Color c) override {
    calls.push_back({Call::Text, rc, c, std::u16string(text)});
  }
  // Index of the last text call with exactly this text, -1 when none.
  int LastText(std::u16string_view t) const {
    for (int i = static_cast<int>(calls.size()) - 1; i >= 0; --i)
      if (calls[static_cast<std::size_t>(i)].kind == Call::Text && calls[static_cast<std::size_t>(i)].text == t) return i;
    return -1;
  }
  const Call* FirstText(std::u16string_view t) const {
    for (const Call& c : calls)
      if (c.kind == Call::Text && c.text == t) return &c;
    return nullptr;
  }
};

class Render : public guitest::GuiTest {
 protected:
  std::vector<Call> Draw(CDXUTDialog& d) {
    RecordingPainter p;
    d.OnRender(p, 0.04f);
    return p.calls;
  }
  RecordingPainter DrawP(CDXUTDialog& d) {
    RecordingPainter p;
    d.OnRender(p, 0.04f);
    return p;
  }
};

int CentreX(const gui::Rect& rc) { return (rc.left + rc.right) / 2; }
int CentreY(const gui::Rect& rc) { return (rc.top + rc.bottom) / 2; }

// Each character of an edit box is drawn in the cell whose click puts the
// caret before it (left half) or after it (right half), scrolled or not.
TEST_F(Render, EditBoxCharactersAreDrawnWhereClicksPlaceTheCaret) {
  CDXUTDialog d;
  Prepare(d, 30, 40);
  CDXUTEditBox* edit = nullptr;
  ASSERT_EQ(d.AddEditBox(1, u"", 10, 10, 120, 24, false, &edit), gui::S_OK);
  const std::u16string text = u"abcdefghijklmnopqrstuvwxyz0123456789";
  edit->SetText(text.c_str());  // longer than the box: the caret at the end scrolls it
  Click(d, 30 + 20, 40 + 20);   // focus
  guitest::KeyDown(d, VK_END);
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) guitest::KeyDown(d, VK_HOME);
    const std::vector<Call> calls = Draw(d);
    int cells = 0;
    for (const Call& c : calls) {
      if (c.kind != Call::Text || c.text.size() != 1) continue;
      const int index = static_cast<int>(text.find(c.text));
      ++cells;
      // The cell is the character's advance, centred where it is drawn.
      const int cw = edit->GetCharWidth();
      Click(d, CentreX(c.rc) - cw / 2 + 1, CentreY(c.rc));
      EXPECT_EQ(edit->GetCaret(), index) << "left half of '" << char(c.text[0]) << "'";
      Click(d, CentreX(c.rc) + cw / 2 - 1, CentreY(c.rc));
      EXPECT_EQ(edit->GetCaret(), index + 1) << "right half of '" << char(c.text[0]) << "'";
    }
    EXPECT_GT(cells, 8) << "pass " << pass;
    EXPECT_LT(cells, static_cast<int>(text.size())) << "only what fits is drawn";
  }
}

// The selection's ground covers exactly the cells of the selected
// characters.
TEST_F(Render, EditBoxSelectionCoversTheSelectedCharacters) {
  CDXUTDialog d;
  Prepare(d);
  CDXUTEditBox* edit = nullptr;
  d.AddEditBox(1, u"hello world", 0, 0, 200, 24, false, &edit);
  Click(d, 5, 12);
  guitest::KeyDown(d, VK_HOME);
  for (int i = 0; i < 4; ++i) {
    gui::NoteInputMessage(WM_KEYDOWN, VK_SHIFT);
    guitest::KeyDown(d, VK_RIGHT);
  }
  gui::NoteInputMessage(WM_KEYUP, VK_SHIFT);
  ASSERT_EQ(std::min(edit->GetCaret(), edit->GetSelStart()), 0);
  ASSERT_EQ(std::max(edit->GetCaret(), edit->GetSelStart()), 4);
  const RecordingPainter p = DrawP(d);
  const Call* h = p.FirstText(u"h");
  const Call* o = p.FirstText(u"o");  // the first 'o' is the fifth character: not selected
  ASSERT_TRUE(h && o);
  const int cw = edit->GetCharWidth();
  const auto sel = std::find_if(p.calls.begin(), p.calls.end(), [&](const Call& c) {
    return c.kind == Call::Fill && c.rc.left == CentreX(h->rc) - cw / 2 && c.rc.right == CentreX(o->rc) - cw / 2;
  });
  EXPECT_NE(sel, p.calls.end()) << "a fill from the first selected cell to the first unselected one";
  EXPECT_NE(h->color, o->color) << "selected text has its own colour";
}

// Band b of the spectrum is drawn where the sound panel's pointer formula
// ((x - 32) / (width - 30) * 64) picks band b.
TEST_F(Render, SpectrumBandsAreDrawnWhereAClickPicksThem) {
  CDXUTDialog d;
  Prepare(d, 100, 50);
  float bands[64] = {};
  bool selected[64] = {};
  std::int32_t hovered = -1;
  CDXUTSpectrum* s = nullptr;
  d.AddSpectrum(620, bands, selected, &hovered, 20, 140, 440, 55, false, &s);
  s->SetStrip(32, 440 - 30);
  for (int b : {0, 1, 17, 31, 32, 62, 63}) {
    std::fill(std::begin(bands), std::end(bands), 0.0f);
    bands[b] = 1.0f;
    const gui::Rect box = d.ControlToWindow(s->GetBoundingBox());
    int found = 0;
    for (const Call& c : Draw(d)) {
      // A full bar reaches the top of the plot, two pixels in.
      if (c.kind != Call::Fill || c.rc.top != box.top + 2 || c.rc.Width() >= 20 || c.rc.Empty()) continue;
      ++found;
      const int x = CentreX(c.rc) - d.GetControlOrigin().x;  // control coordinates, as the panel reads them
      const int picked = std::min(63, static_cast<int>(std::trunc(float(x - 32) / float(440 - 30) * 64.0f)));
      EXPECT_EQ(picked, b);
    }
    EXPECT_EQ(found, 1) << "band " << b;
  }
}

// The timeline's cursor stands where a click seeks to the marker's frame
// (the animation panel's (x - 32) / (width - 30) * length + 1), and one key
// cell per key is drawn with the current one set apart.
TEST_F(Render, TimelineCursorAndKeysShowTheData) {
  CDXUTDialog d;
  Prepare(d, 0, 0);
  CDXUTTimeLine* t = nullptr;
  d.AddTimeLine(1, 0.0f, 10, 75, 300, 30, false, &t);
  t->SetStrip(32, 300 - 30);
  t->SetLength(64.0f);
  const gui::Rect box = d.ControlToWindow(t->GetBoundingBox());
  for (float marker : {1.0f, 10.0f, 33.0f, 63.0f}) {
    t->SetMarker(marker);
    int found = 0;
    for (const Call& c : Draw(d)) {
      if (c.kind != Call::Fill || c.rc.Width() != 2 || c.rc.Height() != box.Height() - 2) continue;
      ++found;
      const int x = CentreX(c.rc);
      const float frame = float(x - 32) / float(300 - 30) * 64.0f + 1.0f;
      EXPECT_NEAR(frame, marker, 0.6f);
    }
    EXPECT_EQ(found, 1) << marker;
  }
  // Keys: cells in a row along the top, one of another colour.
  for (int current : {0, 2, 4}) {
    t->SetKeys(5, current);
    std::vector<Call> cells;
    for (const Call& c : Draw(d))
      if (c.kind == Call::Fill && c.rc.top == box.top + 2 && c.rc.Width() > 10) cells.push_back(c);
    ASSERT_EQ(cells.size(), 5u);
    for (std::size_t k = 0; k < cells.size(); ++k) {
      if (k > 0) EXPECT_GT(cells[k].rc.left, cells[k - 1].rc.left);
      EXPECT_EQ(cells[k].color == cells[static_cast<std::size_t>(current)].color, k == std::size_t(current)) << k;
    }
  }
}

// The level fills its strip in proportion to its value and marks the
// threshold at its own proportion.
TEST_F(Render, LevelFillsInProportion) {
  CDXUTDialog d;
  Prepare(d);
  CDXUTLevel* level = nullptr;
  d.AddLevel(1, 0.0f, 0, 0, 204, 16, false, &level);  // 200 pixels inside its 2-pixel margins
  level->SetThreshold(250.0f);
  for (float value : {0.0f, 100.0f, 500.0f, 1000.0f, 4000.0f}) {
    level->SetValue(value);
    const std::vector<Call> calls = Draw(d);
    const auto fill = std::find_if(calls.begin(), calls.end(),
                                   [](const Call& c) { return c.kind == Call::Fill && c.rc.left == 2 && c.rc.top == 2; });
    ASSERT_NE(fill, calls.end());
    EXPECT_EQ(fill->rc.Width(), static_cast<int>(std::min(value, 1000.0f) / 5.0f)) << value;
    const auto mark = std::find_if(calls.begin(), calls.end(),
                                   [](const Call& c) { return c.kind == Call::Fill && c.rc.Width() == 1 && c.rc.Height() == 16; });
    ASSERT_NE(mark, calls.end());
    EXPECT_EQ(mark->rc.left, 2 + 50);
  }
}

// Minimized: the caption bar and its text, nothing of the body.
TEST_F(Render, MinimizedDialogDrawsOnlyItsCaption) {
  CDXUTDialog d;
  Prepare(d, 50, 60, 200, 100);
  d.EnableCaption(true);
  d.SetCaptionText(u"Panel");
  d.SetBackgroundColors(0x80FF0000);
  d.AddButton(1, u"Go", 10, 10, 60, 20);
  const RecordingPainter open = DrawP(d);
  EXPECT_GE(open.LastText(u"Go"), 0);
  EXPECT_GE(open.LastText(u"Panel"), 0);

  Click(d, 50 + 12, 60 + 5);  // the minimize zone
  ASSERT_TRUE(d.GetMinimized());
  const RecordingPainter mini = DrawP(d);
  EXPECT_LT(mini.LastText(u"Go"), 0);
  EXPECT_GE(mini.LastText(u"Panel"), 0);
  const gui::Rect caption = d.GetCaptionRect();
  for (const Call& c : mini.calls) {
    EXPECT_GE(c.rc.top, caption.top);
    EXPECT_LE(c.rc.bottom, caption.bottom + 1);  // the text's shadow may reach one pixel below
  }
  EXPECT_NE(mini.calls, open.calls);
}

TEST_F(Render, InvisibleDialogsAndHiddenControlsDrawNothing) {
  CDXUTDialog d;
  Prepare(d);
  d.SetBackgroundColors(0xFF202020);
  d.AddButton(1, u"Shown", 0, 0, 60, 20);
  d.AddButton(2, u"Hidden", 0, 30, 60, 20);
  d.GetButton(2)->SetVisible(false);
  const RecordingPainter p = DrawP(d);
  EXPECT_GE(p.LastText(u"Shown"), 0);
  EXPECT_LT(p.LastText(u"Hidden"), 0);
  d.SetVisible(false);
  EXPECT_TRUE(Draw(d).empty());
}

// An open combo box's list covers the control below it: the focused combo
// is drawn after every other control, its items inside its drop-down.
TEST_F(Render, OpenComboListIsDrawnOverItsNeighbours) {
  CDXUTDialog d;
  Prepare(d);
  CDXUTComboBox* combo = nullptr;
  d.AddComboBox(1, 10, 10, 120, 20, 0, false, &combo);
  for (const char16_t* item : {u"one", u"two", u"three"}) combo->AddItem(item, nullptr);
  d.AddButton(2, u"Below", 10, 40, 120, 20);  // under the drop-down
  const RecordingPainter closed = DrawP(d);
  EXPECT_GE(closed.LastText(u"one"), 0) << "the selection shows in the box";
  EXPECT_LT(closed.LastText(u"two"), 0);

  Click(d, 20, 20);
  ASSERT_TRUE(combo->IsOpened());
  const RecordingPainter open = DrawP(d);
  const gui::Rect drop = d.ControlToWindow(combo->GetDropdownRect());
  for (const char16_t* item : {u"two", u"three"}) {
    const int i = open.LastText(item);
    ASSERT_GE(i, 0) << "item drawn";
    EXPECT_GT(i, open.LastText(u"Below")) << "over the button";
    const gui::Rect rc = open.calls[static_cast<std::size_t>(i)].rc;
    EXPECT_TRUE(drop.Contains({CentreX(rc), CentreY(rc)}));
    // The row drawn is the row a click chooses.
    if (std::u16string_view(item) == u"three") {
      Click(d, CentreX(rc), CentreY(rc));
      EXPECT_EQ(combo->GetSelectedIndex(), 2);
    }
  }
}

// Normal, under the pointer, pressed, focused and disabled all look
// different.
TEST_F(Render, ButtonStatesAreVisible) {
  CDXUTDialog d;
  Prepare(d);
  d.EnableKeyboardInput(true);  // a released press keeps the focus
  CDXUTButton* b = nullptr;
  d.AddButton(1, u"B", 10, 10, 80, 20, 0, false, &b);
  std::vector<std::vector<Call>> looks;
  looks.push_back(Draw(d));  // normal
  Move(d, 20, 20);
  looks.push_back(Draw(d));  // hover
  Down(d, 20, 20);
  looks.push_back(Draw(d));  // pressed
  Up(d, 20, 20);
  Move(d, 300, 200);
  ASSERT_TRUE(b->HasFocus());
  looks.push_back(Draw(d));  // focused
  b->SetEnabled(false);
  looks.push_back(Draw(d));  // disabled
  for (std::size_t i = 0; i < looks.size(); ++i)
    for (std::size_t j = i + 1; j < looks.size(); ++j) EXPECT_NE(looks[i], looks[j]) << i << " vs " << j;
}

// The skin comes from texture 1 once the panel sets one.
TEST_F(Render, ControlsUseThePanelTextureWhenSet) {
  CDXUTDialog d;
  Prepare(d);
  d.AddButton(1, u"B", 0, 0, 50, 20);
  auto textureOf = [&] {
    for (const Call& c : Draw(d))
      if (c.kind == Call::Image) return static_cast<int>(c.texture);
    return -1;
  };
  EXPECT_EQ(textureOf(), 0);
  d.SetTexture(1, u"media\\GUI\\Widget2.dds");
  EXPECT_EQ(textureOf(), 1);
}

}  // namespace
