#pragma once
// Shared pieces of the inspector's section codecs.
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "SlideTool.h"

namespace slidetool::detail {

using Value = Document;
using Array = Document::array_t;

// A document that does not describe a file; the message names the member.
struct BuildError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class Reader {
  std::string_view m_bytes;

 public:
  explicit Reader(std::string_view bytes) : m_bytes(bytes), in(std::string(bytes), std::ios::in | std::ios::binary) {}

  std::size_t Pos() {
    const auto p = in.tellg();
    return p < 0 ? m_bytes.size() : static_cast<std::size_t>(p);
  }
  std::size_t Size() const { return m_bytes.size(); }
  std::string_view Bytes(std::size_t from, std::size_t to) const { return m_bytes.substr(from, to - from); }
  std::string_view Rest(std::size_t from) const { return from < m_bytes.size() ? m_bytes.substr(from) : std::string_view(); }

  void Fault(std::size_t offset, std::string reason) { problems.push_back({offset, std::move(reason), true}); }
  void Warn(std::size_t offset, std::string reason) { problems.push_back({offset, std::move(reason), false}); }
  // Records a truncation of `what` that began at `start`; returns false.
  bool Truncated(std::size_t start, std::size_t need, const std::string& what);
  // A byte stored for a boolean: 0 or 1.
  void CheckBoolByte(std::size_t offset, std::uint8_t b, const std::string& what);

  std::istringstream in;
  std::vector<Problem> problems;
};

// Build-side member access; `path` names the member in error messages.
const Value& Member(const Value& obj, const char* key, const std::string& path);
const Value* Optional(const Value& obj, const char* key);
std::int64_t GetInt(const Value& v, std::int64_t lo, std::int64_t hi, const std::string& path);
std::int32_t GetI32(const Value& obj, const char* key, const std::string& path);
std::uint32_t GetU32(const Value& obj, const char* key, const std::string& path);
std::uint8_t GetU8(const Value& obj, const char* key, const std::string& path);
float GetFloat(const Value& v, const std::string& path);
void GetFloats(const Value& obj, const char* key, float* out, std::size_t n, const std::string& path);
void GetI32s(const Value& obj, const char* key, std::int32_t* out, std::size_t n, const std::string& path);
const Array& GetArray(const Value& obj, const char* key, const std::string& path);
std::string GetHex(const Value& obj, const char* key, const std::string& path);

// A finite float as the double that prints shortest and narrows back to
// it; any other as a string of its bits ("0x7FC00000").
Value Float(float f);
Value Floats(const float* v, std::size_t n);
Value Ints(const std::int32_t* v, std::size_t n);

// Fixed, NUL-terminated UTF-16 arrays: the text as a JSON string, with the
// units after the terminator as "tail" hex when any is non-zero, or all
// units as "units" hex when the text is not plain (no terminator, lone
// surrogates).
Value DumpFixed16(const char16_t* s, std::size_t n);
void BuildFixed16(const Value& v, char16_t* s, std::size_t n, const std::string& path);

// Panel preferences as a member "panel" of the section.
bool DumpPanel(Reader& r, Value& section, const std::string& what);
void BuildPanel(const Value& section, std::ostream& out, const std::string& path);

// The scene section (objects with their timelines).
bool DumpSceneSection(Reader& r, Value& section);
void BuildSceneSection(const Value& section, std::ostream& out, const std::string& path);

}  // namespace slidetool::detail
