#pragma once
// Builds the whole demo show into a working folder: the media, the music,
// the slides (through the managers' own Write) and "media\sequence.mv".
#include <filesystem>
#include <string>
#include <vector>

namespace mv::demo {

struct DemoOptions {
  // Three seconds a slide: for tests.
  bool shortShow = false;
  // Where the effect files are copied from into the show (fx\ is read by
  // the player relative to its working folder).
  std::filesystem::path fxSource;
};

struct DemoSlideInfo {
  std::string title;
  int frames = 0;  // the slide's timeline, at 25 frames per second
};

// The slides the show holds, in order, with their lengths.
std::vector<DemoSlideInfo> DemoSlides(bool shortShow);
// The whole show's length in seconds.
double DemoShowSeconds(bool shortShow);

// Writes everything into `folder` (created when missing). False with a
// message when something could not be written.
bool BuildDemoShow(const std::filesystem::path& folder, const DemoOptions& options, std::string& error);

}  // namespace mv::demo
