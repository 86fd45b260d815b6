#include "SlideTool.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>

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
  if (!obj.IsObject()) throw BuildError(path + ": object expected");
  const Value* v = obj.Find(key);
  if (!v) throw BuildError(path + ": member \"" + key + "\" missing");
  return *v;
}

const Value* Optional(const Value& obj, const char* key) { return obj.Find(key); }

std::int64_t GetInt(const Value& v, std::int64_t lo, std::int64_t hi, const std::string& path) {
  const auto i = v.AsInt(lo, hi);
  if (!i) throw BuildError(path + ": integer in " + std::to_string(lo) + ".." + std::to_string(hi) + " expected");
  return *i;
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
  const auto f = v.AsFloat();
  if (!f) throw BuildError(path + ": float expected (a number, or \"0x\" and 8 hex digits)");
  return *f;
}

const std::vector<Value>& GetArray(const Value& obj, const char* key, const std::string& path) {
  const Value& v = Member(obj, key, path);
  if (!v.IsArray()) throw BuildError(path + "." + key + ": array expected");
  return v.Items();
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
  if (!v.IsString() || !FromHex(v.Text(), bytes)) throw BuildError(path + "." + key + ": hex string expected");
  return bytes;
}

Value Floats(const float* v, std::size_t n) {
  Value a = Value::Array();
  for (std::size_t i = 0; i < n; ++i) a.Push(Value::Float(v[i]));
  return a;
}

Value Ints(const std::int32_t* v, std::size_t n) {
  Value a = Value::Array();
  for (std::size_t i = 0; i < n; ++i) a.Push(Value::Int(v[i]));
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
  if (len == n || mv::io::Utf8ToUtf16(utf8) != text) {
    Value o = Value::Object();
    o.Set("units", Value::String(UnitsHex(s, n)));
    return o;
  }
  std::size_t end = n;
  while (end > len + 1 && s[end - 1] == 0) --end;
  if (end == len + 1) return Value::String(utf8);
  Value o = Value::Object();
  o.Set("text", Value::String(utf8));
  o.Set("tail", Value::String(UnitsHex(s + len + 1, end - len - 1)));
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
  if (v.IsObject() && v.Find("units")) {
    UnitsFromHex(GetHex(v, "units", path), s, n, path + ".units");
    return;
  }
  const Value& textValue = v.IsObject() ? Member(v, "text", path) : v;
  if (!textValue.IsString()) throw BuildError(path + ": text expected");
  const std::u16string text = mv::io::Utf8ToUtf16(textValue.Text());
  if (text.size() >= n || text.find(u'\0') != std::u16string::npos)
    throw BuildError(path + ": text longer than " + std::to_string(n - 1) + " units");
  std::copy(text.begin(), text.end(), s);
  if (v.IsObject() && v.Find("tail"))
    UnitsFromHex(GetHex(v, "tail", path), s + text.size() + 1, n - text.size() - 1, path + ".tail");
}

bool DumpPanel(Reader& r, Value& section, const std::string& what) {
  const std::size_t start = r.Pos();
  mv::effects::PanelPrefsRecord p;
  if (!mv::effects::ReadPanelPrefs(r.in, p)) return r.Truncated(start, mv::effects::kPanelPrefsSize, what + " panel preferences");
  r.CheckBoolByte(start + 8, p.minimized, what + " panel minimized");
  Value v = Value::Object();
  v.Set("x", Value::Int(p.x));
  v.Set("y", Value::Int(p.y));
  v.Set("minimized", Value::Int(p.minimized));
  section.Set("panel", std::move(v));
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
  s.Set("currentIndex", Value::Int(f.currentIndex));
  s.Set("enabled", Value::Int(f.enabled));
  s.Set("scale", Floats(f.scale.data(), 3));
  s.Set("rotation", Floats(f.rotation.data(), 3));
  s.Set("rotationSpeed", Floats(f.rotationSpeed.data(), 3));
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
  s.Set("entryCount", Value::Int(count));
  if (count == mv::effects::kMaxStoredEntries + 1) {
    r.Warn(start, "post-process entry count 21: a 20-effect chain stored without its records");
  } else if (count < 0 || count > mv::effects::kMaxStoredEntries) {
    r.Fault(start, "post-process entry count " + std::to_string(count) + " out of range (0..21)");
  }
  if (!mv::effects::ChainCountHasRecords(count)) return true;
  Value records = Value::Array();
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
    Value v = Value::Object();
    v.Set("effect", Value::Int(c.effectIndex));
    v.Set("slot", Value::Int(c.parameterSlot));
    v.Set("parameter0", Floats(c.parameters[0].data(), 4));
    v.Set("parameter1", Floats(c.parameters[1].data(), 4));
    v.Set("instanceRef", Value::Int(c.instanceRef));
    records.Push(std::move(v));
  }
  s.Set("records", std::move(records));
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
  } else if (const Value* rec = Optional(s, "records"); rec && !(rec->IsArray() && rec->Items().empty())) {
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
    s.Set("track", Value::String(std::string(all.substr(0, length))));
  else
    s.Set("trackRaw", Value::String(ToHex(all)));
  r.CheckBoolByte(start + mv::audio::SoundSection::kTrackPathSize, section.enabled, "sound enabled");
  s.Set("enabled", Value::Int(section.enabled));
  s.Set("volume", Value::Int(section.volume));
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
    if (!track.IsString() || track.Text().size() >= sizeof section.trackPath)
      throw BuildError(path + ".track: a string shorter than " + std::to_string(sizeof section.trackPath) + " bytes expected");
    mv::io::CopyToFixed(section.trackPath, sizeof section.trackPath, track.Text());
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
  if (!rest.empty()) doc.Set("trailing", Value::String(ToHex(rest)));
}

