// `check`: the player's own readers run on the file, in a show of their own
// on the recording device, so the verdict is what the player would do.
#include <sstream>

#include "SlideTool.h"
#include "core/MVObject.h"
#include "io/BinaryIO.h"
#include "io/ReadNotes.h"
#include "sequence/StandaloneShow.h"

namespace slidetool {

namespace {

std::size_t At(std::int64_t offset) { return offset < 0 ? 0 : static_cast<std::size_t>(offset); }

void AddNotes(const mv::io::ReadNoteCollector& notes, std::vector<Problem>* warnings) {
  if (!warnings) return;
  for (const auto& n : notes.Notes()) warnings->push_back(Problem{At(n.offset), n.text, false});
}

}  // namespace

std::optional<Problem> Check(std::string_view bytes, std::vector<Problem>* warnings) {
  StandaloneShow show;
  show.BuildPanels();
  show.CreateDevice();
  std::istringstream in(std::string(bytes), std::ios::in | std::ios::binary);
  std::optional<Problem> fault;
  mv::io::ReadNoteCollector notes;

  std::int32_t first = -1;
  if (bytes.size() >= 4) {
    std::istringstream peek(std::string(bytes.substr(0, 4)));
    mv::io::ReadI32(peek, first);
  }
  if (first == MV_TYPE_SEQUENCE) {
    // As at start-up: the tag, then the list. A list the player cannot read
    // gives an empty show, never a refusal.
    mv::io::ReadI32(in, first);
    show.sequence.Read(in);
    AddNotes(notes, warnings);
    if (warnings && !in)
      warnings->push_back(Problem{bytes.size(), "sequence file cut short: the show holds what was read", false});
    if (warnings && show.sequence.Slides().empty())
      warnings->push_back(Problem{0, "the show is empty", false});
    return fault;
  }

  const bool loaded = show.sequence.LoadSlideFrom(in);
  const SlideLoadReport& r = show.sequence.LastLoadReport();
  AddNotes(notes, warnings);
  if (!loaded) {
    fault = Problem{At(r.stoppedAt >= 0 ? r.stoppedAt : r.offset),
                    std::string(r.section) + " section: " + r.reason + " (the slide is not loaded)", true};
    return fault;
  }
  if (warnings && r.valuesMissing)
    warnings->push_back(
        Problem{At(r.offset), std::string(r.reason) + ": the slide plays with the scripts already loaded", false});
  if (warnings && !r.valuesMissing && in) {
    const auto end = static_cast<std::size_t>(in.tellg());
    if (end < bytes.size())
      warnings->push_back(Problem{end, std::to_string(bytes.size() - end) + " bytes after the last section are ignored", false});
  }
  return fault;
}

}  // namespace slidetool
