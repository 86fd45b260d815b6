// Sequence-file bytes through the slide list reader the player uses and the
// slide inspector, whose dump must build back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "Json.h"
#include "SlideTool.h"
#include "effects/SectionFormat.h"
#include "io/BinaryIO.h"
#include "sequence/SlideRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  // The inspector tells the files apart by their first tag.
  if (bytes.size() >= 4) bytes.replace(0, 4, std::string("\x07\0\0\0", 4));

  std::istringstream in(bytes);
  std::int32_t tag = 0;
  mv::io::ReadI32(in, tag);
  mv::effects::PanelPrefsRecord prefs;
  if (mv::effects::ReadPanelPrefs(in, prefs)) {
    std::vector<SlideRecord> slides;
    if (mv::seq::ReadSlideList(in, slides) && slides.size() > (bytes.size() - 17) / SlideRecord::kSize + 1)
      __builtin_trap();  // never more records than the bytes hold
  }

  const auto dump = slidetool::Dump(bytes);
  const auto doc = mvjson::Parse(mvjson::Write(dump.doc));
  if (!doc) __builtin_trap();
  std::string back, error;
  if (!slidetool::Build(*doc, back, error) || back != bytes) __builtin_trap();
  return 0;
}
