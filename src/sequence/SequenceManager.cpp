#include "sequence/SequenceManager.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "animation/AnimationManager.h"
#include "model/TimeLine.h"
#include "audio/SoundManager.h"
#include "core/Globals.h"
#include "framework/Framework.h"
#include "gui/DialogResourceManager.h"
#include "scene/SceneManager.h"
#include "io/BinaryIO.h"
#include "io/Log.h"
#include "io/Paths.h"
#include "io/Utf16.h"
#include "core/ReadNumbers.h"

namespace fs = std::filesystem;

namespace {

bool EndsWithNoCase(const std::string& s, std::string_view suffix) {
  if (s.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    const char a = static_cast<char>(std::tolower(static_cast<unsigned char>(s[s.size() - suffix.size() + i])));
    if (a != suffix[i]) return false;
  }
  return true;
}

}  // namespace

SequenceManager::SequenceManager(const ShowManagers& managers) : m_managers(managers) {
  g_bGuiHidden = true;
  ScanTemplates();
}

void SequenceManager::ScanTemplates() {
  m_templates.clear();
  std::error_code ec;
  const fs::path dir = mv::io::NativePath("media\\template");
  std::vector<std::string> names;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::string name = it->path().filename().string();
    if (!EndsWithNoCase(name, ".slide")) continue;
    // A name that does not fit its 60-byte field would leave a path to
    // another file: skip it rather than truncate it.
    if (name.size() >= sizeof(SlideTemplate::name)) continue;
    names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  for (const auto& name : names) {
    SlideTemplate t;
    mv::io::CopyToFixed(t.name, sizeof t.name, name);
    mv::io::CopyToFixed(t.path, sizeof t.path, "media\\template\\" + name);
    m_templates.push_back(t);
  }
}

std::ostream& SequenceManager::Write(std::ostream& out) {
  MVObject::Write(out);
  if (!mv::io::Good(out)) return out;
  mv::seq::WriteSlideList(out, m_slides);
  return out;
}

std::istream& SequenceManager::Read(std::istream& in) {
  m_slides.clear();
  m_current = m_lastLoaded = kNone;
  // A new list is a new show: no slide has failed, nobody has paused it.
  m_bCurrentFailed = false;
  m_bUserPaused = false;
  MVObject::Read(in);
  if (!mv::io::Good(in)) return in;
  mv::seq::ReadSlideList(in, m_slides);
  if (!m_slides.empty()) {
    m_current = 0;
    m_remaining = m_slides[0].durationMs;
    m_lastLoaded = kNone;
  }
  return in;
}

SlideRecord* SequenceManager::CurrentSlide() {
  return m_current < m_slides.size() ? &m_slides[m_current] : nullptr;
}

void SequenceManager::FrameMove(float elapsed) {
  if (m_bCurrentFailed && !m_bUserPaused) {
    // A slide that could not be loaded costs its own duration, never the
    // show: count it down and go on.
    m_skipLeftMs -= static_cast<double>(elapsed) * 1000.0;
    m_remaining = mv::seq::ClampDuration(m_skipLeftMs);
    if (m_skipLeftMs <= 0) Next();
  } else if (m_bPlaying && m_remaining < 0) {
    Next();
  }
  if (!m_slides.empty() && m_current != m_lastLoaded) {
    m_lastLoaded = m_current;
    const std::u16string_view path = mv::io::FixedView(m_slides[m_current].path, SlideRecord::kPathUnits);
    m_bCurrentFailed = !LoadSlide(path);
    if (m_bCurrentFailed) {
      ShowMessage(u"Warning !", u"Error when loading slide", 0);
      LogLoadFailure(path);
    } else if (m_loadReport.valuesMissing) {
      LogLoadFailure(path);
    }
    ResetRemaining();
    m_skipLeftMs = m_remaining;
  }
  if (!g_bPreferencesLoaded) {
    ShowMessage(u"Warning !", u"Error when loading preference file...", 0);
    g_bPreferencesLoaded = true;
  }
  RefreshPanel();
}

void SequenceManager::LogLoadFailure(std::u16string_view path) const {
  char line[512];
  std::snprintf(line, sizeof line, "Slide %s %s: %s section, byte %lld: %s\n",
                mv::io::Utf16ToUtf8(path).c_str(), m_loadReport.loaded ? "loaded with a warning" : "not loaded",
                m_loadReport.section, static_cast<long long>(m_loadReport.offset), m_loadReport.reason.c_str());
  Log(line);
}

void SequenceManager::Next() {
  if (m_slides.empty()) return;
  if (m_current + 1 < m_slides.size()) {
    ++m_current;
  } else {
    RequestShutdown(0);
  }
  ResetSceneSelection();
}

