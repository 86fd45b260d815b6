// Sequence-file bytes through the player's reader (the tag, then the
// sequence manager's Read, as at start-up) and through the slide inspector,
// whose dump must build back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "SlideTool.h"
#include "core/Globals.h"
#include "io/BinaryIO.h"
#include "sequence/SequenceManager.h"
#include "sequence/SlideRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  // The inspector tells the files apart by their first tag.
  if (bytes.size() >= 4) bytes.replace(0, 4, std::string("\x07\0\0\0", 4));

  {
    std::istringstream in(bytes);
    std::int32_t tag = 0;
    if (mv::io::ReadI32(in, tag) && tag == g_SequenceManager.GetType()) {
      g_SequenceManager.Read(in);
      // Never more records than the bytes hold (a partial last one at most).
      if (g_SequenceManager.Slides().size() > (bytes.size() - 4) / SlideRecord::kSize + 1) __builtin_trap();
    }
  }

  const auto dump = slidetool::Dump(bytes);
  std::string back, error;
  const auto doc = slidetool::Parse(slidetool::ToText(dump.doc), error);
  if (!doc) __builtin_trap();
  if (!slidetool::Build(*doc, back, error) || back != bytes) __builtin_trap();
  return 0;
}
