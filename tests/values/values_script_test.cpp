// The value-script evaluator and the derived-value step.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "values/ValueScript.h"

namespace {

struct Evaluator {
  ScriptTable table;
  ValueSources sources;
  ValueScriptEvaluator ev{table, sources};
  void Set(int slot, std::initializer_list<std::int32_t> ops) {
    table.slots[slot].Clear();
    for (auto op : ops) table.slots[slot].Add(op);
  }
};

}  // namespace

TEST(ValueScript, EveryOperation) {
  struct Case {
    std::initializer_list<std::int32_t> ops;
    float in;
    float want;
  };
  // Sources: Sequencer 2, BassSequencer 3, BassValue 5, PeakValue 7.
  const Case cases[] = {
      {{OP_ADD_NBR}, 1, 1 + 2},
      {{OP_SUB_NBR}, 1, 1 - 2},
      {{OP_SIN}, 0.5f, static_cast<float>(std::sin(static_cast<double>(0.5f)))},
      {{OP_ADD_FACTOR}, 1, 2},
      {{OP_MUL_FACTOR}, 3, 3},
      {{OP_DIV_FACTOR}, 3, 3},
      {{OP_FACTOR_HUNDREDTH, OP_MUL_FACTOR}, 3, 3 * 0.01f},
      {{OP_FACTOR_TENTH, OP_DIV_FACTOR}, 3, 3 / 0.1f},
      {{OP_FACTOR_TEN, OP_FACTOR_ONE, OP_ADD_FACTOR}, 3, 4},
      {{OP_FACTOR_TEN, OP_ADD_NBR}, 1, 1 + 2 * 10.0f},
      {{OP_FACTOR_HUNDRED, OP_SUB_NBR}, 1, 1 - 2 * 100.0f},
      {{OP_NBR_BASS_SEQUENCER, OP_ADD_NBR}, 0, 3},
      {{OP_NBR_BASS_VALUE, OP_ADD_NBR}, 0, 5},
      {{OP_NBR_PEAK_VALUE, OP_ADD_NBR}, 0, 7},
      {{OP_NBR_PEAK_VALUE, OP_NBR_SEQUENCER, OP_ADD_NBR}, 0, 2},
      {{3, 0, 17, -4, 1000, OP_ADD_FACTOR}, 1, 2},  // unknown codes do nothing
  };
  for (const Case& c : cases) {
    Evaluator e;
    e.sources = {2, 3, 7, 5};  // Sequencer, BassSequencer, PeakValue, BassValue
    e.Set(1, c.ops);
    EXPECT_EQ(e.ev.ApplyValueScript(1, c.in), c.want) << "first op " << *c.ops.begin();
  }
}

TEST(ValueScript, StatePersistsBetweenCallsAndIsNeverReset) {
  Evaluator e;
  e.sources.BassValue = 4;
  e.Set(1, {OP_FACTOR_TEN, OP_NBR_BASS_VALUE});
  e.Set(2, {OP_ADD_NBR});
  EXPECT_EQ(e.ev.ApplyValueScript(2, 0), 0.0f);  // Sequencer 0, factor 1
  EXPECT_EQ(e.ev.ApplyValueScript(1, 0), 0.0f);  // only sets state
  EXPECT_EQ(e.ev.ApplyValueScript(2, 1), 41.0f);
  EXPECT_EQ(e.ev.ApplyValueScript(2, 1), 41.0f);
  EXPECT_EQ(e.ev.factor, 10.0f);
  EXPECT_EQ(e.ev.source, ValueSource::BassValue);
}

TEST(ValueScript, NbrIsReadWhenTheOperationRuns) {
  Evaluator e;
  e.Set(1, {OP_ADD_NBR});
  e.sources.Sequencer = 1;
  EXPECT_EQ(e.ev.ApplyValueScript(1, 0), 1.0f);
  e.sources.Sequencer = 2.5f;
  EXPECT_EQ(e.ev.ApplyValueScript(1, 0), 2.5f);
}

TEST(ValueScript, OnlyLinksZeroToTwelveWithOperationsRun) {
  Evaluator e;
  for (int s = 0; s < kScriptSlots; ++s) e.Set(s, {OP_ADD_FACTOR});
  EXPECT_EQ(e.ev.ApplyValueScript(0, 1), 2.0f);
  EXPECT_EQ(e.ev.ApplyValueScript(12, 1), 2.0f);
  EXPECT_EQ(e.ev.ApplyValueScript(13, 1), 1.0f);
  EXPECT_EQ(e.ev.ApplyValueScript(19, 1), 1.0f);
  EXPECT_EQ(e.ev.ApplyValueScript(-1, 1), 1.0f);
  EXPECT_EQ(e.ev.ApplyValueScript(std::numeric_limits<std::int32_t>::min(), 1), 1.0f);
  EXPECT_EQ(e.ev.ApplyValueScriptInt(13, 5), 5);
  e.table.slots[3].Clear();
  EXPECT_EQ(e.ev.ApplyValueScript(3, 1), 1.0f);
}

