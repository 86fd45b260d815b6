#include "model/TimeLineFormat.h"

#include "io/BinaryIO.h"

namespace mv::format {
namespace {

using namespace mv::io;

void W(std::ostream& out, std::int32_t v) { WriteI32(out, v); }
void W(std::ostream& out, float v) { WriteF32(out, v); }
template <std::size_t N>
void W(std::ostream& out, const std::int32_t (&a)[N]) {
  for (auto v : a) WriteI32(out, v);
}
template <std::size_t N>
void W(std::ostream& out, const float (&a)[N]) {
  for (auto v : a) WriteF32(out, v);
}

// Reads accumulate into `ok` so a key reads as one unit.
struct Reader {
  std::istream& in;
  bool ok = true;
  void operator()(std::int32_t& v) { ok = ReadI32(in, v) && ok; }
  void operator()(float& v) { ok = ReadF32(in, v) && ok; }
  template <std::size_t N>
  void operator()(std::int32_t (&a)[N]) {
    for (auto& v : a) (*this)(v);
  }
  template <std::size_t N>
  void operator()(float (&a)[N]) {
    for (auto& v : a) (*this)(v);
  }
};

}  // namespace

void WriteMeshParams(std::ostream& out, const MeshParams& p) {
  ForEachMeshWord(p, [&](auto v) { W(out, v); });
}

bool ReadMeshParams(std::istream& in, MeshParams& p) {
  Reader r{in};
  ForEachMeshWord(p, [&](auto& v) { r(v); });
  return r.ok;
}

void WriteCameraKey(std::ostream& out, const CameraKey& k) {
  W(out, k.eyeLinks);
  W(out, k.lookAtLinks);
  W(out, k.reserved);
  W(out, k.duration);
  W(out, k.eye);
  W(out, k.lookAt);
}

bool ReadCameraKey(std::istream& in, CameraKey& k) {
  Reader r{in};
  r(k.eyeLinks);
  r(k.lookAtLinks);
  r(k.reserved);
  r(k.duration);
  r(k.eye);
  r(k.lookAt);
  return r.ok;
}

void WriteLayerTextKey(std::ostream& out, const LayerTextKey& k) {
  W(out, k.positionLinks);
  W(out, k.reserved);
  W(out, k.duration);
  W(out, k.position);
}

bool ReadLayerTextKey(std::istream& in, LayerTextKey& k) {
  Reader r{in};
  r(k.positionLinks);
  r(k.reserved);
  r(k.duration);
  r(k.position);
  return r.ok;
}

void WriteLightKey(std::ostream& out, const LightKey& k) {
  W(out, k.radiusLink);
  W(out, k.positionLinks);
  W(out, k.radius);
  W(out, k.reserved);
  W(out, k.duration);
  W(out, k.position);
}

bool ReadLightKey(std::istream& in, LightKey& k) {
  Reader r{in};
  r(k.radiusLink);
  r(k.positionLinks);
  r(k.radius);
  r(k.reserved);
  r(k.duration);
  r(k.position);
  return r.ok;
}

void WriteMeshKey(std::ostream& out, const MeshKey& k) {
  WriteMeshParams(out, k.params);
  W(out, k.reserved);
  W(out, k.duration);
}

bool ReadMeshKey(std::istream& in, MeshKey& k) {
  bool ok = ReadMeshParams(in, k.params);
  Reader r{in};
  r(k.reserved);
  r(k.duration);
  return ok && r.ok;
}

void WriteSkyBoxKey(std::ostream& out, const MetaBallKey& k) {
  W(out, k.links3);
  W(out, k.links1);
  W(out, k.links2);
  W(out, k.reserved);
  W(out, k.duration);
  W(out, k.size);
  W(out, k.vectorC);
  W(out, k.vectorA);
  W(out, k.vectorB);
}

bool ReadSkyBoxKey(std::istream& in, MetaBallKey& k) {
  Reader r{in};
  r(k.links3);
  r(k.links1);
  r(k.links2);
  r(k.reserved);
  r(k.duration);
  r(k.size);
  r(k.vectorC);
  r(k.vectorA);
  r(k.vectorB);
  return r.ok;
}

void WritePostProcessKey(std::ostream& out, const PostProcessKey& k) {
  W(out, k.extra);
  W(out, k.reserved);
  W(out, k.duration);
  W(out, k.params);
}

bool ReadPostProcessKey(std::istream& in, PostProcessKey& k) {
  Reader r{in};
  r(k.extra);
  r(k.reserved);
  r(k.duration);
  r(k.params);
  return r.ok;
}

void WriteKeyCount(std::ostream& out, std::int32_t n) { WriteI32(out, n); }

bool ReadKeyCount(std::istream& in, std::int32_t& n) {
  n = 0;
  if (ReadI32(in, n)) return true;
  n = 0;
  return false;
}

}  // namespace mv::format