void SequenceManager::Previous() {
  if (m_slides.empty()) return;
  m_current = (m_current == 0 || m_current >= m_slides.size()) ? m_slides.size() - 1 : m_current - 1;
  ResetSceneSelection();
}

void SequenceManager::Insert() {
  // The slide count alone can repeat the number (and the file) of a listed
  // slide after a removal: take the count, or the next number no listed
  // slide uses.
  std::uint32_t number = static_cast<std::uint32_t>(m_slides.size());
  for (bool taken = true; taken;) {
    taken = std::any_of(m_slides.begin(), m_slides.end(),
                        [&](const SlideRecord& r) { return r.number == number; });
    if (taken) ++number;
  }
  SlideRecord r{};
  r.reserved = 0;
  r.number = number;
  r.durationMs = 10000;
  char path[64];
  std::snprintf(path, sizeof path, "media\\DSlide%u", number);
  mv::io::CopyToFixed(r.path, SlideRecord::kPathUnits, mv::io::Utf8ToUtf16(path));
  m_slides.push_back(r);
  if (m_slides.size() == 1) m_current = 0;
  if (const SlideTemplate* t = SelectedTemplate()) CopyTemplate(*t, path);
  RefreshPanel();
}

void SequenceManager::CopyTemplate(const SlideTemplate& t, std::string_view slidePath) {
  // A file already at the new slide's path is someone's work: keep it.
  std::error_code ec;
  const fs::path target = mv::io::NativePath(slidePath);
  if (fs::exists(target, ec)) {
    Log("Template not copied: the slide file already exists\n");
    return;
  }
  std::ifstream in(mv::io::NativePath(std::string_view(t.path, mv::io::Length8(t.path, sizeof t.path))),
                   std::ios::binary);
  const bool ok = in && mv::io::WriteFileAtomically(target, [&](std::ostream& out) {
    out << in.rdbuf();
    return !in.bad();
  });
  if (!ok) Log("Template could not be copied\n");
}

void SequenceManager::Remove() {
  if (m_slides.empty() || m_current >= m_slides.size()) return;
  m_slides.erase(m_slides.begin() + static_cast<std::ptrdiff_t>(m_current));
  if (m_slides.empty()) {
    m_current = kNone;
  } else if (m_current >= m_slides.size()) {
    m_current = m_slides.size() - 1;
  }
  // The scene keeps the removed slide's content; nothing is reloaded.
  m_lastLoaded = m_current;
  m_bCurrentFailed = false;
  RefreshPanel();
}

void SequenceManager::SaveCurrent() {
  SlideRecord* s = CurrentSlide();
  if (!s) return;
  const bool ok = SaveSlide(mv::io::FixedView(s->path, SlideRecord::kPathUnits));
  RefreshPanel();
  if (ok)
    ShowMessage(u"Ok !", u"Slide saved !", 3);
  else
    ShowMessage(u"Error !", u"Slide not saved correctly !", 0);
}

void SequenceManager::Calc() {
  SlideRecord* s = CurrentSlide();
  if (!s) return;
  // Each key's share is truncated on its own before it is added.
  // Key lengths come from files: add in 64 bits, then saturate.
  std::int64_t sum = 0;
  for (int frames : FirstObjectKeyFrames()) sum += static_cast<std::int64_t>(frames) * 1000 / 25;
  const std::int32_t ms = mv::seq::ClampDuration(static_cast<double>(sum));
  m_remaining = ms;
  s->durationMs = ms;
}

void SequenceManager::TogglePlay() {
  m_bPlaying = !m_bPlaying;
  m_bUserPaused = !m_bPlaying;
  m_bPlayLabelDirty = true;
  m_bMusicStarted = !m_bPlaying;
  SetAnimationPlaying(m_bPlaying);
  SetMusicPlaying(m_bPlaying);
}

void SequenceManager::ResetRemaining() {
  if (const SlideRecord* s = CurrentSlide()) m_remaining = s->durationMs;
}

int SequenceManager::SlideCellAt(int, int) const { return -1; }

void SequenceManager::OnDurationSlider(int value) {
  if (SlideRecord* s = CurrentSlide()) s->durationMs = mv::seq::ClampDuration(value * 1000.0);
}

void SequenceManager::OnDurationEdit(std::u16string_view text) {
  SlideRecord* s = CurrentSlide();
  if (!s) return;
  float number = 0;
  ReadNumbers(text, &number, 1);
  // Typed text can hold any number: saturate instead of converting out of range.
  s->durationMs = mv::seq::ClampDuration(number);
  SetDurationSliderValue(static_cast<int>(std::clamp(std::trunc(number / 1000.0f), 0.0f, 1000.0f)));
}

