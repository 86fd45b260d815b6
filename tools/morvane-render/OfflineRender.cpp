#include "OfflineRender.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <stb_image_write.h>
extern "C" {
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include "VideoWriter.h"

namespace mv::render {

namespace {

constexpr int kSampleRate = 44100;

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

int RenderShow(const RenderOptions& options, const ShowRunner& run) {
  av_log_set_level(AV_LOG_ERROR);
  std::error_code ec;
  std::filesystem::create_directories(options.outDir, ec);
  if (ec) {
    std::fprintf(stderr, "morvane-render: cannot make %s: %s\n", options.outDir.string().c_str(), ec.message().c_str());
    return 2;
  }
  const std::int64_t firstFrame = std::llround(options.from * options.fps);
  const std::int64_t endFrame = options.to >= 0 ? std::llround(options.to * options.fps) : -1;
  auto writing = [&](std::int64_t frame) { return frame >= firstFrame && (endFrame < 0 || frame < endFrame); };

  std::unique_ptr<VideoWriter> video;
  if (options.mp4) {
    video = std::make_unique<VideoWriter>();
    std::string error;
    if (!video->Open(options.outDir / "show.mp4", options.width, options.height, options.fps, kSampleRate, error)) {
      std::fprintf(stderr, "morvane-render: %s\n", error.c_str());
      return 1;
    }
  }
  SwsContext* scaler = nullptr;
  std::vector<std::uint8_t> picture(std::size_t(options.width) * options.height * 4);
  std::vector<float> sound;
  std::int64_t written = 0;
  double expected = options.to;
  std::string failure;

  ShowPlayback playback;
  playback.started = [&](double listed) {
    if (expected < 0) expected = listed;
  };
  playback.sound = [&](std::int64_t, const float* stereo, int frames) { sound.assign(stereo, stereo + frames * 2); };
  playback.picture = [&](std::int64_t frame, const std::uint8_t* rgba, int w, int h) {
    if (writing(frame)) {
      scaler = sws_getCachedContext(scaler, w, h, AV_PIX_FMT_RGBA, options.width, options.height, AV_PIX_FMT_RGBA,
                                    SWS_BICUBIC, nullptr, nullptr, nullptr);
      const std::uint8_t* src[1] = {rgba};
      const int srcStride[1] = {w * 4};
      std::uint8_t* dst[1] = {picture.data()};
      const int dstStride[1] = {options.width * 4};
      sws_scale(scaler, src, srcStride, 0, h, dst, dstStride);
      if (options.png) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(written + 1));
        const auto file = (options.outDir / name).string();
        if (!stbi_write_png(file.c_str(), options.width, options.height, 4, picture.data(), options.width * 4)) {
          failure = "cannot write " + file;
          return false;
        }
      }
      // Each picture goes with exactly the sound of its frame.
      if (video && !(video->AddVideoFrame(picture.data()) && video->AddAudio(sound.data(), int(sound.size() / 2)))) {
        failure = "the video could not be encoded";
        return false;
      }
      ++written;
    }
    if (options.progress) {
      const double t = double(frame + 1) / options.fps;
      if (expected > 0)
        std::fprintf(stderr, "\rmorvane-render: %7.2f s of %.2f s, %lld frames written ", t, expected,
                     static_cast<long long>(written));
      else
        std::fprintf(stderr, "\rmorvane-render: %7.2f s, %lld frames written ", t, static_cast<long long>(written));
      std::fflush(stderr);
    }
    return true;
  };

  int rc = run(options.fps, endFrame, playback);
  if (options.progress) std::fprintf(stderr, "\n");
  sws_freeContext(scaler);
  if (!failure.empty()) std::fprintf(stderr, "morvane-render: %s\n", failure.c_str());
  if (video) {
    std::string error;
    if (!video->Close(error)) {
      std::fprintf(stderr, "morvane-render: %s\n", error.c_str());
      rc = 1;
    }
  }
  std::printf("%lld frames (%dx%d, %d fps) written to %s%s\n", static_cast<long long>(written), options.width,
              options.height, options.fps, options.outDir.string().c_str(), video ? ", with show.mp4" : "");
  return rc;
}

}  // namespace mv::render
