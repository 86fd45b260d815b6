// The layer table of src/CMakeLists.txt held against every #include of the
// sources: a file may include its own folder and folders of lower layers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/TempWorkDir.h"

namespace fs = std::filesystem;

namespace {

using Layers = std::map<std::string, int>;

// "io:0,gui:1,…" as the build passes it.
Layers ParseLayers(const std::string& table) {
  Layers layers;
  std::stringstream in(table);
  std::string entry;
  while (std::getline(in, entry, ',')) {
    const auto colon = entry.find(':');
    if (colon != std::string::npos) layers[entry.substr(0, colon)] = std::stoi(entry.substr(colon + 1));
  }
  return layers;
}

// Tools sit beside the program: they may use every library but the app.
int LayerOfFile(const fs::path& relative, const Layers& layers, std::string* folder) {
  auto it = relative.begin();
  const std::string top = it->string();
  if (top == "tools") {
    *folder = "tools";
    return layers.at("app");
  }
  ++it;
  *folder = it->string();
  const auto found = layers.find(*folder);
  return found == layers.end() ? -1 : found->second;
}

// Every include that points up the table or sideways into a library of the
// same layer, as "file:line: why".
std::vector<std::string> LayeringFaults(const fs::path& root, const Layers& layers) {
  static const std::regex include(R"re(^\s*#\s*include\s*"([A-Za-z0-9_]+)/[^"]+")re");
  std::vector<std::string> faults;
  for (const char* top : {"src", "tools"}) {
    if (!fs::exists(root / top)) continue;
    for (const auto& e : fs::recursive_directory_iterator(root / top)) {
      if (!e.is_regular_file()) continue;
      const auto ext = e.path().extension();
      if (ext != ".h" && ext != ".cpp" && ext != ".c" && ext != ".hpp") continue;
      const fs::path relative = fs::relative(e.path(), root);
      if (std::distance(relative.begin(), relative.end()) < 3) continue;  // src/CMakeLists.txt and the like
      std::string folder;
      const int own = LayerOfFile(relative, layers, &folder);
      if (own < 0) {
        faults.push_back(relative.generic_string() + ": folder '" + folder + "' has no layer in the table");
        continue;
      }
      std::ifstream in(e.path());
      std::string line;
      int number = 0;
      while (std::getline(in, line)) {
        ++number;
        std::smatch m;
        if (!std::regex_search(line, m, include)) continue;
        const std::string target = m[1];
        if (target == folder) continue;
        const auto t = layers.find(target);
        if (t == layers.end()) continue;  // a header beside the file, or a third-party one
        if (t->second >= own)
          faults.push_back(relative.generic_string() + ":" + std::to_string(number) + ": includes " + target +
                           "/ (layer " + std::to_string(t->second) + ") from " + folder + " (layer " +
                           std::to_string(own) + ")");
      }
    }
  }
  return faults;
}

void WriteFile(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p) << text;
}

}  // namespace

TEST(Layering, NoIncludePointsUpTheTable) {
  const Layers layers = ParseLayers(MV_LAYERS);
  ASSERT_GE(layers.size(), 13u);
  std::string report;
  for (const std::string& f : LayeringFaults(MV_SOURCE_DIR, layers)) report += f + "\n";
  EXPECT_TRUE(report.empty()) << report;
}

TEST(Layering, EveryFolderUnderSrcHasALayer) {
  const Layers layers = ParseLayers(MV_LAYERS);
  for (const auto& e : fs::directory_iterator(fs::path(MV_SOURCE_DIR) / "src"))
    if (e.is_directory()) EXPECT_TRUE(layers.count(e.path().filename().string())) << e.path();
}

// The check itself: upward, sideways and app includes are caught with their
// line; downward and own-folder includes pass.
TEST(Layering, TheCheckNamesFileAndLineOfEachFault) {
  mv::test::TempWorkDir dir;
  const fs::path root = dir.Path();
  const Layers layers = ParseLayers("io:0,gui:1,gfx:1,core:3,scene:7,app:10");
  WriteFile(root / "src/core/A.cpp", "#include \"core/A.h\"\n#include \"io/Log.h\"\n#include \"scene/S.h\"\n");
  WriteFile(root / "src/gui/B.h", "#pragma once\n\n#include \"gfx/Device.h\"\n#include <vector>\n");
  WriteFile(root / "src/io/C.cpp", "// #include \"app/App.h\" is a comment\n#include \"Local.h\"\n");
  WriteFile(root / "tools/t/main.cpp", "#include \"scene/S.h\"\n  #  include \"app/App.h\"\n");
  WriteFile(root / "src/extra/D.cpp", "\n");
  std::vector<std::string> faults = LayeringFaults(root, layers);
  std::sort(faults.begin(), faults.end());
  const std::vector<std::string> expected = {
      "src/core/A.cpp:3: includes scene/ (layer 7) from core (layer 3)",
      "src/extra/D.cpp: folder 'extra' has no layer in the table",
      "src/gui/B.h:3: includes gfx/ (layer 1) from gui (layer 1)",
      "tools/t/main.cpp:2: includes app/ (layer 10) from tools (layer 10)",
  };
  EXPECT_EQ(faults, expected);
}
