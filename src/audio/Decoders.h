#pragma once
// Music decoders behind the sound system: libsndfile for sampled formats
// (WAV, FLAC, OGG/Vorbis, Opus, MP3) and libopenmpt for tracker modules.
// Every decoder delivers interleaved float stereo at the output rate (files
// at other rates through libsoxr), so the mixer never converts anything.
#include <cstdint>
#include <filesystem>
#include <memory>

namespace mv::audio {

class Decoder {
 public:
  virtual ~Decoder() = default;
  // Up to `frames` stereo frames into `stereo`. Returns the count, 0 at the
  // end of the track, negative on a decoding error.
  virtual long Read(float* stereo, long frames) = 0;
  // Moves to an output frame (at the output rate); false when it cannot.
  virtual bool Seek(std::int64_t frame) = 0;
};

enum class DecoderError { None, NotFound, UnknownFormat, BadFile, OutOfMemory };

// Picks the decoder by content (libsndfile), or by a module extension that
// libopenmpt claims. Returns null and sets `error` when the file cannot be
// decoded.
std::unique_ptr<Decoder> OpenDecoder(const std::filesystem::path& path, int outputRate,
                                     DecoderError* error);

// Largest tracker module read into memory; modules are small, anything
// larger is refused instead of read.
constexpr std::uintmax_t kMaxModuleBytes = 64u << 20;

}  // namespace mv::audio
