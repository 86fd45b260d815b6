#include "values/ValueScript.h"

#include <cmath>
#include <limits>

#include "io/BinaryIO.h"

namespace {

ValueScriptEvaluator* g_pActiveValueScripts = nullptr;

float SourceValue(ValueSource s, const ValueSources& v) {
  switch (s) {
    case ValueSource::Sequencer: return v.Sequencer;
    case ValueSource::BassSequencer: return v.BassSequencer;
    case ValueSource::BassValue: return v.BassValue;
    case ValueSource::PeakValue: return v.PeakValue;
  }
  return 0.0f;
}

bool Evaluated(std::int32_t link) {
  return static_cast<std::uint32_t>(link) <= static_cast<std::uint32_t>(kMaxEvaluatedLink);
}

}  // namespace

float RunValueScript(const ValueScript& script, float v, float& factor, ValueSource& source,
                     const ValueSources& sources) {
  for (std::int32_t op : script) {
    switch (op) {
      case OP_ADD_NBR: v = v + SourceValue(source, sources) * factor; break;
      case OP_SUB_NBR: v = v - SourceValue(source, sources) * factor; break;
      case OP_SIN: v = static_cast<float>(std::sin(static_cast<double>(v))); break;
      case OP_ADD_FACTOR: v = v + factor; break;
      case OP_MUL_FACTOR: v = v * factor; break;
      case OP_DIV_FACTOR: v = v / factor; break;
      case OP_FACTOR_HUNDREDTH: factor = 0.01f; break;
      case OP_FACTOR_TENTH: factor = 0.1f; break;
      case OP_FACTOR_ONE: factor = 1.0f; break;
      case OP_FACTOR_TEN: factor = 10.0f; break;
      case OP_FACTOR_HUNDRED: factor = 100.0f; break;
      case OP_NBR_SEQUENCER: source = ValueSource::Sequencer; break;
      case OP_NBR_BASS_SEQUENCER: source = ValueSource::BassSequencer; break;
      case OP_NBR_BASS_VALUE: source = ValueSource::BassValue; break;
      case OP_NBR_PEAK_VALUE: source = ValueSource::PeakValue; break;
      default: break;  // 0 (end marker), 3 and unknown codes
    }
  }
  return v;
}

float ValueScriptEvaluator::ApplyValueScript(std::int32_t link, float v) {
  if (!Evaluated(link)) return v;
  const ValueScript& script = m_Table.slots[link];
  if (script.IsEmpty()) return v;
  return RunValueScript(script, v, factor, source, m_Sources);
}

std::int32_t ValueScriptEvaluator::ApplyValueScriptInt(std::int32_t link, std::int32_t v) {
  if (!Evaluated(link)) return v;
  const ValueScript& script = m_Table.slots[link];
  if (script.IsEmpty()) return v;
  return TruncateToInt32(
      RunValueScript(script, static_cast<float>(v), intFactor, intSource, m_Sources));
}

ValueScriptEvaluator* ActiveValueScripts() { return g_pActiveValueScripts; }
void SetActiveValueScripts(ValueScriptEvaluator* evaluator) { g_pActiveValueScripts = evaluator; }

float ApplyValueScript(std::int32_t link, float v) {
  return g_pActiveValueScripts ? g_pActiveValueScripts->ApplyValueScript(link, v) : v;
}

std::int32_t ApplyValueScriptInt(std::int32_t link, std::int32_t v) {
  return g_pActiveValueScripts ? g_pActiveValueScripts->ApplyValueScriptInt(link, v) : v;
}

std::int32_t TruncateToInt32(float v) {
  if (std::isnan(v)) return 0;
  // 2^31 is exactly representable; anything at or beyond it saturates.
  if (v >= 2147483648.0f) return std::numeric_limits<std::int32_t>::max();
  if (v <= -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

void UpdateDerivedValues(ValueSources& s, float dt) {
  s.Sequencer = s.Sequencer + dt;
  if (s.PeakValue > 0.0f) s.PeakValue = s.PeakValue / (1.1f * dt + 1.0f);
  if (s.PeakValue > s.BassValue)
    s.BassSequencer = s.BassSequencer + s.PeakValue * dt;
  else
    s.PeakValue = s.BassValue;
}

void ReadScriptFile(std::istream& in, ScriptTable& table, int codesPerSlot) {
  // A failed read leaves the buffer as it was: a short file repeats its
  // last value.
  std::int32_t buffer = 0;
  auto next = [&] {
    std::int32_t v;
    if (mv::io::ReadI32(in, v)) buffer = v;
  };
  next();  // leading value, not used
  for (int s = 0; s < 10; ++s) {
    table.slots[s].Clear();
    for (int i = 0; i < codesPerSlot; ++i) {
      next();
      if (s != 0) table.slots[s].Add(buffer);
    }
  }
}
