// The sound settings file "media\sound.toml". Whatever it holds, reading
// gives settings within their ranges, and settings read back from their
// own writing come out the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "audio/SoundSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mv::audio;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const SoundSettingsRead read = ParseSoundSettings(text);
  const SoundSettings& s = read.settings;
  if (s.threshold < 0 || s.threshold > 255) std::abort();
  if (s.syncOffsetMs < -1000 || s.syncOffsetMs > 1000) std::abort();
  if (read.status == SoundSettingsRead::Status::Damaged && !(s == SoundSettings{})) std::abort();
  const SoundSettingsRead again = ParseSoundSettings(FormatSoundSettings(s, {std::string(text.substr(0, 64))}));
  if (again.status != SoundSettingsRead::Status::Read || !again.problems.empty()) std::abort();
  // Device names are written as valid UTF-8: what was not comes back changed.
  SoundSettings expect = s;
  expect.lineInDevice = again.settings.lineInDevice;
  expect.microDevice = again.settings.microDevice;
  if (!(again.settings == expect)) std::abort();
  return 0;
}
