#pragma once
// The sound manager's part of a slide after the panel preferences: the
// track path (300 bytes), sound enabled (1 byte), volume (int32). Kept as
// read, byte for byte, so the player, the slide inspector and the fuzzers
// share one layout.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>

namespace mv::audio {

struct SoundSection {
  static constexpr std::size_t kTrackPathSize = 300;
  static constexpr std::size_t kSize = kTrackPathSize + 1 + 4;
  char trackPath[kTrackPathSize] = {};
  std::uint8_t enabled = 0;  // stored byte; non-zero is on
  std::int32_t volume = 0;
};

void WriteSoundSection(std::ostream& out, const SoundSection& s);
// False when the stream ended inside the fields (what arrived is kept).
bool ReadSoundSection(std::istream& in, SoundSection& s);

}  // namespace mv::audio
