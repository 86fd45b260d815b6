#include "animation/AnimationManager.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "model/TimeLine.h"
#include "core/ReadNumbers.h"
#include "io/BinaryIO.h"
#include "scene/SceneManager.h"
#include "model/SceneObjects.h"

namespace {

constexpr float kMsPerFrame = 1000.0f / AnimationManager::kFramesPerSecond;

// Whole frames in a time in milliseconds: trunc(ms × 25 ÷ 1000), saturated
// so that a huge time never overflows.
std::int32_t FrameOf(float ms) {
  const float f = std::trunc(ms * AnimationManager::kFramesPerSecond / 1000.0f);
  if (!(f > -2147483520.0f)) return f < 0 ? std::numeric_limits<std::int32_t>::min() : 0;
  if (f >= 2147483520.0f) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(f);
}

float MsOfFrames(std::int32_t frames) { return static_cast<float>(frames) * 1000.0f / AnimationManager::kFramesPerSecond; }

std::int32_t TruncToInt(float v) {
  if (!(v == v)) return 0;
  if (v >= 2147483520.0f) return std::numeric_limits<std::int32_t>::max();
  if (v <= -2147483520.0f) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

// Formats ASCII text into a UTF-16 string, reusing its storage.
template <class... Args>
void Format16(std::u16string& out, const char* format, Args... args) {
  char buffer[96];
  const int n = std::snprintf(buffer, sizeof buffer, format, args...);
  out.clear();
  for (int i = 0; i < n && i < static_cast<int>(sizeof buffer) - 1; ++i)
    out.push_back(static_cast<char16_t>(static_cast<unsigned char>(buffer[i])));
}

}  // namespace

AnimationManager::AnimationManager(SceneManager* scene, AnimationLinks* links) : m_pScene(scene), m_pLinks(links) {}

TimeLine* AnimationManager::TimeLineOf(int objectIndex) const {
  const CSceneObject* o = m_pScene ? m_pScene->GetObject(objectIndex) : nullptr;
  return o ? o->timeLine : nullptr;
}

TimeLine* AnimationManager::SelectedTimeLine() const {
  const CSceneObject* o = m_pScene ? m_pScene->GetSelectedObject() : nullptr;
  return o ? o->timeLine : nullptr;
}

// ---- the clock ---------------------------------------------------------------

void AnimationManager::Update(float dt, bool forced) {
  if (!m_bPlaying && !forced) return;
  if (!m_pScene) return;
  const int count = m_pScene->GetObjectCount();
  if (forced) {
    for (int i = 0; i < count; ++i)
      if (TimeLine* t = TimeLineOf(i)) t->segmentTime = 0.0f;
    m_pLinks->ResetSlideRemaining();
    m_fStartDelay = kStartDelay;
  } else {
    if (m_fStartDelay > 0.0f) m_fStartDelay -= dt;
    // The first second after a restart holds the clock.
    if (m_fStartDelay < 1.0f) {
      const float step = dt * 1000.0f;
      for (int i = 0; i < count; ++i)
        if (TimeLine* t = TimeLineOf(i)) t->segmentTime += step;
    }
  }

  // Every key change applies the current keys of all objects. Only the last
  // object to change key in this step needs to do it: the keys it applies
  // overwrite whatever the earlier applications wrote, and nothing between
  // them reads those values (cursors and times are not touched by applying
  // keys, and the value scripts' state does not depend on the values). So
  // the step stays linear in the number of objects.
  int lastChange = -1;
  for (int i = 0; i < m_pScene->GetObjectCount(); ++i) {
    TimeLine* t = TimeLineOf(i);
    if (!t) continue;
    if (!(t->segmentTime >= 0.0f)) t->segmentTime = 0.0f;  // negative or NaN
    t->ClampCurrentKey();
    if (FrameOf(t->segmentTime) >= t->GetKeyTime(t->currentKey)) lastChange = i;
  }

  for (int i = 0; i < m_pScene->GetObjectCount(); ++i) {
    TimeLine* t = TimeLineOf(i);
    if (!t) continue;
    const std::int32_t cur = t->currentKey;
    const std::int32_t next = cur == t->GetKeyCount() - 1 ? cur : cur + 1;
    const std::int32_t frame = FrameOf(t->segmentTime);
    const std::int32_t length = t->GetKeyTime(cur);
    if (frame >= length) {
      MoveToNextKey(*t);
      if (i == lastChange) ApplyCurrentKeys();
    }
    m_fSegmentDuration = MsOfFrames(length);
    if (frame < length && m_fSegmentDuration > 0.0f) t->Interpolate(cur, next, t->segmentTime, m_fSegmentDuration);
  }
  m_pScene->ApplySceneToViews();
  m_bPanelDirty = true;
}

void AnimationManager::MoveToNextKey(TimeLine& t) {
  t.ClampCurrentKey();
  if (t.currentKey < t.GetKeyCount() - 1) {
    ++t.currentKey;
    t.segmentOffset = 0.0f;
    t.segmentTime = 0.0f;
  } else if (m_pLinks->IsSequencePlaying()) {
    // The slide's animation has run out: the show moves on.
    m_pLinks->RequestSlideAdvance();
    t.segmentTime = 0.0f;
  } else {
    t.currentKey = 0;
    t.segmentOffset = t.segmentTime;
    t.segmentTime = 0.0f;
  }
}

void AnimationManager::MoveToPreviousKey(TimeLine& t) {
  t.ClampCurrentKey();
  if (t.currentKey < 1) t.currentKey = t.GetKeyCount();
  t.segmentOffset = 0.0f;
  t.segmentTime = 0.0f;
  t.currentKey -= 1;
  t.ClampCurrentKey();  // no keys: stays at 0
}

void AnimationManager::NextKey(int objectIndex) {
  TimeLine* t = TimeLineOf(objectIndex);
  if (!t) return;
  MoveToNextKey(*t);
  ApplyCurrentKeys();
}

void AnimationManager::PrevKey(int objectIndex) {
  TimeLine* t = TimeLineOf(objectIndex);
  if (!t) return;
  MoveToPreviousKey(*t);
  ApplyCurrentKeys();
}

void AnimationManager::ApplyCurrentKeys() {
  if (!m_pScene) return;
  for (int i = 0; i < m_pScene->GetObjectCount(); ++i)
    if (TimeLine* t = TimeLineOf(i)) t->GoToKey(t->currentKey);
  m_bPanelDirty = true;
  m_pScene->ApplySceneToViews();
}

// ---- the panel's state ----------------------------------------------------------

void AnimationManager::SetDurationText(std::u16string_view text) { m_durationText.assign(text); }

std::int32_t AnimationManager::GetDurationFrames() const {
  float v = 0.0f;
  ReadNumbers(m_durationText, &v, 1);
  return TruncToInt(v);
}

void AnimationManager::UpdatePanel() {
  const TimeLine* t = SelectedTimeLine();
  std::int32_t frame = 0, cur = 0, count = 0, length = 0;
  float shownTime = 0.0f;
  if (t) {
    frame = FrameOf(t->segmentTime);
    cur = t->GetCurrentKey();
    count = t->GetKeyCount();
    length = t->GetKeyTime(cur);
    if (count != 0) m_fTimeLineLength = static_cast<float>(length);
    m_fTimeLineMarker = static_cast<float>(frame);
    shownTime = t->segmentTime - t->segmentOffset;
  }
  if (count == 0)
    m_status = u"No keyframe !";
  else if (m_bPlaying)
    Format16(m_status, "Key:%3d/%3d-Frame:%4d-Time:%4.0f", cur + 1, count, frame, static_cast<double>(shownTime));
  else
    Format16(m_status, "Key : %3d/%3d - Pause Mode", cur + 1, count);
  for (int id : {IDC_PLAY, IDC_NEXT, IDC_PREV, IDC_RECORD, IDC_PROPAGATE, IDC_REMOVE}) SetButtonEnabled(id, count != 0);
  if (m_bEditDirty) {
    Format16(m_durationText, "%d", length);
    m_bEditDirty = false;
  }
  if (m_bPlayStateChanged) {
    m_playCaption = m_bPlaying ? u"Stop" : u"Play";
    m_bPlayStateChanged = false;
  }
  SyncPanelControls();
}

void AnimationManager::OnRender() {
  if (!m_bPanelDirty) return;
  if (m_pScene) m_pScene->RefreshPanel();
  UpdatePanel();
  m_bPanelDirty = false;
}

std::istream& AnimationManager::Read(std::istream& in) {
  MVObject::Read(in);
  if (mv::io::Good(in)) {
    UpdatePanel();
    Update(0.0f, true);
  }
  return in;
}

// ---- panel actions --------------------------------------------------------------

namespace {
int ButtonSlot(int controlId) {
  switch (controlId) {
    case AnimationManager::IDC_PLAY: return 0;
    case AnimationManager::IDC_PREV: return 1;
    case AnimationManager::IDC_NEXT: return 2;
    case AnimationManager::IDC_INSERT: return 3;
    case AnimationManager::IDC_REMOVE: return 4;
    case AnimationManager::IDC_RECORD: return 5;
    case AnimationManager::IDC_PROPAGATE: return 6;
    default: return -1;
  }
}
}  // namespace

bool AnimationManager::IsButtonEnabled(int controlId) const {
  const int slot = ButtonSlot(controlId);
  return slot >= 0 && m_buttonEnabled[slot];
}

void AnimationManager::SetButtonEnabled(int controlId, bool enabled) {
  const int slot = ButtonSlot(controlId);
  if (slot >= 0) m_buttonEnabled[slot] = enabled;
}

void AnimationManager::TogglePlay() {
  m_bPlaying = !m_bPlaying;
  m_bPlayStateChanged = true;
  for (int id : {IDC_INSERT, IDC_REMOVE, IDC_RECORD}) SetButtonEnabled(id, !m_bPlaying);
  SyncPanelControls();
  m_bPanelDirty = true;
}

void AnimationManager::PreviousKeyAll() {
  if (!m_pScene) return;
  // Applying after each object's move would be overwritten by the final
  // application: move every cursor, then apply once.
  for (int i = 0; i < m_pScene->GetObjectCount(); ++i)
    if (TimeLine* t = TimeLineOf(i)) MoveToPreviousKey(*t);
  ApplyCurrentKeys();
  m_bEditDirty = true;
  m_bPanelDirty = true;
}

void AnimationManager::NextKeyAll() {
  if (!m_pScene) return;
  for (int i = 0; i < m_pScene->GetObjectCount(); ++i)
    if (TimeLine* t = TimeLineOf(i)) MoveToNextKey(*t);
  ApplyCurrentKeys();
  m_bEditDirty = true;
  m_bPanelDirty = true;
}

void AnimationManager::InsertKeyAll() {
  if (!m_pScene) return;
  const TimeLine* selected = SelectedTimeLine();
  const std::int32_t index = (selected && selected->GetKeyCount() > 0) ? selected->GetCurrentKey() + 1 : 0;
  const std::int32_t duration = GetDurationFrames();
  for (int i = 0; i < m_pScene->GetObjectCount(); ++i) {
    CSceneObject* o = m_pScene->GetObject(i);
    TimeLine* t = o->timeLine ? o->timeLine : o->CreateTimeLine();
    if (t) t->InsertKey(index, duration);
  }
  m_bEditDirty = true;
  m_bPanelDirty = true;
}

void AnimationManager::RemoveKeyAll() {
  if (!m_pScene) return;
  for (int i = 0; i < m_pScene->GetObjectCount(); ++i) {
    if (TimeLine* t = TimeLineOf(i)) {
      t->RemoveKey(t->currentKey);
      t->ClampCurrentKey();
    }
  }
  m_bEditDirty = true;
  m_bPanelDirty = true;
}

void AnimationManager::RecordKeyAll() {
  if (!m_pScene) return;
  const std::int32_t duration = GetDurationFrames();
  for (int i = 0; i < m_pScene->GetObjectCount(); ++i)
    if (TimeLine* t = TimeLineOf(i)) t->UpdateKey(t->currentKey, duration);
}

void AnimationManager::Propagate(int mode) {
  TimeLine* t = SelectedTimeLine();
  if (!t) return;
  const std::int32_t count = t->GetKeyCount();
  if (count == 0) return;
  t->ClampCurrentKey();
  const std::int32_t c = t->currentKey;
  auto recapture = [t](std::int32_t k) { t->UpdateKey(k, t->GetKeyTime(k)); };
  switch (mode) {
    case ALL_AFTER:
      for (std::int32_t k = c; k < count; ++k) recapture(k);
      break;
    case ALL_BEFORE:
      for (std::int32_t k = c; k >= 0; --k) recapture(k);
      break;
    case ALL:
      for (std::int32_t k = 0; k < count; ++k) recapture(k);
      break;
    case AFTER:
      recapture(c);
      if (c < count - 1) t->currentKey = c + 1;  // the cursor stays on the keys
      break;
    case BEFORE:
      recapture(c);
      if (c > 0) t->currentKey = c - 1;
      break;
    default:
      break;
  }
}

void AnimationManager::SeekToClick(int pointerX, int controlWidth, float lengthFrames) {
  std::int32_t frame = 0;
  if (controlWidth > 30) {
    const float position = (static_cast<float>(pointerX - 32) / static_cast<float>(controlWidth - 30)) * lengthFrames + 1.0f;
    frame = TruncToInt(position);
    if (static_cast<float>(frame) >= lengthFrames - 1.0f) frame = TruncToInt(lengthFrames - 1.0f);
  }
  if (frame < 0) frame = 0;
  m_fTimeLineMarker = static_cast<float>(frame);
  const float ms = MsOfFrames(frame);
  // The music follows the timelines: the same frame, in milliseconds.
  m_pLinks->SetMusicPosition(TruncToInt(ms));
  if (m_pScene) {
    for (int i = 0; i < m_pScene->GetObjectCount(); ++i) {
      if (TimeLine* t = TimeLineOf(i)) t->segmentOffset = t->segmentTime = ms;
    }
  }
  const bool wasPlaying = m_bPlaying;
  m_bPlaying = true;
  Update(0.0f, false);
  m_bPlaying = wasPlaying;
  m_bEditDirty = true;
  m_bPanelDirty = true;
}
