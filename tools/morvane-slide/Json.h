#pragma once
// A small JSON value, reader and writer for the slide inspector. Numbers
// keep their literal text so that 32-bit integers and floats printed with
// enough digits come back exactly; objects keep their member order.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mvjson {

class Value {
 public:
  enum class Type { Null, Bool, Number, String, Array, Object };

  Value() = default;
  static Value Bool(bool b);
  static Value Int(std::int64_t v);
  static Value Number(std::string literal);  // a valid JSON number literal
  // Finite floats as the shortest-safe decimal ("%.9g"); others as a
  // string of their bits ("0x7FC00000").
  static Value Float(float f);
  static Value String(std::string utf8);
  static Value Array();
  static Value Object();

  Type type() const { return m_type; }
  bool IsNull() const { return m_type == Type::Null; }
  bool IsNumber() const { return m_type == Type::Number; }
  bool IsString() const { return m_type == Type::String; }
  bool IsArray() const { return m_type == Type::Array; }
  bool IsObject() const { return m_type == Type::Object; }

  // Scalars. AsInt fails on fractions and values outside [lo, hi].
  std::optional<std::int64_t> AsInt(std::int64_t lo, std::int64_t hi) const;
  std::optional<float> AsFloat() const;  // a number, or a "0x........" bits string
  std::optional<bool> AsBool() const;
  const std::string& Text() const { return m_text; }  // string content or number literal

  // Arrays.
  std::vector<Value>& Items() { return m_items; }
  const std::vector<Value>& Items() const { return m_items; }
  Value& Push(Value v);

  // Objects.
  const std::vector<std::pair<std::string, Value>>& Members() const { return m_members; }
  Value& Set(std::string key, Value v);  // appends (or replaces) a member
  const Value* Find(std::string_view key) const;

 private:
  Type m_type = Type::Null;
  bool m_bool = false;
  std::string m_text;
  std::vector<Value> m_items;
  std::vector<std::pair<std::string, Value>> m_members;
  friend class Parser;
};

// Pretty-printed with two-space indents; arrays of scalars stay on one line.
std::string Write(const Value& v);

struct ParseError {
  std::size_t offset = 0;
  std::string message;
};
// Nesting is limited (64 levels) so hostile input cannot exhaust the stack.
std::optional<Value> Parse(std::string_view text, ParseError* error = nullptr);

}  // namespace mvjson
