#include "Json.h"

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace mvjson {

Value Value::Bool(bool b) {
  Value v;
  v.m_type = Type::Bool;
  v.m_bool = b;
  return v;
}

Value Value::Int(std::int64_t i) { return Number(std::to_string(i)); }

Value Value::Number(std::string literal) {
  Value v;
  v.m_type = Type::Number;
  v.m_text = std::move(literal);
  return v;
}

Value Value::Float(float f) {
  if (!std::isfinite(f)) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", std::bit_cast<std::uint32_t>(f));
    return String(buf);
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(f));
  return Number(buf);
}

Value Value::String(std::string utf8) {
  Value v;
  v.m_type = Type::String;
  v.m_text = std::move(utf8);
  return v;
}

Value Value::Array() {
  Value v;
  v.m_type = Type::Array;
  return v;
}

Value Value::Object() {
  Value v;
  v.m_type = Type::Object;
  return v;
}

std::optional<std::int64_t> Value::AsInt(std::int64_t lo, std::int64_t hi) const {
  if (m_type != Type::Number) return std::nullopt;
  if (m_text.find_first_of(".eE") != std::string::npos) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(m_text.c_str(), &end, 10);
  if (errno != 0 || end == m_text.c_str() || *end != '\0') return std::nullopt;
  if (v < lo || v > hi) return std::nullopt;
  return v;
}

std::optional<float> Value::AsFloat() const {
  if (m_type == Type::String) {
    if (m_text.size() != 10 || m_text[0] != '0' || (m_text[1] != 'x' && m_text[1] != 'X')) return std::nullopt;
    char* end = nullptr;
    const unsigned long bits = std::strtoul(m_text.c_str() + 2, &end, 16);
    if (*end != '\0') return std::nullopt;
    return std::bit_cast<float>(static_cast<std::uint32_t>(bits));
  }
  if (m_type != Type::Number) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const float f = std::strtof(m_text.c_str(), &end);
  if (end == m_text.c_str() || *end != '\0') return std::nullopt;
  if (!std::isfinite(f)) return std::nullopt;  // out of float range
  return f;
}

std::optional<bool> Value::AsBool() const {
  if (m_type != Type::Bool) return std::nullopt;
  return m_bool;
}

Value& Value::Push(Value v) {
  m_items.push_back(std::move(v));
  return m_items.back();
}

Value& Value::Set(std::string key, Value v) {
  for (auto& m : m_members)
    if (m.first == key) return m.second = std::move(v);
  m_members.emplace_back(std::move(key), std::move(v));
  return m_members.back().second;
}

const Value* Value::Find(std::string_view key) const {
  if (m_type != Type::Object) return nullptr;
  for (const auto& m : m_members)
    if (m.first == key) return &m.second;
  return nullptr;
}

// ---------------------------------------------------------------- writer

static void WriteString(std::string& out, const std::string& s) {
  out.push_back('"');
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04X", c);
          out += buf;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out.push_back('"');
}

static bool IsScalar(const Value& v) { return !v.IsArray() && !v.IsObject(); }

static void WriteValue(std::string& out, const Value& v, int indent) {
  const std::string pad(static_cast<std::size_t>(indent + 2), ' ');
  const std::string closePad(static_cast<std::size_t>(indent), ' ');
  switch (v.type()) {
    case Value::Type::Null: out += "null"; break;
    case Value::Type::Bool: out += *v.AsBool() ? "true" : "false"; break;
    case Value::Type::Number: out += v.Text(); break;
    case Value::Type::String: WriteString(out, v.Text()); break;
    case Value::Type::Array: {
      const auto& items = v.Items();
      bool flat = true;
      for (const auto& i : items) flat = flat && IsScalar(i);
      if (items.empty()) {
        out += "[]";
      } else if (flat) {
        out.push_back('[');
        for (std::size_t i = 0; i < items.size(); ++i) {
          if (i) out += ", ";
          WriteValue(out, items[i], indent);
        }
        out.push_back(']');
      } else {
        out += "[\n";
        for (std::size_t i = 0; i < items.size(); ++i) {
          out += pad;
          WriteValue(out, items[i], indent + 2);
          out += i + 1 < items.size() ? ",\n" : "\n";
        }
        out += closePad + "]";
      }
      break;
    }
    case Value::Type::Object: {
      const auto& members = v.Members();
      if (members.empty()) {
        out += "{}";
        break;
      }
      out += "{\n";
      for (std::size_t i = 0; i < members.size(); ++i) {
        out += pad;
        WriteString(out, members[i].first);
        out += ": ";
        WriteValue(out, members[i].second, indent + 2);
        out += i + 1 < members.size() ? ",\n" : "\n";
      }
      out += closePad + "}";
      break;
    }
  }
}

std::string Write(const Value& v) {
  std::string out;
  WriteValue(out, v, 0);
  out.push_back('\n');
  return out;
}

// ---------------------------------------------------------------- parser

class Parser {
 public:
  explicit Parser(std::string_view s) : m_s(s) {}

  std::optional<Value> Run(ParseError* error) {
    Value v;
    SkipSpace();
    if (ParseValue(v, 0)) {
      SkipSpace();
      if (m_pos == m_s.size()) return v;
      Fail("unexpected text after the value");
    }
    if (error) *error = {m_pos, m_message};
    return std::nullopt;
  }

 private:
  static constexpr int kMaxDepth = 64;

  bool Fail(const char* message) {
    if (m_message.empty()) m_message = message;
    return false;
  }

  void SkipSpace() {
    while (m_pos < m_s.size() && (m_s[m_pos] == ' ' || m_s[m_pos] == '\t' || m_s[m_pos] == '\n' || m_s[m_pos] == '\r'))
      ++m_pos;
  }

