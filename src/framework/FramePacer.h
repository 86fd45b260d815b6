#pragma once
// Frame pacing where the swap does not wait for the display (GLX under Xvfb
// refuses a swap interval; SDL's offscreen driver accepts one and ignores
// it): the loop sleeps to the display's rate itself instead of spinning.
#include <cstdint>

namespace fw {

inline constexpr int kDefaultRefreshHz = 60;

struct PacingChoice {
  bool vsync = false;   // the swap itself waits for the display
  int selfPacedHz = 0;  // the loop sleeps to this rate; 0: it runs free
};

// intervalRequested: the device settings ask for a synchronised present.
// intervalHonoured: the driver took the swap interval and presents to a
// display. fixedStep: the clock advances by a fixed step per frame (tests,
// offline rendering), which must never sleep. displayHz: the display
// mode's rate, 0 or less when unknown.
PacingChoice ChoosePacing(bool intervalRequested, bool intervalHonoured, bool fixedStep, int displayHz);

// Sleeps to a rate against absolute deadlines (origin + n / rate, exact in
// nanoseconds), so rounding and late wake-ups never add up to drift. A frame
// that ends a whole period or more past its deadline starts a new schedule
// rather than being caught up by a burst of frames that do not sleep.
class FramePacer {
 public:
  using Nanoseconds = std::int64_t;
  struct Clock {
    Nanoseconds (*now)(void* ctx) = nullptr;
    void (*sleepUntil)(Nanoseconds deadline, void* ctx) = nullptr;
    void* ctx = nullptr;
  };
  // The steady clock and a sleep of the thread.
  static Clock SystemClock();

  explicit FramePacer(Clock clock = SystemClock()) : m_clock(clock) {}
  // A changed rate starts a new schedule; 0 or less stops pacing.
  void SetRate(int hz);
  int Rate() const { return m_hz; }
  // Once per frame, after the present: sleeps until the next frame is due.
  void Wait();

 private:
  Nanoseconds Offset(std::int64_t frame) const;

  Clock m_clock;
  int m_hz = 0;
  bool m_started = false;
  Nanoseconds m_origin = 0;
  std::int64_t m_frame = 0;
};

}  // namespace fw
