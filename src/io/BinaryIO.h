#pragma once
// Little-endian, field-by-field reading and writing of the binary files.
// Writers never dump structs; readers leave the stream's fail state for the
// caller to test, as the managers' Read operations expect.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>

namespace mv::io {

void WriteBytes(std::ostream& os, const void* data, std::size_t n);
void WriteU8(std::ostream& os, std::uint8_t v);
void WriteBool(std::ostream& os, bool v);  // one byte, 0 or 1
void WriteI32(std::ostream& os, std::int32_t v);
void WriteU32(std::ostream& os, std::uint32_t v);
void WriteF32(std::ostream& os, float v);
// n UTF-16 code units, little-endian.
void WriteChars16(std::ostream& os, const char16_t* s, std::size_t n);

// Each returns false when the stream could not supply every byte. A short
// read leaves the value as far as it was read (the rest unchanged).
bool ReadBytes(std::istream& is, void* data, std::size_t n);
bool ReadU8(std::istream& is, std::uint8_t& v);
bool ReadBool(std::istream& is, bool& v);  // any non-zero byte is true
bool ReadI32(std::istream& is, std::int32_t& v);
bool ReadU32(std::istream& is, std::uint32_t& v);
bool ReadF32(std::istream& is, float& v);
bool ReadChars16(std::istream& is, char16_t* s, std::size_t n);

// Stream state the managers test after each part of a section.
inline bool Good(const std::ios& s) { return !(s.fail() || s.bad()); }

}  // namespace mv::io
