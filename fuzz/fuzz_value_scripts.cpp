// The script file "value.dat": the first byte sets how many codes a slot
// takes (the panel's script list length), the rest is the file. The table
// is then run through the evaluator on every slot.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "values/ValueScript.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int codesPerSlot = 1 + data[0] % 32;
  std::istringstream in(std::string(reinterpret_cast<const char*>(data + 1), size - 1), std::ios::binary);
  ScriptTable table;
  ReadScriptFile(in, table, codesPerSlot);
  if (!table.slots[0].IsEmpty()) std::abort();
  for (int s = 1; s < 10; ++s)
    if (table.slots[s].GetSize() != codesPerSlot) std::abort();
  ValueSources sources{1.0f, 2.0f, 3.0f, 4.0f};
  ValueScriptEvaluator ev(table, sources);
  for (int s = -1; s < kScriptSlots; ++s) {
    ev.ApplyValueScript(s, 100.0f);
    ev.ApplyValueScriptInt(s, 100);
  }
  return 0;
}
