#pragma once
// The C runtime's pseudo-random integers, 0..32767, from a seed of 1 unless
// given: the sequence the effects' random values are defined by.
#include <cstdint>

class CRuntimeRandom {
 public:
  explicit CRuntimeRandom(std::uint32_t seed = 1) : m_seed(seed) {}
  int Next() {
    m_seed = m_seed * 214013u + 2531011u;
    return static_cast<int>((m_seed >> 16) & 0x7FFF);
  }
  // r / 32767 x (b - a) + a for the next r.
  float Range(float a, float b) { return static_cast<float>(Next()) / 32767.0f * (b - a) + a; }

 private:
  std::uint32_t m_seed;
};
