#include "model/TimeLine.h"

#include <memory>

#include "model/TimeLineFormat.h"
#include "model/SceneObjects.h"
#include "values/ValueScript.h"

TimeLine::~TimeLine() = default;

void TimeLine::ClampCurrentKey() {
  const std::int32_t n = GetKeyCount();
  if (currentKey >= n) currentKey = n - 1;
  if (currentKey < 0) currentKey = 0;
}

namespace {

// a + (b - a) x t / d, in single precision.
inline float Lerp(float a, float b, float t, float d) { return a + (b - a) * t / d; }

template <std::size_t N>
void LerpInto(float (&out)[N], const float (&a)[N], const float (&b)[N], float t, float d) {
  for (std::size_t c = 0; c < N; ++c) out[c] = Lerp(a[c], b[c], t, d);
}

template <class T, std::size_t N>
void CopyInto(T (&out)[N], const T (&in)[N]) {
  for (std::size_t c = 0; c < N; ++c) out[c] = in[c];
}

inline void Script(float& v, std::int32_t link) { v = ApplyValueScript(link, v); }

// Count and keys; no key is allocated before the previous one was read in
// full, so a damaged count cannot allocate beyond what the stream holds.
template <class TL, class ReadKey>
std::istream& ReadSection(TL& tl, std::istream& in, ReadKey readKey) {
  using Key = typename TL::Key;
  tl.ReleaseKeys();
  std::int32_t n = 0;
  if (!mv::format::ReadKeyCount(in, n)) return in;
  for (std::int32_t k = 0; k < n; ++k) {
    std::unique_ptr<Key> key(new (std::nothrow) Key());
    if (!key || !readKey(in, *key) || mv::Failed(tl.AppendKey(key.get()))) {
      tl.ReleaseKeys();
      in.setstate(std::ios::failbit);
      return in;
    }
    key.release();
  }
  return in;
}

template <class TL, class WriteKey>
std::ostream& WriteSection(const TL& tl, std::ostream& out, WriteKey writeKey) {
  const std::int32_t n = tl.GetKeyCount();
  mv::format::WriteKeyCount(out, n);
  for (std::int32_t k = 0; k < n; ++k) writeKey(out, *tl.GetKey(k));
  return out;
}

}  // namespace

// ---- camera ----------------------------------------------------------------

void TimeLineCamera::Capture(CameraKey& key, bool) {
  CopyInto(key.eye, m_pOwner->Eye);
  CopyInto(key.lookAt, m_pOwner->LookAt);
  CopyInto(key.eyeLinks, m_pOwner->eyeLinks);
  CopyInto(key.lookAtLinks, m_pOwner->lookAtLinks);
}

void TimeLineCamera::GoToKey(std::int32_t index) {
  const CameraKey* k = GetKey(index);
  if (!k) return;
  CopyInto(m_pOwner->Eye, k->eye);
  CopyInto(m_pOwner->LookAt, k->lookAt);
  CopyInto(m_pOwner->eyeLinks, k->eyeLinks);
  CopyInto(m_pOwner->lookAtLinks, k->lookAtLinks);
}

void TimeLineCamera::Interpolate(std::int32_t i, std::int32_t j, float t, float d) {
  const CameraKey *a, *b;
  if (!SegmentKeys(i, j, a, b)) return;
  CCameraObject& o = *m_pOwner;
  LerpInto(o.Eye, a->eye, b->eye, t, d);
  LerpInto(o.LookAt, a->lookAt, b->lookAt, t, d);
  CopyInto(o.eyeLinks, a->eyeLinks);
  CopyInto(o.lookAtLinks, a->lookAtLinks);
  for (int c = 0; c < 3; ++c) Script(o.LookAt[c], o.lookAtLinks[c]);
  for (int c = 0; c < 3; ++c) Script(o.Eye[c], o.eyeLinks[c]);
}

std::ostream& TimeLineCamera::Write(std::ostream& out) {
  return WriteSection(*this, out, mv::format::WriteCameraKey);
}
std::istream& TimeLineCamera::Read(std::istream& in) {
  return ReadSection(*this, in, mv::format::ReadCameraKey);
}

// ---- layer text ------------------------------------------------------------

void TimeLineLayerText::Capture(LayerTextKey& key, bool) {
  CopyInto(key.position, m_pOwner->Pos);
  CopyInto(key.positionLinks, m_pOwner->posLinks);
}

void TimeLineLayerText::GoToKey(std::int32_t index) {
  const LayerTextKey* k = GetKey(index);
  if (!k) return;
  CopyInto(m_pOwner->Pos, k->position);
  CopyInto(m_pOwner->posLinks, k->positionLinks);
}

void TimeLineLayerText::Interpolate(std::int32_t i, std::int32_t j, float t, float d) {
  const LayerTextKey *a, *b;
  if (!SegmentKeys(i, j, a, b)) return;
  CLayerTextObject& o = *m_pOwner;
  LerpInto(o.Pos, a->position, b->position, t, d);
  CopyInto(o.posLinks, a->positionLinks);
  // Each component with its own link, the third included.
  for (int c = 0; c < 3; ++c) Script(o.Pos[c], o.posLinks[c]);
}