TEST(ValueScript, IntegerVariantTruncatesTowardZeroWithItsOwnState) {
  Evaluator e;
  e.sources.Sequencer = 0.75f;
  e.Set(1, {OP_SUB_NBR});
  EXPECT_EQ(e.ev.ApplyValueScriptInt(1, 1), 0);     // 0.25
  EXPECT_EQ(e.ev.ApplyValueScriptInt(1, -1), -1);   // -1.75
  e.Set(2, {OP_FACTOR_HUNDRED, OP_NBR_PEAK_VALUE});
  e.ev.ApplyValueScriptInt(2, 0);
  EXPECT_EQ(e.ev.intFactor, 100.0f);
  EXPECT_EQ(e.ev.intSource, ValueSource::PeakValue);
  EXPECT_EQ(e.ev.factor, 1.0f);
  EXPECT_EQ(e.ev.source, ValueSource::Sequencer);
  // Far out of range saturates instead of overflowing.
  e.Set(3, {OP_FACTOR_HUNDRED, OP_MUL_FACTOR, OP_MUL_FACTOR, OP_MUL_FACTOR});
  EXPECT_EQ(e.ev.ApplyValueScriptInt(3, 1 << 30), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(e.ev.ApplyValueScriptInt(3, -(1 << 30)), std::numeric_limits<std::int32_t>::min());
}

TEST(ValueScript, TruncateToInt32Edges) {
  EXPECT_EQ(TruncateToInt32(2.9f), 2);
  EXPECT_EQ(TruncateToInt32(-2.9f), -2);
  EXPECT_EQ(TruncateToInt32(std::nanf("")), 0);
  EXPECT_EQ(TruncateToInt32(INFINITY), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(TruncateToInt32(-INFINITY), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(TruncateToInt32(2147483520.0f), 2147483520);
}

TEST(DerivedValues, FollowDecayAndIntegrate) {
  ValueSources s;
  s.BassValue = 1.0f;
  UpdateDerivedValues(s, 0.5f);  // peak rises to the bass at once
  EXPECT_EQ(s.Sequencer, 0.5f);
  EXPECT_EQ(s.PeakValue, 1.0f);
  EXPECT_EQ(s.BassSequencer, 0.0f);
  s.BassValue = 0.0f;
  UpdateDerivedValues(s, 0.5f);  // decays by 1 / (1 + 1.1 dt), integrates
  const float peak = 1.0f / (1.1f * 0.5f + 1.0f);
  EXPECT_EQ(s.Sequencer, 1.0f);
  EXPECT_EQ(s.PeakValue, peak);
  EXPECT_EQ(s.BassSequencer, peak * 0.5f);
  s.BassValue = 0.9f;  // above the decayed peak: taken, no integration
  UpdateDerivedValues(s, 0.5f);
  EXPECT_EQ(s.PeakValue, 0.9f);
  EXPECT_EQ(s.BassSequencer, peak * 0.5f);
}

TEST(DerivedValues, ZeroElapsedTimeChangesNothingButFollowsUp) {
  ValueSources s{3.0f, 2.0f, 0.5f, 0.25f};
  UpdateDerivedValues(s, 0.0f);
  EXPECT_EQ(s.Sequencer, 3.0f);
  EXPECT_EQ(s.BassSequencer, 2.0f);
  EXPECT_EQ(s.PeakValue, 0.5f);  // undecayed
  s.BassValue = 0.75f;
  UpdateDerivedValues(s, 0.0f);
  EXPECT_EQ(s.PeakValue, 0.75f);
  EXPECT_EQ(s.BassSequencer, 2.0f);
}

TEST(DerivedValues, NoBassDecaysToZeroAndStopsTheBassSequencer) {
  ValueSources s;
  s.PeakValue = 1.0f;
  for (int f = 0; f < 20000; ++f) UpdateDerivedValues(s, 0.04f);
  EXPECT_LT(s.PeakValue, 1e-30f);
  const float bs = s.BassSequencer;
  // About the integral of e^(-1.1 t): 1 / 1.1.
  EXPECT_NEAR(bs, 1.0f / 1.1f, 0.05f);
  // What is left of the follower no longer moves the bass sequencer.
  for (int f = 0; f < 1000; ++f) UpdateDerivedValues(s, 0.04f);
  EXPECT_EQ(s.BassSequencer, bs);
}
