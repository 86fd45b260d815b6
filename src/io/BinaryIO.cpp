#include "io/BinaryIO.h"

#include "io/ReadNotes.h"

#include <bit>
#include <cstring>

namespace mv::io {

void WriteBytes(std::ostream& os, const void* data, std::size_t n) {
  os.write(static_cast<const char*>(data), static_cast<std::streamsize>(n));
}

void WriteU8(std::ostream& os, std::uint8_t v) { os.put(static_cast<char>(v)); }

void WriteBool(std::ostream& os, bool v) { WriteU8(os, v ? 1 : 0); }

void WriteU32(std::ostream& os, std::uint32_t v) {
  const char b[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                     static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
  os.write(b, 4);
}

void WriteI32(std::ostream& os, std::int32_t v) { WriteU32(os, static_cast<std::uint32_t>(v)); }

void WriteF32(std::ostream& os, float v) { WriteU32(os, std::bit_cast<std::uint32_t>(v)); }

void WriteChars16(std::ostream& os, const char16_t* s, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<std::uint16_t>(s[i]);
    const char b[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    os.write(b, 2);
  }
}

bool ReadBytes(std::istream& is, void* data, std::size_t n) {
  is.read(static_cast<char*>(data), static_cast<std::streamsize>(n));
  return static_cast<std::size_t>(is.gcount()) == n;
}

bool ReadU8(std::istream& is, std::uint8_t& v) {
  char c = 0;
  if (!is.get(c)) return false;
  v = static_cast<std::uint8_t>(c);
  return true;
}

bool ReadBool(std::istream& is, bool& v) {
  std::uint8_t b = 0;
  if (!ReadU8(is, b)) return false;
  if (b > 1) NoteRepair(is, 1, "boolean byte %u read as true", unsigned(b));
  v = b != 0;
  return true;
}

bool ReadU32(std::istream& is, std::uint32_t& v) {
  unsigned char b[4];
  is.read(reinterpret_cast<char*>(b), 4);
  const auto got = static_cast<std::size_t>(is.gcount());
  // Keep what a short read delivered, as a raw read into the value would.
  std::uint32_t out = v;
  for (std::size_t i = 0; i < got; ++i) {
    out &= ~(0xFFu << (8 * i));
    out |= static_cast<std::uint32_t>(b[i]) << (8 * i);
  }
  v = out;
  return got == 4;
}

bool ReadI32(std::istream& is, std::int32_t& v) {
  auto u = static_cast<std::uint32_t>(v);
  const bool ok = ReadU32(is, u);
  v = static_cast<std::int32_t>(u);
  return ok;
}

bool ReadF32(std::istream& is, float& v) {
  auto u = std::bit_cast<std::uint32_t>(v);
  const bool ok = ReadU32(is, u);
  v = std::bit_cast<float>(u);
  return ok;
}

bool ReadChars16(std::istream& is, char16_t* s, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char b[2];
    is.read(reinterpret_cast<char*>(b), 2);
    if (is.gcount() != 2) return false;
    s[i] = static_cast<char16_t>(b[0] | (b[1] << 8));
  }
  return true;
}

}  // namespace mv::io
