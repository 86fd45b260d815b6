#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OfflineRender.h"

using mv::render::ParseRenderArguments;
using mv::render::RenderOptions;

namespace {
bool Parse(std::vector<const char*> args, RenderOptions& o, std::string& error) {
  args.insert(args.begin(), "morvane-render");
  return ParseRenderArguments(int(args.size()), args.data(), o, error);
}
}  // namespace

TEST(RenderArguments, TakesSizeRateAndRange) {
  RenderOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--size", "640x360", "--fps", "30", "--from", "1.5", "--to", "4", "out"}, o, error)) << error;
  EXPECT_EQ(o.width, 640);
  EXPECT_EQ(o.height, 360);
  EXPECT_EQ(o.fps, 30);
  EXPECT_EQ(o.from, 1.5);
  EXPECT_EQ(o.to, 4.0);
  EXPECT_EQ(o.outDir, "out");
  RenderOptions d;
  ASSERT_TRUE(Parse({"frames"}, d, error));
  EXPECT_EQ(d.width, 1920);
  EXPECT_EQ(d.fps, 25);
  EXPECT_LT(d.to, 0.0);
}

TEST(RenderArguments, RefusesWhatCannotBeRendered) {
  const std::vector<std::vector<const char*>> bad = {
      {},                                   // no folder
      {"--size", "641x360", "out"},         // odd width: no 4:2:0 video
      {"--size", "640", "out"},
      {"--size", "0x0", "out"},
      {"--size", "99999x360", "out"},
      {"--fps", "0", "out"},
      {"--fps", "12.5", "out"},
      {"--fps", "1000", "out"},
      {"--from", "-1", "out"},
      {"--to", "nan", "out"},
      {"--from", "3", "--to", "2", "out"},  // empty range
      {"--fps"},                            // value missing
      {"--loud", "out"},
      {"a", "b"},                           // two folders
  };
  for (const auto& args : bad) {
    RenderOptions o;
    std::string error;
    EXPECT_FALSE(Parse(args, o, error)) << (args.empty() ? "(none)" : args[0]);
    EXPECT_FALSE(error.empty());
  }
}
