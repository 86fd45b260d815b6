#include "effects/SectionFormat.h"

#include "io/BinaryIO.h"

namespace mv::effects {

using namespace mv::io;

void WritePanelPrefs(std::ostream& out, const PanelPrefsRecord& r) {
  WriteI32(out, r.x);
  WriteI32(out, r.y);
  WriteU8(out, r.minimized);
}

bool ReadPanelPrefs(std::istream& in, PanelPrefsRecord& r) {
  return ReadI32(in, r.x) && ReadI32(in, r.y) && ReadU8(in, r.minimized);
}

static void WriteVec(std::ostream& out, const float* v, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) WriteF32(out, v[i]);
}

static bool ReadVec(std::istream& in, float* v, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (!ReadF32(in, v[i])) return false;
  return true;
}

void WriteSkyBoxFields(std::ostream& out, const SkyBoxFields& f) {
  WriteI32(out, f.currentIndex);
  WriteU8(out, f.enabled);
  WriteVec(out, f.scale.data(), 3);
  WriteVec(out, f.rotation.data(), 3);
  WriteVec(out, f.rotationSpeed.data(), 3);
}

bool ReadSkyBoxFields(std::istream& in, SkyBoxFields& f) {
  return ReadI32(in, f.currentIndex) && ReadU8(in, f.enabled) && ReadVec(in, f.scale.data(), 3) &&
         ReadVec(in, f.rotation.data(), 3) && ReadVec(in, f.rotationSpeed.data(), 3);
}

void WriteChainRecord(std::ostream& out, const ChainRecord& r) {
  WriteI32(out, r.effectIndex);
  WriteI32(out, r.parameterSlot);
  WriteVec(out, r.parameters[0].data(), 4);
  WriteVec(out, r.parameters[1].data(), 4);
  WriteU32(out, r.instanceRef);
}

bool ReadChainRecord(std::istream& in, ChainRecord& r) {
  return ReadI32(in, r.effectIndex) && ReadI32(in, r.parameterSlot) &&
         ReadVec(in, r.parameters[0].data(), 4) && ReadVec(in, r.parameters[1].data(), 4) &&
         ReadU32(in, r.instanceRef);
}

void WritePostProcessSection(std::ostream& out, const PostProcessSection& s) {
  WriteI32(out, s.entryCount);
  if (!ChainCountHasRecords(s.entryCount)) return;
  const ChainRecord empty;
  for (std::int32_t k = 0; k < s.entryCount; ++k) {
    const auto i = static_cast<std::size_t>(k);
    WriteChainRecord(out, i < s.records.size() ? s.records[i] : empty);
  }
}

bool ReadPostProcessSection(std::istream& in, PostProcessSection& s) {
  s.records.clear();
  if (!ReadI32(in, s.entryCount)) return false;
  if (!ChainCountHasRecords(s.entryCount)) return true;
  for (std::int32_t k = 0; k < s.entryCount; ++k) {
    ChainRecord r;
    const bool ok = ReadChainRecord(in, r);
    s.records.push_back(r);
    if (!ok) return false;
  }
  return true;
}

}  // namespace mv::effects
