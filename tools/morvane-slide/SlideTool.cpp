#include "SlideTool.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <limits>

#include "SlideToolInternal.h"
#include "audio/SoundManager.h"
#include "audio/SoundSection.h"
#include "core/MVObject.h"
#include "effects/SectionFormat.h"
#include "effects/SkyBoxManager.h"
#include "io/BinaryIO.h"
#include "io/Utf16.h"
#include "sequence/SlideRecord.h"

namespace slidetool {

std::string ToHex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  s.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    s.push_back(kDigits[c >> 4]);
    s.push_back(kDigits[c & 15]);
  }
  return s;
}

bool FromHex(std::string_view hex, std::string& out) {
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (hex.size() % 2) return false;
  out.clear();
  out.reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<char>(hi * 16 + lo));
  }
  return true;
}

namespace detail {

bool Reader::Truncated(std::size_t start, std::size_t need, const std::string& what) {
  const std::size_t left = start < Size() ? Size() - start : 0;
  Fault(start, "truncated " + what + " (" + std::to_string(need) + " bytes needed, " + std::to_string(left) +
                   " left)");
  return false;
}

void Reader::CheckBoolByte(std::size_t offset, std::uint8_t b, const std::string& what) {
  if (b > 1) Fault(offset, what + " byte is " + std::to_string(b) + " (0 or 1 expected)");
}

const Value& Member(const Value& obj, const char* key, const std::string& path) {
  if (!obj.is_object()) throw BuildError(path + ": object expected");
  const auto it = obj.find(key);
  if (it == obj.end()) throw BuildError(path + ": member \"" + key + "\" missing");
  return *it;
}

const Value* Optional(const Value& obj, const char* key) {
  if (!obj.is_object()) return nullptr;
  const auto it = obj.find(key);
  return it == obj.end() ? nullptr : &*it;
}

std::int64_t GetInt(const Value& v, std::int64_t lo, std::int64_t hi, const std::string& path) {
  // The parser keeps non-negative literals unsigned and fractions as doubles;
  // a fraction or an exponent is no integer here, whatever its value.
  if (v.is_number_unsigned()) {
    const auto u = v.get<std::uint64_t>();
    if (hi >= 0 && u <= static_cast<std::uint64_t>(hi) && (lo <= 0 || u >= static_cast<std::uint64_t>(lo)))
      return static_cast<std::int64_t>(u);
  } else if (v.is_number_integer()) {
    const auto i = v.get<std::int64_t>();
    if (i >= lo && i <= hi) return i;
  }
  throw BuildError(path + ": integer in " + std::to_string(lo) + ".." + std::to_string(hi) + " expected");
}

std::int32_t GetI32(const Value& obj, const char* key, const std::string& path) {
  return static_cast<std::int32_t>(GetInt(Member(obj, key, path), INT32_MIN, INT32_MAX, path + "." + key));
}

std::uint32_t GetU32(const Value& obj, const char* key, const std::string& path) {
  return static_cast<std::uint32_t>(GetInt(Member(obj, key, path), 0, UINT32_MAX, path + "." + key));
}

std::uint8_t GetU8(const Value& obj, const char* key, const std::string& path) {
  return static_cast<std::uint8_t>(GetInt(Member(obj, key, path), 0, 255, path + "." + key));
}

float GetFloat(const Value& v, const std::string& path) {
  if (v.is_string()) {
    const std::string& s = v.get_ref<const std::string&>();
    std::uint32_t bits = 0;
    if (s.size() == 10 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') &&
        s.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos &&
        std::from_chars(s.data() + 2, s.data() + s.size(), bits, 16).ec == std::errc())
      return std::bit_cast<float>(bits);
  } else if (v.is_number()) {
    // Narrowing rounds to nearest (IEEE floats); what rounds to infinity is
    // beyond a float. A dump prints FLT_MAX as 3.4028235e+38, above it.
    static_assert(std::numeric_limits<float>::is_iec559);
    const float f = static_cast<float>(v.get<double>());
    if (std::isfinite(f)) return f;
  }
  throw BuildError(path + ": float expected (a number, or \"0x\" and 8 hex digits)");
}

const Array& GetArray(const Value& obj, const char* key, const std::string& path) {
  const Value& v = Member(obj, key, path);
  if (!v.is_array()) throw BuildError(path + "." + key + ": array expected");
  return v.get_ref<const Array&>();
}

void GetFloats(const Value& obj, const char* key, float* out, std::size_t n, const std::string& path) {
  const auto& items = GetArray(obj, key, path);
  if (items.size() != n) throw BuildError(path + "." + key + ": " + std::to_string(n) + " floats expected");
  for (std::size_t i = 0; i < n; ++i) out[i] = GetFloat(items[i], path + "." + key + "[" + std::to_string(i) + "]");
}

void GetI32s(const Value& obj, const char* key, std::int32_t* out, std::size_t n, const std::string& path) {
  const auto& items = GetArray(obj, key, path);
  if (items.size() != n) throw BuildError(path + "." + key + ": " + std::to_string(n) + " integers expected");
  for (std::size_t i = 0; i < n; ++i)
    out[i] = static_cast<std::int32_t>(
        GetInt(items[i], INT32_MIN, INT32_MAX, path + "." + key + "[" + std::to_string(i) + "]"));
}

std::string GetHex(const Value& obj, const char* key, const std::string& path) {
  const Value& v = Member(obj, key, path);
  std::string bytes;
  if (!v.is_string() || !FromHex(v.get_ref<const std::string&>(), bytes))
    throw BuildError(path + "." + key + ": hex string expected");
  return bytes;
}

Value Float(float f) {
  const auto bits = std::bit_cast<std::uint32_t>(f);
  if (!std::isfinite(f)) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", bits);
    return buf;
  }
  // The float's shortest decimal held as a double prints briefly ("0.1", not
  // 0.10000000149011612), but rounding twice can land on the next float
  // (7.038531e-26 does): then the exact widening (doubles print round-trip).
  char buf[32];
  const auto end = std::to_chars(buf, buf + sizeof buf, f).ptr;
  double brief = 0;
  std::from_chars(buf, end, brief);
  if (std::bit_cast<std::uint32_t>(static_cast<float>(brief)) == bits) return brief;
  return static_cast<double>(f);
}

