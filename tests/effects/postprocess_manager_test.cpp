#include <gtest/gtest.h>

#include <bit>
#include <sstream>
#include <string>
#include <vector>

#include "effects/PostProcessManager.h"
#include "io/BinaryIO.h"

using mv::effects::ChainRecord;

namespace {

std::string Le32(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}
std::string F32(float f) { return Le32(std::bit_cast<std::uint32_t>(f)); }

std::string RecordBytes(std::int32_t effect, std::int32_t slot, float p, std::uint32_t ref) {
  std::string s = Le32(static_cast<std::uint32_t>(effect)) + Le32(static_cast<std::uint32_t>(slot));
  for (int i = 0; i < 8; ++i) s += F32(p + static_cast<float>(i));
  return s + Le32(ref);
}

// A section of `effects` records (effect k at slot k) plus the end marker.
std::string ChainSection(int effects, std::uint32_t ref = 0xDEADBEEF) {
  std::string s = Le32(static_cast<std::uint32_t>(effects + 1));
  for (int k = 0; k < effects; ++k) s += RecordBytes(k, k, static_cast<float>(k), ref);
  return s + RecordBytes(-1, 0, 0.0f, ref);
}

}  // namespace

TEST(ChainRecordFormat, FortyFourBytesInOrder) {
  ChainRecord r;
  r.effectIndex = 12;
  r.parameterSlot = 3;
  r.parameters = {{{1.0f, 2.0f, 3.0f, 4.0f}, {-1.0f, 0.5f, 0.0f, 0.0f}}};
  r.instanceRef = 0x01020304;
  std::ostringstream os;
  mv::effects::WriteChainRecord(os, r);
  const std::string expected = Le32(12) + Le32(3) + F32(1) + F32(2) + F32(3) + F32(4) + F32(-1) + F32(0.5f) +
                               F32(0) + F32(0) + std::string("\x04\x03\x02\x01", 4);
  EXPECT_EQ(os.str(), expected);
  EXPECT_EQ(os.str().size(), mv::effects::kChainRecordSize);
  std::istringstream is(expected);
  ChainRecord back;
  ASSERT_TRUE(mv::effects::ReadChainRecord(is, back));
  EXPECT_EQ(back.effectIndex, 12);
  EXPECT_EQ(back.parameterSlot, 3);
  EXPECT_EQ(back.parameters, r.parameters);
  EXPECT_EQ(back.instanceRef, 0x01020304u);
}

TEST(PostProcessManager, StartsEmptyAndEnabled) {
  PostProcessManager m;
  EXPECT_EQ(m.GetType(), 6);
  EXPECT_EQ(m.GetEntryCount(), 0);
  EXPECT_TRUE(m.IsEnabled());
  EXPECT_EQ(m.CountFreeSlots(), 20);
  EXPECT_EQ(m.GetListCount(), 1);
  std::ostringstream os;
  m.Write(os);
  EXPECT_EQ(os.str(), Le32(0));  // no panel preferences, just the count
}

TEST(PostProcessManager, WritesCountThenRecordsWithEndMarker) {
  PostProcessManager m;
  ASSERT_TRUE(m.InsertEffect(6));
  ASSERT_TRUE(m.InsertEffect(21));
  m.SyncRecords();
  std::ostringstream os;
  m.Write(os);
  const std::string expected = Le32(3) +
                               Le32(6) + Le32(0) + std::string(32, '\0') + Le32(0) +
                               Le32(21) + Le32(1) + std::string(32, '\0') + Le32(0) +
                               Le32(0xFFFFFFFF) + Le32(0) + std::string(32, '\0') + Le32(0);
  EXPECT_EQ(os.str(), expected);
}

