#pragma once
// Live input between two clocks. The capture callback appends its blocks;
// the output reads the monitor a steady distance behind the newest captured
// frame, so that no output block ever reaches the write position (where the
// old loop stitched 50 ms old samples onto new ones).
//
// The distance is one output block plus one capture block plus a margin for
// late callbacks. The two devices' clocks drift apart: a slow trim of the
// read rate (a PI loop on the distance, at most 5 %) keeps the distance
// within half a capture block and half the margin of that. Beyond what the
// trim can follow, the reader resynchronises without a click and without
// playing anything twice: a starved reader fades out and waits for a full
// distance of new frames; one left too far behind crossfades forward.
//
// Not thread-safe: the sound system calls it under its mixing lock.
#include <array>
#include <cstddef>
#include <cstdint>

#include "audio/HighPass.h"

namespace mv::audio {

class LiveRing {
 public:
  static constexpr int kFrames = 1 << 16;     // 1.49 s at 44.1 kHz
  static constexpr int kMarginFrames = 1024;  // lateness of the two callbacks allowed for
  static constexpr int kFadeFrames = 256;     // crossfade of a resynchronisation
  static constexpr double kMaxTrim = 0.05;    // read rate within 1 +- this

  // Starts over: nothing captured, the reader waiting for a full distance.
  // Block sizes the devices announced, 0 when unknown (learnt from the calls).
  void Reset(int outputBlock, int captureBlock);

  // Capture side: one block of samples as the device delivered it.
  void Write(const std::int16_t* data, std::size_t count);

  // Output side, once per output request and before its Read calls: checks
  // the distance to the write position, trims the read rate, resynchronises
  // when the request cannot be served seamlessly.
  void BeginRequest(int frames);
  // The monitor's next `frames` samples (-1..1), silence while waiting.
  void Read(float* out, int frames);

  // Frames captured since Reset.
  std::int64_t Written() const { return m_written; }
  // The DC-blocked capture at an absolute frame; 0 where the ring holds none.
  float Filtered(std::int64_t frame) const;
  // Frames the reader aims to trail the write position by.
  int TargetDistance() const { return m_outputBlock + m_captureBlock + kMarginFrames; }
  // The reader's distance behind the write position (0 while waiting).
  double Distance() const { return m_running ? double(m_written) - m_position : 0.0; }
  bool Running() const { return m_running; }
  int Resyncs() const { return m_resyncs; }
  double Trim() const { return m_trim; }

 private:
  float Interpolated(double position) const;
  void Resync(double distance);

  std::array<float, kFrames> m_raw{};
  std::array<float, kFrames> m_filtered{};
  HighPass m_highPass;
  std::int64_t m_written = 0;
  std::int64_t m_resumeFrom = 0;  // a starved reader waits for frames past this
  int m_outputBlock = 0;
  int m_captureBlock = 0;

  bool m_running = false;
  double m_position = 0.0;    // next frame the monitor reads
  double m_distance = 0.0;    // smoothed distance at request starts
  double m_integral = 0.0;    // the trim's integral part
  double m_trim = 0.0;        // read rate - 1
  int m_fadeIn = 0;           // samples left of the new path's fade-in
  double m_oldPosition = 0.0; // the abandoned path, fading out
  int m_oldLeft = 0;
  int m_oldFade = 0;
  int m_resyncs = 0;
};

}  // namespace mv::audio
