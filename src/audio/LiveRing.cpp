#include "audio/LiveRing.h"

#include <algorithm>
#include <cmath>

namespace mv::audio {
namespace {

constexpr std::int64_t kMask = LiveRing::kFrames - 1;
// The distance is measured once per request, against a write position that
// moves a capture block at a time: smoothed over about sixteen requests.
constexpr double kSmoothing = 1.0 / 16.0;
// PI gains per request, critically damped (kP^2 = 4 kI), on what the
// smoothed distance strays outside a dead band. As the two callbacks slide
// past each other the measured distance steps by a whole capture block; a
// loop that chased that step would wobble the monitor's pitch by half a
// percent. Within the band the rate holds what the integral has learnt.
constexpr double kProportional = 0.03;
constexpr double kIntegral = kProportional * kProportional / 4.0;

}  // namespace

void LiveRing::Reset(int outputBlock, int captureBlock) {
  m_written = 0;
  m_resumeFrom = 0;
  m_outputBlock = std::max(0, outputBlock);
  m_captureBlock = std::max(0, captureBlock);
  m_highPass.Reset();
  m_running = false;
  m_position = 0.0;
  m_distance = 0.0;
  m_integral = 0.0;
  m_trim = 0.0;
  m_fadeIn = 0;
  m_oldLeft = 0;
  m_oldFade = 0;
  m_resyncs = 0;
}

void LiveRing::Write(const std::int16_t* data, std::size_t count) {
  m_captureBlock = std::max(m_captureBlock, int(std::min<std::size_t>(count, kFrames / 4)));
  for (std::size_t i = 0; i < count; ++i) {
    const float v = float(data[i]) * (1.0f / 32768.0f);
    const std::size_t at = std::size_t(m_written & kMask);
    m_raw[at] = v;
    m_filtered[at] = m_highPass.Process(v);
    ++m_written;
  }
}

float LiveRing::Filtered(std::int64_t frame) const {
  if (frame < 0 || frame >= m_written || frame <= m_written - kFrames) return 0.0f;
  return m_filtered[std::size_t(frame & kMask)];
}

float LiveRing::Interpolated(double position) const {
  auto i = std::int64_t(std::floor(position));
  // Never past the newest sample, never into what has been overwritten.
  if (i + 1 >= m_written) return m_written > 0 ? m_raw[std::size_t((m_written - 1) & kMask)] : 0.0f;
  if (i <= m_written - kFrames) return 0.0f;
  const float a = m_raw[std::size_t(i & kMask)];
  const float b = m_raw[std::size_t((i + 1) & kMask)];
  return a + (b - a) * float(position - double(i));
}

void LiveRing::Resync(double distance) {
  // The abandoned path fades out over what it can still read.
  const double step = 1.0 + m_trim;
  const int readable = int(std::max(0.0, (distance - 2.0) / step));
  m_oldPosition = m_position;
  m_oldFade = m_oldLeft = std::min(kFadeFrames, readable);
  ++m_resyncs;
  if (distance > 2.0 * double(TargetDistance())) {
    // The capture ran ahead: crossfade forward, dropping what lies between.
    m_position = double(m_written - TargetDistance());
    m_distance = double(TargetDistance());
    m_fadeIn = kFadeFrames;
  } else {
    // Starved (a stalled or slow capture): wait until a full distance of
    // new frames is there. Jumping back instead would play some twice.
    m_running = false;
    m_resumeFrom = m_written;
  }
}

void LiveRing::BeginRequest(int frames) {
  if (frames <= 0) return;
  m_outputBlock = std::max(m_outputBlock, std::min(frames, kFrames / 4));
  const int target = TargetDistance();
  if (!m_running) {
    if (m_written - m_resumeFrom < target) return;
    m_running = true;
    m_position = double(m_written - target);
    m_distance = double(target);
    m_fadeIn = kFadeFrames;
    return;
  }
  const double distance = double(m_written) - m_position;
  m_distance += (distance - m_distance) * kSmoothing;
  const double band = 0.5 * double(m_captureBlock + kMarginFrames);
  const double offTarget = m_distance - double(target);
  const double error = (offTarget - std::clamp(offTarget, -band, band)) / double(frames);
  m_integral = std::clamp(m_integral + kIntegral * error, -kMaxTrim, kMaxTrim);
  m_trim = std::clamp(kProportional * error + m_integral, -kMaxTrim, kMaxTrim);
  const double needed = double(frames) * (1.0 + m_trim) + 2.0;
  if (distance < needed || distance > 2.0 * double(target)) Resync(distance);
}

void LiveRing::Read(float* out, int frames) {
  const double step = 1.0 + m_trim;
  for (int i = 0; i < frames; ++i) {
    float v = 0.0f;
    if (m_running) {
      float now = Interpolated(m_position);
      m_position += step;
      if (m_fadeIn > 0) {
        now *= 1.0f - float(m_fadeIn) / float(kFadeFrames);
        --m_fadeIn;
      }
      v = now;
    }
    if (m_oldLeft > 0) {
      v += Interpolated(m_oldPosition) * (float(m_oldLeft) / float(m_oldFade));
      m_oldPosition += step;
      --m_oldLeft;
    }
    out[i] = v;
  }
}

}  // namespace mv::audio