Value Floats(const float* v, std::size_t n) {
  Value a = Value::array();
  for (std::size_t i = 0; i < n; ++i) a.push_back(Float(v[i]));
  return a;
}

Value Ints(const std::int32_t* v, std::size_t n) {
  Value a = Value::array();
  for (std::size_t i = 0; i < n; ++i) a.push_back(v[i]);
  return a;
}

static std::string UnitsHex(const char16_t* s, std::size_t n) {
  std::ostringstream os;
  mv::io::WriteChars16(os, s, n);
  return ToHex(os.str());
}

Value DumpFixed16(const char16_t* s, std::size_t n) {
  const std::size_t len = mv::io::Length16(s, n);
  const std::u16string_view text(s, len);
  const std::string utf8 = mv::io::Utf16ToUtf8(text);
  Value o = Value::object();
  if (len == n || mv::io::Utf8ToUtf16(utf8) != text) {
    o["units"] = UnitsHex(s, n);
    return o;
  }
  std::size_t end = n;
  while (end > len + 1 && s[end - 1] == 0) --end;
  if (end == len + 1) return utf8;
  o["text"] = utf8;
  o["tail"] = UnitsHex(s + len + 1, end - len - 1);
  return o;
}

static void UnitsFromHex(const std::string& bytes, char16_t* s, std::size_t n, const std::string& path) {
  if (bytes.size() % 2 || bytes.size() / 2 > n) throw BuildError(path + ": too many units");
  for (std::size_t i = 0; i < bytes.size() / 2; ++i)
    s[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                 (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
}

void BuildFixed16(const Value& v, char16_t* s, std::size_t n, const std::string& path) {
  std::fill(s, s + n, u'\0');
  if (Optional(v, "units")) {
    UnitsFromHex(GetHex(v, "units", path), s, n, path + ".units");
    return;
  }
  const Value& textValue = v.is_object() ? Member(v, "text", path) : v;
  if (!textValue.is_string()) throw BuildError(path + (v.is_object() ? ".text" : "") + ": text expected");
  const std::u16string text = mv::io::Utf8ToUtf16(textValue.get_ref<const std::string&>());
  if (text.size() >= n || text.find(u'\0') != std::u16string::npos)
    throw BuildError(path + ": text longer than " + std::to_string(n - 1) + " units");
  std::copy(text.begin(), text.end(), s);
  if (Optional(v, "tail"))
    UnitsFromHex(GetHex(v, "tail", path), s + text.size() + 1, n - text.size() - 1, path + ".tail");
}

bool DumpPanel(Reader& r, Value& section, const std::string& what) {
  const std::size_t start = r.Pos();
  mv::effects::PanelPrefsRecord p;
  if (!mv::effects::ReadPanelPrefs(r.in, p)) return r.Truncated(start, mv::effects::kPanelPrefsSize, what + " panel preferences");
  r.CheckBoolByte(start + 8, p.minimized, what + " panel minimized");
  section["panel"] = Value::object({{"x", p.x}, {"y", p.y}, {"minimized", p.minimized}});
  return true;
}

void BuildPanel(const Value& section, std::ostream& out, const std::string& path) {
  const Value& v = Member(section, "panel", path);
  mv::effects::PanelPrefsRecord p;
  p.x = GetI32(v, "x", path + ".panel");
  p.y = GetI32(v, "y", path + ".panel");
  p.minimized = GetU8(v, "minimized", path + ".panel");
  mv::effects::WritePanelPrefs(out, p);
}

}  // namespace detail

namespace {

using namespace detail;

// ------------------------------------------------------------ effects sections

bool DumpSkyBox(Reader& r, Value& s) {
  if (!DumpPanel(r, s, "sky box")) return false;
  const std::size_t start = r.Pos();
  mv::effects::SkyBoxFields f;
  if (!mv::effects::ReadSkyBoxFields(r.in, f)) return r.Truncated(start, mv::effects::kSkyBoxFieldsSize, "sky box section");
  if (f.currentIndex < 0 || f.currentIndex >= SkyBoxManager::kSkyBoxCount)
    r.Fault(start, "sky box index " + std::to_string(f.currentIndex) + " out of range (0..8)");
  r.CheckBoolByte(start + 4, f.enabled, "sky box enabled");
  s["currentIndex"] = f.currentIndex;
  s["enabled"] = f.enabled;
  s["scale"] = Floats(f.scale.data(), 3);
  s["rotation"] = Floats(f.rotation.data(), 3);
  s["rotationSpeed"] = Floats(f.rotationSpeed.data(), 3);
  return true;
}

void BuildSkyBox(const Value& s, std::ostream& out, const std::string& path) {
  BuildPanel(s, out, path);
  mv::effects::SkyBoxFields f;
  f.currentIndex = GetI32(s, "currentIndex", path);
  f.enabled = GetU8(s, "enabled", path);
  GetFloats(s, "scale", f.scale.data(), 3, path);
  GetFloats(s, "rotation", f.rotation.data(), 3, path);
  GetFloats(s, "rotationSpeed", f.rotationSpeed.data(), 3, path);
  mv::effects::WriteSkyBoxFields(out, f);
}

bool DumpPanelOnly(Reader& r, Value& s) { return DumpPanel(r, s, "manager"); }
void BuildPanelOnly(const Value& s, std::ostream& out, const std::string& path) { BuildPanel(s, out, path); }

bool DumpPostProcess(Reader& r, Value& s) {
  const std::size_t start = r.Pos();
  std::int32_t count = 0;
  if (!mv::io::ReadI32(r.in, count)) return r.Truncated(start, 4, "post-process entry count");
  s["entryCount"] = count;
  if (count == mv::effects::kMaxStoredEntries + 1) {
    r.Warn(start, "post-process entry count 21: a 20-effect chain stored without its records");
  } else if (count < 0 || count > mv::effects::kMaxStoredEntries) {
    r.Fault(start, "post-process entry count " + std::to_string(count) + " out of range (0..21)");
  }
  if (!mv::effects::ChainCountHasRecords(count)) return true;
  Value records = Value::array();
  for (std::int32_t k = 0; k < count; ++k) {
    const std::size_t at = r.Pos();
    mv::effects::ChainRecord c;
    if (!mv::effects::ReadChainRecord(r.in, c))
      return r.Truncated(at, mv::effects::kChainRecordSize, "chain record " + std::to_string(k));
    const bool last = k + 1 == count;
    if (last && c.effectIndex != -1) {
      r.Warn(at, "end marker names effect " + std::to_string(c.effectIndex) + " (read as -1)");
    } else if (!last && (c.effectIndex < 0 || c.effectIndex >= 25)) {
      r.Fault(at, "chain record " + std::to_string(k) + ": effect index " + std::to_string(c.effectIndex) +
                      " out of range (0..24)");
    } else if (!last && (c.parameterSlot < 0 || c.parameterSlot >= 20)) {
      r.Fault(at + 4, "chain record " + std::to_string(k) + ": parameter slot " + std::to_string(c.parameterSlot) +
                          " out of range (0..19)");
    }
    Value v = Value::object();
    v["effect"] = c.effectIndex;
    v["slot"] = c.parameterSlot;
    v["parameter0"] = Floats(c.parameters[0].data(), 4);
    v["parameter1"] = Floats(c.parameters[1].data(), 4);
    v["instanceRef"] = c.instanceRef;
    records.push_back(std::move(v));
  }
  s["records"] = std::move(records);
  return true;
}

void BuildPostProcess(const Value& s, std::ostream& out, const std::string& path) {
  mv::effects::PostProcessSection section;
  section.entryCount = GetI32(s, "entryCount", path);
  if (mv::effects::ChainCountHasRecords(section.entryCount)) {
    const auto& items = GetArray(s, "records", path);
    if (items.size() != static_cast<std::size_t>(section.entryCount))
      throw BuildError(path + ".records: entryCount records expected");
    for (std::size_t k = 0; k < items.size(); ++k) {
      const std::string p = path + ".records[" + std::to_string(k) + "]";
      mv::effects::ChainRecord c;
      c.effectIndex = GetI32(items[k], "effect", p);
      c.parameterSlot = GetI32(items[k], "slot", p);
      GetFloats(items[k], "parameter0", c.parameters[0].data(), 4, p);
      GetFloats(items[k], "parameter1", c.parameters[1].data(), 4, p);
      c.instanceRef = GetU32(items[k], "instanceRef", p);
      section.records.push_back(c);
    }
  } else if (const Value* rec = Optional(s, "records"); rec && !(rec->is_array() && rec->empty())) {
    throw BuildError(path + ".records: no records follow an entry count outside 1..20");
  }
  mv::effects::WritePostProcessSection(out, section);
}

// --------------------------------------------------------------- sound section

// The sound manager's section after its panel preferences: the track path
// as text when it is plain (valid UTF-8 up to its terminator, zeros after
// it), otherwise as raw bytes; the enabled byte; the volume.
bool DumpSound(Reader& r, Value& s) {
  if (!DumpPanel(r, s, "sound")) return false;
  const std::size_t start = r.Pos();
  mv::audio::SoundSection section;
  if (!mv::audio::ReadSoundSection(r.in, section))
    return r.Truncated(start, mv::audio::SoundSection::kSize, "sound section");
  const std::string_view all(section.trackPath, sizeof section.trackPath);
  const std::size_t length = mv::io::Length8(section.trackPath, sizeof section.trackPath);
  const bool plain = length < all.size() && all.find_first_not_of('\0', length) == std::string_view::npos &&
                     mv::io::IsValidUtf8(all.substr(0, length));
  if (plain)
    s["track"] = std::string(all.substr(0, length));
  else
    s["trackRaw"] = ToHex(all);
  r.CheckBoolByte(start + mv::audio::SoundSection::kTrackPathSize, section.enabled, "sound enabled");
  s["enabled"] = section.enabled;
  s["volume"] = section.volume;
  return true;
}

void BuildSound(const Value& s, std::ostream& out, const std::string& path) {
  BuildPanel(s, out, path);
  mv::audio::SoundSection section;
  if (Optional(s, "trackRaw")) {
    const std::string bytes = GetHex(s, "trackRaw", path);
    if (bytes.size() != sizeof section.trackPath)
      throw BuildError(path + ".trackRaw: " + std::to_string(sizeof section.trackPath) + " bytes expected");
    std::memcpy(section.trackPath, bytes.data(), bytes.size());
  } else {
    const Value& track = Member(s, "track", path);
    if (!track.is_string() || track.get_ref<const std::string&>().size() >= sizeof section.trackPath)
      throw BuildError(path + ".track: a string shorter than " + std::to_string(sizeof section.trackPath) + " bytes expected");
    mv::io::CopyToFixed(section.trackPath, sizeof section.trackPath, track.get_ref<const std::string&>());
  }
  section.enabled = GetU8(s, "enabled", path);
  section.volume = GetI32(s, "volume", path);
  mv::audio::WriteSoundSection(out, section);
}

// ------------------------------------------------------------- the containers

struct SectionCodec {
  std::int32_t tag;
  const char* name;
  bool (*dump)(Reader&, Value&);
  void (*build)(const Value&, std::ostream&, const std::string&);
};

constexpr SectionCodec kSlideSections[] = {
    {MV_TYPE_SKYBOX, "skybox", DumpSkyBox, BuildSkyBox},
    {MV_TYPE_DEVICE, "device", DumpPanelOnly, BuildPanelOnly},
    {MV_TYPE_POSTPROCESS, "postprocess", DumpPostProcess, BuildPostProcess},
    {MV_TYPE_SCENE, "scene", DumpSceneSection, BuildSceneSection},
    {MV_TYPE_SOUND, "sound", DumpSound, BuildSound},
    {MV_TYPE_ANIMATION, "animation", DumpPanelOnly, BuildPanelOnly},
    {MV_TYPE_VALUES, "values", DumpPanelOnly, BuildPanelOnly},
};

void SetTrailing(Reader& r, Value& doc, std::size_t from) {
  const auto rest = r.Rest(from);
  if (!rest.empty()) doc["trailing"] = ToHex(rest);
}

void DumpSlide(Reader& r, Value& doc) {
  doc["file"] = "slide";
  Value sections = Value::array();
  std::size_t end = 0;
  for (std::size_t i = 0; i < std::size(kSlideSections); ++i) {
    const SectionCodec& c = kSlideSections[i];
    const bool last = i + 1 == std::size(kSlideSections);
    const std::size_t at = r.Pos();
    std::int32_t tag = -1;
    const bool gotTag = mv::io::ReadI32(r.in, tag);
    if (!gotTag || tag != c.tag) {
      const std::string what = "section " + std::to_string(i + 1) + " (" + c.name + ")";
      const std::string reason = !gotTag ? (at == r.Size() ? what + " missing" : "truncated tag of " + what)
                                         : "wrong tag " + std::to_string(tag) + " for " + what + ", " +
                                               std::to_string(c.tag) + " expected";
      // Like the player, a slide without its values section still loads.
      if (last) {
        r.Warn(at, reason);
      } else {
        r.Fault(at, reason);
      }
      end = at;
      break;
    }
    const std::size_t body = r.Pos();
    Value s = Value::object();
    s["tag"] = tag;
    s["section"] = c.name;
    if (!c.dump(r, s)) {
      // Past a fault nothing is parsed: the section's bytes travel raw.
      Value raw = Value::object();
      raw["tag"] = tag;
      raw["section"] = c.name;
      raw["raw"] = ToHex(r.Rest(body));
      sections.push_back(std::move(raw));
      doc["sections"] = std::move(sections);
      return;
    }
    sections.push_back(std::move(s));
    end = r.Pos();
  }
  doc["sections"] = std::move(sections);
  if (end < r.Size()) r.Warn(end, std::to_string(r.Size() - end) + " bytes after the last section");
  SetTrailing(r, doc, end);
}

void BuildSlide(const Value& doc, std::ostream& out) {
  const auto& sections = GetArray(doc, "sections", "$");
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const std::string path = "$.sections[" + std::to_string(i) + "]";
    const Value& s = sections[i];
    const std::int32_t tag = GetI32(s, "tag", path);
    mv::io::WriteI32(out, tag);
    if (Optional(s, "raw")) {
      const std::string raw = GetHex(s, "raw", path);
      out.write(raw.data(), static_cast<std::streamsize>(raw.size()));
      continue;
    }
    const SectionCodec* codec = nullptr;
    for (const auto& c : kSlideSections)
      if (c.tag == tag) codec = &c;
    if (!codec) throw BuildError(path + ".tag: no section has tag " + std::to_string(tag));
    codec->build(s, out, path);
  }
}

// ------------------------------------------------------------------ sequence

void DumpSequence(Reader& r, Value& doc) {
  doc["file"] = "sequence";
  std::int32_t tag = 0;
  mv::io::ReadI32(r.in, tag);
  doc["tag"] = tag;
  std::size_t end = r.Pos();
  Value body = Value::object();
  if (!DumpPanel(r, body, "sequence")) {
    SetTrailing(r, doc, end);
    return;
  }
  doc["panel"] = std::move(body["panel"]);
  end = r.Pos();
  std::int32_t count = 0;
  if (!mv::io::ReadI32(r.in, count)) {
    r.Truncated(end, 4, "slide count");
    SetTrailing(r, doc, end);
    return;
  }
  doc["count"] = count;
  if (count < 0) r.Fault(end, "slide count " + std::to_string(count) + " out of range");
  if (count > 10) r.Warn(end, "slide count " + std::to_string(count) + " above 10");
  end = r.Pos();
  Value slides = Value::array();
  for (std::int32_t k = 0; k < count; ++k) {
    const std::size_t at = r.Pos();
    if (r.Size() - at < SlideRecord::kSize) {
      r.Truncated(at, SlideRecord::kSize, "slide record " + std::to_string(k));
      break;
    }
    SlideRecord rec;
    mv::seq::ReadSlideRecord(r.in, rec);
    if (rec.reserved != 0) r.Warn(at, "slide record " + std::to_string(k) + ": reserved word not 0");
    if (rec.durationMs < 0) r.Warn(at + 8, "slide record " + std::to_string(k) + ": negative duration");
    Value v = Value::object();
    v["reserved"] = rec.reserved;
    v["number"] = rec.number;
    v["duration"] = rec.durationMs;
    v["path"] = DumpFixed16(rec.path, SlideRecord::kPathUnits);
    slides.push_back(std::move(v));
    end = r.Pos();
  }
  doc["slides"] = std::move(slides);
  if (end < r.Size() && r.problems.empty()) r.Warn(end, std::to_string(r.Size() - end) + " bytes after the last slide");
  SetTrailing(r, doc, end);
}

void BuildSequence(const Value& doc, std::ostream& out) {
  mv::io::WriteI32(out, GetI32(doc, "tag", "$"));
  if (!Optional(doc, "panel")) return;
  BuildPanel(doc, out, "$");
  if (!Optional(doc, "count")) return;
  mv::io::WriteI32(out, GetI32(doc, "count", "$"));
  const Value* slides = Optional(doc, "slides");
  if (!slides) return;
  if (!slides->is_array()) throw BuildError("$.slides: array expected");
  for (std::size_t k = 0; k < slides->size(); ++k) {
    const std::string path = "$.slides[" + std::to_string(k) + "]";
    const Value& v = (*slides)[k];
    SlideRecord rec;
    rec.reserved = GetU32(v, "reserved", path);
    rec.number = GetU32(v, "number", path);
    rec.durationMs = GetI32(v, "duration", path);
    BuildFixed16(Member(v, "path", path), rec.path, SlideRecord::kPathUnits, path + ".path");
    mv::seq::WriteSlideRecord(out, rec);
  }
}

}  // namespace

