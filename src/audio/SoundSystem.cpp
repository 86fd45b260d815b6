#include "audio/SoundSystem.h"

#include <SDL.h>
#ifdef MV_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>

#include <kiss_fftr.h>

#include "audio/Decoders.h"
#include "io/Log.h"

namespace mv::audio {

namespace {

constexpr int kMaxStreams = 16;
constexpr int kMaxSamples = 16;
constexpr int kMaxChannels = 32;
constexpr int kMaxSampleFrames = 1 << 22;
constexpr long kRingFrames = kOutputRate / 2;  // half a second decoded ahead
constexpr long kDecodeChunk = 2048;
constexpr int kMixChunk = 1024;
// A block handed to the dummy or disk driver is written out right after the
// callback returns; until this long after, it counts as not yet heard, so
// the analysis never runs ahead of what was written.
constexpr auto kHandOverGrace = std::chrono::milliseconds(2);
// Callbacks that measure how far a device runs ahead at its start.
constexpr int kLeadCallbacks = 16;

const char* const kErrorTexts[] = {
    "No errors",
    "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
    "This command failed because FSOUND_Init was not called",
    "Error initializing output device.",
    "The output device is already in use and cannot be reused.",
    "Playing the sound failed.",
    "Soundcard does not support the features needed for this soundsystem (16bit stereo output)",
    "Error setting cooperative level for hardware.",
    "Error creating hardware sound buffer.",
    "File not found",
    "Unknown file format",
    "Error loading file",
    "Not enough memory ",
    "The version number of this file format is not supported",
    "An invalid parameter was passed to this function",
    "Tried to use an EAX command on a non EAX enabled channel or output.",
    "Failed to allocate a new channel",
    "Recording not supported on this device",
    "Required Mediaplayer codec is not installed",
};

int ErrorFor(DecoderError error) {
  switch (error) {
    case DecoderError::NotFound: return kSoundErrFileNotFound;
    case DecoderError::UnknownFormat: return kSoundErrFileFormat;
    case DecoderError::OutOfMemory: return kSoundErrMemory;
    default: return kSoundErrFileBad;
  }
}

}  // namespace

const char* SoundErrorText(int code) {
  if (code < 0 || code >= int(std::size(kErrorTexts))) return "Unknown error";
  return kErrorTexts[code];
}

struct SoundSystem::Stream {
  std::unique_ptr<Decoder> decoder;
  std::vector<float> ring;     // stereo frames, kRingFrames of them
  long ringRead = 0;           // first frame to mix
  long ringCount = 0;          // frames ready
  bool decodeEnded = false;    // the decoder has nothing more (end or error)
  bool playing = false;
  bool atEnd = false;          // played through to its end
  std::int64_t consumed = 0;   // output frames mixed from it (its position)
};

struct SoundSystem::Fft {
  kiss_fftr_cfg cfg = kiss_fftr_alloc(kFftSize, 0, nullptr, nullptr);
  std::array<float, kFftSize> window{};
  std::array<float, kFftSize> in{};
  std::array<kiss_fft_cpx, kFftSize / 2 + 1> out{};
  Fft() {
    // Periodic Hann window: a sine centred on a bin keeps its full coherent
    // gain of one half there.
    for (int n = 0; n < kFftSize; ++n)
      window[std::size_t(n)] = float(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / kFftSize));
  }
  ~Fft() { kiss_fftr_free(cfg); }
  Fft(const Fft&) = delete;
  Fft& operator=(const Fft&) = delete;
};

struct SoundSystem::Sample {
  std::vector<std::int16_t> data;
  unsigned mode = kModeLoopOff;
  int frequency = kOutputRate;
  int loopStart = 0;
  int loopEnd = 0;
};

SoundSystem::SoundSystem(SoundBackend backend) : m_backend(backend) {
  m_streams.resize(kMaxStreams);
  m_samples.resize(kMaxSamples);
  m_channels.resize(std::size_t(m_channelCount));
  m_mixScratch.resize(std::size_t(kMixChunk) * 2);
  m_liveScratch.resize(std::size_t(kMixChunk));
  m_history.assign(std::size_t(kHistorySize), 0.0f);
  m_live = std::make_unique<LiveRing>();
  m_fft = std::make_unique<Fft>();
}

SoundSystem::~SoundSystem() { Close(); }

bool SoundSystem::SetMixer(int) {
  if (m_initialized) { m_error = kSoundErrBusy; return false; }
  return true;
}

bool SoundSystem::SetDriver(int) {
  if (m_initialized) { m_error = kSoundErrBusy; return false; }
  return true;
}

