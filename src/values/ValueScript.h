#pragma once
// Value scripts: short lists of operation codes that rework an animated
// component with the music-driven sources. The evaluator keeps its factor
// and its source from one component to the next and from frame to frame;
// they are never reset.
#include <cstdint>
#include <istream>

#include "core/GrowableArray.h"
#include "values/Sources.h"

enum ValueOp : std::int32_t {
  OP_END = 0,  // the script list's end marker; does nothing
  OP_ADD_NBR = 1,
  OP_SUB_NBR = 2,
  OP_SIN = 4,
  OP_ADD_FACTOR = 5,
  OP_MUL_FACTOR = 6,
  OP_DIV_FACTOR = 7,
  OP_FACTOR_HUNDREDTH = 8,
  OP_FACTOR_TENTH = 9,
  OP_FACTOR_ONE = 10,
  OP_FACTOR_TEN = 11,
  OP_FACTOR_HUNDRED = 12,
  OP_NBR_SEQUENCER = 13,
  OP_NBR_BASS_SEQUENCER = 14,
  OP_NBR_BASS_VALUE = 15,
  OP_NBR_PEAK_VALUE = 16,
};

enum class ValueSource : std::int32_t { Sequencer, BassSequencer, BassValue, PeakValue };

inline constexpr int kScriptSlots = 20;
inline constexpr std::int32_t kMaxEvaluatedLink = 12;

using ValueScript = mv::GrowableArray<std::int32_t>;

struct ScriptTable {
  ValueScript slots[kScriptSlots];
};

class ValueScriptEvaluator {
 public:
  ValueScriptEvaluator(const ScriptTable& table, const ValueSources& sources)
      : m_Table(table), m_Sources(sources) {}

  // Runs script `link` on v. Links above 12 (compared unsigned, so negative
  // ones too) and empty scripts leave v unchanged.
  float ApplyValueScript(std::int32_t link, float v);
  // The integer variant, with its own factor and source: v is converted to
  // float, run, then truncated toward zero (saturated to the int32 range).
  std::int32_t ApplyValueScriptInt(std::int32_t link, std::int32_t v);

  float factor = 1.0f;
  ValueSource source = ValueSource::Sequencer;
  float intFactor = 1.0f;
  ValueSource intSource = ValueSource::Sequencer;

 private:
  const ScriptTable& m_Table;
  const ValueSources& m_Sources;
};

// Runs one script with the given evaluator state; no allocation.
float RunValueScript(const ValueScript& script, float v, float& factor, ValueSource& source,
                     const ValueSources& sources);

// The evaluator the timelines use: the values manager's. With none
// installed, values pass unchanged.
ValueScriptEvaluator* ActiveValueScripts();
void SetActiveValueScripts(ValueScriptEvaluator* evaluator);
float ApplyValueScript(std::int32_t link, float v);
std::int32_t ApplyValueScriptInt(std::int32_t link, std::int32_t v);

// Float to int32, truncated toward zero; out of range saturates, NaN is 0.
std::int32_t TruncateToInt32(float v);

// The derived-value step, once per frame with the elapsed seconds:
// Sequencer counts seconds, PeakValue follows BassValue up at once and
// decays smoothly, BassSequencer integrates PeakValue while it decays.
void UpdateDerivedValues(ValueSources& sources, float dt);

// The script file body: one leading value (not used), then ten groups of
// `codesPerSlot` int32 codes for slots 0 to 9; slot 0's group is read and
// discarded. Each slot read is cleared first. Past the end of the stream
// every further code repeats the last value read (0 when none was).
void ReadScriptFile(std::istream& in, ScriptTable& table, int codesPerSlot);
