#pragma once
// Drives dialogs with synthetic window messages and records what comes out:
// events, mouse capture and the clipboard.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/Gui.h"

namespace guitest {

struct Event {
  UINT code;
  int id;
  CDXUTControl* control;
  friend bool operator==(const Event&, const Event&) = default;
};

struct Recorder {
  std::vector<Event> events;
  int captures = 0;
  int releases = 0;
  std::u16string clipboard;

  static void CALLBACK OnEvent(UINT nEvent, int id, CDXUTControl* control, void* ctx) {
    static_cast<Recorder*>(ctx)->events.push_back({nEvent, id, control});
  }
  // Events as (code, id) pairs, for compact expectations.
  std::vector<std::pair<UINT, int>> Codes() const {
    std::vector<std::pair<UINT, int>> out;
    for (const Event& e : events) out.emplace_back(e.code, e.id);
    return out;
  }
  int Count(UINT code) const {
    int n = 0;
    for (const Event& e : events) n += e.code == code;
    return n;
  }
};

// Installs recording platform hooks and resets the toolkit's shared state.
class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CDXUTDialog::ClearFocus();
    gui::ResetKeyState();
    gui::PlatformHooks hooks;
    hooks.setCapture = [this] { ++rec.captures; };
    hooks.releaseCapture = [this] { ++rec.releases; };
    hooks.getClipboard = [this] { return rec.clipboard; };
    hooks.setClipboard = [this](std::u16string_view t) { rec.clipboard.assign(t); };
    gui::SetPlatformHooks(std::move(hooks));
  }
  void TearDown() override {
    CDXUTDialog::ClearFocus();
    gui::ResetPlatformHooks();
    gui::ResetKeyState();
  }

  // A dialog with the recorder as its callback.
  void Prepare(CDXUTDialog& d, int x = 0, int y = 0, int w = 400, int h = 300) {
    d.Init(&manager);
    d.SetCallback(&Recorder::OnEvent, &rec);
    d.SetLocation(x, y);
    d.SetSize(w, h);
  }

  CDXUTDialogResourceManager manager;
  Recorder rec;
};

// Window-pixel messages.
inline bool Mouse(CDXUTDialog& d, UINT msg, int x, int y, WPARAM keys = 0) {
  return d.MsgProc(msg, keys, MakeLParam(x, y));
}
inline bool Down(CDXUTDialog& d, int x, int y, WPARAM keys = 0) {
  return Mouse(d, WM_LBUTTONDOWN, x, y, keys | MK_LBUTTON);
}
inline bool Up(CDXUTDialog& d, int x, int y, WPARAM keys = 0) { return Mouse(d, WM_LBUTTONUP, x, y, keys); }
inline bool Move(CDXUTDialog& d, int x, int y, WPARAM keys = 0) { return Mouse(d, WM_MOUSEMOVE, x, y, keys); }
inline bool DblClk(CDXUTDialog& d, int x, int y, WPARAM keys = 0) {
  return Mouse(d, WM_LBUTTONDBLCLK, x, y, keys | MK_LBUTTON);
}
inline void Click(CDXUTDialog& d, int x, int y, WPARAM keys = 0) {
  Down(d, x, y, keys);
  Up(d, x, y, keys);
}
// Windows' sequence for a double click: down, up, double-click, up.
inline void DoubleClick(CDXUTDialog& d, int x, int y) {
  Click(d, x, y);
  DblClk(d, x, y);
  Up(d, x, y);
}
inline bool KeyDown(CDXUTDialog& d, UINT vk, LPARAM lp = 1) { return d.MsgProc(WM_KEYDOWN, vk, lp); }
inline bool KeyUp(CDXUTDialog& d, UINT vk) { return d.MsgProc(WM_KEYUP, vk, LPARAM(0xC0000001)); }
inline bool Char(CDXUTDialog& d, char16_t c) { return d.MsgProc(WM_CHAR, c, 1); }
// Types text the way the window system delivers it: key down, character, key up.
inline void Type(CDXUTDialog& d, std::u16string_view text) {
  for (char16_t c : text) Char(d, c);
}

}  // namespace guitest