namespace {

// Message-dialog background per kind; any other kind leaves it unchanged.
bool MessageColor(int kind, gui::Color& color) {
  switch (kind) {
    case 0: color = 0xF20208FF; return true;
    case 1: color = 0xFF8020FF; return true;
    case 2: color = 0x3080FFFF; return true;
    case 3: color = 0x20FF20FF; return true;
    default: return false;
  }
}

}  // namespace

void SequenceManager::BuildPanels() {
  // Building again replaces the controls rather than adding a second set.
  m_messageDialog.RemoveAllControls();
  m_panel.RemoveAllControls();
  m_messageDialog.Init(m_managers.dialogResources);
  m_messageDialog.SetCallback(&SequenceManager::OnMessageEvent, this);
  m_messageDialog.SetTexture(1, u"media\\GUI\\Widget3.dds");
  m_messageDialog.EnableCaption(true);
  m_messageDialog.SetCaptionText(u"Welcome !");
  m_messageDialog.SetBackgroundColors(0xFFFF6464);
  m_messageDialog.SetLocation(320, 200);
  m_messageDialog.SetSize(400, 100);
  m_messageDialog.AddStatic(IDC_MSG_TEXT, u"Welcome to morvane", 10, 10, 280, 20);
  m_messageDialog.AddButton(IDC_MSG_OK, u"Ok", 100, 40, 50, 20);

  m_panel.Init(m_managers.dialogResources);
  m_panel.SetCallback(&SequenceManager::OnPanelEvent, this);
  m_panel.SetTexture(1, u"media\\GUI\\Widget2.dds");
  m_panel.EnableCaption(true);
  m_panel.SetCaptionText(u"Sequence Manager");
  m_panel.SetBackgroundColors(0x64FFC8FF);
  m_panel.SetLocation(116, 65);
  m_panel.SetSize(420, 200);
  m_panel.AddButton(IDC_PREV, u"<", 10, 5, 30, 20);
  m_panel.AddButton(IDC_PLAY, u"Play", 40, 5, 30, 20);
  m_panel.AddButton(IDC_NEXT, u">", 70, 5, 30, 20);
  m_panel.AddButton(IDC_INSERT, u"Insert", 100, 5, 50, 20);
  CDXUTComboBox* combo = nullptr;
  m_panel.AddComboBox(IDC_TEMPLATES, 150, 5, 150, 20, 0, false, &combo);
  if (combo) {
    for (const auto& t : m_templates)
      combo->AddItem(mv::io::Utf8ToUtf16(mv::io::AnsiToUtf8(t.name)).c_str(), const_cast<char*>(t.path));
  }
  m_panel.AddButton(IDC_REMOVE, u"Remove", 305, 5, 50, 20);
  m_panel.AddButton(IDC_SAVE, u"Save", 360, 5, 50, 20);
  m_panel.AddButton(IDC_CALC, u"Calc", 360, 30, 50, 20);
  m_panel.AddStatic(IDC_STATUS, u"Sequence", 10, 55, 150, 20);
  m_panel.AddStatic(IDC_DURATION_LABEL, u"Duration (ms) :", 10, 80, 80, 20);
  CDXUTEditBox* edit = nullptr;
  m_panel.AddEditBox(IDC_DURATION_EDIT, u"", 95, 80, 50, 20, false, &edit);
  if (edit) {
    edit->SetBorderWidth(1);
    edit->SetSpacing(2);
  }
  m_panel.AddSlider(IDC_DURATION_SLIDER, 160, 80, 80, 20, 0, 1000, 50);
  SetPanel(&m_panel);

  ShowMessage(u"Welcome", u"Welcome to morvane", 2);
}

void SequenceManager::ShowMessage(std::u16string_view caption, std::u16string_view text, int kind) {
  m_messageDialog.SetCaptionText(std::u16string(caption).c_str());
  gui::Color color;
  if (MessageColor(kind, color)) m_messageDialog.SetBackgroundColors(color);
  if (auto* s = static_cast<CDXUTStatic*>(m_messageDialog.GetControl(IDC_MSG_TEXT, DXUT_CONTROL_STATIC)))
    s->SetText(text);
  m_messageDialog.SetVisible(true);
}

