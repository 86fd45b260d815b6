#include "OfflineRender.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <stb_image_write.h>
extern "C" {
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include "VideoWriter.h"
#include "app/App.h"
#include "app/Bindings.h"
#include "audio/SoundManager.h"
#include "audio/SoundSystem.h"
#include "core/Globals.h"
#include "effects/MetaballField.h"
#include "effects/PostProcessManager.h"
#include "framework/Framework.h"
#include "scene/Catalog.h"
#include "sequence/SequenceManager.h"

namespace mv::render {

namespace {

constexpr int kSource = 0;  // index of the back buffer in the scaler

struct Run {
  RenderOptions options;
  std::int64_t frame = 0;          // frames played so far
  std::int64_t firstFrame = 0;     // first frame written
  std::int64_t endFrame = -1;      // one past the last frame written; -1: the show's end
  std::int64_t written = 0;
  std::int64_t samplesMixed = 0;   // output frames of sound mixed so far
  double expectedSeconds = 0;      // for the progress line
  std::vector<float> sound;        // this frame's mix, interleaved stereo
  std::vector<std::uint8_t> backBuffer, picture;
  SwsContext* scaler = nullptr;
  std::unique_ptr<VideoWriter> video;
  bool failed = false;
  std::string error;
};
Run* g_run = nullptr;

bool Writing(const Run& r) { return r.frame >= r.firstFrame && (r.endFrame < 0 || r.frame < r.endFrame); }

void FrameMove(double time, float elapsed, void* context) {
  Run& r = *g_run;
  // The sound of this frame: exactly the samples up to its end, so that
  // rounding never lets sound and pictures drift apart.
  const std::int64_t until = (r.frame + 1) * mv::audio::kOutputRate / r.options.fps;
  const int n = int(until - r.samplesMixed);
  r.sound.assign(std::size_t(n) * 2, 0.0f);
  g_SoundManager.System().Mix(r.sound.data(), n);
  r.samplesMixed = until;
  OnFrameMove(time, elapsed, context);
}

void FrameRender(gfx::Device* device, double time, float elapsed, void* context) {
  OnFrameRender(device, time, elapsed, context);
  Run& r = *g_run;
  if (Writing(r) && !r.failed) {
    const int w = r.options.width, h = r.options.height;
    if (!fw::ReadBackBuffer(r.backBuffer.data(), r.backBuffer.size())) {
      r.failed = true;
      r.error = "the picture could not be read back";
    } else {
      const std::uint8_t* src[1] = {r.backBuffer.data()};
      const int srcStride[1] = {fw::kBackBufferWidth * 4};
      std::uint8_t* dst[1] = {r.picture.data()};
      const int dstStride[1] = {w * 4};
      sws_scale(r.scaler, src, srcStride, 0, fw::kBackBufferHeight, dst, dstStride);
      if (r.options.png) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(r.written + 1));
        const auto file = (r.options.outDir / name).string();
        if (!stbi_write_png(file.c_str(), w, h, 4, r.picture.data(), w * 4)) {
          r.failed = true;
          r.error = "cannot write " + file;
        }
      }
      if (r.video && !(r.video->AddVideoFrame(r.picture.data()) &&
                       r.video->AddAudio(r.sound.data(), int(r.sound.size() / 2)))) {
        r.failed = true;
        r.error = "the video could not be encoded";
      }
      ++r.written;
    }
  }
  ++r.frame;
  if (r.options.progress) {
    const double t = double(r.frame) / r.options.fps;
    if (r.expectedSeconds > 0)
      std::fprintf(stderr, "\rmorvane-render: %6.2f s of %.2f s, %lld frames written ", t, r.expectedSeconds,
                   static_cast<long long>(r.written));
    else
      std::fprintf(stderr, "\rmorvane-render: %6.2f s, %lld frames written ", t, static_cast<long long>(r.written));
    std::fflush(stderr);
  }
  if (r.failed) fw::Shutdown(1);
}

bool ParseInt(const char* s, int& out) {
  char* end = nullptr;
  const long v = std::strtol(s, &end, 10);
  if (!end || *end || v <= 0 || v > 100000) return false;
  out = int(v);
  return true;
}

bool ParseSeconds(const char* s, double& out) {
  char* end = nullptr;
  const double v = std::strtod(s, &end);
  if (!end || *end || !std::isfinite(v) || v < 0 || v > 24 * 3600) return false;
  out = v;
  return true;
}

}  // namespace

