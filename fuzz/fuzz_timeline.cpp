// Timeline sections of every kind: the first byte picks the object kind,
// the rest is the section. Reading must never crash or allocate beyond the
// input; a section that reads cleanly must write back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "model/TimeLine.h"
#include "model/SceneObjects.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::int32_t kinds[] = {OBJ_MESH, OBJ_LIGHT, OBJ_CAMERA, OBJ_SKYBOX,
                                OBJ_POSTPROCESS, OBJ_LAYERTEXT, OBJ_METABALL, -1};
  const std::int32_t kind = kinds[data[0] % 8];
  std::unique_ptr<CSceneObject> o =
      kind < 0 ? std::make_unique<CMetaBallObject>() : CreateSceneObject(kind);
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  std::istringstream in(bytes, std::ios::binary);
  const bool ok = o->ReadTimeLine(in);
  if (!o->timeLine) std::abort();
  if (!ok && o->timeLine->GetKeyCount() != 0) std::abort();
  // Exercise the read keys as the animation manager would.
  const std::int32_t n = o->timeLine->GetKeyCount();
  for (std::int32_t k = 0; k < n && k < 64; ++k) {
    o->timeLine->GoToKey(k);
    o->timeLine->Interpolate(k, k + 1 < n ? k + 1 : k, 20.0f, 40.0f);
  }
  if (ok && n > 0) {
    std::ostringstream out(std::ios::binary);
    o->WriteTimeLine(out);
    const std::streamoff pos = in.tellg();
    const std::size_t consumed = pos < 0 ? bytes.size() : static_cast<std::size_t>(pos);
    if (out.str() != bytes.substr(0, consumed)) std::abort();
  }
  return 0;
}
