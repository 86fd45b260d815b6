#pragma once
// The DC blocker in front of the spectrum: a second-order Butterworth
// high-pass at 10 Hz. A line input's DC offset would otherwise light the
// lowest bands over silence; at 43 Hz (the first bin above DC) it takes
// 0.013 dB. State and coefficients in double: the poles sit next to z = 1,
// where single precision would leave a residue of its own.
#include <cmath>
#include <numbers>

namespace mv::audio {

constexpr double kHighPassHz = 10.0;

class HighPass {
 public:
  explicit HighPass(double cutoffHz = kHighPassHz, double rate = 44100.0) {
    const double k = std::tan(std::numbers::pi * cutoffHz / rate);
    const double norm = 1.0 / (1.0 + std::numbers::sqrt2 * k + k * k);
    m_b0 = norm;
    m_a1 = 2.0 * (k * k - 1.0) * norm;
    m_a2 = (1.0 - std::numbers::sqrt2 * k + k * k) * norm;
  }

  float Process(float x) {
    // Transposed direct form II; b1 = -2 b0, b2 = b0.
    const double in = x;
    const double y = m_b0 * in + m_z1;
    m_z1 = -2.0 * m_b0 * in - m_a1 * y + m_z2;
    m_z2 = m_b0 * in - m_a2 * y;
    return float(y);
  }

  void Reset() { m_z1 = m_z2 = 0.0; }

 private:
  double m_b0 = 1.0, m_a1 = 0.0, m_a2 = 0.0;
  double m_z1 = 0.0, m_z2 = 0.0;
};

}  // namespace mv::audio