namespace {

// The panel's texts are ASCII: widen them in place, without allocating.
std::u16string_view Widen(const char* text, char16_t* out, std::size_t n) {
  std::size_t i = 0;
  for (; text[i] && i + 1 < n; ++i) out[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
  out[i] = 0;
  return std::u16string_view(out, i);
}

}  // namespace

void SequenceManager::RefreshPanel() {
  if (g_bGuiHidden) return;
  char buf[96];
  char16_t wide[96];
  const SlideRecord* s = CurrentSlide();
  if (!s) {
    std::snprintf(buf, sizeof buf, "Sequence empty !");
  } else if (m_bPlaying) {
    std::snprintf(buf, sizeof buf, "Slide : %3.3u/%3.3u - %d ms", s->number,
                  static_cast<unsigned>(m_slides.size()), m_remaining);
  } else {
    std::snprintf(buf, sizeof buf, "Slide : %3.3u/%3.3u - Pause Mode", s->number,
                  static_cast<unsigned>(m_slides.size()));
  }
  if (auto* st = static_cast<CDXUTStatic*>(m_panel.GetControl(IDC_STATUS, DXUT_CONTROL_STATIC)))
    st->SetText(Widen(buf, wide, 96));

  auto* save = m_panel.GetControl(IDC_SAVE, DXUT_CONTROL_BUTTON);
  auto* remove = m_panel.GetControl(IDC_REMOVE, DXUT_CONTROL_BUTTON);
  if (!s) {
    if (save) save->SetEnabled(false);
    if (remove) remove->SetEnabled(false);
  } else {
    if (auto* e = static_cast<CDXUTEditBox*>(m_panel.GetControl(IDC_DURATION_EDIT, DXUT_CONTROL_EDITBOX))) {
      std::snprintf(buf, sizeof buf, "%5d", s->durationMs);
      e->SetText(Widen(buf, wide, 96), false);
    }
    if (save) save->SetEnabled(true);
    if (remove) remove->SetEnabled(true);
  }
  if (m_bPlayLabelDirty) {
    if (auto* b = static_cast<CDXUTButton*>(m_panel.GetControl(IDC_PLAY, DXUT_CONTROL_BUTTON)))
      b->SetText(m_bPlaying ? u"Stop" : u"Play");
    m_bPlayLabelDirty = false;
  }
}

void SequenceManager::SetDurationSliderValue(int value) {
  if (auto* sl = static_cast<CDXUTSlider*>(m_panel.GetControl(IDC_DURATION_SLIDER, DXUT_CONTROL_SLIDER)))
    sl->SetValue(value);
}

const SlideTemplate* SequenceManager::SelectedTemplate() const {
  auto* combo = static_cast<CDXUTComboBox*>(m_panel.GetControl(IDC_TEMPLATES, DXUT_CONTROL_COMBOBOX));
  if (!combo) return nullptr;
  const int i = combo->GetSelectedIndex();
  if (i < 0 || static_cast<std::size_t>(i) >= m_templates.size()) return nullptr;
  return &m_templates[static_cast<std::size_t>(i)];
}

void CALLBACK SequenceManager::OnMessageEvent(UINT event, int id, CDXUTControl*, void* user) {
  auto* self = static_cast<SequenceManager*>(user);
  if (id == IDC_MSG_OK && event == EVENT_BUTTON_CLICKED) self->m_messageDialog.SetVisible(false);
}

void CALLBACK SequenceManager::OnPanelEvent(UINT event, int id, CDXUTControl* control, void* user) {
  auto* self = static_cast<SequenceManager*>(user);
  switch (id) {
    case IDC_PREV: self->Previous(); break;
    case IDC_NEXT: self->Next(); break;
    case IDC_PLAY: self->TogglePlay(); break;
    case IDC_INSERT: self->Insert(); break;
    case IDC_REMOVE: self->Remove(); break;
    case IDC_SAVE: self->SaveCurrent(); break;
    case IDC_CALC: self->Calc(); break;
    case IDC_DURATION_SLIDER:
      self->OnDurationSlider(static_cast<CDXUTSlider*>(control)->GetValue());
      break;
    case IDC_DURATION_EDIT:
      if (event == EVENT_EDITBOX_CHANGE)
        self->OnDurationEdit(static_cast<CDXUTEditBox*>(control)->GetTextString());
      break;
    default: break;
  }
  self->RefreshPanel();
}

// ---- where the show reaches the other managers and the framework ----------

void SequenceManager::RequestShutdown(int exitCode) { fw::Shutdown(exitCode); }

void SequenceManager::ResetSceneSelection() { m_managers.scene->SetSelectedIndex(0); }

void SequenceManager::SetAnimationPlaying(bool playing) { m_managers.animation->SetPlaying(playing); }

void SequenceManager::SetMusicPlaying(bool playing) {
  m_managers.sound->SetStreamPlaying(playing);
  m_managers.sound->SetPlayStateChanged(true);
  if (playing)
    m_managers.sound->Play();
  else
    m_managers.sound->Stop();
}

std::vector<int> SequenceManager::FirstObjectKeyFrames() const {
  std::vector<int> frames;
  const CSceneObject* first = m_managers.scene->GetObject(0);
  if (!first || !first->timeLine) return frames;
  const TimeLine& t = *first->timeLine;
  for (std::int32_t i = 0; i < t.GetKeyCount(); ++i) frames.push_back(t.GetKeyTime(i));
  return frames;
}
