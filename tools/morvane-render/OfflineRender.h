#pragma once
// Plays the show of the working folder through the headless framework and
// the offline sound backend at a fixed frame rate, and writes what it
// showed: numbered PNG pictures and an MP4 with the music, in step to the
// frame (each video frame carries exactly the sound mixed for it).
#include <filesystem>
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

// Renders; the process's exit code (0 when everything was written).
int RenderShow(const RenderOptions& options);

}  // namespace mv::render
