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
// What is analysed is what the listener hears: the output mix at the
// position the output device is playing (see HeardModel), or, while live
// input is monitored, the capture itself (the room hears the performer, not
// the delayed monitor). Either goes through a DC-blocking high-pass first.
//
// Everything here is called from the main thread. State shared with the
// decoder thread is guarded by a decoding mutex, state shared with the audio
// callbacks by a mixing mutex (always taken in that order), each held only
// for one chunk of decoding or one short copy.
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/HighPass.h"
#include "audio/LiveRing.h"

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

// The analysis offset a user may set: positive trails the output more (a
// sink that holds more than the system knows of), negative less.
constexpr int kMaxAnalysisOffsetMs = 1000;

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

// How the device backend knows which output frame is being heard.
enum class HeardModel {
  Mixed,       // offline: a frame is heard once it is mixed
  HandedOver,  // SDL's dummy and disk drivers: a block is "heard" (written
               // out) right after the callback hands it over
  Played,      // a sound card: the latest block starts to play after what
               // the device still holds, then runs at the output rate
};

// Which signal the last spectrum was taken from.
enum class AnalysedSignal { None, Output, Capture };

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

  // A sample channel's own volume (0..255), on top of the master volume.
  bool SetChannelVolume(int channel, int volume);

  // Recording into a sample, wrapping at its end when looping. The device
  // backend captures from the chosen capture device (the default one when
  // none is chosen or the chosen one is gone); the offline backend takes
  // what FeedCapture gives it. A channel that plays the sample being
  // recorded reads the live ring a steady distance behind the capture.
  bool RecordStartSample(SampleHandle sample, bool loop);
  bool RecordStop();
  bool IsRecording() const { return m_recordSample != 0; }
  // One capture block, as a capture callback would deliver it.
  void FeedCapture(const float* mono, std::size_t count);

  // Capture devices by the names SDL lists (monitor sources included where
  // the sound server offers them); empty on the offline backend.
  std::vector<std::string> CaptureDeviceNames() const;
  // The device the next RecordStartSample opens; empty: the default one.
  void SetCaptureDevice(std::string name) { m_captureName = std::move(name); }
  const std::string& CaptureDevice() const { return m_captureName; }
  // The device actually recording: the chosen name, or empty for the
  // default device (also after a chosen one failed to open).
  const std::string& CaptureDeviceOpened() const { return m_captureOpened; }

  struct LiveStatus {
    std::int64_t captured = 0;  // frames captured since recording started
    double distance = 0.0;      // frames the monitor trails the capture by
    int targetDistance = 0;
    int resyncs = 0;
    double trim = 0.0;          // monitor read rate - 1
    bool running = false;
  };
  LiveStatus GetLiveStatus() const;

  // The FFT unit: GetSpectrum answers only while it is active.
  void SetFftActive(bool active) { m_fftActive = active; }
  bool IsFftActive() const { return m_fftActive; }

  // 512 magnitudes of the 1024 samples that end where the listener is now
  // (moved by the analysis offset): the DC-blocked mono mix before the
  // master volume, or the DC-blocked capture while live input is monitored.
  // Null when not initialised, the FFT unit is off or nothing plays. The
  // array belongs to the sound system and stays valid until the next call.
  const float* GetSpectrum();

  // Milliseconds the analysed window trails the heard position by, clamped
  // to +-kMaxAnalysisOffsetMs. The window never reaches past the newest
  // frame mixed (or captured).
  void SetAnalysisOffsetMs(int milliseconds);
  int AnalysisOffsetMs() const { return m_offsetMs; }

  // Offline backend: decode and mix `seconds` of output (fractions of a
  // frame carry over to the next call). No effect on the device backend.
  void Advance(double seconds);

  // Mixes `frames` stereo frames into `out`: one output request (a device
  // block). The audio callback's body; tests call it directly.
  void Mix(float* out, int frames);

  // Where the output stands, for latency measurements.
  struct OutputClock {
    std::int64_t framesMixed = 0;     // frames mixed so far
    std::int64_t framesHanded = 0;    // frames of the blocks handed to the output
    std::int64_t lastBlockFrames = 0; // size of the latest block
    std::chrono::steady_clock::time_point lastBlockTime{};
    std::int64_t heardFrame = 0;      // newest frame the listener hears now
    std::int64_t streamFrames = -1;   // channel 0's stream position after the latest block
  };
  OutputClock GetOutputClock() const;
  // One past the newest frame the last GetSpectrum analysed: an output
  // frame, or a captured frame when the capture was analysed.
  std::int64_t LastAnalysedFrame() const { return m_lastAnalysedFrame; }
  AnalysedSignal LastAnalysedSignal() const { return m_lastAnalysedSignal; }
  // Output frames covered by one device buffer (0 when offline).
  int DeviceBufferFrames() const { return m_deviceFrames; }
  // SDL's audio driver ("dummy", "disk", "alsa", "pulseaudio", ...), empty
  // when offline.
  const std::string& DriverName() const { return m_driver; }
  HeardModel GetHeardModel() const { return m_heardModel; }
  // Frames a real device still holds ahead of the latest block: what SDL's
  // driver keeps queued, or more when the first callbacks showed more.
  int OutputQueueFrames() const;
  // Frames the first callbacks ran ahead of real time (the device filling
  // its buffer), measured.
  int MeasuredLeadFrames() const;

 private:
  struct Stream;
  struct Sample;
  struct Channel {
    int sample = 0;          // sample handle, 0 when free
    double position = 0.0;   // in sample frames
    double step = 1.0;       // sample frames per output frame
    float gain = 1.0f;       // the channel's volume
  };

  Stream* FindStream(StreamHandle handle) const;
  Sample* FindSample(SampleHandle handle) const;
  // Decodes ahead into a stream's ring; the caller holds m_decodeMutex.
  void FillStream(Stream& stream);
  void BeginRequest(int frames);
  void MixFrames(float* out, int frames);
  void EndRequest(int frames);
  void MixBlock(float* out, int frames);
  void DecoderThread();
  bool OpenDevice();
  std::int64_t HeardFrameLocked(std::chrono::steady_clock::time_point now) const;
  bool LiveMonitoredLocked() const;
  int OutputQueueFramesLocked() const;
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
  int m_captureFrames = 0;
  std::string m_driver;
  HeardModel m_heardModel = HeardModel::Mixed;
  int m_driverQueueFrames = 0;  // what SDL's driver keeps queued after a block
  std::string m_captureName;
  std::string m_captureOpened;
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

  // What has been heard: the DC-blocked mono mix before the master volume,
  // long enough for the largest analysis offset.
  static constexpr int kHistorySize = 1 << 16;
  std::vector<float> m_history;
  HighPass m_historyFilter;
  std::int64_t m_framesMixed = 0;
  std::int64_t m_framesHanded = 0;
  std::int64_t m_lastBlockFrames = 0;
  std::chrono::steady_clock::time_point m_lastBlockTime{};
  // The first callbacks of a device, for its measured lead.
  std::chrono::steady_clock::time_point m_firstBlockTime{};
  int m_leadSamples = 0;
  double m_maxLead = 0.0;
  std::int64_t m_lastAnalysedFrame = 0;
  AnalysedSignal m_lastAnalysedSignal = AnalysedSignal::None;
  int m_offsetMs = 0;
  double m_pendingFrames = 0.0;
  std::vector<float> m_mixScratch;
  std::vector<float> m_liveScratch;
  std::vector<std::int16_t> m_feedScratch;
  std::unique_ptr<LiveRing> m_live;

  // FFT, prepared once.
  struct Fft;
  std::unique_ptr<Fft> m_fft;
  std::array<float, kSpectrumSize> m_spectrum{};
};

}  // namespace mv::audio
