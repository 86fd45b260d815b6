#pragma once
// Plays the show of the working folder through the headless framework and
// the offline sound backend at a fixed frame rate, and writes what it
// showed: numbered PNG pictures and an MP4 with the music, in step to the
// frame (each video frame carries exactly the sound mixed for it).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace mv::render {

struct RenderOptions {
  int width = 1920;
  int height = 1080;
  int fps = 25;
  double from = 0.0;  // seconds of the show
  double to = -1.0;   // < 0: to the end of the show
  std::filesystem::path outDir;
  bool png = true;
  bool mp4 = true;
  bool progress = true;  // the progress line on standard error
};

// Parses "--size WxH --fps N --from S --to S OUTDIR" (and --no-png,
// --no-mp4). False with a message on a bad command line.
bool ParseRenderArguments(int argc, const char* const* argv, RenderOptions& options, std::string& error);

// What plays the show: the program's offline run (its start-up, frame loop
// and callbacks), handing out each frame's sound and picture.
struct ShowPlayback {
  std::function<void(double listedSeconds)> started;
  std::function<void(std::int64_t frame, const float* stereo, int frames)> sound;
  std::function<bool(std::int64_t frame, const std::uint8_t* rgba, int width, int height)> picture;
};
using ShowRunner = std::function<int(int fps, std::int64_t frameLimit, const ShowPlayback& playback)>;

// Renders through `run`; the process's exit code (0 when everything was
// written).
int RenderShow(const RenderOptions& options, const ShowRunner& run);

}  // namespace mv::render