bool SoundSystem::SetOutput(int) {
  if (m_initialized) { m_error = kSoundErrBusy; return false; }
  return true;
}

bool SoundSystem::SetBufferSize(int milliseconds) {
  if (m_initialized) { m_error = kSoundErrBusy; return false; }
  if (milliseconds < 1 || milliseconds > 1000) { m_error = kSoundErrInvalidParam; return false; }
  m_bufferMs = milliseconds;
  return true;
}

bool SoundSystem::Init(int rate, int channels, unsigned) {
  if (m_initialized) { m_error = kSoundErrBusy; return false; }
  // The mixer runs at one rate; streams are converted to it when decoded.
  if (rate != kOutputRate || channels < 1 || channels > kMaxChannels) {
    m_error = kSoundErrInvalidParam;
    return false;
  }
  m_channelCount = std::max(2, channels);
  {
    std::lock_guard lock(m_mixMutex);
    m_channels.assign(std::size_t(m_channelCount), Channel{});
    m_channelStream = 0;
    std::fill(m_history.begin(), m_history.end(), 0.0f);
    m_historyFilter.Reset();
    m_framesMixed = 0;
    m_framesHanded = 0;
    m_lastBlockFrames = 0;
    m_lastBlockTime = std::chrono::steady_clock::now();
    m_leadSamples = 0;
    m_maxLead = 0.0;
  }
  m_pendingFrames = 0.0;
  m_lastAnalysedFrame = 0;
  m_lastAnalysedSignal = AnalysedSignal::None;
  if (m_backend == SoundBackend::Device) {
    if (!OpenDevice()) {
      m_error = kSoundErrInit;
      return false;
    }
    m_stopDecoder = false;
    m_decoder = std::thread(&SoundSystem::DecoderThread, this);
    SDL_PauseAudioDevice(m_outputDevice, 0);
  }
  m_initialized = true;
  m_error = kSoundOk;
  return true;
}

#ifdef MV_HAVE_ALSA
namespace {
// ALSA prints every failed probe of a missing card; the fallback below is
// logged once instead.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}
}  // namespace
#endif

