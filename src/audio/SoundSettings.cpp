#include "audio/SoundSettings.h"

#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

#include "io/Paths.h"

// The TOML reader's own expectations checked always, with the same guard as
// the effect files (gfx/EffectFile.cpp): its inline functions must read the
// same in every file that includes it.
namespace gfx::tomlguard {
[[noreturn]] void ExpectationFailed();
}
#pragma push_macro("NDEBUG")
#undef NDEBUG
#define TOML_ASSERT(expr) ((expr) ? static_cast<void>(0) : ::gfx::tomlguard::ExpectationFailed())
#include <toml++/toml.h>
#pragma pop_macro("NDEBUG")

namespace mv::audio {
namespace {

constexpr std::uintmax_t kMaxFileBytes = 1u << 20;

const char* SourceName(LiveSource source) {
  switch (source) {
    case LiveSource::LineIn: return "line-in";
    case LiveSource::Micro: return "micro";
    default: return "internal";
  }
}

// Length of the UTF-8 sequence at `i`, 0 when it is not one.
std::size_t Utf8Length(std::string_view t, std::size_t i) {
  const auto c = static_cast<unsigned char>(t[i]);
  if (c < 0x80) return 1;
  const std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
  if (len == 0 || c > 0xF4 || i + len > t.size()) return 0;
  std::uint32_t cp = c & (0x7Fu >> len);
  for (std::size_t k = 1; k < len; ++k) {
    const auto d = static_cast<unsigned char>(t[i + k]);
    if ((d & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (d & 0x3Fu);
  }
  static const std::uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

bool ValidUtf8(std::string_view t) {
  for (std::size_t i = 0; i < t.size();) {
    const std::size_t len = Utf8Length(t, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

// A name as it can go into the file: invalid bytes (never from SDL, which
// speaks UTF-8) and, for a comment line, control characters become '?'.
std::string Printable(std::string_view t, bool forComment) {
  std::string out;
  for (std::size_t i = 0; i < t.size();) {
    const std::size_t len = Utf8Length(t, i);
    const auto c = static_cast<unsigned char>(t[i]);
    if (len == 0 || (forComment && (c < 0x20 || c == 0x7F))) {
      out += '?';
      i += len == 0 ? 1 : len;
      continue;
    }
    out.append(t.substr(i, len));
    i += len;
  }
  return out;
}

class Reader {
 public:
  Reader(const toml::table& root, SoundSettingsRead& out) : m_root(root), m_out(out) {}

  void Run() {
    for (auto&& [key, node] : m_root) {
      const std::string name(key.str());
      if (name != "analysis" && name != "live" && name != "sync")
        Problem("unknown section [" + name + "], ignored");
      else if (!node.is_table())
        Problem("\"" + name + "\" is not a section, ignored");
    }
    SoundSettings& s = m_out.settings;
    if (const toml::table* t = Section("analysis", {"bands", "threshold", "take_peak"})) {
      if (const toml::node* bands = t->get("bands")) ReadBands(*bands);
      if (auto v = Integer(*t, "analysis.threshold", "threshold", 0, 255)) s.threshold = int(*v);
      if (auto v = Boolean(*t, "analysis.take_peak", "take_peak")) s.takePeak = *v;
    }
    if (const toml::table* t = Section("live", {"source", "line_in_device", "micro_device", "monitor"})) {
      if (auto v = String(*t, "live.source", "source")) {
        if (*v == "internal") s.source = LiveSource::InternalPlayer;
        else if (*v == "line-in") s.source = LiveSource::LineIn;
        else if (*v == "micro") s.source = LiveSource::Micro;
        else Problem("live.source must be \"internal\", \"line-in\" or \"micro\", not \"" + *v + "\"");
      }
      if (auto v = String(*t, "live.line_in_device", "line_in_device")) s.lineInDevice = *v;
      if (auto v = String(*t, "live.micro_device", "micro_device")) s.microDevice = *v;
      if (auto v = Boolean(*t, "live.monitor", "monitor")) s.monitor = *v;
    }
    if (const toml::table* t = Section("sync", {"offset_ms"})) {
      if (auto v = Integer(*t, "sync.offset_ms", "offset_ms", -1000, 1000)) s.syncOffsetMs = int(*v);
    }
  }

 private:
  void Problem(std::string text) { m_out.problems.push_back(std::move(text)); }

  const toml::table* Section(const char* name, std::initializer_list<const char*> keys) {
    const toml::table* t = m_root.get_as<toml::table>(name);
    if (!t) return nullptr;
    for (auto&& [key, node] : *t) {
      bool known = false;
      for (const char* k : keys) known = known || key.str() == k;
      if (!known) Problem("unknown setting " + std::string(name) + "." + std::string(key.str()) + ", ignored");
    }
    return t;
  }

  std::optional<std::int64_t> Integer(const toml::table& t, const char* what, const char* key,
                                      std::int64_t lo, std::int64_t hi) {
    const toml::node* n = t.get(key);
    if (!n) return std::nullopt;
    std::optional<std::int64_t> v = n->value_exact<std::int64_t>();
    if (!v || *v < lo || *v > hi) {
      Problem(std::string(what) + " must be a whole number from " + std::to_string(lo) + " to " +
              std::to_string(hi) + ", ignored");
      return std::nullopt;
    }
    return v;
  }

  std::optional<bool> Boolean(const toml::table& t, const char* what, const char* key) {
    const toml::node* n = t.get(key);
    if (!n) return std::nullopt;
    if (!n->is_boolean()) {
      Problem(std::string(what) + " must be true or false, ignored");
      return std::nullopt;
    }
    return n->value_exact<bool>();
  }

  std::optional<std::string> String(const toml::table& t, const char* what, const char* key) {
    const toml::node* n = t.get(key);
    if (!n) return std::nullopt;
    if (!n->is_string()) {
      Problem(std::string(what) + " must be a string, ignored");
      return std::nullopt;
    }
    return n->value_exact<std::string>();
  }

  void ReadBands(const toml::node& node) {
    const toml::array* bands = node.as_array();
    if (!bands) {
      Problem("analysis.bands must be a list of band numbers from 0 to 63, ignored");
      return;
    }
    for (const toml::node& b : *bands) {
      std::optional<std::int64_t> v = b.value_exact<std::int64_t>();
      if (v && *v >= 0 && *v < kBandCount)
        m_out.settings.selected[std::size_t(*v)] = true;
      else
        Problem("analysis.bands: only band numbers from 0 to 63 count, one entry ignored");
    }
  }

  const toml::table& m_root;
  SoundSettingsRead& m_out;
};

}  // namespace

SoundSettingsRead ParseSoundSettings(std::string_view text) {
  SoundSettingsRead read;
  if (!ValidUtf8(text)) {
    read.status = SoundSettingsRead::Status::Damaged;
    read.problems.push_back("not UTF-8 text");
    return read;
  }
  try {
    toml::table root = toml::parse(text);
    read.status = SoundSettingsRead::Status::Read;
    Reader(root, read).Run();
  } catch (const toml::parse_error& e) {
    read = SoundSettingsRead{};
    read.status = SoundSettingsRead::Status::Damaged;
    read.problems.push_back("line " + std::to_string(e.source().begin.line) + ": " +
                            std::string(e.description()));
  } catch (...) {
    read = SoundSettingsRead{};
    read.status = SoundSettingsRead::Status::Damaged;
    read.problems.push_back("malformed TOML");
  }
  return read;
}

SoundSettingsRead ReadSoundSettings(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return SoundSettingsRead{};
  SoundSettingsRead damaged;
  damaged.status = SoundSettingsRead::Status::Damaged;
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec || size > kMaxFileBytes) {
    damaged.problems.push_back(ec ? "cannot be read" : "larger than any settings file");
    return damaged;
  }
  std::ifstream in(file, std::ios::binary);
  std::string text(std::size_t(size), '\0');
  if (!in.read(text.data(), std::streamsize(text.size()))) {
    damaged.problems.push_back("cannot be read");
    return damaged;
  }
  return ParseSoundSettings(text);
}

std::string FormatSoundSettings(const SoundSettings& s, const std::vector<std::string>& devices) {
  toml::array bands;
  for (int i = 0; i < kBandCount; ++i)
    if (s.selected[std::size_t(i)]) bands.push_back(i);
  toml::table root{
      {"analysis", toml::table{{"bands", bands}, {"threshold", s.threshold}, {"take_peak", s.takePeak}}},
      {"live", toml::table{{"source", SourceName(s.source)},
                           {"line_in_device", Printable(s.lineInDevice, false)},
                           {"micro_device", Printable(s.microDevice, false)},
                           {"monitor", s.monitor}}},
      {"sync", toml::table{{"offset_ms", s.syncOffsetMs}}},
  };
  std::ostringstream out;
  out << "# Morvane Player: the sound settings of this show, read at start-up and\n"
         "# written at exit.\n"
         "#\n"
         "# [analysis] bands: the bands that make up the level (BassValue), 0\n"
         "#   (lowest) to 63; threshold: 0 to 255, a band counts when it is above\n"
         "#   threshold / 255; take_peak: add the peak markers instead.\n"
         "# [live] source: \"internal\", \"line-in\" or \"micro\"; line_in_device,\n"
         "#   micro_device: the capture device each records from where the sound\n"
         "#   card's mixer cannot switch lines (\"\": the default device); monitor:\n"
         "#   play the live input through the output too.\n"
         "# [sync] offset_ms: how much later the analysis follows the output, for\n"
         "#   a sink that holds more sound than the player knows (-1000 to 1000).\n";
  if (!devices.empty()) {
    out << "#\n# Capture devices on this machine:\n";
    for (const std::string& d : devices)
      out << "#   " << toml::value<std::string>(Printable(d, true)) << "\n";
  }
  out << "\n" << root << "\n";
  return out.str();
}

bool WriteSoundSettings(const std::filesystem::path& file, const SoundSettings& settings,
                        const std::vector<std::string>& devices) {
  const std::string text = FormatSoundSettings(settings, devices);
  return mv::io::WriteFileAtomically(file, [&text](std::ostream& out) {
    out.write(text.data(), std::streamsize(text.size()));
    return bool(out);
  });
}

}  // namespace mv::audio