  bool Literal(std::string_view word) {
    if (m_s.substr(m_pos, word.size()) != word) return Fail("invalid literal");
    m_pos += word.size();
    return true;
  }

  bool ParseValue(Value& v, int depth) {
    if (depth > kMaxDepth) return Fail("nesting too deep");
    if (m_pos >= m_s.size()) return Fail("unexpected end of text");
    const char c = m_s[m_pos];
    if (c == '{') return ParseObject(v, depth);
    if (c == '[') return ParseArray(v, depth);
    if (c == '"') {
      v.m_type = Value::Type::String;
      return ParseString(v.m_text);
    }
    if (c == 't') {
      v = Value::Bool(true);
      return Literal("true");
    }
    if (c == 'f') {
      v = Value::Bool(false);
      return Literal("false");
    }
    if (c == 'n') {
      v = Value();
      return Literal("null");
    }
    return ParseNumber(v);
  }

  bool ParseNumber(Value& v) {
    const std::size_t start = m_pos;
    auto digits = [&] {
      const std::size_t d = m_pos;
      while (m_pos < m_s.size() && m_s[m_pos] >= '0' && m_s[m_pos] <= '9') ++m_pos;
      return m_pos > d;
    };
    if (m_pos < m_s.size() && m_s[m_pos] == '-') ++m_pos;
    if (m_pos < m_s.size() && m_s[m_pos] == '0') {
      ++m_pos;
    } else if (!digits()) {
      return Fail("invalid value");
    }
    if (m_pos < m_s.size() && m_s[m_pos] == '.') {
      ++m_pos;
      if (!digits()) return Fail("invalid number");
    }
    if (m_pos < m_s.size() && (m_s[m_pos] == 'e' || m_s[m_pos] == 'E')) {
      ++m_pos;
      if (m_pos < m_s.size() && (m_s[m_pos] == '+' || m_s[m_pos] == '-')) ++m_pos;
      if (!digits()) return Fail("invalid number");
    }
    v = Value::Number(std::string(m_s.substr(start, m_pos - start)));
    return true;
  }

  bool Hex4(std::uint32_t& out) {
    if (m_pos + 4 > m_s.size()) return Fail("truncated \\u escape");
    out = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = m_s[m_pos++];
      out <<= 4;
      if (c >= '0' && c <= '9') out |= static_cast<std::uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f') out |= static_cast<std::uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') out |= static_cast<std::uint32_t>(c - 'A' + 10);
      else return Fail("invalid \\u escape");
    }
    return true;
  }

  static void AppendUtf8(std::string& s, std::uint32_t cp) {
    if (cp < 0x80) {
      s.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      s.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      s.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      s.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      s.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      s.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      s.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }

  bool ParseString(std::string& out) {
    ++m_pos;  // opening quote
    out.clear();
    while (true) {
      if (m_pos >= m_s.size()) return Fail("unterminated string");
      const char c = m_s[m_pos++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return Fail("control character in string");
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (m_pos >= m_s.size()) return Fail("unterminated string");
      const char e = m_s[m_pos++];
      switch (e) {
        case '"': out.push_back('"'); break;
        case '\\': out.push_back('\\'); break;
        case '/': out.push_back('/'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u': {
          std::uint32_t cp = 0;
          if (!Hex4(cp)) return false;
          if (cp >= 0xD800 && cp < 0xDC00 && m_s.substr(m_pos, 2) == "\\u") {
            const std::size_t save = m_pos;
            m_pos += 2;
            std::uint32_t lo = 0;
            if (!Hex4(lo)) return false;
            if (lo >= 0xDC00 && lo < 0xE000) {
              cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
            } else {
              m_pos = save;
            }
          }
          AppendUtf8(out, cp);
          break;
        }
        default: return Fail("invalid escape");
      }
    }
  }

  bool ParseArray(Value& v, int depth) {
    ++m_pos;
    v = Value::Array();
    SkipSpace();
    if (m_pos < m_s.size() && m_s[m_pos] == ']') {
      ++m_pos;
      return true;
    }
    while (true) {
      SkipSpace();
      Value item;
      if (!ParseValue(item, depth + 1)) return false;
      v.m_items.push_back(std::move(item));
      SkipSpace();
      if (m_pos >= m_s.size()) return Fail("unterminated array");
      const char c = m_s[m_pos++];
      if (c == ']') return true;
      if (c != ',') return Fail("expected ',' or ']'");
    }
  }

  bool ParseObject(Value& v, int depth) {
    ++m_pos;
    v = Value::Object();
    SkipSpace();
    if (m_pos < m_s.size() && m_s[m_pos] == '}') {
      ++m_pos;
      return true;
    }
    while (true) {
      SkipSpace();
      if (m_pos >= m_s.size() || m_s[m_pos] != '"') return Fail("expected a member name");
      std::string key;
      if (!ParseString(key)) return false;
      SkipSpace();
      if (m_pos >= m_s.size() || m_s[m_pos] != ':') return Fail("expected ':'");
      ++m_pos;
      SkipSpace();
      Value item;
      if (!ParseValue(item, depth + 1)) return false;
      v.Set(std::move(key), std::move(item));
      SkipSpace();
      if (m_pos >= m_s.size()) return Fail("unterminated object");
      const char c = m_s[m_pos++];
      if (c == '}') return true;
      if (c != ',') return Fail("expected ',' or '}'");
    }
  }

  std::string_view m_s;
  std::size_t m_pos = 0;
  std::string m_message;
};

std::optional<Value> Parse(std::string_view text, ParseError* error) { return Parser(text).Run(error); }

}  // namespace mvjson