TEST(PostProcessManager, ReadCountCases) {
  struct Case {
    const char* name;
    std::string bytes;
    std::int32_t entryCount;
    int effects;
    std::size_t consumed;
  };
  const Case cases[] = {
      {"zero", Le32(0), 0, 0, 4},
      {"negative", Le32(0xFFFFFFFE), 0, 0, 4},
      {"twenty-one", Le32(21), 0, 0, 4},
      {"huge", Le32(0x7FFFFFFF), 0, 0, 4},
      {"end marker only", ChainSection(0), 1, 0, 4 + 44},
      {"one effect", ChainSection(1), 2, 1, 4 + 88},
      {"nineteen effects", ChainSection(19), 20, 19, 4 + 20 * 44},
  };
  for (const auto& c : cases) {
    PostProcessManager m;
    m.InsertEffect(3);  // replaced by the read
    m.SyncRecords();
    m.SetEnabled(false);
    std::istringstream is(c.bytes + "TAIL");
    m.Read(is);
    EXPECT_TRUE(mv::io::Good(is)) << c.name;
    EXPECT_EQ(static_cast<std::size_t>(is.tellg()), c.consumed) << c.name;
    EXPECT_EQ(m.GetEntryCount(), c.entryCount) << c.name;
    EXPECT_EQ(m.GetListCount(), c.effects + 1) << c.name;
    EXPECT_TRUE(m.IsEnabled()) << c.name;
    EXPECT_EQ(m.CountFreeSlots(), 20 - c.effects) << c.name;
    for (int k = 0; k < c.effects; ++k) {
      const auto* inst = m.GetRecordInstance(k);
      ASSERT_NE(inst, nullptr) << c.name;
      EXPECT_EQ(inst, m.GetListInstance(k));
      EXPECT_EQ(inst->effectIndex, k);
      EXPECT_EQ(inst->parameterSlot, k);
      EXPECT_EQ(inst->parameters[1][3], static_cast<float>(k + 7));
    }
    if (c.entryCount > 0) {
      EXPECT_EQ(m.GetRecord(c.entryCount - 1).effectIndex, -1) << c.name;
      EXPECT_EQ(m.GetRecordInstance(c.entryCount - 1), nullptr) << c.name;
    }
  }
}

TEST(PostProcessManager, InstanceReferenceIsIgnoredAndEndMarkerForced) {
  // The last record names effect 5 and the references are garbage: the
  // chain still holds one effect and an end marker with no instance.
  std::string bytes = Le32(2) + RecordBytes(8, 4, 1.0f, 0x12345678) + RecordBytes(5, 9, 0.0f, 0xFFFFFFFF);
  PostProcessManager m;
  std::istringstream is(bytes);
  m.Read(is);
  ASSERT_EQ(m.GetEntryCount(), 2);
  ASSERT_EQ(m.GetListCount(), 2);
  EXPECT_EQ(m.GetListInstance(0)->effectIndex, 8);
  EXPECT_EQ(m.GetListInstance(0)->parameterSlot, 4);
  EXPECT_EQ(m.GetRecord(1).effectIndex, -1);
  EXPECT_EQ(m.GetRecordInstance(1), nullptr);
  EXPECT_FALSE(m.IsSlotFree(4));
  EXPECT_TRUE(m.IsSlotFree(9));
  // Written back: same effect, slot and parameters; the reference word is
  // carried, the end marker says -1.
  std::ostringstream os;
  m.Write(os);
  EXPECT_EQ(os.str(), Le32(2) + RecordBytes(8, 4, 1.0f, 0x12345678) + Le32(0xFFFFFFFF) + bytes.substr(4 + 44 + 4));
}

