#include "audio/Decoders.h"

#include <libopenmpt/libopenmpt.h>
#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <numeric>
#include <string>
#include <system_error>
#include <vector>

#include "io/Log.h"

namespace mv::audio {
namespace {

constexpr long kChunk = 1024;      // source frames read at once
constexpr int kMaxChannels = 64;   // more than any real file carries
constexpr int kMaxRate = 768000;

// libsndfile: any channel count and rate, mapped to stereo at the output
// rate. Every other rate goes through libsoxr (high quality: flat to 91 % of
// the lower Nyquist frequency, what lies above it filtered out instead of
// folded back into the bands).
class SndfileDecoder final : public Decoder {
 public:
  SndfileDecoder(SNDFILE* file, const SF_INFO& info, int outputRate)
      : m_file(file),
        m_channels(info.channels),
        m_srcRate(info.samplerate),
        m_outRate(outputRate),
        m_raw(std::size_t(kChunk) * std::size_t(info.channels)),
        m_src(std::size_t(kChunk) * 2),
        m_skipBuffer(std::size_t(kChunk) * 2) {
    const long g = std::gcd(long(m_srcRate), long(m_outRate));
    m_srcUnit = m_srcRate / g;
    m_outUnit = m_outRate / g;
  }
  ~SndfileDecoder() override {
    if (m_soxr) soxr_delete(m_soxr);
    sf_close(m_file);
  }

  // False when the resampler cannot be made (the decoder is then unusable).
  bool Prepare() {
    if (m_srcRate == m_outRate) return true;
    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    m_soxr = soxr_create(double(m_srcRate), double(m_outRate), 2, &error, &io, &quality, nullptr);
    if (error || !m_soxr) {
      Log(std::string("Sound: no resampler: ") + (error ? error : "?") + "\n");
      return false;
    }
    return true;
  }

  long Read(float* stereo, long frames) override {
    if (m_failed) return -1;
    if (!m_soxr) return ReadDirect(stereo, frames);
    // After a seek: the pre-roll that settles the filter is dropped.
    while (m_skip > 0) {
      long got = Resample(m_skipBuffer.data(), std::min<long>(m_skip, kChunk));
      if (got <= 0) return got;
      m_skip -= got;
    }
    long made = 0;
    while (made < frames) {
      long got = Resample(stereo + made * 2, frames - made);
      if (got < 0) return made > 0 ? made : -1;
      if (got == 0) break;
      made += got;
    }
    return made;
  }

  bool Seek(std::int64_t frame) override {
    if (frame < 0) return false;
    if (!m_soxr) {
      if (sf_seek(m_file, frame, SEEK_SET) < 0) return false;
      m_failed = false;
      return true;
    }
    // Start a little earlier, on a source frame that maps to a whole output
    // frame, so the filter has settled and the output is sample-exact.
    const double source = double(frame) * double(m_srcRate) / double(m_outRate);
    const double preRoll = double(m_srcRate) / 20.0;
    auto units = std::int64_t(std::floor(std::max(0.0, source - preRoll) / double(m_srcUnit)));
    const std::int64_t start = units * m_srcUnit;
    if (sf_seek(m_file, start, SEEK_SET) < 0) return false;
    soxr_clear(m_soxr);
    m_failed = false;
    m_srcEnded = false;
    m_flushed = false;
    m_srcCount = m_srcDone = 0;
    m_skip = frame - units * m_outUnit;
    return true;
  }

 private:
  // Source frames as stereo into `out`; returns the count, -1 on error.
  long ReadSource(float* out, long frames) {
    sf_count_t got = sf_readf_float(m_file, m_raw.data(), frames);
    if (got < frames && sf_error(m_file) != SF_ERR_NO_ERROR) {
      m_failed = true;
      return got > 0 ? long(got) : -1;
    }
    for (sf_count_t f = 0; f < got; ++f) {
      const float* in = &m_raw[std::size_t(f) * std::size_t(m_channels)];
      out[f * 2] = in[0];
      out[f * 2 + 1] = m_channels > 1 ? in[1] : in[0];
    }
    return long(got);
  }

  long ReadDirect(float* stereo, long frames) {
    long made = 0;
    while (made < frames) {
      long got = ReadSource(stereo + made * 2, std::min(kChunk, frames - made));
      if (got < 0) return made > 0 ? made : -1;
      if (got == 0) break;
      made += got;
    }
    return made;
  }