bool SoundSystem::OpenDevice() {
#ifdef MV_HAVE_ALSA
  snd_lib_error_set_handler(&QuietAlsaErrors);
#endif
  // The device buffer: the largest power of two within the buffer time.
  int frames = 256;
  while (frames * 2 <= kOutputRate * m_bufferMs / 1000) frames *= 2;
  SDL_AudioSpec want{};
  want.freq = kOutputRate;
  want.format = AUDIO_F32SYS;
  want.channels = 2;
  want.samples = Uint16(frames);
  want.callback = &SoundSystem::AudioCallback;
  want.userdata = this;
  SDL_AudioSpec have{};
  // PulseAudio's monitor sources ("what you hear") are capture devices too.
  SDL_SetHint(SDL_HINT_AUDIO_INCLUDE_MONITORS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    m_outputDevice = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (m_outputDevice == 0) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  if (m_outputDevice == 0) {
    // No sound card (or no usable driver): SDL's dummy driver consumes the
    // output at real-time pace, so streams still advance and the spectrum
    // still follows them.
    Log(std::string("Sound: no output device (") + SDL_GetError() +
        "), playing through the dummy driver\n");
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    int failed = SDL_InitSubSystem(SDL_INIT_AUDIO);
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    if (failed != 0) return false;
    m_outputDevice = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (m_outputDevice == 0) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
  }
  const char* driver = SDL_GetCurrentAudioDriver();
  m_driver = driver ? driver : "";
  m_dummyDriver = m_driver == "dummy";
  m_deviceFrames = have.samples > 0 ? have.samples : want.samples;
  // What each of SDL's drivers keeps between the callback and the listener.
  // The dummy and disk drivers write a block out as soon as it is mixed,
  // then sleep for its length. SDL's ALSA driver writes the block into a
  // two-period buffer, blocking while it is full, and mixes the next one at
  // once: a block starts to play two periods after it is mixed. The sound
  // servers (PulseAudio, PipeWire) are asked for one block of latency; what
  // they add on top is unknown here, which is what the analysis offset is for.
  if (m_driver == "dummy" || m_driver == "disk") {
    m_heardModel = HeardModel::HandedOver;
    m_driverQueueFrames = 0;
  } else {
    m_heardModel = HeardModel::Played;
    m_driverQueueFrames = (m_driver == "alsa" ? 2 : 1) * m_deviceFrames;
  }
  Log("Sound: output through SDL's \"" + m_driver + "\" driver, " +
      std::to_string(m_deviceFrames) + "-frame blocks\n");
  return true;
}

void SoundSystem::Close() {
  if (!m_initialized) return;
  if (m_backend == SoundBackend::Device) {
    {
      std::lock_guard lock(m_decodeMutex);
      m_stopDecoder = true;
    }
    m_decodeWake.notify_all();
    if (m_decoder.joinable()) m_decoder.join();
    if (m_captureDevice) SDL_CloseAudioDevice(m_captureDevice);
    m_captureDevice = 0;
    m_captureOpened.clear();
    if (m_outputDevice) SDL_CloseAudioDevice(m_outputDevice);
    m_outputDevice = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  std::lock_guard decode(m_decodeMutex);
  std::lock_guard mix(m_mixMutex);
  for (auto& s : m_streams) s.reset();
  for (auto& s : m_samples) s.reset();
  for (auto& c : m_channels) c = Channel{};
  m_channelStream = 0;
  m_recordSample = 0;
  m_initialized = false;
}

SoundSystem::Stream* SoundSystem::FindStream(StreamHandle handle) const {
  if (handle < 1 || handle > int(m_streams.size())) return nullptr;
  return m_streams[std::size_t(handle - 1)].get();
}

SoundSystem::Sample* SoundSystem::FindSample(SampleHandle handle) const {
  if (handle < 1 || handle > int(m_samples.size())) return nullptr;
  return m_samples[std::size_t(handle - 1)].get();
}

StreamHandle SoundSystem::StreamOpenFile(const std::filesystem::path& path, unsigned, int) {
  if (!m_initialized) { m_error = kSoundErrUninitialized; return 0; }
  int slot = -1;
  {
    std::lock_guard lock(m_mixMutex);
    for (int i = 0; i < int(m_streams.size()); ++i)
      if (!m_streams[std::size_t(i)]) { slot = i; break; }
  }
  if (slot < 0) { m_error = kSoundErrMemory; return 0; }
  DecoderError error = DecoderError::None;
  auto decoder = OpenDecoder(path, kOutputRate, &error);
  if (!decoder) {
    m_error = ErrorFor(error);
    Log("Sound: cannot open stream " + path.string() + "\n");
    return 0;
  }
  auto stream = std::make_unique<Stream>();
  stream->decoder = std::move(decoder);
  stream->ring.assign(std::size_t(kRingFrames) * 2, 0.0f);
  {
    std::lock_guard decode(m_decodeMutex);
    std::lock_guard mix(m_mixMutex);
    m_streams[std::size_t(slot)] = std::move(stream);
  }
  m_decodeWake.notify_all();
  m_error = kSoundOk;
  return slot + 1;
}

int SoundSystem::StreamPlay(int channel, StreamHandle handle) {
  if (!m_initialized) { m_error = kSoundErrUninitialized; return -1; }
  if (channel != kStreamChannel && channel != kFreeChannel) {
    m_error = kSoundErrInvalidParam;
    return -1;
  }
  Stream* stream = FindStream(handle);
  if (!stream) { m_error = kSoundErrInvalidParam; return -1; }
  bool rewind = false;
  {
    std::lock_guard lock(m_mixMutex);
    rewind = stream->atEnd;
  }
  // A stream that played to its end starts again from the beginning.
  if (rewind) StreamSetPosition(handle, 0);
  {
    std::lock_guard lock(m_mixMutex);
    if (Stream* other = FindStream(m_channelStream); other && other != stream)
      other->playing = false;
    m_channelStream = handle;
    stream->playing = true;
    stream->atEnd = false;
  }
  m_decodeWake.notify_all();
  m_error = kSoundOk;
  return kStreamChannel;
}

bool SoundSystem::StreamStop(StreamHandle handle) {
  std::lock_guard lock(m_mixMutex);
  Stream* stream = FindStream(handle);
  if (!stream) { m_error = kSoundErrInvalidParam; return false; }
  stream->playing = false;
  return true;
}

bool SoundSystem::StreamClose(StreamHandle handle) {
  std::unique_ptr<Stream> closed;
  {
    std::lock_guard decode(m_decodeMutex);
    std::lock_guard mix(m_mixMutex);
    if (!FindStream(handle)) { m_error = kSoundErrInvalidParam; return false; }
    closed = std::move(m_streams[std::size_t(handle - 1)]);
    if (m_channelStream == handle) m_channelStream = 0;
  }
  return true;
}

bool SoundSystem::StreamSetPosition(StreamHandle handle, std::uint32_t frame) {
  std::lock_guard decode(m_decodeMutex);
  Stream* stream = FindStream(handle);
  if (!stream) { m_error = kSoundErrInvalidParam; return false; }
  bool ok = stream->decoder->Seek(std::int64_t(frame));
  {
    std::lock_guard mix(m_mixMutex);
    stream->ringRead = 0;
    stream->ringCount = 0;
    stream->consumed = frame;
    stream->decodeEnded = !ok;
    stream->atEnd = false;
  }
  m_decodeWake.notify_all();
  if (!ok) m_error = kSoundErrFileBad;
  return ok;
}

bool SoundSystem::StreamSetTime(StreamHandle handle, int milliseconds) {
  if (milliseconds < 0) { m_error = kSoundErrInvalidParam; return false; }
  auto frame = std::int64_t(milliseconds) * kOutputRate / 1000;
  return StreamSetPosition(handle, std::uint32_t(std::min<std::int64_t>(frame, UINT32_MAX)));
}

int SoundSystem::StreamGetTime(StreamHandle handle) const {
  std::lock_guard lock(m_mixMutex);
  Stream* stream = FindStream(handle);
  if (!stream) return -1;
  return int(stream->consumed * 1000 / kOutputRate);
}

bool SoundSystem::IsPlaying(int channel) const {
  std::lock_guard lock(m_mixMutex);
  if (channel == kStreamChannel) {
    Stream* stream = FindStream(m_channelStream);
    return stream && stream->playing;
  }
  if (channel < 0 || channel >= int(m_channels.size())) return false;
  return m_channels[std::size_t(channel)].sample != 0;
}

void SoundSystem::SetSfxMasterVolume(int volume) {
  m_masterVolume = std::clamp(volume, 0, 255);
}

SampleHandle SoundSystem::SampleAlloc(int index, int length, unsigned mode, int frequency,
                                      int, int, int) {
  if (!m_initialized) { m_error = kSoundErrUninitialized; return 0; }
  if (length < 1 || length > kMaxSampleFrames || frequency < 1 || frequency > 192000 ||
      index < -1 || index >= kMaxSamples) {
    m_error = kSoundErrInvalidParam;
    return 0;
  }
  auto sample = std::make_unique<Sample>();
  sample->data.assign(std::size_t(length), 0);
  sample->mode = mode;
  sample->frequency = frequency;
  sample->loopEnd = length;
  std::lock_guard lock(m_mixMutex);
  int slot = index;
  if (slot < 0) {
    for (int i = 0; i < kMaxSamples; ++i)
      if (!m_samples[std::size_t(i)]) { slot = i; break; }
    if (slot < 0) { m_error = kSoundErrMemory; return 0; }
  }
  // Replacing a sample silences the channels and the recording that use it.
  for (auto& c : m_channels)
    if (c.sample == slot + 1) c = Channel{};
  if (m_recordSample == slot + 1) m_recordSample = 0;
  m_samples[std::size_t(slot)] = std::move(sample);
  m_error = kSoundOk;
  return slot + 1;
}

void SoundSystem::SampleFree(SampleHandle handle) {
  std::lock_guard lock(m_mixMutex);
  if (!FindSample(handle)) return;
  for (auto& c : m_channels)
    if (c.sample == handle) c = Channel{};
  if (m_recordSample == handle) m_recordSample = 0;
  m_samples[std::size_t(handle - 1)].reset();
}

bool SoundSystem::SampleSetLoopPoints(SampleHandle handle, int start, int end) {
  std::lock_guard lock(m_mixMutex);
  Sample* sample = FindSample(handle);
  int length = sample ? int(sample->data.size()) : 0;
  if (!sample || start < 0 || end <= start || end > length) {
    m_error = kSoundErrInvalidParam;
    return false;
  }
  sample->loopStart = start;
  sample->loopEnd = end;
  return true;
}

bool SoundSystem::SampleSetMode(SampleHandle handle, unsigned mode) {
  std::lock_guard lock(m_mixMutex);
  Sample* sample = FindSample(handle);
  if (!sample) { m_error = kSoundErrInvalidParam; return false; }
  sample->mode = mode;
  return true;
}

int SoundSystem::PlaySound(int channel, SampleHandle handle) {
  if (!m_initialized) { m_error = kSoundErrUninitialized; return -1; }
  std::lock_guard lock(m_mixMutex);
  Sample* sample = FindSample(handle);
  if (!sample) { m_error = kSoundErrInvalidParam; return -1; }
  if (channel == kFreeChannel) {
    for (int i = 1; i < int(m_channels.size()); ++i)
      if (m_channels[std::size_t(i)].sample == 0) { channel = i; break; }
    if (channel == kFreeChannel) { m_error = kSoundErrChannelAlloc; return -1; }
  } else if (channel < 1 || channel >= int(m_channels.size())) {
    m_error = kSoundErrInvalidParam;
    return -1;
  }
  Channel& c = m_channels[std::size_t(channel)];
  c.sample = handle;
  c.position = 0.0;
  c.step = double(sample->frequency) / kOutputRate;
  c.gain = 1.0f;
  m_error = kSoundOk;
  return channel;
}

bool SoundSystem::SetChannelVolume(int channel, int volume) {
  std::lock_guard lock(m_mixMutex);
  if (channel < 1 || channel >= int(m_channels.size())) {
    m_error = kSoundErrInvalidParam;
    return false;
  }
  m_channels[std::size_t(channel)].gain = float(std::clamp(volume, 0, 255)) / 255.0f;
  return true;
}

bool SoundSystem::StopSound(int channel) {
  std::lock_guard lock(m_mixMutex);
  if (channel == kStreamChannel) {
    if (Stream* stream = FindStream(m_channelStream)) stream->playing = false;
    return true;
  }
  if (channel < 0 || channel >= int(m_channels.size())) {
    m_error = kSoundErrInvalidParam;
    return false;
  }
  m_channels[std::size_t(channel)] = Channel{};
  return true;
}

int SoundSystem::GetFrequency(int channel) const {
  std::lock_guard lock(m_mixMutex);
  if (channel == kStreamChannel) return kOutputRate;
  if (channel < 0 || channel >= int(m_channels.size())) return 0;
  const Sample* sample = FindSample(m_channels[std::size_t(channel)].sample);
  return sample ? sample->frequency : 0;
}

bool SoundSystem::RecordStartSample(SampleHandle handle, bool loop) {
  if (!m_initialized) { m_error = kSoundErrUninitialized; return false; }
  {
    std::lock_guard lock(m_mixMutex);
    if (!FindSample(handle)) { m_error = kSoundErrInvalidParam; return false; }
  }
  if (m_backend == SoundBackend::Device && m_captureDevice == 0) {
    SDL_AudioSpec want{};
    want.freq = kOutputRate;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = 512;
    want.callback = &SoundSystem::CaptureCallback;
    want.userdata = this;
    SDL_AudioSpec have{};
    m_captureOpened.clear();
    if (!m_captureName.empty()) {
      m_captureDevice = SDL_OpenAudioDevice(m_captureName.c_str(), 1, &want, &have, 0);
      if (m_captureDevice != 0) {
        m_captureOpened = m_captureName;
      } else {
        // A device unplugged since it was chosen: the show goes on with the
        // default input.
        Log("Sound: capture device \"" + m_captureName + "\" not available (" + SDL_GetError() +
            "), recording from the default device\n");
      }
    }
    if (m_captureDevice == 0) m_captureDevice = SDL_OpenAudioDevice(nullptr, 1, &want, &have, 0);
    if (m_captureDevice == 0) {
      Log(std::string("Sound: no capture device: ") + SDL_GetError() + "\n");
      m_error = kSoundErrRecord;
      return false;
    }
    m_captureFrames = have.samples > 0 ? have.samples : want.samples;
    Log("Sound: recording from " +
        (m_captureOpened.empty() ? std::string("the default capture device")
                                 : "\"" + m_captureOpened + "\"") +
        ", " + std::to_string(m_captureFrames) + "-frame blocks\n");
  }
  {
    std::lock_guard lock(m_mixMutex);
    m_recordSample = handle;
    m_recordLoop = loop;
    m_recordPosition = 0;
    const bool device = m_backend == SoundBackend::Device;
    m_live->Reset(device ? m_deviceFrames : 0, device ? m_captureFrames : 0);
  }
  if (m_captureDevice) SDL_PauseAudioDevice(m_captureDevice, 0);
  m_error = kSoundOk;
  return true;
}

bool SoundSystem::RecordStop() {
  if (m_captureDevice) {
    SDL_CloseAudioDevice(m_captureDevice);
    m_captureDevice = 0;
  }
  m_captureOpened.clear();
  std::lock_guard lock(m_mixMutex);
  bool was = m_recordSample != 0;
  m_recordSample = 0;
  return was;
}

std::vector<std::string> SoundSystem::CaptureDeviceNames() const {
  std::vector<std::string> names;
  if (m_backend != SoundBackend::Device || !m_initialized) return names;
  const int count = SDL_GetNumAudioDevices(1);
  for (int i = 0; i < count; ++i)
    if (const char* name = SDL_GetAudioDeviceName(i, 1)) names.emplace_back(name);
  return names;
}

SoundSystem::LiveStatus SoundSystem::GetLiveStatus() const {
  std::lock_guard lock(m_mixMutex);
  LiveStatus status;
  status.captured = m_live->Written();
  status.distance = m_live->Distance();
  status.targetDistance = m_live->TargetDistance();
  status.resyncs = m_live->Resyncs();
  status.trim = m_live->Trim();
  status.running = m_live->Running();
  return status;
}

void SoundSystem::WriteCapture(const std::int16_t* data, std::size_t count) {
  std::lock_guard lock(m_mixMutex);
  Sample* sample = FindSample(m_recordSample);
  if (!sample) return;
  m_live->Write(data, count);
  // The recording sample loops as it always has; only a channel that plays
  // it while it is recorded reads the live ring instead.
  for (std::size_t i = 0; i < count; ++i) {
    if (m_recordPosition >= sample->data.size()) {
      if (!m_recordLoop) { m_recordSample = 0; return; }
      m_recordPosition = 0;
    }
    sample->data[m_recordPosition++] = data[i];
  }
}

void SoundSystem::FeedCapture(const float* mono, std::size_t count) {
  m_feedScratch.resize(count);
  for (std::size_t i = 0; i < count; ++i)
    m_feedScratch[i] = std::int16_t(std::lround(std::clamp(mono[i], -1.0f, 1.0f) * 32767.0f));
  WriteCapture(m_feedScratch.data(), count);
}

void SoundSystem::CaptureCallback(void* user, std::uint8_t* bytes, int length) {
  auto* self = static_cast<SoundSystem*>(user);
  self->WriteCapture(reinterpret_cast<const std::int16_t*>(bytes),
                     std::size_t(length) / sizeof(std::int16_t));
}

void SoundSystem::AudioCallback(void* user, std::uint8_t* bytes, int length) {
  auto* self = static_cast<SoundSystem*>(user);
  self->Mix(reinterpret_cast<float*>(bytes), length / int(2 * sizeof(float)));
  self->m_decodeWake.notify_one();
}

void SoundSystem::FillStream(Stream& stream) {
  float block[kDecodeChunk * 2];
  for (;;) {
    {
      std::lock_guard lock(m_mixMutex);
      if (stream.decodeEnded || kRingFrames - stream.ringCount < kDecodeChunk) return;
    }
    long got = stream.decoder->Read(block, kDecodeChunk);
    std::lock_guard lock(m_mixMutex);
    if (got <= 0) {
      // The end of the track, or a decoding error: either ends it.
      stream.decodeEnded = true;
      return;
    }
    long write = (stream.ringRead + stream.ringCount) % kRingFrames;
    for (long f = 0; f < got; ++f) {
      // A corrupt file may decode to NaN or infinity: heard as silence.
      float l = block[f * 2], r = block[f * 2 + 1];
      stream.ring[std::size_t(write) * 2] = std::isfinite(l) ? std::clamp(l, -8.0f, 8.0f) : 0.0f;
      stream.ring[std::size_t(write) * 2 + 1] = std::isfinite(r) ? std::clamp(r, -8.0f, 8.0f) : 0.0f;
      if (++write == kRingFrames) write = 0;
    }
    stream.ringCount += got;
  }
}

void SoundSystem::DecoderThread() {
  std::unique_lock lock(m_decodeMutex);
  while (!m_stopDecoder) {
    for (auto& stream : m_streams)
      if (stream) FillStream(*stream);
    m_decodeWake.wait_for(lock, std::chrono::milliseconds(10));
  }
}

void SoundSystem::Advance(double seconds) {
  if (m_backend != SoundBackend::Offline || !m_initialized || !(seconds > 0.0)) return;
  m_pendingFrames += std::min(seconds, 10.0) * kOutputRate;
  auto frames = std::int64_t(m_pendingFrames);
  m_pendingFrames -= double(frames);
  if (frames == 0) return;
  // One request, as a device asking for this much at once.
  BeginRequest(int(frames));
  for (std::int64_t left = frames; left > 0;) {
    int n = int(std::min<std::int64_t>(left, kMixChunk));
    MixFrames(m_mixScratch.data(), n);
    left -= n;
  }
  EndRequest(int(frames));
}

void SoundSystem::Mix(float* out, int frames) {
  if (frames <= 0) return;
  BeginRequest(frames);
  MixFrames(out, frames);
  EndRequest(frames);
}

void SoundSystem::BeginRequest(int frames) {
  std::lock_guard lock(m_mixMutex);
  if (m_backend == SoundBackend::Device && m_leadSamples < kLeadCallbacks) {
    // A device that fills a buffer at its start asks for blocks faster than
    // real time: how far ahead it got is what it holds.
    const auto now = std::chrono::steady_clock::now();
    if (m_leadSamples == 0) m_firstBlockTime = now;
    const double elapsed = std::chrono::duration<double>(now - m_firstBlockTime).count();
    m_maxLead = std::max(m_maxLead, double(m_framesHanded) - elapsed * kOutputRate);
    ++m_leadSamples;
  }
  if (m_recordSample != 0) m_live->BeginRequest(frames);
}

void SoundSystem::EndRequest(int frames) {
  std::lock_guard lock(m_mixMutex);
  m_framesHanded += frames;
  m_lastBlockFrames = frames;
  m_lastBlockTime = std::chrono::steady_clock::now();
}

void SoundSystem::MixFrames(float* out, int frames) {
  while (frames > 0) {
    const int n = std::min(frames, kMixChunk);
    if (m_backend == SoundBackend::Offline) {
      // No decoder thread: decode what this chunk needs, right here.
      std::lock_guard decode(m_decodeMutex);
      Stream* stream = FindStream(m_channelStream);
      if (stream && stream->playing) FillStream(*stream);
    }
    MixBlock(out, n);
    out += std::size_t(n) * 2;
    frames -= n;
  }
}

void SoundSystem::MixBlock(float* out, int frames) {
  std::lock_guard lock(m_mixMutex);
  std::fill(out, out + std::size_t(frames) * 2, 0.0f);
  if (Stream* stream = FindStream(m_channelStream); stream && stream->playing) {
    long n = std::min<long>(frames, stream->ringCount);
    for (long f = 0; f < n; ++f) {
      long r = (stream->ringRead + f) % kRingFrames;
      out[f * 2] = stream->ring[std::size_t(r) * 2];
      out[f * 2 + 1] = stream->ring[std::size_t(r) * 2 + 1];
    }
    stream->ringRead = (stream->ringRead + n) % kRingFrames;
    stream->ringCount -= n;
    stream->consumed += n;
    if (stream->ringCount == 0 && stream->decodeEnded) {
      stream->playing = false;
      stream->atEnd = true;
    }
  }
  bool liveRead = false;
  for (std::size_t ch = 1; ch < m_channels.size(); ++ch) {
    Channel& c = m_channels[ch];
    const Sample* sample = FindSample(c.sample);
    if (!sample) continue;
    if (c.sample == m_recordSample) {
      // Monitoring the input: the live ring, a steady distance behind the
      // capture (read once per block, however many channels play it).
      if (!liveRead) m_live->Read(m_liveScratch.data(), frames);
      liveRead = true;
      for (int f = 0; f < frames; ++f) {
        const float v = m_liveScratch[std::size_t(f)] * c.gain;
        out[f * 2] += v;
        out[f * 2 + 1] += v;
      }
      continue;
    }
    const bool loop = (sample->mode & kModeLoopNormal) != 0;
    const double end = loop ? sample->loopEnd : double(sample->data.size());
    for (int f = 0; f < frames; ++f) {
      if (c.position >= end) {
        if (!loop) { c = Channel{}; break; }
        c.position = sample->loopStart + std::fmod(c.position - end, end - sample->loopStart);
      }
      float v = sample->data[std::size_t(c.position)] * (1.0f / 32768.0f) * c.gain;
      out[f * 2] += v;
      out[f * 2 + 1] += v;
      c.position += c.step;
    }
  }
  // What the listener hears, before the master volume: the visuals follow
  // the music even while the output is muted. DC-blocked for the analysis.
  const float gain = float(m_masterVolume.load()) / 255.0f;
  for (int f = 0; f < frames; ++f) {
    const float mono = 0.5f * (out[f * 2] + out[f * 2 + 1]);
    m_history[std::size_t((m_framesMixed + f) % kHistorySize)] = m_historyFilter.Process(mono);
    out[f * 2] *= gain;
    out[f * 2 + 1] *= gain;
  }
  m_framesMixed += frames;
}

int SoundSystem::OutputQueueFramesLocked() const {
  if (m_heardModel != HeardModel::Played) return 0;
  const int measured = int(std::clamp(m_maxLead, 0.0, 8.0 * m_deviceFrames));
  return std::max(m_driverQueueFrames, measured);
}

int SoundSystem::OutputQueueFrames() const {
  std::lock_guard lock(m_mixMutex);
  return OutputQueueFramesLocked();
}

int SoundSystem::MeasuredLeadFrames() const {
  std::lock_guard lock(m_mixMutex);
  return int(std::max(0.0, m_maxLead));
}

std::int64_t SoundSystem::HeardFrameLocked(std::chrono::steady_clock::time_point now) const {
  switch (m_heardModel) {
    case HeardModel::Mixed:
      return m_framesMixed;
    case HeardModel::HandedOver:
      // Written out (or discarded) right after the callback: the block
      // counts once that write has surely happened.
      return now - m_lastBlockTime >= kHandOverGrace ? m_framesHanded
                                                     : m_framesHanded - m_lastBlockFrames;
    case HeardModel::Played:
      break;
  }
  // The latest block starts to play after what the device still holds and
  // is heard at the output rate from then, never beyond its end.
  auto elapsed = std::chrono::duration<double>(now - m_lastBlockTime).count();
  auto into = std::clamp<std::int64_t>(std::int64_t(elapsed * kOutputRate), 0, m_lastBlockFrames);
  std::int64_t heard = m_framesHanded - m_lastBlockFrames - OutputQueueFramesLocked() + into;
  return std::max<std::int64_t>(0, heard);
}

bool SoundSystem::LiveMonitoredLocked() const {
  if (m_recordSample == 0) return false;
  for (std::size_t ch = 1; ch < m_channels.size(); ++ch)
    if (m_channels[ch].sample == m_recordSample) return true;
  return false;
}

SoundSystem::OutputClock SoundSystem::GetOutputClock() const {
  std::lock_guard lock(m_mixMutex);
  OutputClock clock;
  clock.framesMixed = m_framesMixed;
  clock.framesHanded = m_framesHanded;
  clock.lastBlockFrames = m_lastBlockFrames;
  clock.lastBlockTime = m_lastBlockTime;
  clock.heardFrame = HeardFrameLocked(std::chrono::steady_clock::now());
  if (Stream* stream = FindStream(m_channelStream)) clock.streamFrames = stream->consumed;
  return clock;
}

void SoundSystem::SetAnalysisOffsetMs(int milliseconds) {
  m_offsetMs = std::clamp(milliseconds, -kMaxAnalysisOffsetMs, kMaxAnalysisOffsetMs);
}

const float* SoundSystem::GetSpectrum() {
  if (!m_initialized || !m_fftActive || !m_fft->cfg) return nullptr;
  const std::int64_t offset = std::int64_t(std::llround(m_offsetMs * (kOutputRate / 1000.0)));
  std::int64_t end = 0;
  AnalysedSignal signal = AnalysedSignal::Output;
  {
    std::lock_guard lock(m_mixMutex);
    bool playing = false;
    if (Stream* stream = FindStream(m_channelStream)) playing = stream->playing;
    for (std::size_t ch = 1; ch < m_channels.size() && !playing; ++ch)
      playing = m_channels[ch].sample != 0;
    if (!playing) return nullptr;
    if (LiveMonitoredLocked()) {
      // The room hears the performer now; the monitor trails the capture.
      signal = AnalysedSignal::Capture;
      const std::int64_t newest = m_live->Written();
      end = std::clamp(newest - offset, newest - LiveRing::kFrames + kFftSize + 1, newest);
      for (int i = 0; i < kFftSize; ++i)
        m_fft->in[std::size_t(i)] = m_live->Filtered(end - kFftSize + i);
    } else {
      const std::int64_t heard = HeardFrameLocked(std::chrono::steady_clock::now());
      end = std::clamp(heard - offset, m_framesMixed - kHistorySize + kFftSize, m_framesMixed);
      for (int i = 0; i < kFftSize; ++i) {
        std::int64_t frame = end - kFftSize + i;
        m_fft->in[std::size_t(i)] = frame >= 0 ? m_history[std::size_t(frame % kHistorySize)] : 0.0f;
      }
    }
  }
  m_lastAnalysedFrame = end;
  m_lastAnalysedSignal = signal;
  for (std::size_t i = 0; i < std::size_t(kFftSize); ++i) m_fft->in[i] *= m_fft->window[i];
  kiss_fftr(m_fft->cfg, m_fft->in.data(), m_fft->out.data());
  // Scaling: a Hann-windowed sine of amplitude A centred on bin k gives
  // |X[k]| = A * N / 4, so magnitudes are multiplied by 4 / N and a
  // full-scale sine reads 1.0 in its bin (0.5 in each neighbour). Bin k is
  // k * 44100 / 1024 Hz; the Nyquist bin is left out. The high-pass has
  // taken DC out before.
  constexpr float scale = 4.0f / float(kFftSize);
  for (int k = 0; k < kSpectrumSize; ++k) {
    const kiss_fft_cpx& c = m_fft->out[std::size_t(k)];
    m_spectrum[std::size_t(k)] = std::sqrt(c.r * c.r + c.i * c.i) * scale;
  }
  return m_spectrum.data();
}

}  // namespace mv::audio