std::ostream& TimeLineLayerText::Write(std::ostream& out) {
  return WriteSection(*this, out, mv::format::WriteLayerTextKey);
}
std::istream& TimeLineLayerText::Read(std::istream& in) {
  return ReadSection(*this, in, mv::format::ReadLayerTextKey);
}

// ---- light -----------------------------------------------------------------

void TimeLineLight::Capture(LightKey& key, bool) {
  CopyInto(key.position, m_pOwner->position);
  key.radius = m_pOwner->radius;
  CopyInto(key.positionLinks, m_pOwner->positionLinks);
  key.radiusLink = m_pOwner->radiusLink;
}

void TimeLineLight::GoToKey(std::int32_t index) {
  const LightKey* k = GetKey(index);
  if (!k) return;
  CopyInto(m_pOwner->position, k->position);
  m_pOwner->radius = k->radius;
}

void TimeLineLight::Interpolate(std::int32_t i, std::int32_t j, float t, float d) {
  const LightKey *a, *b;
  if (!SegmentKeys(i, j, a, b)) return;
  CLightObject& o = *m_pOwner;
  LerpInto(o.position, a->position, b->position, t, d);
  o.radius = Lerp(a->radius, b->radius, t, d);
  CopyInto(o.positionLinks, a->positionLinks);
  o.radiusLink = a->radiusLink;
  for (int c = 0; c < 3; ++c) Script(o.position[c], o.positionLinks[c]);
  Script(o.radius, o.radiusLink);
}

std::ostream& TimeLineLight::Write(std::ostream& out) {
  return WriteSection(*this, out, mv::format::WriteLightKey);
}
std::istream& TimeLineLight::Read(std::istream& in) {
  return ReadSection(*this, in, mv::format::ReadLightKey);
}

// ---- mesh ------------------------------------------------------------------

void TimeLineMesh::Capture(MeshKey& key, bool) { key.params = m_pOwner->params; }

void TimeLineMesh::GoToKey(std::int32_t index) {
  if (m_Keys.IsEmpty()) {
    m_pOwner->params = kDefaultMeshParams;
    return;
  }
  const MeshKey* k = GetKey(index);
  if (!k) return;
  m_pOwner->params = k->params;
}

void TimeLineMesh::Interpolate(std::int32_t i, std::int32_t j, float t, float d) {
  const MeshKey *ka, *kb;
  if (!SegmentKeys(i, j, ka, kb)) return;
  const MeshParams& a = ka->params;
  const MeshParams& b = kb->params;
  MeshParams& o = m_pOwner->params;

  // Word 0 (own index) and 20 (renderer) stay as they are; word 62 is not
  // interpolated either.
  LerpInto(o.iPos, a.iPos, b.iPos, t, d);
  LerpInto(o.iRot, a.iRot, b.iRot, t, d);
  LerpInto(o.iScale, a.iScale, b.iScale, t, d);
  LerpInto(o.vDiff, a.vDiff, b.vDiff, t, d);
  LerpInto(o.vSpec, a.vSpec, b.vSpec, t, d);
  o.fillMode = a.fillMode;
  o.shadeMode = a.shadeMode;
  o.lighting = a.lighting;
  o.Reflectivity = Lerp(a.Reflectivity, b.Reflectivity, t, d);
  o.Power = Lerp(a.Power, b.Power, t, d);
  o.DeformA = Lerp(a.DeformA, b.DeformA, t, d);
  o.DeformB = Lerp(a.DeformB, b.DeformB, t, d);
  o.start = TruncateToInt32(Lerp(static_cast<float>(a.start), static_cast<float>(b.start), t, d));
  o.end = TruncateToInt32(Lerp(static_cast<float>(a.end), static_cast<float>(b.end), t, d));
  o.animationSet = a.animationSet;
  o.animationSpeed = Lerp(a.animationSpeed, b.animationSpeed, t, d);
  o.animationType = a.animationType;
  o.startLink = a.startLink;
  o.endLink = a.endLink;
  CopyInto(o.iPosLinks, a.iPosLinks);
  CopyInto(o.iRotLinks, a.iRotLinks);
  CopyInto(o.iScaleLinks, a.iScaleLinks);
  CopyInto(o.vDiffLinks, a.vDiffLinks);
  CopyInto(o.vSpecLinks, a.vSpecLinks);
  o.ReflectivityLink = a.ReflectivityLink;
  o.PowerLink = a.PowerLink;
  CopyInto(o.flexLinks, a.flexLinks);
  o.DeformC = Lerp(a.DeformC, b.DeformC, t, d);
  LerpInto(o.Delta, a.Delta, b.Delta, t, d);
  o.extraValueLink = a.extraValueLink;

  // The evaluator carries its factor and source from one component to the
  // next, so this order is part of the result.
  Script(o.DeformA, o.flexLinks[0]);
  Script(o.DeformB, o.flexLinks[1]);
  Script(o.DeformC, o.flexLinks[2]);
  for (int c = 0; c < 3; ++c) Script(o.Delta[c], o.flexLinks[3 + c]);
  Script(o.extraValue, o.extraValueLink);
  Script(o.Power, o.PowerLink);
  Script(o.Reflectivity, o.ReflectivityLink);
  for (int c = 0; c < 3; ++c) Script(o.iPos[c], o.iPosLinks[c]);
  for (int c = 0; c < 3; ++c) Script(o.iRot[c], o.iRotLinks[c]);
  for (int c = 0; c < 4; ++c) Script(o.vDiff[c], o.vDiffLinks[c]);
  for (int c = 0; c < 3; ++c) Script(o.iScale[c], o.iScaleLinks[c]);
  for (int c = 0; c < 4; ++c) Script(o.vSpec[c], o.vSpecLinks[c]);
  o.start = ApplyValueScriptInt(o.startLink, o.start);
  o.end = ApplyValueScriptInt(o.endLink, o.end);
}