DumpResult Dump(std::string_view bytes) {
  Reader r(bytes);
  DumpResult result;
  result.doc = Value::object();
  std::int32_t first = -1;
  if (bytes.size() >= 4) {
    std::istringstream peek(std::string(bytes.substr(0, 4)));
    mv::io::ReadI32(peek, first);
  }
  if (first == MV_TYPE_SEQUENCE) {
    DumpSequence(r, result.doc);
  } else {
    DumpSlide(r, result.doc);
  }
  result.problems = std::move(r.problems);
  return result;
}


bool Build(const Document& doc, std::string& out, std::string& error) {
  std::ostringstream os(std::ios::out | std::ios::binary);
  try {
    const Value& file = Member(doc, "file", "$");
    if (file == "sequence") {
      BuildSequence(doc, os);
    } else if (file == "slide") {
      BuildSlide(doc, os);
    } else {
      throw BuildError("$.file: \"slide\" or \"sequence\" expected");
    }
    if (Optional(doc, "trailing")) {
      const std::string raw = GetHex(doc, "trailing", "$");
      os.write(raw.data(), static_cast<std::streamsize>(raw.size()));
    }
  } catch (const BuildError& e) {
    error = e.what();
    return false;
  }
  out = os.str();
  return true;
}

std::string ToText(const Document& doc) { return doc.dump(2) + "\n"; }

