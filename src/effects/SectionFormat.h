#pragma once
// Byte layouts of the effects managers' slide sections, as plain records read
// and written field by field. The managers' Write/Read, the slide inspector
// and the fuzzers all go through these functions, so each layout exists once.
// Records keep raw values (boolean bytes as stored, reserved words as read)
// so that a file read into a record and written back is byte-identical.
#include <array>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <vector>

namespace mv::effects {

// The manager base's panel preferences: x, y, minimized.
struct PanelPrefsRecord {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::uint8_t minimized = 1;
};
inline constexpr std::size_t kPanelPrefsSize = 9;
void WritePanelPrefs(std::ostream& out, const PanelPrefsRecord& r);
// False when the stream could not supply all 9 bytes.
bool ReadPanelPrefs(std::istream& in, PanelPrefsRecord& r);

// Sky box section after the panel preferences.
struct SkyBoxFields {
  std::int32_t currentIndex = 0;
  std::uint8_t enabled = 1;
  std::array<float, 3> scale{100.0f, 100.0f, 100.0f};
  std::array<float, 3> rotation{};
  std::array<float, 3> rotationSpeed{};
};
inline constexpr std::size_t kSkyBoxFieldsSize = 41;
void WriteSkyBoxFields(std::ostream& out, const SkyBoxFields& f);
bool ReadSkyBoxFields(std::istream& in, SkyBoxFields& f);

// One entry of the post-process chain as stored (44 bytes). The last word
// stood for an in-memory reference; its value means nothing on reading and
// is only carried along.
// Bytes of one stored chain record and of the sky box fields.
inline constexpr std::int64_t kChainRecordBytes = 44;
inline constexpr std::int64_t kSkyBoxFieldBytes = 41;

struct ChainRecord {
  std::int32_t effectIndex = -1;
  std::int32_t parameterSlot = 0;
  std::array<std::array<float, 4>, 2> parameters{};
  std::uint32_t instanceRef = 0;
};
inline constexpr std::size_t kChainRecordSize = 44;
void WriteChainRecord(std::ostream& out, const ChainRecord& r);
bool ReadChainRecord(std::istream& in, ChainRecord& r);

// Records follow the entry count only when it lies in 1..20; any other count
// (a 20-effect chain's 21 included) stands alone and means an empty chain.
inline constexpr std::int32_t kMaxStoredEntries = 20;
inline constexpr bool ChainCountHasRecords(std::int32_t count) {
  return count >= 1 && count <= kMaxStoredEntries;
}

// The whole post-process section, for tools: the count as stored and the
// records that follow it.
struct PostProcessSection {
  std::int32_t entryCount = 0;
  std::vector<ChainRecord> records;
};
// Writes the count, then entryCount records when the count has records
// (missing ones are written as empty records, extra ones are not written).
void WritePostProcessSection(std::ostream& out, const PostProcessSection& s);
// Reads the count and its records. False on a short stream; what was read
// stays in s.
bool ReadPostProcessSection(std::istream& in, PostProcessSection& s);

}  // namespace mv::effects