bool ParseRenderArguments(int argc, const char* const* argv, RenderOptions& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--size" && hasValue) {
      const std::string v = argv[++i];
      const auto x = v.find('x');
      if (x == std::string::npos || !ParseInt(v.substr(0, x).c_str(), o.width) ||
          !ParseInt(v.substr(x + 1).c_str(), o.height) || o.width % 2 || o.height % 2 || o.width > 7680 ||
          o.height > 4320) {
        error = "--size takes WIDTHxHEIGHT, both even (e.g. 1280x720)";
        return false;
      }
    } else if (a == "--fps" && hasValue) {
      if (!ParseInt(argv[++i], o.fps) || o.fps > 240) {
        error = "--fps takes a whole number of frames per second, 1 to 240";
        return false;
      }
    } else if (a == "--from" && hasValue) {
      if (!ParseSeconds(argv[++i], o.from)) {
        error = "--from takes seconds";
        return false;
      }
    } else if (a == "--to" && hasValue) {
      if (!ParseSeconds(argv[++i], o.to)) {
        error = "--to takes seconds";
        return false;
      }
    } else if (a == "--no-png") {
      o.png = false;
    } else if (a == "--no-mp4") {
      o.mp4 = false;
    } else if (!a.empty() && a[0] != '-' && o.outDir.empty()) {
      o.outDir = a;
    } else {
      error = "unknown or incomplete option: " + a;
      return false;
    }
  }
  if (o.outDir.empty()) {
    error = "no output folder given";
    return false;
  }
  if (o.to >= 0 && o.to <= o.from) {
    error = "--to must come after --from";
    return false;
  }
  return true;
}

int RenderShow(const RenderOptions& options) {
  av_log_set_level(AV_LOG_ERROR);
  Run run;
  run.options = options;
  g_run = &run;
  std::error_code ec;
  std::filesystem::create_directories(options.outDir, ec);
  if (ec) {
    std::fprintf(stderr, "morvane-render: cannot make %s: %s\n", options.outDir.string().c_str(), ec.message().c_str());
    return 2;
  }
  run.firstFrame = std::llround(options.from * options.fps);
  run.endFrame = options.to >= 0 ? std::llround(options.to * options.fps) : -1;
  run.backBuffer.resize(std::size_t(fw::kBackBufferWidth) * fw::kBackBufferHeight * 4);
  run.picture.resize(std::size_t(options.width) * options.height * 4);
  run.scaler = sws_getContext(fw::kBackBufferWidth, fw::kBackBufferHeight, AV_PIX_FMT_RGBA, options.width,
                              options.height, AV_PIX_FMT_RGBA, SWS_BICUBIC, nullptr, nullptr, nullptr);
  (void)kSource;

  // The program's own start-up, with the sound mixed by the frames and a
  // clock that advances by exactly one frame each time.
  BindFrameworkCallbacks();
  fw::SetCallbackFrameMove(&FrameMove);
  fw::SetCallbackFrameRender(&FrameRender);
  fw::ClearMultisampleTypes();
  fw::AddMultisampleType(0);
  g_MetaballField.Seed(1);
  g_SoundManager.SetSoundSystem(std::make_unique<mv::audio::SoundSystem>(mv::audio::SoundBackend::Offline));
  g_bPreferencesLoaded = InitApp();
  for (const SlideRecord& s : g_SequenceManager.Slides()) run.expectedSeconds += s.durationMs / 1000.0;
  if (options.to >= 0) run.expectedSeconds = options.to;

  if (options.mp4) {
    run.video = std::make_unique<VideoWriter>();
    std::string error;
    if (!run.video->Open(options.outDir / "show.mp4", options.width, options.height, options.fps,
                         mv::audio::kOutputRate, error)) {
      std::fprintf(stderr, "morvane-render: %s\n", error.c_str());
      return 1;
    }
  }

  fw::SetHeadless(true);
  fw::SetFixedTimeStep(1.0 / options.fps);
  if (run.endFrame > 0) fw::SetFrameLimit(int(run.endFrame), 0);
  fw::Init(false, false, nullptr, false);
  fw::SetHotkeyHandling(false, true, false);
  fw::CreateWindow("Morvane Player");
  const gfx::HRESULT created = fw::CreateDevice(false, fw::kBackBufferWidth, fw::kBackBufferHeight);
  if (gfx::Failed(created)) {
    std::fprintf(stderr, "morvane-render: the device could not be created: %s\n", mv::ResultName(created));
    fw::ResetState();
    return 1;
  }
  fw::MainLoop();
  if (options.progress) std::fprintf(stderr, "\n");
  // The show folder is only read: no sequence or settings file is written back.
  g_SoundManager.Stop();
  g_PostProcessManager.ReleaseEffects();
  ObjectCatalog().Free();
  fw::ResetState();
  sws_freeContext(run.scaler);

  int rc = run.failed ? 1 : 0;
  if (run.video) {
    std::string error;
    if (!run.video->Close(error)) {
      std::fprintf(stderr, "morvane-render: %s\n", error.c_str());
      rc = 1;
    }
  }
  if (run.failed) std::fprintf(stderr, "morvane-render: %s\n", run.error.c_str());
  std::printf("%lld frames (%dx%d, %d fps) written to %s%s\n", static_cast<long long>(run.written), options.width,
              options.height, options.fps, options.outDir.string().c_str(), run.video ? ", with show.mp4" : "");
  g_run = nullptr;
  return rc;
}

}  // namespace mv::render
