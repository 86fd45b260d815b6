#pragma once
// Small helpers for the timeline tests: expected byte images and a script
// evaluator installed for the duration of a test.
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "values/ValueScript.h"

// Builds the little-endian image a writer is expected to produce.
class Bytes {
 public:
  Bytes& I32(std::int32_t v) {
    std::uint32_t u = static_cast<std::uint32_t>(v);
    for (int b = 0; b < 4; ++b) m_s.push_back(static_cast<char>((u >> (8 * b)) & 0xFF));
    return *this;
  }
  Bytes& F32(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    return I32(static_cast<std::int32_t>(u));
  }
  Bytes& I32s(std::initializer_list<std::int32_t> vs) {
    for (auto v : vs) I32(v);
    return *this;
  }
  Bytes& F32s(std::initializer_list<float> vs) {
    for (auto v : vs) F32(v);
    return *this;
  }
  const std::string& str() const { return m_s; }
  std::size_t size() const { return m_s.size(); }

 private:
  std::string m_s;
};

// A script table and sources with an evaluator the timelines use while the
// object lives.
struct ScopedScripts {
  ScriptTable table;
  ValueSources sources;
  ValueScriptEvaluator evaluator{table, sources};
  ValueScriptEvaluator* previous;

  ScopedScripts() : previous(ActiveValueScripts()) { SetActiveValueScripts(&evaluator); }
  ~ScopedScripts() { SetActiveValueScripts(previous); }

  void Set(int slot, std::initializer_list<std::int32_t> ops) {
    table.slots[slot].Clear();
    for (auto op : ops) table.slots[slot].Add(op);
  }
};
