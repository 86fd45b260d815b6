// morvane-demo [--short] FOLDER: writes the demo show into FOLDER.
#include <cstdio>
#include <cstring>
#include <string>

#include "DemoShow.h"

int main(int argc, char** argv) {
  mv::demo::DemoOptions options;
  options.fxSource = MV_FX_SOURCE;
  const char* folder = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--short") == 0) options.shortShow = true;
    else if (std::strcmp(argv[i], "--fx") == 0 && i + 1 < argc) options.fxSource = argv[++i];
    else if (argv[i][0] == '-' || folder) folder = nullptr, argc = 0;
    else folder = argv[i];
  }
  if (!folder) {
    std::fprintf(stderr, "usage: morvane-demo [--short] [--fx FOLDER] SHOWFOLDER\n");
    return 2;
  }
  std::string error;
  if (!mv::demo::BuildDemoShow(folder, options, error)) {
    std::fprintf(stderr, "morvane-demo: %s\n", error.c_str());
    return 1;
  }
  const auto slides = mv::demo::DemoSlides(options.shortShow);
  std::printf("Demo show written to %s: %zu slides, %.0f s\n", folder, slides.size(),
              mv::demo::DemoShowSeconds(options.shortShow));
  return 0;
}
