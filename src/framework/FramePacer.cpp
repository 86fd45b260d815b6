#include "framework/FramePacer.h"

#include <chrono>
#include <thread>

namespace fw {
namespace {

constexpr FramePacer::Nanoseconds kSecond = 1'000'000'000;

FramePacer::Nanoseconds SteadyNow(void*) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SteadySleepUntil(FramePacer::Nanoseconds deadline, void*) {
  std::this_thread::sleep_until(std::chrono::steady_clock::time_point(std::chrono::nanoseconds(deadline)));
}

}  // namespace

PacingChoice ChoosePacing(bool intervalRequested, bool intervalHonoured, bool fixedStep, int displayHz) {
  PacingChoice c;
  c.vsync = intervalRequested && intervalHonoured;
  // An immediate present was asked for: run free, as the device would.
  if (intervalRequested && !intervalHonoured && !fixedStep) c.selfPacedHz = displayHz > 0 ? displayHz : kDefaultRefreshHz;
  return c;
}

FramePacer::Clock FramePacer::SystemClock() { return Clock{&SteadyNow, &SteadySleepUntil, nullptr}; }

void FramePacer::SetRate(int hz) {
  if (hz < 0) hz = 0;
  if (hz == m_hz) return;
  m_hz = hz;
  m_started = false;
}

FramePacer::Nanoseconds FramePacer::Offset(std::int64_t frame) const { return frame * kSecond / m_hz; }

void FramePacer::Wait() {
  if (m_hz <= 0) return;
  const Nanoseconds now = m_clock.now(m_clock.ctx);
  if (!m_started) {
    // The schedule starts as this frame ends: the next one is due a
    // period from now.
    m_started = true;
    m_origin = now;
    m_frame = 0;
    return;
  }
  ++m_frame;
  const Nanoseconds deadline = m_origin + Offset(m_frame);
  // Whole seconds move into the origin, keeping the products small.
  if (m_frame == m_hz) {
    m_origin = deadline;
    m_frame = 0;
  }
  if (now >= deadline) {
    // Late: within a period the schedule holds (the next frames catch up
    // by sleeping less); further behind, it starts again from now.
    if (now - deadline >= Offset(1)) {
      m_origin = now;
      m_frame = 0;
    }
    return;
  }
  m_clock.sleepUntil(deadline, m_clock.ctx);
}

}  // namespace fw
