#pragma once
// Keyframe timelines, one kind per object class. The animation manager moves
// a cursor along the keys and asks the timeline to write into its object the
// values of one key or the values between two keys; linked components are
// then reworked by their value scripts. Keys are synchronised across objects
// by index: key k of every object forms keyframe k of the slide.
#include <cstdint>
#include <istream>
#include <new>
#include <ostream>

#include "model/Keys.h"
#include "core/GrowableArray.h"
#include "io/Result.h"

class CSceneObject;
class CCameraObject;
class CLayerTextObject;
class CLightObject;
class CMesh;
class CVolumeObject;
class CPostProcessObject;

class TimeLine {
 public:
  TimeLine() = default;
  TimeLine(const TimeLine&) = delete;
  TimeLine& operator=(const TimeLine&) = delete;
  virtual ~TimeLine() = 0;

  virtual std::int32_t GetCurrentKey() const { return currentKey; }
  // Copies key `index` into the owner, without scripts.
  virtual void GoToKey(std::int32_t index) {}
  // Writes into the owner the values between keys i and j at time t (ms) of
  // a segment lasting d (ms), then applies the value scripts.
  virtual void Interpolate(std::int32_t i, std::int32_t j, float t, float d) {}
  // Captures a new key from the owner at `index` (0 .. count); the current
  // key becomes `index` even when the insertion is refused.
  virtual mv::HRESULT InsertKey(std::int32_t index, std::int32_t duration) { return mv::E_FAIL; }
  // Recaptures key `index` (when it exists) and sets its duration.
  virtual void UpdateKey(std::int32_t index, std::int32_t duration) {}
  virtual mv::HRESULT RemoveKey(std::int32_t index) { return mv::E_FAIL; }
  virtual std::int32_t GetKeyCount() const = 0;
  // The key's duration in frames; 0 when there is no such key.
  virtual std::int32_t GetKeyTime(std::int32_t index) const = 0;
  // The timeline section of the slide file.
  virtual std::ostream& Write(std::ostream& out) = 0;
  // Replaces every key by the section read. On a damaged section the
  // stream is left failed and the timeline empty.
  virtual std::istream& Read(std::istream& in) = 0;

  // Keeps the cursor inside the key range (0 when there are no keys).
  void ClampCurrentKey();

  std::int32_t currentKey = 0;  // the key the animation is leaving
  float segmentOffset = 0;      // ms; only the post-process kind uses it
  float segmentTime = 0;        // ms since the current key was reached
};

// The key list shared by every kind; KeyT is the key record, OwnerT the
// object class whose fields the timeline reads and writes.
template <class KeyT, class OwnerT>
class KeyedTimeLine : public TimeLine {
 public:
  using Key = KeyT;
  using Owner = OwnerT;

  explicit KeyedTimeLine(OwnerT* owner) : m_pOwner(owner) {}
  ~KeyedTimeLine() override { ReleaseKeys(); }

  mv::HRESULT InsertKey(std::int32_t index, std::int32_t duration) override {
    currentKey = index;
    if (index < 0 || index > m_Keys.GetSize()) return mv::E_INVALIDARG;
    auto* key = new (std::nothrow) KeyT();
    if (!key) return mv::E_OUTOFMEMORY;
    Capture(*key, true);
    key->duration = duration;
    mv::HRESULT hr = m_Keys.Insert(index, key);
    if (mv::Failed(hr)) delete key;
    return hr;
  }

  void UpdateKey(std::int32_t index, std::int32_t duration) override {
    if (index < 0 || index >= m_Keys.GetSize()) return;
    Capture(*m_Keys[index], false);
    m_Keys[index]->duration = duration;
  }

  mv::HRESULT RemoveKey(std::int32_t index) override {
    if (index < 0 || index >= m_Keys.GetSize()) return mv::E_INVALIDARG;
    KeyT* key = m_Keys[index];
    m_Keys.Remove(index);
    delete key;
    // Removing the last key would leave the cursor past the end.
    if (currentKey >= m_Keys.GetSize()) ClampCurrentKey();
    return mv::S_OK;
  }

  std::int32_t GetKeyCount() const override { return m_Keys.GetSize(); }
  std::int32_t GetKeyTime(std::int32_t index) const override {
    return m_Keys.IsValidIndex(index) ? m_Keys[index]->duration : 0;
  }

  const KeyT* GetKey(std::int32_t index) const {
    return m_Keys.IsValidIndex(index) ? m_Keys[index] : nullptr;
  }
  KeyT* GetKey(std::int32_t index) { return m_Keys.IsValidIndex(index) ? m_Keys[index] : nullptr; }
  OwnerT* GetOwner() const { return m_pOwner; }

