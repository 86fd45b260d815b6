#include "effects/PostProcessManager.h"

#include <utility>

#include "io/BinaryIO.h"
#include "io/ReadNotes.h"

namespace {

struct EffectRow {
  const char16_t* file;
  const char16_t* name;
};

constexpr EffectRow kEffects[PostProcessManager::kEffectCount] = {
    {u"fx\\ColorMonochrome.fxo", u"[Color] Monochrome"},
    {u"fx\\ColorInverse.fxo", u"[Color] Inversion"},
    {u"fx\\ColorGBlurH.fxo", u"[Color] Gaussian Blur Horizontal"},
    {u"fx\\ColorGBlurV.fxo", u"[Color] Gaussian Blur Vertical"},
    {u"fx\\ColorBloomH.fxo", u"[Color] Bloom Horizontal"},
    {u"fx\\ColorBloomV.fxo", u"[Color] Bloom Vertical"},
    {u"fx\\ColorBrightPass.fxo", u"[Color] Bright Pass"},
    {u"fx\\ColorToneMap.fxo", u"[Color] Tone Mapping"},
    {u"fx\\ColorEdgeDetect.fxo", u"[Color] Edge Detection"},
    {u"fx\\ColorDownFilter4.fxo", u"[Color] Down Filter 4x"},
    {u"fx\\ColorUpFilter4.fxo", u"[Color] Up Filter 4x"},
    {u"fx\\ColorCombine.fxo", u"[Color] Combine"},
    {u"fx\\ColorCombine4.fxo", u"[Color] Combine 4x"},
    {u"fx\\NormalEdgeDetect.fxo", u"[Normal] Edge Detection"},
    {u"fx\\DofCombine.fxo", u"DOF Combine"},
    {u"fx\\NormalMap.fxo", u"Normal Map"},
    {u"fx\\PositionMap.fxo", u"Position Map"},
    {u"fx\\blur.fxo", u"Blur"},
    {u"fx\\noise.fxo", u"Noise"},
    {u"fx\\generalblur.fxo", u"General Blur"},
    {u"fx\\pixelize.fxo", u"Pixelizer"},
    {u"fx\\black.fxo", u"ShockWave"},
    {u"fx\\ColorGBlurV2.fxo", u"[Color] Ext.G.Blur Vertical"},
    {u"fx\\Distortion.fxo", u"Distortion"},
    {u"fx\\Distortion2.fxo", u"Distortion2"},
};

}  // namespace

PostProcessManager::PostProcessManager() {
  m_slotFree.fill(true);
  EmptyRecords();
  m_list.push_back(nullptr);  // the end marker
}

const char16_t* PostProcessManager::EffectFile(int index) {
  return IsEffectIndex(index) ? kEffects[index].file : u"";
}

const char16_t* PostProcessManager::DisplayName(int index) {
  return IsEffectIndex(index) ? kEffects[index].name : u"";
}

std::vector<int> PostProcessManager::CombinationRows(PostProcessCombination c) {
  switch (c) {
    case PostProcessCombination::Blur: return {9, 2, 3, 2, 3, 10};
    case PostProcessCombination::Bloom: return {9, 9, 6, 4, 5, 4, 5, 10, 12};
    case PostProcessCombination::DepthOfField: return {9, 2, 3, 2, 3, 10, 14};
    case PostProcessCombination::EdgeGlow: return {13, 9, 4, 5, 12};
  }
  return {};
}

void PostProcessManager::ReleaseEffects() { m_effects.fill(PostProcessEffect{}); }

const PostProcessInstance* PostProcessManager::GetListInstance(int item) const {
  if (item < 0 || item >= GetListCount()) return nullptr;
  return m_list[static_cast<std::size_t>(item)].get();
}

void PostProcessManager::SetSelected(int item) {
  m_selected = item >= 0 && item < GetListCount() ? item : -1;
}

bool PostProcessManager::IsSlotFree(int slot) const {
  return slot >= 0 && slot < kSlotCount && m_slotFree[static_cast<std::size_t>(slot)];
}

int PostProcessManager::CountFreeSlots() const {
  int n = 0;
  for (bool f : m_slotFree) n += f ? 1 : 0;
  return n;
}

int PostProcessManager::TakeSlot() {
  for (int s = 0; s < kSlotCount; ++s) {
    if (m_slotFree[static_cast<std::size_t>(s)]) {
      m_slotFree[static_cast<std::size_t>(s)] = false;
      return s;
    }
  }
  return -1;
}

void PostProcessManager::MarkSlot(std::int32_t slot, bool free) {
  // Slots come from files too; one outside the pool has no flag to change.
  if (slot >= 0 && slot < kSlotCount) m_slotFree[static_cast<std::size_t>(slot)] = free;
}

void PostProcessManager::EmptyRecords() {
  m_records.fill(mv::effects::ChainRecord{});
  m_recordInstances.fill(nullptr);
}

