#include "sequence/SlideRecord.h"

#include <cstring>

#include "io/BinaryIO.h"
#include "io/ReadNotes.h"

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

std::int32_t ClampDuration(double ms) {
  if (!(ms > 0)) return 0;  // NaN too
  if (ms >= kMaxDurationMs) return kMaxDurationMs;
  return static_cast<std::int32_t>(ms);
}

bool ReadSlideList(std::istream& in, std::vector<SlideRecord>& slides) {
  std::int32_t count = 0;
  if (!io::ReadI32(in, count)) return false;
  if (count < 0) io::NoteRepair(in, 4, "slide count %d: the show is empty", count);
  for (std::int32_t i = 0; i < count; ++i) {
    SlideRecord r{};
    r.durationMs = 0;
    const std::int64_t at = io::CollectingReadNotes() ? static_cast<std::int64_t>(in.tellg()) : -1;
    const std::size_t got = ReadSlideRecord(in, r);
    if (got == 0) {
      io::NoteRepairAt(at, "slide count %d but %d records present: %d slides", count, i, i);
      break;
    }
    if (got < SlideRecord::kSize)
      io::NoteRepairAt(at, "slide %d cut short after %zu of %zu bytes: kept as read", i, got, SlideRecord::kSize);
    const std::int32_t clamped = ClampDuration(r.durationMs);
    if (clamped != r.durationMs) {
      io::NoteRepairAt(at < 0 ? -1 : at + 8, "slide %d duration %d ms clamped to %d ms", i, r.durationMs, clamped);
      r.durationMs = clamped;
    }
    slides.push_back(r);
    if (!in) break;
  }
  // Running out of records is damage the list survives, not a failed read.
  if (in.eof()) in.clear(std::ios::eofbit);
  return true;
}

}  // namespace mv::seq