void DumpSlide(Reader& r, Value& doc) {
  doc.Set("file", Value::String("slide"));
  Value sections = Value::Array();
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
    Value s = Value::Object();
    s.Set("tag", Value::Int(tag));
    s.Set("section", Value::String(c.name));
    if (!c.dump(r, s)) {
      // Past a fault nothing is parsed: the section's bytes travel raw.
      Value raw = Value::Object();
      raw.Set("tag", Value::Int(tag));
      raw.Set("section", Value::String(c.name));
      raw.Set("raw", Value::String(ToHex(r.Rest(body))));
      sections.Push(std::move(raw));
      doc.Set("sections", std::move(sections));
      return;
    }
    sections.Push(std::move(s));
    end = r.Pos();
  }
  doc.Set("sections", std::move(sections));
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
  doc.Set("file", Value::String("sequence"));
  std::int32_t tag = 0;
  mv::io::ReadI32(r.in, tag);
  doc.Set("tag", Value::Int(tag));
  std::size_t end = r.Pos();
  Value body = Value::Object();
  if (!DumpPanel(r, body, "sequence")) {
    SetTrailing(r, doc, end);
    return;
  }
  doc.Set("panel", *body.Find("panel"));
  end = r.Pos();
  std::int32_t count = 0;
  if (!mv::io::ReadI32(r.in, count)) {
    r.Truncated(end, 4, "slide count");
    SetTrailing(r, doc, end);
    return;
  }
  doc.Set("count", Value::Int(count));
  if (count < 0) r.Fault(end, "slide count " + std::to_string(count) + " out of range");
  if (count > 10) r.Warn(end, "slide count " + std::to_string(count) + " above 10");
  end = r.Pos();
  Value slides = Value::Array();
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
    Value v = Value::Object();
    v.Set("reserved", Value::Int(rec.reserved));
    v.Set("number", Value::Int(rec.number));
    v.Set("duration", Value::Int(rec.durationMs));
    v.Set("path", DumpFixed16(rec.path, SlideRecord::kPathUnits));
    slides.Push(std::move(v));
    end = r.Pos();
  }
  doc.Set("slides", std::move(slides));
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
  if (!slides->IsArray()) throw BuildError("$.slides: array expected");
  for (std::size_t k = 0; k < slides->Items().size(); ++k) {
    const std::string path = "$.slides[" + std::to_string(k) + "]";
    const Value& v = slides->Items()[k];
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
  result.doc = Value::Object();
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


bool Build(const mvjson::Value& doc, std::string& out, std::string& error) {
  std::ostringstream os(std::ios::out | std::ios::binary);
  try {
    const Value& file = Member(doc, "file", "$");
    if (file.IsString() && file.Text() == "sequence") {
      BuildSequence(doc, os);
    } else if (file.IsString() && file.Text() == "slide") {
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

}  // namespace

int Main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  if (command == "dump" || command == "check") {
    if (argc != 3) return Usage();
    std::string bytes;
    if (!ReadWholeFile(argv[2], bytes)) {
      std::fprintf(stderr, "morvane-slide: cannot read %s\n", argv[2]);
      return 2;
    }
    const DumpResult d = Dump(bytes);
    if (command == "dump") {
      std::fputs(mvjson::Write(d.doc).c_str(), stdout);
      for (const auto& p : d.problems)
        std::fprintf(stderr, "%s at offset %zu: %s\n", p.fault ? "fault" : "warning", p.offset, p.reason.c_str());
      return 0;
    }
    std::vector<Problem> warnings;
    const std::optional<Problem> fault = Check(bytes, &warnings);
    for (const auto& p : warnings)
      std::fprintf(stderr, "%s: warning at offset %zu: %s\n", argv[2], p.offset, p.reason.c_str());
    if (fault) {
      std::fprintf(stderr, "%s: fault at offset %zu: %s\n", argv[2], fault->offset, fault->reason.c_str());
      return 1;
    }
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
    mvjson::ParseError perr;
    const auto doc = mvjson::Parse(text, &perr);
    if (!doc) {
      std::fprintf(stderr, "%s: JSON error at offset %zu: %s\n", argv[2], perr.offset, perr.message.c_str());
      return 1;
    }
    std::string bytes, error;
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

}  // namespace slidetool