TEST(PostProcessManager, ChainStopsAtNineteenEffectsSoItCanAlwaysBeSaved) {
  // A slide keeps at most 20 entries with the end marker: a 20th effect
  // would be written as its count alone and read back as an empty chain.
  PostProcessManager m;
  for (int i = 0; i < 19; ++i) ASSERT_TRUE(m.InsertEffect(i));
  m.SetSelected(4);
  EXPECT_FALSE(m.InsertEffect(20));  // refused: nothing changes
  EXPECT_EQ(m.GetListCount(), 20);
  EXPECT_EQ(m.GetSelected(), 4);
  EXPECT_EQ(m.CountFreeSlots(), 1);
  EXPECT_EQ(m.GetListInstance(4)->effectIndex, 4);
  m.SyncRecords();
  EXPECT_EQ(m.GetEntryCount(), 20);
  std::stringstream ss;
  m.Write(ss);
  EXPECT_EQ(ss.str().size(), 4u + 20u * 44u);
  EXPECT_EQ(ss.str().substr(0, 4), Le32(20));
  PostProcessManager r;
  r.Read(ss);
  EXPECT_EQ(r.GetEntryCount(), 20);
  ASSERT_EQ(r.GetListCount(), 20);
  for (int k = 0; k < 19; ++k) {
    EXPECT_EQ(r.GetListInstance(k)->effectIndex, k) << k;
    EXPECT_EQ(r.GetListInstance(k)->parameterSlot, k) << k;
  }
  EXPECT_EQ(r.GetListInstance(19), nullptr);
}

TEST(PostProcessManager, TruncatedRecordsGiveEmptyChain) {
  const std::string full = ChainSection(3);
  for (std::size_t keep : {std::size_t{5}, std::size_t{4 + 44}, full.size() - 1}) {
    PostProcessManager m;
    std::istringstream is(full.substr(0, keep));
    m.Read(is);
    EXPECT_FALSE(mv::io::Good(is)) << keep;
    EXPECT_EQ(m.GetEntryCount(), 0) << keep;
    EXPECT_EQ(m.GetListCount(), 1) << keep;
    EXPECT_EQ(m.CountFreeSlots(), 20) << keep;
    EXPECT_TRUE(m.IsEnabled());
  }
}

TEST(PostProcessManager, SlotsOutsidePoolAreKeptButNotMarked) {
  std::string bytes = Le32(3) + RecordBytes(1, 57, 0.0f, 0) + RecordBytes(2, -4, 0.0f, 0) + RecordBytes(-1, 0, 0, 0);
  PostProcessManager m;
  std::istringstream is(bytes);
  m.Read(is);
  ASSERT_EQ(m.GetListCount(), 3);
  EXPECT_EQ(m.GetListInstance(0)->parameterSlot, 57);
  EXPECT_EQ(m.GetListInstance(1)->parameterSlot, -4);
  EXPECT_EQ(m.CountFreeSlots(), 20);
  m.SetSelected(0);
  m.RemoveSelected();  // frees nothing that does not exist
  EXPECT_EQ(m.CountFreeSlots(), 20);
  EXPECT_EQ(m.GetListCount(), 2);
}

TEST(PostProcessManager, EditingKeepsOrderSelectionAndSlots) {
  PostProcessManager m;
  m.InsertEffect(1);  // slot 0
  m.InsertEffect(2);  // slot 1
  m.InsertEffect(3);  // slot 2
  m.SetSelected(1);
  m.InsertEffect(4);  // before item 1; selection follows item 1
  EXPECT_EQ(m.GetSelected(), 2);
  EXPECT_EQ(m.GetListInstance(1)->effectIndex, 4);
  EXPECT_EQ(m.GetListInstance(1)->parameterSlot, 3);
  m.RemoveSelected();  // removes effect 2 (slot 1)
  EXPECT_TRUE(m.IsSlotFree(1));
  EXPECT_EQ(m.GetListCount(), 4);
  m.InsertEffect(5);  // takes the lowest free slot again
  EXPECT_FALSE(m.IsSlotFree(1));

  // The end marker never moves up; the last effect never moves down.
  m.SetSelected(m.GetListCount() - 1);
  m.MoveUp();
  EXPECT_EQ(m.GetSelected(), m.GetListCount() - 1);
  EXPECT_EQ(m.GetListInstance(m.GetListCount() - 1), nullptr);
  m.SetSelected(m.GetListCount() - 2);
  const auto* last = m.GetListInstance(m.GetListCount() - 2);
  m.MoveDown();
  EXPECT_EQ(m.GetListInstance(m.GetListCount() - 2), last);
  m.MoveUp();
  EXPECT_EQ(m.GetListInstance(m.GetListCount() - 3), last);
  EXPECT_EQ(m.GetSelected(), m.GetListCount() - 3);
  m.SetSelected(m.GetListCount() - 1);
  m.RemoveSelected();  // never the end marker
  EXPECT_EQ(m.GetListInstance(m.GetListCount() - 1), nullptr);
}

