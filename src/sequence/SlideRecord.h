#pragma once
// One entry of the show, kept in memory and stored in "media\sequence.mv"
// exactly as these 532 bytes.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <vector>

struct SlideRecord {
  std::uint32_t reserved = 0;       // written as 0
  std::uint32_t number = 0;         // shown in the panel, used in the default path
  std::int32_t durationMs = 10000;  // shown and edited; does not time the show
  char16_t path[260] = {};          // relative to the working folder, no extension

  static constexpr std::size_t kSize = 532;
  static constexpr std::size_t kPathUnits = 260;
};

namespace mv::seq {

// What a show's duration can mean: 0 to 24 hours, in milliseconds.
inline constexpr std::int32_t kMaxDurationMs = 24 * 60 * 60 * 1000;
// The duration `ms` stands for, saturated into 0 .. kMaxDurationMs (NaN
// gives 0).
std::int32_t ClampDuration(double ms);

void WriteSlideRecord(std::ostream& out, const SlideRecord& r);
// Reads one record into a zeroed record; returns the number of bytes that
// arrived (a short read keeps what arrived, the rest stays zero).
std::size_t ReadSlideRecord(std::istream& in, SlideRecord& r);

// The slide list after the panel preferences: count, then the records.
void WriteSlideList(std::ostream& out, const std::vector<SlideRecord>& slides);
// Reads the count and every record the stream really holds: a count of 0
// or below reads none; a count above the records present reads those present
// (a trailing partial record is kept as read). Allocation is bounded by the
// bytes present, never by the count. Durations outside 0 .. 24 h are
// clamped, so a stored -2500 cannot skip its slide. Returns false when the
// count itself could not be read.
bool ReadSlideList(std::istream& in, std::vector<SlideRecord>& slides);

}  // namespace mv::seq
