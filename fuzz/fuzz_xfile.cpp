// The .x loader over arbitrary bytes: parsed (the importer is tried in a
// child first), built into a hierarchy on the recording device, posed and
// skinned over a few frames of each animation type.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "gfx/RecordingDevice.h"
#include "model/MeshParams.h"
#include "scene/AnimatedMesh.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static auto device = gfx::CreateRecordingDevice(64, 64);
  static const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("fuzz_xfile_" + std::to_string(getpid()) + ".x");
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  MeshLoadContext ctx;
  ctx.device = device.get();
  AnimatedMesh mesh;
  if (gfx::Failed(mesh.Load(file, ctx))) return 0;
  for (std::uint32_t set = 0; set < mesh.GetAnimationSetCount() && set < 4; ++set) {
    mesh.SetAnimationSet(static_cast<std::int32_t>(set));
    for (int type = ANIM_STOP; type <= ANIM_PING_PONG; ++type) {
      mesh.SetAnimationType(type);
      mesh.SetSpeed(1.5f);
      mesh.Update(0.3f);
    }
  }
  mesh.Update(0.0f);
  return 0;
}