std::ostream& TimeLineMesh::Write(std::ostream& out) {
  return WriteSection(*this, out, mv::format::WriteMeshKey);
}
std::istream& TimeLineMesh::Read(std::istream& in) {
  return ReadSection(*this, in, mv::format::ReadMeshKey);
}

// ---- metaball and sky box --------------------------------------------------

void TimeLineMetaBall::Capture(MetaBallKey& key, bool inserting) {
  CopyInto(key.size, m_pOwner->size);
  if (!inserting) return;
  CopyInto(key.links1, m_pOwner->links1);
  CopyInto(key.links2, m_pOwner->links2);
  CopyInto(key.links3, m_pOwner->links3);
}

void TimeLineMetaBall::GoToKey(std::int32_t index) {
  if (m_Keys.IsEmpty()) {
    for (int c = 0; c < 3; ++c) m_pOwner->links1[c] = m_pOwner->links2[c] = m_pOwner->links3[c] = 0;
    return;
  }
  const MetaBallKey* k = GetKey(index);
  if (!k) return;
  CopyInto(m_pOwner->size, k->size);
}

void TimeLineMetaBall::Interpolate(std::int32_t i, std::int32_t j, float t, float d) {
  const MetaBallKey *a, *b;
  if (!SegmentKeys(i, j, a, b)) return;
  LerpInto(m_pOwner->size, a->size, b->size, t, d);
  CopyInto(m_pOwner->links1, a->links1);
  CopyInto(m_pOwner->links2, a->links2);
  CopyInto(m_pOwner->links3, a->links3);
}

// The count alone: writer and reader agree whether or not the object had a
// timeline (an object without one writes a zero count too).
std::ostream& TimeLineMetaBall::Write(std::ostream& out) {
  mv::format::WriteKeyCount(out, GetKeyCount());
  return out;
}

std::istream& TimeLineMetaBall::Read(std::istream& in) {
  ReleaseKeys();
  std::int32_t n = 0;
  if (!mv::format::ReadKeyCount(in, n)) return in;
  // Keys take no bytes, so the stream cannot bound the count: cap it.
  if (n > kMaxKeysRead) {
    in.setstate(std::ios::failbit);
    return in;
  }
  for (std::int32_t k = 0; k < n; ++k) {
    auto* key = new (std::nothrow) MetaBallKey();
    if (!key || mv::Failed(AppendKey(key))) {
      delete key;
      ReleaseKeys();
      in.setstate(std::ios::failbit);
      return in;
    }
  }
  return in;
}

std::ostream& TimeLineSkyBox::Write(std::ostream& out) {
  return WriteSection(*this, out, mv::format::WriteSkyBoxKey);
}
std::istream& TimeLineSkyBox::Read(std::istream& in) {
  return ReadSection(*this, in, mv::format::ReadSkyBoxKey);
}

// ---- post-process ----------------------------------------------------------

void TimeLinePostProcess::Capture(PostProcessKey& key, bool) {
  CopyInto(key.params, m_pOwner->params);
}

void TimeLinePostProcess::GoToKey(std::int32_t index) {
  const PostProcessKey* k = GetKey(index);
  if (!k) return;
  CopyInto(m_pOwner->params, k->params);
}

void TimeLinePostProcess::Interpolate(std::int32_t i, std::int32_t j, float t, float d) {
  const PostProcessKey *a, *b;
  if (!SegmentKeys(i, j, a, b)) return;
  LerpInto(m_pOwner->params, a->params, b->params, t - segmentOffset, d);
}

std::ostream& TimeLinePostProcess::Write(std::ostream& out) {
  return WriteSection(*this, out, mv::format::WritePostProcessKey);
}
std::istream& TimeLinePostProcess::Read(std::istream& in) {
  return ReadSection(*this, in, mv::format::ReadPostProcessKey);
}
