#pragma once
// The value scripts the benchmarks run on every linked component: nine
// scripts of the sizes the values panel produces (end marker included), in
// slots 1 to 9.
#include <cstdint>

#include "values/ValueScript.h"

namespace mv::bench {

inline void FillBenchScripts(ScriptTable& table) {
  const std::int32_t ops[9][4] = {
      {OP_FACTOR_HUNDRED, OP_NBR_PEAK_VALUE, OP_ADD_NBR, OP_END},
      {OP_FACTOR_TENTH, OP_NBR_SEQUENCER, OP_ADD_NBR, OP_END},
      {OP_SIN, OP_FACTOR_TEN, OP_MUL_FACTOR, OP_END},
      {OP_NBR_BASS_VALUE, OP_FACTOR_ONE, OP_SUB_NBR, OP_END},
      {OP_FACTOR_HUNDREDTH, OP_ADD_FACTOR, OP_DIV_FACTOR, OP_END},
      {OP_NBR_BASS_SEQUENCER, OP_ADD_NBR, OP_SIN, OP_END},
      {OP_FACTOR_TEN, OP_NBR_PEAK_VALUE, OP_SUB_NBR, OP_END},
      {OP_MUL_FACTOR, OP_ADD_FACTOR, OP_FACTOR_ONE, OP_END},
      {OP_NBR_SEQUENCER, OP_FACTOR_HUNDREDTH, OP_ADD_NBR, OP_END},
  };
  for (int s = 0; s < 9; ++s)
    for (std::int32_t op : ops[s]) table.slots[s + 1].Add(op);
}

}  // namespace mv::bench