  // Appends a key read from a file (ownership passes on success).
  mv::HRESULT AppendKey(KeyT* key) { return m_Keys.Add(key); }

  void ReleaseKeys() {
    for (KeyT* key : m_Keys) delete key;
    m_Keys.RemoveAll();
  }

 protected:
  // Fills a key from the owner; `inserting` is false for UpdateKey, which
  // takes fewer fields on some kinds.
  virtual void Capture(KeyT& key, bool inserting) = 0;

  // Both keys of a segment, clamped into the list; null when there are no
  // keys.
  bool SegmentKeys(std::int32_t i, std::int32_t j, const KeyT*& a, const KeyT*& b) const {
    const int n = m_Keys.GetSize();
    if (n == 0) return false;
    if (i < 0 || i >= n || j < 0 || j >= n) return false;
    a = m_Keys[i];
    b = m_Keys[j];
    return true;
  }

  mv::GrowableArray<KeyT*> m_Keys;
  OwnerT* m_pOwner;
};

class TimeLineCamera : public KeyedTimeLine<CameraKey, CCameraObject> {
 public:
  using KeyedTimeLine::KeyedTimeLine;
  void GoToKey(std::int32_t index) override;
  void Interpolate(std::int32_t i, std::int32_t j, float t, float d) override;
  std::ostream& Write(std::ostream& out) override;
  std::istream& Read(std::istream& in) override;

 protected:
  void Capture(CameraKey& key, bool inserting) override;
};

class TimeLineLayerText : public KeyedTimeLine<LayerTextKey, CLayerTextObject> {
 public:
  using KeyedTimeLine::KeyedTimeLine;
  void GoToKey(std::int32_t index) override;
  void Interpolate(std::int32_t i, std::int32_t j, float t, float d) override;
  std::ostream& Write(std::ostream& out) override;
  std::istream& Read(std::istream& in) override;

 protected:
  void Capture(LayerTextKey& key, bool inserting) override;
};

class TimeLineLight : public KeyedTimeLine<LightKey, CLightObject> {
 public:
  using KeyedTimeLine::KeyedTimeLine;
  void GoToKey(std::int32_t index) override;
  void Interpolate(std::int32_t i, std::int32_t j, float t, float d) override;
  std::ostream& Write(std::ostream& out) override;
  std::istream& Read(std::istream& in) override;

 protected:
  void Capture(LightKey& key, bool inserting) override;
};

class TimeLineMesh : public KeyedTimeLine<MeshKey, CMesh> {
 public:
  using KeyedTimeLine::KeyedTimeLine;
  void GoToKey(std::int32_t index) override;
  void Interpolate(std::int32_t i, std::int32_t j, float t, float d) override;
  std::ostream& Write(std::ostream& out) override;
  std::istream& Read(std::istream& in) override;

 protected:
  void Capture(MeshKey& key, bool inserting) override;
};

// Owner: a metaball or sky box object. Its section holds only the key
// count: the keys themselves (0 bytes each) come back zero-filled.
class TimeLineMetaBall : public KeyedTimeLine<MetaBallKey, CVolumeObject> {
 public:
  // More keys than any slide can hold: a larger count is a damaged section.
  static constexpr std::int32_t kMaxKeysRead = 1 << 16;

  using KeyedTimeLine::KeyedTimeLine;
  void GoToKey(std::int32_t index) override;
  void Interpolate(std::int32_t i, std::int32_t j, float t, float d) override;
  std::ostream& Write(std::ostream& out) override;
  std::istream& Read(std::istream& in) override;

 protected:
  void Capture(MetaBallKey& key, bool inserting) override;
};

// The metaball kind's behaviour with a section of its own (92 bytes a key).
class TimeLineSkyBox : public TimeLineMetaBall {
 public:
  using TimeLineMetaBall::TimeLineMetaBall;
  std::ostream& Write(std::ostream& out) override;
  std::istream& Read(std::istream& in) override;
};

class TimeLinePostProcess : public KeyedTimeLine<PostProcessKey, CPostProcessObject> {
 public:
  using KeyedTimeLine::KeyedTimeLine;
  void GoToKey(std::int32_t index) override;
  void Interpolate(std::int32_t i, std::int32_t j, float t, float d) override;
  std::ostream& Write(std::ostream& out) override;
  std::istream& Read(std::istream& in) override;

 protected:
  void Capture(PostProcessKey& key, bool inserting) override;
};
