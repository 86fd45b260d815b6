#include "audio/Decoders.h"

#include <libopenmpt/libopenmpt.h>
#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
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
// rate. Rate conversion is linear interpolation: enough for visuals and
// monitoring, and it keeps seeking sample-exact on the source side.
class SndfileDecoder final : public Decoder {
 public:
  SndfileDecoder(SNDFILE* file, const SF_INFO& info, int outputRate)
      : m_file(file),
        m_channels(info.channels),
        m_srcRate(info.samplerate),
        m_outRate(outputRate),
        m_step(double(info.samplerate) / double(outputRate)),
        m_raw(std::size_t(kChunk) * info.channels),
        m_src(std::size_t(kChunk + 2) * 2) {}
  ~SndfileDecoder() override { sf_close(m_file); }

  long Read(float* stereo, long frames) override {
    if (m_failed) return -1;
    if (m_srcRate == m_outRate) return ReadDirect(stereo, frames);
    long made = 0;
    while (made < frames) {
      auto i = long(std::floor(m_pos));
      if (i + 1 >= m_srcCount && !m_srcEnded) {
        if (!Refill()) return made > 0 ? made : -1;
        continue;
      }
      if (i >= m_srcCount) break;  // source exhausted
      double t = m_pos - double(i);
      const float* a = &m_src[std::size_t(i) * 2];
      const float* b = (i + 1 < m_srcCount) ? a + 2 : a;
      stereo[made * 2] = float(a[0] + (b[0] - a[0]) * t);
      stereo[made * 2 + 1] = float(a[1] + (b[1] - a[1]) * t);
      ++made;
      m_pos += m_step;
    }
    return made;
  }

  bool Seek(std::int64_t frame) override {
    auto src = std::int64_t(double(frame) * m_step);
    if (sf_seek(m_file, src, SEEK_SET) < 0) return false;
    m_failed = false;
    m_srcCount = 0;
    m_srcEnded = false;
    m_pos = double(frame) * m_step - double(src);
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
      const float* in = &m_raw[std::size_t(f) * m_channels];
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

  // Keeps the frame under the read position and appends new source frames.
  bool Refill() {
    auto keep = std::max<long>(0, m_srcCount - long(std::floor(m_pos)));
    long first = m_srcCount - keep;
    std::copy(m_src.begin() + first * 2, m_src.begin() + m_srcCount * 2, m_src.begin());
    m_pos -= double(first);
    m_srcCount = keep;
    long got = ReadSource(&m_src[std::size_t(m_srcCount) * 2], kChunk);
    if (got < 0) return false;
    if (got == 0) m_srcEnded = true;
    m_srcCount += got;
    return true;
  }

  SNDFILE* m_file;
  int m_channels;
  int m_srcRate;
  int m_outRate;
  double m_step;
  std::vector<float> m_raw;
  std::vector<float> m_src;
  long m_srcCount = 0;
  bool m_srcEnded = false;
  bool m_failed = false;
  double m_pos = 0.0;
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
  *error = DecoderError::None;
  return std::make_unique<SndfileDecoder>(file, info, outputRate);
}

}  // namespace mv::audio