std::optional<Document> Parse(std::string_view text, std::string& error) {
  try {
    return Document::parse(text);
  } catch (const Document::exception& e) {
    // A parse_error, or out_of_range for a number beyond a double. The
    // library's "[json.exception.parse_error.101] " prefix means nothing to a user.
    std::string what = e.what();
    const auto close = what.find("] ");
    if (what.rfind("[json.exception.", 0) == 0 && close != std::string::npos) what.erase(0, close + 2);
    error = std::move(what);
    return std::nullopt;
  }
}

namespace {

bool ReadWholeFile(const char* path, std::string& bytes) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return !f.bad();
}

int Usage() {
  std::fprintf(stderr,
               "usage: morvane-slide dump FILE        print a slide or sequence file as JSON\n"
               "       morvane-slide check FILE       validate; non-zero exit at the first fault\n"
               "       morvane-slide build JSON OUT   write the file a JSON document describes\n");
  return 2;
}

int Run(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  if (command == "dump" || command == "check") {
    if (argc != 3) return Usage();
    std::string bytes;
    if (!ReadWholeFile(argv[2], bytes)) {
      std::fprintf(stderr, "morvane-slide: cannot read %s\n", argv[2]);
      return 2;
    }
    // Both commands report what the player does with the file: the dump's
    // own parse only decides what travels as raw bytes.
    std::vector<Problem> warnings;
    const std::optional<Problem> fault = Check(bytes, &warnings);
    for (const auto& p : warnings)
      std::fprintf(stderr, "%s: warning at offset %zu: %s\n", argv[2], p.offset, p.reason.c_str());
    if (fault) std::fprintf(stderr, "%s: fault at offset %zu: %s\n", argv[2], fault->offset, fault->reason.c_str());
    if (command == "dump") {
      std::fputs(ToText(Dump(bytes).doc).c_str(), stdout);
      return 0;
    }
    if (fault) return 1;
    std::printf("%s: ok (%zu bytes)\n", argv[2], bytes.size());
    return 0;
  }
  if (command == "build") {
    if (argc != 4) return Usage();
    std::string text;
    if (!ReadWholeFile(argv[2], text)) {
      std::fprintf(stderr, "morvane-slide: cannot read %s\n", argv[2]);
      return 2;
    }
    std::string error;
    const auto doc = Parse(text, error);
    if (!doc) {
      std::fprintf(stderr, "%s: not JSON: %s\n", argv[2], error.c_str());
      return 2;
    }
    std::string bytes;
    if (!Build(*doc, bytes, error)) {
      std::fprintf(stderr, "%s: %s\n", argv[2], error.c_str());
      return 1;
    }
    std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::fprintf(stderr, "morvane-slide: cannot write %s\n", argv[3]);
      return 2;
    }
    return 0;
  }
  return Usage();
}

}  // namespace

int Main(int argc, char** argv) {
  // The JSON library reports by exceptions; none may end the program unexplained.
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "morvane-slide: %s\n", e.what());
    return 2;
  }
}

}  // namespace slidetool
