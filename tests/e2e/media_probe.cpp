// What the end-to-end scripts check in written media:
//   mv_media_probe mp4 FILE   video frames, durations, codecs and the sound's peak
//   mv_media_probe f32 FILE   the peak of raw 32-bit float samples (SDL's disk driver)
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "VideoWriter.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: mv_media_probe mp4|f32 FILE\n");
    return 2;
  }
  if (std::strcmp(argv[1], "mp4") == 0) {
    const mv::render::VideoProbe p = mv::render::ProbeVideo(argv[2]);
    if (!p.ok) return 1;
    std::printf("frames=%lld duration=%.3f size=%dx%d fps=%.3f video=%s audio=%s rate=%d audio_seconds=%.3f peak=%.4f\n",
                static_cast<long long>(p.videoFrames), p.durationSeconds, p.width, p.height, p.fps,
                p.videoCodec.c_str(), p.audioCodec.c_str(), p.sampleRate, p.audioSeconds, p.audioPeak);
    return 0;
  }
  std::ifstream in(argv[2], std::ios::binary);
  if (!in) return 1;
  double peak = 0;
  long long count = 0;
  std::vector<float> block(65536);
  while (in) {
    in.read(reinterpret_cast<char*>(block.data()), std::streamsize(block.size() * sizeof(float)));
    const auto n = static_cast<std::size_t>(in.gcount()) / sizeof(float);
    for (std::size_t i = 0; i < n; ++i)
      if (std::isfinite(block[i])) peak = std::fmax(peak, std::fabs(double(block[i])));
    count += static_cast<long long>(n);
  }
  std::printf("samples=%lld peak=%.4f\n", count, peak);
  return 0;
}
