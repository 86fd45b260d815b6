#include "sequence/SlideRecord.h"

#include <cstring>

#include "io/BinaryIO.h"

namespace mv::seq {

void WriteSlideRecord(std::ostream& out, const SlideRecord& r) {
  io::WriteU32(out, r.reserved);
  io::WriteU32(out, r.number);
  io::WriteI32(out, r.durationMs);
  io::WriteChars16(out, r.path, SlideRecord::kPathUnits);
}

std::size_t ReadSlideRecord(std::istream& in, SlideRecord& r) {
  unsigned char raw[SlideRecord::kSize] = {};
  in.read(reinterpret_cast<char*>(raw), SlideRecord::kSize);
  const auto got = static_cast<std::size_t>(in.gcount());
  auto u32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(raw[at]) | (static_cast<std::uint32_t>(raw[at + 1]) << 8) |
           (static_cast<std::uint32_t>(raw[at + 2]) << 16) |
           (static_cast<std::uint32_t>(raw[at + 3]) << 24);
  };
  r.reserved = u32(0);
  r.number = u32(4);
  r.durationMs = static_cast<std::int32_t>(u32(8));
  for (std::size_t i = 0; i < SlideRecord::kPathUnits; ++i)
    r.path[i] = static_cast<char16_t>(raw[12 + 2 * i] | (raw[13 + 2 * i] << 8));
  return got;
}

void WriteSlideList(std::ostream& out, const std::vector<SlideRecord>& slides) {
  io::WriteI32(out, static_cast<std::int32_t>(slides.size()));
  for (const auto& r : slides) WriteSlideRecord(out, r);
}

bool ReadSlideList(std::istream& in, std::vector<SlideRecord>& slides) {
  std::int32_t count = 0;
  if (!io::ReadI32(in, count)) return false;
  for (std::int32_t i = 0; i < count; ++i) {
    SlideRecord r{};
    r.durationMs = 0;
    if (ReadSlideRecord(in, r) == 0) break;
    slides.push_back(r);
    if (!in) break;
  }
  // Running out of records is damage the list survives, not a failed read.
  if (in.eof()) in.clear(std::ios::eofbit);
  return true;
}

}  // namespace mv::seq
