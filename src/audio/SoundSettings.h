#pragma once
// The sound settings a show keeps between runs, in "media\sound.toml" of
// its working folder: the analysis (selected bands, threshold, take peak),
// the live input (source, a capture device per line, monitoring) and the
// sync offset. Small and human-readable; slides and the sequence file are
// not touched.
//
// The player reads the file at start-up and writes it at exit; a show
// generator writes one so that the visuals react from the first second:
//
//   mv::audio::SoundSettings s;
//   for (int band = 1; band <= 6; ++band) s.selected[band] = true;
//   mv::audio::WriteSoundSettings(mv::io::NativePath(mv::audio::kSoundSettingsFile), s);
#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "audio/BandAnalysis.h"

namespace mv::audio {

constexpr const char* kSoundSettingsFile = "media\\sound.toml";

enum class LiveSource { InternalPlayer, LineIn, Micro };

// Every field starts as the sound panel does.
struct SoundSettings {
  std::array<bool, kBandCount> selected{};  // the bands that make up the band level
  int threshold = 125;                      // 0..255, as the threshold slider
  bool takePeak = false;
  LiveSource source = LiveSource::InternalPlayer;
  std::string lineInDevice;                 // capture device of "Line In"; empty: the default
  std::string microDevice;                  // capture device of "Micro"
  bool monitor = false;                     // live input played through the output
  int syncOffsetMs = 0;                     // the analysis offset, -1000..1000
  bool operator==(const SoundSettings&) const = default;
};

struct SoundSettingsRead {
  enum class Status { Read, Missing, Damaged };
  Status status = Status::Missing;
  // What the file says; the starting value of every field it leaves out or
  // gets wrong (all of them when missing or damaged).
  SoundSettings settings;
  std::vector<std::string> problems;  // one line per thing ignored
};

SoundSettingsRead ParseSoundSettings(std::string_view text);
SoundSettingsRead ReadSoundSettings(const std::filesystem::path& file);

// The file's text: the settings, with comments that say what each means and
// list `devices` (the capture devices to choose from).
std::string FormatSoundSettings(const SoundSettings& settings,
                                const std::vector<std::string>& devices = {});
// Written beside the old file and renamed into place: a failed write keeps
// the previous settings.
bool WriteSoundSettings(const std::filesystem::path& file, const SoundSettings& settings,
                        const std::vector<std::string>& devices = {});

}  // namespace mv::audio
