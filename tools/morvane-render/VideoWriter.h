#pragma once
// An MP4 file through FFmpeg's libraries: H.264 video (libx264 where the
// library has it, its own H.264 or MPEG-4 Part 2 encoder otherwise) from
// RGBA pictures, AAC sound from interleaved stereo floats.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace mv::render {

class VideoWriter {
 public:
  VideoWriter();
  ~VideoWriter();
  VideoWriter(const VideoWriter&) = delete;
  VideoWriter& operator=(const VideoWriter&) = delete;

  // width and height must be even. False with a reason on failure.
  bool Open(const std::filesystem::path& file, int width, int height, int fps, int sampleRate, std::string& error);
  // One picture of width × height RGBA pixels, top row first.
  bool AddVideoFrame(const std::uint8_t* rgba);
  // `frames` stereo frames, interleaved.
  bool AddAudio(const float* stereo, int frames);
  // Flushes both encoders and writes the trailer.
  bool Close(std::string& error);
  const std::string& VideoCodecName() const { return m_codecName; }

 private:
  struct State;
  bool EncodeAudioFrame(bool flush);
  std::unique_ptr<State> m_s;
  std::string m_codecName;
};

// What a written file holds, read back through libavformat.
struct VideoProbe {
  bool ok = false;
  double durationSeconds = 0;       // of the video stream
  std::int64_t videoFrames = 0;     // packets of the video stream
  int width = 0, height = 0;
  double fps = 0;
  std::string videoCodec, audioCodec;
  int sampleRate = 0;
  double audioSeconds = 0;          // samples decoded / rate
  double audioPeak = 0;             // largest absolute sample decoded
};
VideoProbe ProbeVideo(const std::filesystem::path& file);

}  // namespace mv::render