  // Up to `frames` resampled frames; 0 once the source and the filter are
  // both empty, -1 on a decoding error.
  long Resample(float* out, long frames) {
    for (;;) {
      if (m_srcDone == m_srcCount && !m_srcEnded) {
        long got = ReadSource(m_src.data(), kChunk);
        if (got < 0) return -1;
        m_srcCount = got;
        m_srcDone = 0;
        if (got == 0) m_srcEnded = true;
      }
      if (m_srcEnded && m_flushed) return 0;
      std::size_t used = 0, made = 0;
      // No input left: a null input drains what the filter still holds.
      const bool drain = m_srcEnded;
      soxr_error_t error = soxr_process(
          m_soxr, drain ? nullptr : &m_src[std::size_t(m_srcDone) * 2],
          drain ? 0 : std::size_t(m_srcCount - m_srcDone), drain ? nullptr : &used, out,
          std::size_t(frames), &made);
      if (error) {
        m_failed = true;
        return -1;
      }
      m_srcDone += long(used);
      if (drain && made == 0) m_flushed = true;
      if (made > 0) return long(made);
    }
  }

  SNDFILE* m_file;
  int m_channels;
  int m_srcRate;
  int m_outRate;
  long m_srcUnit = 1;  // source frames that map to a whole number of output frames
  long m_outUnit = 1;
  soxr_t m_soxr = nullptr;
  std::vector<float> m_raw;
  std::vector<float> m_src;
  std::vector<float> m_skipBuffer;
  long m_srcCount = 0;
  long m_srcDone = 0;
  bool m_srcEnded = false;
  bool m_flushed = false;
  bool m_failed = false;
  std::int64_t m_skip = 0;
};

class ModuleDecoder final : public Decoder {
 public:
  ModuleDecoder(openmpt_module* module, int outputRate) : m_module(module), m_rate(outputRate) {}
  ~ModuleDecoder() override { openmpt_module_destroy(m_module); }

  long Read(float* stereo, long frames) override {
    std::size_t got = openmpt_module_read_interleaved_float_stereo(
        m_module, std::int32_t(m_rate), std::size_t(frames), stereo);
    return long(got);
  }

  bool Seek(std::int64_t frame) override {
    openmpt_module_set_position_seconds(m_module, double(frame) / double(m_rate));
    return true;
  }

 private:
  openmpt_module* m_module;
  int m_rate;
};

std::string LowerExtension(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

std::unique_ptr<Decoder> OpenModule(const std::filesystem::path& path, int outputRate,
                                    DecoderError* error) {
  std::error_code ec;
  std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || size == 0 || size > kMaxModuleBytes) {
    *error = DecoderError::BadFile;
    return nullptr;
  }
  std::vector<char> data;
  try {
    data.resize(std::size_t(size));
  } catch (const std::bad_alloc&) {
    *error = DecoderError::OutOfMemory;
    return nullptr;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in.read(data.data(), std::streamsize(data.size()))) {
    *error = DecoderError::BadFile;
    return nullptr;
  }
  int code = 0;
  openmpt_module* module = openmpt_module_create_from_memory2(
      data.data(), data.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_ignore,
      nullptr, &code, nullptr, nullptr);
  if (!module) {
    *error = DecoderError::BadFile;
    return nullptr;
  }
  return std::make_unique<ModuleDecoder>(module, outputRate);
}

}  // namespace

std::unique_ptr<Decoder> OpenDecoder(const std::filesystem::path& path, int outputRate,
                                     DecoderError* error) {
  DecoderError dummy = DecoderError::None;
  if (!error) error = &dummy;
  *error = DecoderError::None;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    *error = DecoderError::NotFound;
    return nullptr;
  }
  // Tracker modules have no reliable magic for every format (15-sample MODs
  // have none), so libopenmpt is only asked about files named as modules.
  std::string ext = LowerExtension(path);
  bool moduleName = !ext.empty() && openmpt_is_extension_supported(ext.c_str()) != 0;
  if (moduleName) {
    if (auto module = OpenModule(path, outputRate, error)) return module;
  }
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) {
    if (!moduleName) *error = DecoderError::UnknownFormat;
    return nullptr;
  }
  if (info.channels < 1 || info.channels > kMaxChannels || info.samplerate < 1 ||
      info.samplerate > kMaxRate) {
    sf_close(file);
    *error = DecoderError::BadFile;
    return nullptr;
  }
  // Floats from integer files come back in -1..1.
  sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
  auto decoder = std::make_unique<SndfileDecoder>(file, info, outputRate);
  if (!decoder->Prepare()) {
    *error = DecoderError::OutOfMemory;
    return nullptr;
  }
  *error = DecoderError::None;
  return decoder;
}

}  // namespace mv::audio
