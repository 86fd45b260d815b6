// The soak: the show of the working folder played in a ring (after the last
// slide, the first again, the music from the start) through the program's
// offline run, for MINUTES of wall-clock time. Every minute: resident memory
// and the GL objects alive in the context. At the end: the first and last
// samples and the slope of each.
//
//   mv_soak [MINUTES]          (run in a show's folder; bench/soak.sh does it all)
#include <epoxy/gl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/OfflineRun.h"
#include "audio/SoundManager.h"
#include "sequence/SequenceManager.h"

namespace {

long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * 4;  // 4 KiB pages
}

// GL names are small integers handed out from 1 and reused: asking every
// name up to a bound finds each live object.
int LiveGlObjects() {
  int n = 0;
  for (GLuint name = 1; name < 65536; ++name) {
    n += glIsTexture(name) + glIsBuffer(name) + glIsFramebuffer(name) + glIsRenderbuffer(name) +
         glIsVertexArray(name) + glIsProgram(name) + glIsShader(name);
  }
  return n;
}

struct Sample {
  double minute;
  long frames, loads, rssKb;
  int glObjects;
};

// Least-squares slope of value(sample) per minute.
template <class F>
double Slope(const std::vector<Sample>& s, F value) {
  if (s.size() < 2) return 0;
  double mx = 0, my = 0;
  for (const auto& v : s) mx += v.minute, my += value(v);
  mx /= double(s.size()), my /= double(s.size());
  double num = 0, den = 0;
  for (const auto& v : s) num += (v.minute - mx) * (value(v) - my), den += (v.minute - mx) * (v.minute - mx);
  return den > 0 ? num / den : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const double minutes = argc > 1 ? std::atof(argv[1]) : 60.0;
  const auto start = std::chrono::steady_clock::now();
  auto elapsedMinutes = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / 60.0;
  };
  std::vector<Sample> samples;
  long frames = 0, loads = 0;
  std::size_t lastLoaded = SequenceManager::kNone;
  double nextSample = 0;

  mv::app::OfflineRunHooks hooks;
  hooks.sound = [&](std::int64_t, const float*, int) {
    // The ring: instead of passing the last slide, go back to the first.
    auto& seq = g_SequenceManager;
    const std::size_t count = seq.Slides().size();
    if (count > 1 && seq.IsPlaying() && seq.GetRemaining() < 0 && seq.Current() + 1 == count) {
      for (std::size_t i = 0; i + 1 < count; ++i) seq.Previous();
      seq.ResetRemaining();
      g_SoundManager.CheckTrack(-1, 0, 0);
    }
  };
  hooks.picture = [&](std::int64_t, const std::uint8_t*, int, int) {
    ++frames;
    if (g_SequenceManager.LastLoaded() != lastLoaded) lastLoaded = g_SequenceManager.LastLoaded(), ++loads;
    const double now = elapsedMinutes();
    if (now >= nextSample) {
      samples.push_back({now, frames, loads, ResidentKb(), LiveGlObjects()});
      const Sample& s = samples.back();
      std::printf("minute %6.2f  frames %7ld  slide loads %5ld  resident %8ld kB  GL objects %5d\n", s.minute,
                  s.frames, s.loads, s.rssKb, s.glObjects);
      std::fflush(stdout);
      nextSample += 1.0;
    }
    return now < minutes;  // false ends the run
  };
  mv::app::RunShowOffline(25, 0, hooks);
  if (samples.empty()) return 1;
  const Sample& a = samples.front();
  const Sample& b = samples.back();
  // Slopes over the samples after the first (the first minute loads the caches).
  std::vector<Sample> steady(samples.size() > 2 ? samples.begin() + 1 : samples.begin(), samples.end());
  std::printf("\nfirst: minute %.2f, %ld kB, %d GL objects\nlast:  minute %.2f, %ld kB, %d GL objects\n", a.minute,
              a.rssKb, a.glObjects, b.minute, b.rssKb, b.glObjects);
  std::printf("slope (after the first sample): %.1f kB/minute, %.2f GL objects/minute; %ld frames, %ld slide loads\n",
              Slope(steady, [](const Sample& v) { return double(v.rssKb); }),
              Slope(steady, [](const Sample& v) { return double(v.glObjects); }), b.frames,
              b.loads);
  return 0;
}
