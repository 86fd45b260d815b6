// Slide bytes through the player's seven-section reader (every manager's
// Read), and through the slide inspector: whatever it dumps must build back
// to the same bytes, through the JSON text.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "SlideTool.h"
#include "core/Globals.h"
#include "effects/PostProcessManager.h"
#include "sequence/SequenceManager.h"

namespace {

// The chain that was read writes back and reads back the same.
void CheckPostProcessRoundTrip() {
  std::ostringstream out;
  g_PostProcessManager.Write(out);
  std::istringstream again(out.str());
  PostProcessManager copy;
  copy.Read(again);
  const auto count = g_PostProcessManager.GetEntryCount();
  if (count == 21) return;  // a 20-effect chain is stored as its count alone
  if (copy.GetEntryCount() != count) __builtin_trap();
  for (int k = 0; k + 1 < count; ++k)
    if (copy.GetRecord(k).effectIndex != g_PostProcessManager.GetRecord(k).effectIndex ||
        copy.GetRecord(k).parameterSlot != g_PostProcessManager.GetRecord(k).parameterSlot)
      __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  {
    std::istringstream in(bytes);
    g_SequenceManager.LoadSlideFrom(in);
    CheckPostProcessRoundTrip();
  }

  const auto dump = slidetool::Dump(bytes);
  std::string back, error;
  const auto doc = slidetool::Parse(slidetool::ToText(dump.doc), error);
  if (!doc) __builtin_trap();
  if (!slidetool::Build(*doc, back, error) || back != bytes) __builtin_trap();
  return 0;
}
