#include "audio/SoundSection.h"

#include "io/BinaryIO.h"

namespace mv::audio {

void WriteSoundSection(std::ostream& out, const SoundSection& s) {
  io::WriteBytes(out, s.trackPath, sizeof s.trackPath);
  io::WriteU8(out, s.enabled);
  io::WriteI32(out, s.volume);
}

bool ReadSoundSection(std::istream& in, SoundSection& s) {
  return io::ReadBytes(in, s.trackPath, sizeof s.trackPath) && io::ReadU8(in, s.enabled) &&
         io::ReadI32(in, s.volume);
}

}  // namespace mv::audio
