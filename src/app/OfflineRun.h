#pragma once
// The program run offline: the player's own start-up, frame loop and
// callbacks on the headless framework, with a clock that advances by exactly
// one frame each time and the music mixed by the frames (offline sound
// backend), for rendering a show to pictures and sound.
#include <cstdint>
#include <functional>

namespace mv::app {

struct OfflineRunHooks {
  // Once the show's list is read: the seconds its slides are listed for.
  std::function<void(double listedSeconds)> started;
  // Before each frame moves: the sound mixed for it (interleaved stereo at
  // the output rate, exactly the samples up to the frame's end).
  std::function<void(std::int64_t frame, const float* stereo, int frames)> sound;
  // After each frame is drawn: the back buffer, RGBA, top row first.
  // Returning false ends the run with exit code 1.
  std::function<bool(std::int64_t frame, const std::uint8_t* rgba, int width, int height)> picture;
};

// Plays the show of the working folder at `fps` until it ends (or after
// `frameLimit` frames when that is above 0); the exit code. The show
// folder is only read: no sequence or settings file is written back.
int RunShowOffline(int fps, std::int64_t frameLimit, const OfflineRunHooks& hooks);

}  // namespace mv::app