bool PostProcessManager::InsertEffect(int effectIndex) {
  if (!IsEffectIndex(effectIndex)) return false;
  const int marker = GetListCount() - 1;
  const int position = m_selected >= 0 ? m_selected : marker;
  const int slot = TakeSlot();
  if (slot < 0) return false;
  auto instance = std::make_unique<PostProcessInstance>();
  instance->parameterSlot = slot;
  instance->effectIndex = effectIndex;
  instance->parameters = m_effects[static_cast<std::size_t>(effectIndex)].parameterDefault;
  m_list.insert(m_list.begin() + position, std::move(instance));
  if (m_selected >= 0) m_selected = position + 1;
  return true;
}

void PostProcessManager::RemoveSelected() {
  const int marker = GetListCount() - 1;
  if (m_selected < 0 || m_selected >= marker) return;
  MarkSlot(m_list[static_cast<std::size_t>(m_selected)]->parameterSlot, true);
  m_list.erase(m_list.begin() + m_selected);
  if (m_selected > GetListCount() - 1) m_selected = GetListCount() - 1;
}

void PostProcessManager::MoveUp() {
  const int marker = GetListCount() - 1;
  if (m_selected <= 0 || m_selected >= marker) return;
  std::swap(m_list[static_cast<std::size_t>(m_selected)], m_list[static_cast<std::size_t>(m_selected - 1)]);
  --m_selected;
}

void PostProcessManager::MoveDown() {
  if (m_selected < 0 || m_selected >= GetListCount() - 2) return;
  std::swap(m_list[static_cast<std::size_t>(m_selected)], m_list[static_cast<std::size_t>(m_selected + 1)]);
  ++m_selected;
}

void PostProcessManager::ClearActiveList() {
  // Records may still point at the instances; they are rebuilt by the
  // SyncRecords that follows every edit.
  m_recordInstances.fill(nullptr);
  m_list.clear();
  m_list.push_back(nullptr);
  m_slotFree.fill(true);
  m_selected = -1;
}

void PostProcessManager::ApplyCombination(PostProcessCombination c) {
  ClearActiveList();
  for (int row : CombinationRows(c)) InsertEffect(row);
}

void PostProcessManager::SyncRecords() {
  m_entryCount = GetListCount();
  EmptyRecords();
  for (int k = 0; k + 1 < GetListCount() && k < kRecordCount; ++k) {
    PostProcessInstance* inst = m_list[static_cast<std::size_t>(k)].get();
    auto& r = m_records[static_cast<std::size_t>(k)];
    r.effectIndex = inst->effectIndex;
    r.parameterSlot = inst->parameterSlot;
    r.parameters = inst->parameters;
    m_recordInstances[static_cast<std::size_t>(k)] = inst;
  }
}

std::ostream& PostProcessManager::Write(std::ostream& out) {
  mv::io::WriteI32(out, m_entryCount);
  if (mv::effects::ChainCountHasRecords(m_entryCount))
    for (std::int32_t k = 0; k < m_entryCount; ++k)
      mv::effects::WriteChainRecord(out, m_records[static_cast<std::size_t>(k)]);
  return out;
}

std::istream& PostProcessManager::Read(std::istream& in) {
  ClearActiveList();
  EmptyRecords();
  m_entryCount = 0;
  std::int32_t count = 0;
  const bool countRead = mv::io::ReadI32(in, count);
  if (countRead && count != 0 && !mv::effects::ChainCountHasRecords(count))
    mv::io::NoteRepair(in, 4, "post-process count %d outside 1..%d: no chain, no records read", count,
                       mv::effects::kMaxStoredEntries);
  if (countRead && mv::effects::ChainCountHasRecords(count)) {
    std::vector<std::unique_ptr<PostProcessInstance>> items;
    items.reserve(static_cast<std::size_t>(count));
    for (std::int32_t k = 0; k < count; ++k) {
      auto& r = m_records[static_cast<std::size_t>(k)];
      if (!mv::effects::ReadChainRecord(in, r)) {
        // Cut short: keep no half-read chain.
        EmptyRecords();
        items.clear();
        count = 0;
        break;
      }
      if (k + 1 == count) {
        if (r.effectIndex != -1)
          mv::io::NoteRepair(in, mv::effects::kChainRecordBytes, "post-process end marker names effect %d: ignored", r.effectIndex);
        // The end marker carries no instance.
        r.effectIndex = -1;
        break;
      }
      if (!IsEffectIndex(r.effectIndex))
        mv::io::NoteRepair(in, mv::effects::kChainRecordBytes, "post-process entry %d names effect %d, which does not exist: it draws nothing", k, r.effectIndex);
      if (r.parameterSlot < 0 || r.parameterSlot >= kSlotCount)
        mv::io::NoteRepair(in, mv::effects::kChainRecordBytes, "post-process entry %d uses parameter slot %d outside 0..%d: no slot is reserved for it", k, r.parameterSlot, kSlotCount - 1);
      auto inst = std::make_unique<PostProcessInstance>();
      inst->effectIndex = r.effectIndex;
      inst->parameterSlot = r.parameterSlot;
      inst->parameters = r.parameters;
      MarkSlot(inst->parameterSlot, false);
      m_recordInstances[static_cast<std::size_t>(k)] = inst.get();
      items.push_back(std::move(inst));
    }
    if (count > 0) {
      m_entryCount = count;
      for (auto& item : items) m_list.insert(m_list.end() - 1, std::move(item));
    } else {
      m_slotFree.fill(true);
    }
  }
  m_bEnabled = true;
  return in;
}