TEST(PostProcessManager, EdgeGlowReplacesTheChain) {
  PostProcessManager m;
  for (int i = 0; i < 7; ++i) m.InsertEffect(i);
  m.ApplyCombination(PostProcessCombination::EdgeGlow);
  m.SyncRecords();
  const int rows[] = {13, 9, 4, 5, 12};
  ASSERT_EQ(m.GetEntryCount(), 6);
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(m.GetRecord(k).effectIndex, rows[k]);
    EXPECT_EQ(m.GetRecord(k).parameterSlot, k);
  }
  EXPECT_EQ(m.GetRecord(5).effectIndex, -1);
  EXPECT_EQ(m.CountFreeSlots(), 15);
}

TEST(PostProcessManager, EffectTable) {
  EXPECT_EQ(std::u16string(PostProcessManager::EffectFile(21)), u"fx\\black.fxo");
  EXPECT_EQ(std::u16string(PostProcessManager::DisplayName(21)), u"ShockWave");
  EXPECT_EQ(std::u16string(PostProcessManager::DisplayName(0)), u"[Color] Monochrome");
  EXPECT_EQ(std::u16string(PostProcessManager::EffectFile(24)), u"fx\\Distortion2.fxo");
  EXPECT_EQ(std::u16string(PostProcessManager::EffectFile(25)), u"");
  EXPECT_EQ(PostProcessManager::CombinationRows(PostProcessCombination::Bloom),
            (std::vector<int>{9, 9, 6, 4, 5, 4, 5, 10, 12}));
}

TEST(PostProcessManager, ReleaseEffectsKeepsTheChain) {
  PostProcessManager m;
  m.GetEffect(4).renderTarget = 2;
  m.GetEffect(4).parameterDefault[0] = {1.0f, 2.0f, 3.0f, 4.0f};
  m.InsertEffect(4);
  EXPECT_EQ(m.GetListInstance(0)->parameters[0][3], 4.0f);  // a new instance takes the defaults
  m.SyncRecords();
  m.ReleaseEffects();
  EXPECT_EQ(m.GetEffect(4).renderTarget, 0);
  EXPECT_EQ(m.GetEffect(4).parameterDefault[0][0], 0.0f);
  EXPECT_EQ(m.GetEntryCount(), 2);
  EXPECT_EQ(m.GetListInstance(0)->effectIndex, 4);
}

// Each instance's two parameters land in its own slot of the block, what the
// chain reads each frame; a slot outside the pool read from a damaged slide
// writes nothing anywhere.
TEST(PostProcessManager, StoreParametersFillsEachInstancesSlot) {
  std::string bytes = Le32(4) + RecordBytes(3, 7, 0.5f, 0) + RecordBytes(4, 57, 9.0f, 0) + RecordBytes(5, 2, 0.25f, 0) +
                      RecordBytes(-1, 0, 0, 0);
  PostProcessManager m;
  std::istringstream is(bytes);
  m.Read(is);
  ASSERT_EQ(m.GetListCount(), 4);
  std::vector<float> block(2 * PostProcessManager::kSlotCount * 4, -1.0f);
  m.StoreParameters(block.data());
  for (int slot = 0; slot < PostProcessManager::kSlotCount; ++slot) {
    const float* v = &block[static_cast<std::size_t>(slot * 8)];
    const bool used = slot == 7 || slot == 2;
    const float first = slot == 7 ? 0.5f : 0.25f;
    for (int i = 0; i < 8; ++i) EXPECT_EQ(v[i], used ? first + float(i) : -1.0f) << slot << " " << i;
  }
  m.StoreParameters(nullptr);  // no post-process object: nothing happens
}
