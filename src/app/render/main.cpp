// morvane-render [--size WxH] [--fps N] [--from S] [--to S] OUTDIR
// Run in a show's working folder, like the player: the program's own run,
// offline, with the tool writing what it shows.
#include <cstdio>
#include <string>

#include "OfflineRender.h"
#include "app/OfflineRun.h"

int main(int argc, char** argv) {
  mv::render::RenderOptions options;
  std::string error;
  if (!mv::render::ParseRenderArguments(argc, argv, options, error)) {
    std::fprintf(stderr,
                 "morvane-render: %s\n"
                 "usage: morvane-render [--size WxH] [--fps N] [--from S] [--to S] [--no-png] [--no-mp4] OUTDIR\n",
                 error.c_str());
    return 2;
  }
  return mv::render::RenderShow(options, [](int fps, std::int64_t frameLimit, const mv::render::ShowPlayback& p) {
    mv::app::OfflineRunHooks hooks{p.started, p.sound, p.picture};
    return mv::app::RunShowOffline(fps, frameLimit, hooks);
  });
}
