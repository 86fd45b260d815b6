// The scene section in the inspector: objects and their timelines, through
// the scene's record format and the timelines' key format.
#include <algorithm>

#include "SlideToolInternal.h"
#include "model/Keys.h"
#include "model/TimeLineFormat.h"
#include "io/BinaryIO.h"
#include "scene/SceneFormat.h"
#include "model/SceneObjects.h"

namespace slidetool::detail {

namespace {

// Field visitors: one description of each key's members serves both ways.
struct ToJson {
  Value& obj;
  void I(const char* name, std::int32_t& v) { obj[name] = v; }
  void F(const char* name, float& v) { obj[name] = Float(v); }
  void Is(const char* name, std::int32_t* v, std::size_t n) { obj[name] = Ints(v, n); }
  void Fs(const char* name, float* v, std::size_t n) { obj[name] = Floats(v, n); }
};

struct FromJson {
  const Value& obj;
  std::string path;
  void I(const char* name, std::int32_t& v) { v = GetI32(obj, name, path); }
  void F(const char* name, float& v) { v = GetFloat(Member(obj, name, path), path + "." + name); }
  void Is(const char* name, std::int32_t* v, std::size_t n) { GetI32s(obj, name, v, n, path); }
  void Fs(const char* name, float* v, std::size_t n) { GetFloats(obj, name, v, n, path); }
};

template <class V>
void Visit(MeshParams& p, V& v) {
  v.I("ownIndex", p.ownIndex);
  v.Fs("iPos", p.iPos, 3);
  v.Fs("iRot", p.iRot, 3);
  v.Fs("iScale", p.iScale, 3);
  v.Fs("vDiff", p.vDiff, 4);
  v.Fs("vSpec", p.vSpec, 4);
  v.I("fillMode", p.fillMode);
  v.I("shadeMode", p.shadeMode);
  v.I("renderer", p.renderer);
  v.I("lighting", p.lighting);
  v.F("Reflectivity", p.Reflectivity);
  v.F("Power", p.Power);
  v.F("DeformA", p.DeformA);
  v.F("DeformB", p.DeformB);
  v.I("start", p.start);
  v.I("end", p.end);
  v.I("animationSet", p.animationSet);
  v.F("animationSpeed", p.animationSpeed);
  v.I("animationType", p.animationType);
  v.I("startLink", p.startLink);
  v.I("endLink", p.endLink);
  v.Is("iPosLinks", p.iPosLinks, 3);
  v.Is("iRotLinks", p.iRotLinks, 3);
  v.Is("iScaleLinks", p.iScaleLinks, 3);
  v.Is("vDiffLinks", p.vDiffLinks, 4);
  v.Is("vSpecLinks", p.vSpecLinks, 4);
  v.I("ReflectivityLink", p.ReflectivityLink);
  v.I("PowerLink", p.PowerLink);
  v.Is("flexLinks", p.flexLinks, 6);
  v.F("DeformC", p.DeformC);
  v.Fs("Delta", p.Delta, 3);
  v.F("extraValue", p.extraValue);
  v.I("extraValueLink", p.extraValueLink);
}

template <class V>
void Visit(CameraKey& k, V& v) {
  v.I("reserved", k.reserved);
  v.I("duration", k.duration);
  v.Fs("eye", k.eye, 3);
  v.Is("eyeLinks", k.eyeLinks, 3);
  v.Fs("lookAt", k.lookAt, 3);
  v.Is("lookAtLinks", k.lookAtLinks, 3);
}

template <class V>
void Visit(LayerTextKey& k, V& v) {
  v.I("reserved", k.reserved);
  v.I("duration", k.duration);
  v.Fs("position", k.position, 3);
  v.Is("positionLinks", k.positionLinks, 3);
}

template <class V>
void Visit(LightKey& k, V& v) {
  v.I("reserved", k.reserved);
  v.I("duration", k.duration);
  v.Fs("position", k.position, 3);
  v.Is("positionLinks", k.positionLinks, 3);
  v.F("radius", k.radius);
  v.I("radiusLink", k.radiusLink);
}

template <class V>
void Visit(MeshKey& k, V& v) {
  v.I("reserved", k.reserved);
  v.I("duration", k.duration);
  if constexpr (std::is_same_v<V, ToJson>) {
    Value params = Value::object();
    ToJson inner{params};
    Visit(k.params, inner);
    v.obj["params"] = std::move(params);
  } else {
    FromJson inner{Member(v.obj, "params", v.path), v.path + ".params"};
    Visit(k.params, inner);
  }
}

template <class V>
void Visit(MetaBallKey& k, V& v) {
  v.I("reserved", k.reserved);
  v.I("duration", k.duration);
  v.Fs("size", k.size, 3);
  v.Fs("vectorA", k.vectorA, 3);
  v.Fs("vectorB", k.vectorB, 3);
  v.Fs("vectorC", k.vectorC, 3);
  v.Is("links1", k.links1, 3);
  v.Is("links2", k.links2, 3);
  v.Is("links3", k.links3, 3);
}

template <class V>
void Visit(PostProcessKey& k, V& v) {
  v.I("reserved", k.reserved);
  v.I("duration", k.duration);
  v.Fs("params", k.params, kPostProcessFloats);
  v.Is("extra", k.extra, kPostProcessExtraWords);
}

// Dumps `count` keys of one kind; false at a truncation.
template <class Key>
bool DumpKeys(Reader& r, std::int32_t count, int keyBytes, bool (*read)(std::istream&, Key&), Value& keys,
              const std::string& what) {
  for (std::int32_t k = 0; k < count; ++k) {
    const std::size_t at = r.Pos();
    // Checked first so a huge count never allocates for keys that are not there.
    if (r.Size() - at < static_cast<std::size_t>(keyBytes))
      return r.Truncated(at, static_cast<std::size_t>(keyBytes), what + " key " + std::to_string(k));
    auto key = std::make_unique<Key>();
    if (!read(r.in, *key)) return r.Truncated(at, static_cast<std::size_t>(keyBytes), what + " key " + std::to_string(k));
    Value v = Value::object();
    ToJson out{v};
    Visit(*key, out);
    keys.push_back(std::move(v));
  }
  return true;
}

template <class Key>
void BuildKeys(const Array& keys, void (*write)(std::ostream&, const Key&), std::ostream& out,
               const std::string& path) {
  for (std::size_t k = 0; k < keys.size(); ++k) {
    auto key = std::make_unique<Key>();
    FromJson in{keys[k], path + "[" + std::to_string(k) + "]"};
    Visit(*key, in);
    write(out, *key);
  }
}

bool DumpTimeLine(Reader& r, std::int32_t kind, Value& timeline, const std::string& what) {
  const std::size_t at = r.Pos();
  std::int32_t count = 0;
  if (!mv::format::ReadKeyCount(r.in, count)) return r.Truncated(at, 4, what + " key count");
  timeline["keyCount"] = count;
  Value keys = Value::array();
  bool ok = true;
  switch (kind) {
    case OBJ_LIGHT: ok = DumpKeys<LightKey>(r, count, kLightKeyBytes, mv::format::ReadLightKey, keys, what); break;
    case OBJ_CAMERA: ok = DumpKeys<CameraKey>(r, count, kCameraKeyBytes, mv::format::ReadCameraKey, keys, what); break;
    case OBJ_SKYBOX: ok = DumpKeys<MetaBallKey>(r, count, kSkyBoxKeyBytes, mv::format::ReadSkyBoxKey, keys, what); break;
    case OBJ_POSTPROCESS:
      ok = DumpKeys<PostProcessKey>(r, count, kPostProcessKeyBytes, mv::format::ReadPostProcessKey, keys, what);
      break;
    case OBJ_LAYERTEXT:
      ok = DumpKeys<LayerTextKey>(r, count, kLayerTextKeyBytes, mv::format::ReadLayerTextKey, keys, what);
      break;
    default: ok = DumpKeys<MeshKey>(r, count, kMeshKeyBytes, mv::format::ReadMeshKey, keys, what); break;
  }
  if (!ok) return false;
  timeline["keys"] = std::move(keys);
  return true;
}

void BuildTimeLine(const Value& timeline, std::int32_t kind, std::ostream& out, const std::string& path) {
  const std::int32_t count = GetI32(timeline, "keyCount", path);
  const auto& keys = GetArray(timeline, "keys", path);
  if (keys.size() != static_cast<std::size_t>(std::max(count, 0)))
    throw BuildError(path + ".keys: keyCount keys expected");
  mv::format::WriteKeyCount(out, count);
  const std::string p = path + ".keys";
  switch (kind) {
    case OBJ_LIGHT: BuildKeys<LightKey>(keys, mv::format::WriteLightKey, out, p); break;
    case OBJ_CAMERA: BuildKeys<CameraKey>(keys, mv::format::WriteCameraKey, out, p); break;
    case OBJ_SKYBOX: BuildKeys<MetaBallKey>(keys, mv::format::WriteSkyBoxKey, out, p); break;
    case OBJ_POSTPROCESS: BuildKeys<PostProcessKey>(keys, mv::format::WritePostProcessKey, out, p); break;
    case OBJ_LAYERTEXT: BuildKeys<LayerTextKey>(keys, mv::format::WriteLayerTextKey, out, p); break;
    default: BuildKeys<MeshKey>(keys, mv::format::WriteMeshKey, out, p); break;
  }
}

}  // namespace

bool DumpSceneSection(Reader& r, Value& s) {
  if (!DumpPanel(r, s, "scene")) return false;
  const std::size_t at = r.Pos();
  std::int32_t count = 0;
  if (!mv::io::ReadI32(r.in, count)) return r.Truncated(at, 4, "object count");
  s["objectCount"] = count;
  if (count < mv::scene::kFixedRoleCount)
    r.Fault(at, "object count " + std::to_string(count) + " out of range (the light, camera and sky box are missing)");
  Value objects = Value::array();
  for (std::int32_t i = 0; i < count; ++i) {
    const std::string what = "object " + std::to_string(i);
    const std::size_t start = r.Pos();
    auto record = std::make_unique<mv::scene::SceneRecordHeader>();
    const auto status = mv::scene::ReadSceneRecordHeader(r.in, *record);
    if (status == mv::scene::RecordStatus::UnknownKind) {
      r.Fault(start, what + ": unknown object kind " + std::to_string(record->kind));
      return false;
    }
    if (status != mv::scene::RecordStatus::Ok) {
      const std::size_t need = r.Size() - start >= 8 ? mv::scene::RecordHeaderBytes(record->kind) : 8;
      return r.Truncated(start, need, what + " record");
    }
    const std::size_t end = r.Pos();
    if (i < mv::scene::kFixedRoleCount && record->kind != mv::scene::FixedRoleKind(i))
      r.Fault(start, what + ": kind " + std::to_string(record->kind) + " where kind " +
                         std::to_string(mv::scene::FixedRoleKind(i)) + " must stand");
    if (record->parent < -1 || record->parent >= count)
      r.Warn(start + 4, what + ": parent " + std::to_string(record->parent) + " is not an object");
    Value o = Value::object();
    o["kind"] = record->kind;
    o["parent"] = record->parent;
    if (mv::scene::RecordHasCatalogIndex(record->kind)) o["catalogIndex"] = record->catalogIndex;
    if (mv::scene::RecordHasText(record->kind)) {
      o["text"] = DumpFixed16(record->text, kNameLength);
      o["font"] = DumpFixed16(record->font, kFontLength);
    }
    // The reader keeps text and font terminated; a record it would change
    // travels raw as well, so the file comes back as it was.
    std::ostringstream again;
    mv::scene::WriteSceneRecordHeader(again, *record);
    const std::string_view original = r.Bytes(start, end);
    if (again.str() != original) o["recordRaw"] = ToHex(original);
    Value timeline = Value::object();
    if (!DumpTimeLine(r, record->kind, timeline, what + " timeline")) return false;
    o["timeline"] = std::move(timeline);
    objects.push_back(std::move(o));
  }
  s["objects"] = std::move(objects);
  return true;
}

void BuildSceneSection(const Value& s, std::ostream& out, const std::string& path) {
  BuildPanel(s, out, path);
  const std::int32_t count = GetI32(s, "objectCount", path);
  const auto& objects = GetArray(s, "objects", path);
  if (objects.size() != static_cast<std::size_t>(std::max(count, 0)))
    throw BuildError(path + ".objects: objectCount objects expected");
  mv::io::WriteI32(out, count);
  for (std::size_t i = 0; i < objects.size(); ++i) {
    const std::string p = path + ".objects[" + std::to_string(i) + "]";
    const Value& o = objects[i];
    auto record = std::make_unique<mv::scene::SceneRecordHeader>();
    record->kind = GetI32(o, "kind", p);
    if (!mv::scene::IsKnownObjectKind(record->kind)) throw BuildError(p + ".kind: unknown object kind");
    record->parent = GetI32(o, "parent", p);
    if (mv::scene::RecordHasCatalogIndex(record->kind)) record->catalogIndex = GetI32(o, "catalogIndex", p);
    if (mv::scene::RecordHasText(record->kind)) {
      BuildFixed16(Member(o, "text", p), record->text, kNameLength, p + ".text");
      BuildFixed16(Member(o, "font", p), record->font, kFontLength, p + ".font");
    }
    if (Optional(o, "recordRaw")) {
      const std::string raw = GetHex(o, "recordRaw", p);
      out.write(raw.data(), static_cast<std::streamsize>(raw.size()));
    } else {
      mv::scene::WriteSceneRecordHeader(out, *record);
    }
    BuildTimeLine(Member(o, "timeline", p), record->kind, out, p + ".timeline");
  }
}

}  // namespace slidetool::detail
