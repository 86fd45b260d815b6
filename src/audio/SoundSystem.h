#pragma once
// The sound system the sound manager drives: output set-up, music streams on
// channel 0, samples (the live-input recording loop) on the other channels,
// a master volume, recording, and a 512-magnitude spectrum of what is being
// heard.
//
// Two backends share one mixer:
//  - Device: SDL2 audio output (and capture). Streams are decoded on a thread
//    of their own into a ring per stream; the audio callback mixes from the
//    rings. When no output device opens, SDL's "dummy" driver takes over, so
//    the music still plays at real-time pace and the visuals still react.
//  - Offline: no device and no threads. The frame loop calls Advance with
//    the frame time, which decodes and mixes exactly that much, so spectra
//    and stream times are deterministic (tests, rendering a show to video).
//
// Everything here is called from the main thread. State shared with the
// decoder thread is guarded by a decoding mutex, state shared with the audio
// callback by a mixing mutex (always taken in that order), each held only
// for one chunk of decoding or one short copy.
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace mv::audio {

class Decoder;

enum class SoundBackend { Device, Offline };

constexpr int kOutputRate = 44100;
constexpr int kSpectrumSize = 512;   // magnitudes handed out
constexpr int kFftSize = 1024;       // played samples analysed

// Mode flags of streams and samples, in the values the manager passes.
constexpr unsigned kModeLoopOff = 0x01;
constexpr unsigned kModeLoopNormal = 0x02;
constexpr unsigned kMode16Bits = 0x10;
constexpr unsigned kModeMono = 0x20;
constexpr unsigned kModeSigned = 0x100;
constexpr unsigned kModeStreamNormal = kMode16Bits | kModeMono | kModeSigned;  // 0x130
constexpr unsigned kModeSample16Mono = kMode16Bits | kModeMono;                // 0x30

constexpr int kFreeChannel = -1;
constexpr int kStreamChannel = 0;

// Error codes of GetError, in the order of the error-text table.
enum SoundErrorCode : int {
  kSoundOk = 0,
  kSoundErrBusy = 1,
  kSoundErrUninitialized = 2,
  kSoundErrInit = 3,
  kSoundErrAllocated = 4,
  kSoundErrPlay = 5,
  kSoundErrOutputFormat = 6,
  kSoundErrCooperativeLevel = 7,
  kSoundErrCreateBuffer = 8,
  kSoundErrFileNotFound = 9,
  kSoundErrFileFormat = 10,
  kSoundErrFileBad = 11,
  kSoundErrMemory = 12,
  kSoundErrVersion = 13,
  kSoundErrInvalidParam = 14,
  kSoundErrNoEax = 15,
  kSoundErrChannelAlloc = 16,
  kSoundErrRecord = 17,
  kSoundErrMediaPlayer = 18,
};

// The text of an error code; "Unknown error" for any other value.
const char* SoundErrorText(int code);

using StreamHandle = int;  // 0: none
using SampleHandle = int;  // 0: none

class SoundSystem {
 public:
  explicit SoundSystem(SoundBackend backend);
  ~SoundSystem();
  SoundSystem(const SoundSystem&) = delete;
  SoundSystem& operator=(const SoundSystem&) = delete;

  SoundBackend Backend() const { return m_backend; }
  float GetVersion() const { return 3.6f; }

  // Output settings, taken at the next Init (false once initialised).
  bool SetMixer(int mixer);
  bool SetDriver(int driver);
  bool SetOutput(int output);
  bool SetBufferSize(int milliseconds);

  // Opens the output at `rate` with `channels` channels (channel 0 carries
  // the stream, the others samples). False on failure, with GetError set.
  bool Init(int rate, int channels, unsigned flags);
  void Close();
  bool IsInitialized() const { return m_initialized; }
  int GetError() const { return m_error; }
  // True when the device backend fell back to SDL's dummy driver.
  bool UsesDummyDriver() const { return m_dummyDriver; }

  // Streams. The file is decoded from its content; mode and length are
  // accepted as the manager passes them.
  StreamHandle StreamOpenFile(const std::filesystem::path& path, unsigned mode, int length);
  int StreamPlay(int channel, StreamHandle stream);  // the channel, or -1
  bool StreamStop(StreamHandle stream);
  bool StreamClose(StreamHandle stream);
  bool StreamSetPosition(StreamHandle stream, std::uint32_t frame);
  bool StreamSetTime(StreamHandle stream, int milliseconds);
  int StreamGetTime(StreamHandle stream) const;  // milliseconds played, -1 none
  bool IsPlaying(int channel) const;

  void SetSfxMasterVolume(int volume);  // 0..255, clamped
  int GetSfxMasterVolume() const { return m_masterVolume.load(); }

  // Samples: 16-bit mono buffers that a channel plays, optionally looping.
  SampleHandle SampleAlloc(int index, int length, unsigned mode, int frequency, int volume,
                           int pan, int priority);
  void SampleFree(SampleHandle sample);
  bool SampleSetLoopPoints(SampleHandle sample, int start, int end);
  bool SampleSetMode(SampleHandle sample, unsigned mode);
  int PlaySound(int channel, SampleHandle sample);  // the channel, or -1
  bool StopSound(int channel);
  int GetFrequency(int channel) const;

  // Recording into a sample, wrapping at its end when looping. The device
  // backend captures from the default input; the offline backend takes
  // what FeedCapture gives it.
  bool RecordStartSample(SampleHandle sample, bool loop);
  bool RecordStop();
  bool IsRecording() const { return m_recordSample != 0; }
  void FeedCapture(const float* mono, std::size_t count);

  // The FFT unit: GetSpectrum answers only while it is active.
  void SetFftActive(bool active) { m_fftActive = active; }
  bool IsFftActive() const { return m_fftActive; }

  // 512 magnitudes of the most recent 1024 samples heard (mono mix before
  // the master volume), or null when not initialised, the FFT unit is off or
  // nothing plays. The array belongs to the sound system and stays valid
  // until the next call.
  const float* GetSpectrum();

  // Offline backend: decode and mix `seconds` of output (fractions of a
  // frame carry over to the next call). No effect on the device backend.
  void Advance(double seconds);

  // Mixes `frames` stereo frames into `out`. The audio callback's body;
  // tests and the offline backend call it directly.
  void Mix(float* out, int frames);

  // Where the output stands, for latency measurements.
  struct OutputClock {
    std::int64_t framesMixed = 0;     // frames handed to the output so far
    std::int64_t lastBlockFrames = 0; // size of the latest block
    std::chrono::steady_clock::time_point lastBlockTime{};
    std::int64_t heardFrame = 0;      // newest frame the listener hears now
    std::int64_t streamFrames = -1;   // channel 0's stream position after the latest block
  };
  OutputClock GetOutputClock() const;
  // Newest mixed frame that the last GetSpectrum analysed.
  std::int64_t LastAnalysedFrame() const { return m_lastAnalysedFrame; }
  // Output frames covered by one device buffer (0 when offline).
  int DeviceBufferFrames() const { return m_deviceFrames; }

 private:
  struct Stream;
  struct Sample;
  struct Channel {
    int sample = 0;          // sample handle, 0 when free
    double position = 0.0;   // in sample frames
    double step = 1.0;       // sample frames per output frame
  };

  Stream* FindStream(StreamHandle handle) const;
  Sample* FindSample(SampleHandle handle) const;
  // Decodes ahead into a stream's ring; the caller holds m_decodeMutex.
  void FillStream(Stream& stream);
  void MixBlock(float* out, int frames);
  void DecoderThread();
  bool OpenDevice();
  std::int64_t HeardFrameLocked(std::chrono::steady_clock::time_point now) const;
  void WriteCapture(const std::int16_t* data, std::size_t count);
  static void AudioCallback(void* user, std::uint8_t* bytes, int length);
  static void CaptureCallback(void* user, std::uint8_t* bytes, int length);

  SoundBackend m_backend;
  bool m_initialized = false;
  bool m_dummyDriver = false;
  int m_error = kSoundOk;
  int m_bufferMs = 50;
  int m_channelCount = 2;
  std::atomic<bool> m_fftActive{false};
  std::atomic<int> m_masterVolume{255};

  // Device backend.
  std::uint32_t m_outputDevice = 0;
  std::uint32_t m_captureDevice = 0;
  int m_deviceFrames = 0;
  int m_deviceQueueFrames = 0;  // estimated frames queued after the callback
  std::thread m_decoder;
  std::condition_variable m_decodeWake;
  bool m_stopDecoder = false;

  // Lock order: m_decodeMutex, then m_mixMutex.
  mutable std::mutex m_decodeMutex;
  mutable std::mutex m_mixMutex;
  std::vector<std::unique_ptr<Stream>> m_streams;   // fixed table
  std::vector<std::unique_ptr<Sample>> m_samples;   // fixed table
  std::vector<Channel> m_channels;                  // 0 = stream channel
  StreamHandle m_channelStream = 0;                 // stream on channel 0
  SampleHandle m_recordSample = 0;
  bool m_recordLoop = false;
  std::size_t m_recordPosition = 0;

  // What has been heard: the mono mix before the master volume.
  static constexpr int kHistorySize = 16384;
  std::array<float, kHistorySize> m_history{};
  std::int64_t m_framesMixed = 0;
  std::int64_t m_lastBlockFrames = 0;
  std::chrono::steady_clock::time_point m_lastBlockTime{};
  std::int64_t m_lastAnalysedFrame = 0;
  double m_pendingFrames = 0.0;
  std::vector<float> m_mixScratch;

  // FFT, prepared once.
  struct Fft;
  std::unique_ptr<Fft> m_fft;
  std::array<float, kSpectrumSize> m_spectrum{};
};

}  // namespace mv::audio
