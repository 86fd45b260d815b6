#include "audio/SoundManager.h"
#include "audio/SoundSection.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <queue>
#include <string>
#include <system_error>
#include <vector>

#include "io/BinaryIO.h"
#include "io/Log.h"
#include "io/Paths.h"
#include "io/Utf16.h"
#include "values/Sources.h"

using namespace mv::audio;

namespace {

constexpr std::size_t kMusicFolderLength = 12;  // "media\music\"
// Longest name whose track path still fits with its terminator.
constexpr std::size_t kMaxTrackName = SoundManager::kTrackPathSize - 1 - kMusicFolderLength;

// The file a stored 8-bit path names, or an empty path when it would leave
// the working folder. Names are taken as UTF-8 (else Windows-1252); a file
// whose name is neither is still found by its raw bytes.
std::filesystem::path TrackFile(const char* path) {
  std::string utf8 = mv::io::AnsiToUtf8(path);
  if (!mv::io::StaysInWorkingFolder(mv::io::Utf8ToUtf16(utf8))) return {};
  std::filesystem::path native = mv::io::NativePath(utf8);
  std::error_code ec;
  if (utf8 != path && !std::filesystem::exists(native, ec)) {
    std::filesystem::path raw = mv::io::NativePath(std::string_view(path));
    if (std::filesystem::exists(raw, ec)) return raw;
  }
  return native;
}

}  // namespace

SoundManager::SoundManager() : SoundManager(std::make_unique<SoundSystem>(SoundBackend::Device)) {}

SoundManager::SoundManager(std::unique_ptr<SoundSystem> system) : m_System(std::move(system)) {
  m_SourceMode = kSourceInternalPlayer;
  Initialise();
  ApplyMasterVolume();
  if (!m_bFftActivated) {
    m_System->SetFftActive(true);
    m_bFftActivated = true;
  }
}

SoundManager::~SoundManager() {
  // The recording line the card had before the player chose one.
  m_Lines.Restore();
  m_System->SetFftActive(false);
  m_bFftActivated = false;
  CloseStream();
  for (StreamHandle& spare : m_SpareStreams) {
    if (!spare) continue;
    m_System->StreamStop(spare);
    m_System->StreamClose(spare);
    spare = 0;
  }
  if (m_SourceMode == kSourceLiveInput) {
    if (m_nMonitorChannel > 0) m_System->StopSound(m_nMonitorChannel);
    m_System->RecordStop();
  }
  m_System->Close();
}

void SoundManager::SetSoundSystem(std::unique_ptr<SoundSystem> system) {
  if (!system) return;
  if (m_SourceMode == kSourceLiveInput) SelectSource(kSourceInternalPlayer, m_RecordingLine);
  const bool hadStream = m_Stream != 0;
  const bool playing = m_System->IsPlaying(kStreamChannel);
  const int position = hadStream ? m_System->StreamGetTime(m_Stream) : 0;
  CloseStream();
  for (SampleHandle& sample : m_LiveSamples) sample = 0;
  m_System->SetFftActive(false);
  m_System->Close();
  m_System = std::move(system);
  m_bFftActivated = false;
  Initialise();
  m_System->SetAnalysisOffsetMs(m_nSyncOffsetMs);
  if (hadStream) {
    std::filesystem::path file = TrackFile(m_szTrackPath);
    if (!file.empty()) m_Stream = m_System->StreamOpenFile(file, kModeStreamNormal, 0);
    if (m_Stream && position > 0) m_System->StreamSetTime(m_Stream, position);
    if (m_Stream && playing) Play();
  }
  ApplyMasterVolume();
  m_System->SetFftActive(true);
  m_bFftActivated = true;
}

int SoundManager::Initialise() {
  if (m_System->GetVersion() != 3.6f) return kResultWrongVersion;
  if (!m_System->IsInitialized()) {
    m_System->SetMixer(7);
    m_System->SetDriver(-1);
    m_System->SetOutput(2);
    m_System->SetBufferSize(50);
    if (!m_System->Init(kOutputRate, 2, 0)) {
      m_System->Close();
      return kResultInitFailed;
    }
  }
  if (m_SourceMode == kSourceLiveInput) {
    m_LiveSamples[0] = m_System->SampleAlloc(0, kLiveSampleFrames, kModeSample16Mono, kOutputRate,
                                             255, 128, 255);
    m_LiveSamples[1] = m_System->SampleAlloc(1, kLiveSampleFrames, kModeSample16Mono, kOutputRate,
                                             255, 128, 255);
    if (!StartLiveInput()) m_System->Close();
    SelectMicrophoneLine();
  } else {
    m_bOpenFailed = !OpenTrack(m_pSelectedTrack);
  }
  return kResultOk;
}

void SoundManager::CloseStream() {
  if (!m_Stream) return;
  m_System->StreamStop(m_Stream);
  m_System->StreamClose(m_Stream);
  m_Stream = 0;
}

bool SoundManager::OpenTrack(const char* name) {
  if (!name) return false;
  std::size_t length = ::strnlen(name, kMaxTrackName + 1);
  if (length > kMaxTrackName) {
    Log("Sound: track name too long for the track path\n");
    return false;
  }
  // The stream being replaced is closed, not left running unreachable.
  CloseStream();
  std::memset(m_szTrackPath, 0, sizeof m_szTrackPath);
  std::memcpy(m_szTrackPath, kMusicFolder, kMusicFolderLength);
  std::memcpy(m_szTrackPath + kMusicFolderLength, name, length);
  std::filesystem::path file = TrackFile(m_szTrackPath);
  if (!file.empty()) m_Stream = m_System->StreamOpenFile(file, kModeStreamNormal, 0);
  return m_Stream != 0;
}

int SoundManager::CheckTrack(int count, int channel, int flag) {
  int remaining = count;
  if (channel == 0 && !m_bOpenFailed && !m_System->IsPlaying(kStreamChannel)) {
    m_System->StreamStop(m_Stream);
    remaining = count - 1;
  }
  if (remaining >= 1 || m_bOpenFailed) return kResultOk;
  CloseStream();
  OpenTrack(m_pSelectedTrack);
  if (channel != 0 || flag != 0 || m_bOpenFailed) return kResultOk;
  m_System->StreamStop(m_Stream);
  m_System->StreamSetPosition(m_Stream, 0);
  if (m_SourceMode != kSourceInternalPlayer) return kResultOk;
  if (m_System->StreamPlay(kStreamChannel, m_Stream) == -1) return kResultPlayFailed;
  return kResultOk;
}

void SoundManager::Play() {
  // While live input is the source, the stream stays silent; it resumes
  // when the internal player is chosen again.
  if (m_SourceMode != kSourceInternalPlayer) return;
  m_System->StreamPlay(kStreamChannel, m_Stream);
}

void SoundManager::Stop() { m_System->StreamStop(m_Stream); }

void SoundManager::SetStreamTime(int milliseconds) {
  m_System->StreamSetTime(m_Stream, milliseconds);
}

bool SoundManager::StartLiveInput() {
  SampleHandle sample = m_LiveSamples[0];
  m_System->SampleSetLoopPoints(sample, 0, kLiveSampleFrames);
  m_System->SampleSetMode(sample, kModeLoopNormal);
  if (!m_System->RecordStartSample(sample, true)) {
    std::printf("Error!\n");
    std::printf("%s\n", SoundErrorText(m_System->GetError()));
    std::fflush(stdout);
    return false;
  }
  m_nMonitorChannel = m_System->PlaySound(kFreeChannel, sample);
  m_nMonitorFrequency = m_System->GetFrequency(m_nMonitorChannel);
  ApplyMonitorVolume();
  return true;
}

void SoundManager::StopLiveInput() {
  if (m_nMonitorChannel > 0) m_System->StopSound(m_nMonitorChannel);
  m_System->RecordStop();
  m_nMonitorChannel = -1;
}

void SoundManager::ApplyMonitorVolume() {
  if (m_nMonitorChannel > 0) m_System->SetChannelVolume(m_nMonitorChannel, m_bMonitor ? 255 : 0);
}

void SoundManager::SelectMicrophoneLine() { m_Lines.Select(RecordingLine::Microphone); }

bool SoundManager::SelectSource(SourceMode mode, RecordingLine line) {
  if (mode == kSourceLiveInput) {
    m_RequestedSource = line == RecordingLine::LineIn ? LiveSource::LineIn : LiveSource::Micro;
    if (!m_System->IsInitialized()) return false;
    const char* lineName = line == RecordingLine::LineIn ? "Line In" : "Micro";
    const bool switched = m_Lines.Select(line);
    const std::string& device = GetLiveDevice(line);
    if (!switched && device.empty())
      Log(std::string("Sound: the mixer cannot switch to ") + lineName +
          " and no capture device is chosen for it: the default device records\n");
    // Another device for this line: the recording restarts on it.
    if (m_SourceMode == kSourceLiveInput && device != m_System->CaptureDevice()) {
      StopLiveInput();
      m_SourceMode = kSourceInternalPlayer;
    }
    m_System->SetCaptureDevice(device);
    if (m_SourceMode != kSourceLiveInput) {
      for (int i = 0; i < 2; ++i) {
        if (!m_LiveSamples[i])
          m_LiveSamples[i] = m_System->SampleAlloc(i, kLiveSampleFrames, kModeSample16Mono,
                                                   kOutputRate, 255, 128, 255);
      }
      if (!m_LiveSamples[0]) return false;
      m_System->StreamStop(m_Stream);
      // A failed start keeps the music: unlike at start-up, the library is
      // not closed, which would silence the rest of the show.
      if (!StartLiveInput()) {
        if (m_bStreamPlaying) Play();
        return false;
      }
      m_SourceMode = kSourceLiveInput;
    }
    m_RecordingLine = line;
    return true;
  }
  m_RequestedSource = LiveSource::InternalPlayer;
  if (m_SourceMode == kSourceLiveInput) {
    StopLiveInput();
    m_SourceMode = kSourceInternalPlayer;
    if (m_bStreamPlaying) Play();
  }
  return true;
}

void SoundManager::SetLiveDevice(RecordingLine line, std::string name) {
  m_LiveDevices[line == RecordingLine::LineIn ? 1 : 0] = std::move(name);
}

const std::string& SoundManager::GetLiveDevice(RecordingLine line) const {
  return m_LiveDevices[line == RecordingLine::LineIn ? 1 : 0];
}

void SoundManager::SetMonitor(bool on) {
  m_bMonitor = on;
  ApplyMonitorVolume();
}

void SoundManager::SetSyncOffsetMs(int milliseconds) {
  m_nSyncOffsetMs = std::clamp(milliseconds, -kMaxAnalysisOffsetMs, kMaxAnalysisOffsetMs);
  m_System->SetAnalysisOffsetMs(m_nSyncOffsetMs);
}

void SoundManager::SetCaptureMixer(std::unique_ptr<CaptureMixer> mixer) {
  m_Lines.SetMixer(std::move(mixer));
}

SoundSettings SoundManager::CurrentSettings() const {
  SoundSettings s;
  s.selected = m_Bands.selected;
  s.threshold = std::clamp(int(std::lround(m_Bands.threshold)), 0, 255);
  s.takePeak = m_Bands.takePeak;
  s.source = m_RequestedSource;
  s.microDevice = GetLiveDevice(RecordingLine::Microphone);
  s.lineInDevice = GetLiveDevice(RecordingLine::LineIn);
  s.monitor = m_bMonitor;
  s.syncOffsetMs = m_nSyncOffsetMs;
  return s;
}

void SoundManager::ApplySettings(const SoundSettings& s) {
  m_Bands.selected = s.selected;
  m_Bands.threshold = float(std::clamp(s.threshold, 0, 255));
  m_Bands.takePeak = s.takePeak;
  SetLiveDevice(RecordingLine::Microphone, s.microDevice);
  SetLiveDevice(RecordingLine::LineIn, s.lineInDevice);
  SetMonitor(s.monitor);
  SetSyncOffsetMs(s.syncOffsetMs);
  switch (s.source) {
    case LiveSource::InternalPlayer:
      SelectSource(kSourceInternalPlayer, m_RecordingLine);
      break;
    case LiveSource::LineIn:
      SelectSource(kSourceLiveInput, RecordingLine::LineIn);
      break;
    case LiveSource::Micro:
      SelectSource(kSourceLiveInput, RecordingLine::Microphone);
      break;
  }
  m_bSettingsApplied = true;
  SyncPanelToSettings();
}

bool SoundManager::LoadSettings() {
  return LoadSettings(mv::io::NativePath(std::string_view(kSoundSettingsFile)));
}

bool SoundManager::LoadSettings(const std::filesystem::path& file) {
  SoundSettingsRead read = ReadSoundSettings(file);
  const std::string name = file.string();
  for (const std::string& problem : read.problems) Log("Sound: " + name + ": " + problem + "\n");
  switch (read.status) {
    case SoundSettingsRead::Status::Missing:
      Log("Sound: no " + name + ", the analysis starts with no band selected\n");
      break;
    case SoundSettingsRead::Status::Damaged:
      Log("Sound: " + name + " is damaged and ignored, the analysis starts with no band selected\n");
      break;
    case SoundSettingsRead::Status::Read:
      break;
  }
  // A missing or damaged file gives the starting state, as the panel has it.
  ApplySettings(read.settings);
  return read.status == SoundSettingsRead::Status::Read;
}

bool SoundManager::SaveSettings() const {
  return SaveSettings(mv::io::NativePath(std::string_view(kSoundSettingsFile)));
}

bool SoundManager::SaveSettings(const std::filesystem::path& file) const {
  const bool written = WriteSoundSettings(file, CurrentSettings(), m_System->CaptureDeviceNames());
  if (!written) Log("Sound: " + file.string() + " not written\n");
  return written;
}

void SoundManager::AnalyseSpectrum() {
  if (!AnalyseBands(m_System->GetSpectrum(), m_Bands)) return;
  g_ValueSources.BassValue = m_Bands.level;
  OnBandsAnalysed();
  m_bPanelDirty = true;
}

void SoundManager::SetVolume(int volume) {
  m_nVolume = std::clamp(volume, 0, 255);
  ApplyMasterVolume();
}

void SoundManager::EnableSound(bool enable) {
  m_bSoundEnabled = enable;
  ApplyMasterVolume();
}

void SoundManager::ApplyMasterVolume() {
  m_System->SetSfxMasterVolume(m_bSoundEnabled ? m_nVolume : 0);
}

int SoundManager::ScanPlaylist() {
  m_PlaylistCount = 0;
  std::memset(m_Playlist, 0, sizeof m_Playlist);
  auto add = [this](const std::string& name) {
    PlaylistEntry& e = m_Playlist[std::size_t(m_PlaylistCount++)];
    mv::io::CopyToFixed(e.name, sizeof e.name, name);
    mv::io::CopyToFixed(e.wide, std::size(e.wide), mv::io::Utf8ToUtf16(mv::io::AnsiToUtf8(name)));
  };
  std::error_code ec;
  std::filesystem::path folder = mv::io::NativePath(std::string_view("media\\music"));
  if (!std::filesystem::is_directory(folder, ec)) return 0;
  // The folder's own entries come first, as a directory search lists them.
  add(".");
  add("..");
  // The rest in name order, so the list is the same on every machine. At
  // most the first names that fit are kept: a bounded heap, whatever the
  // folder holds. Names too long for the track path are left out.
  const std::size_t room = std::size_t(kPlaylistSize - m_PlaylistCount);
  std::priority_queue<std::string> kept;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name.size() > kMaxTrackName || name.size() >= sizeof(PlaylistEntry::name))
      continue;
    if (kept.size() < room) {
      kept.push(std::move(name));
    } else if (name < kept.top()) {
      kept.pop();
      kept.push(std::move(name));
    }
  }
  std::vector<std::string> names;
  names.reserve(kept.size());
  while (!kept.empty()) {
    names.push_back(kept.top());
    kept.pop();
  }
  std::reverse(names.begin(), names.end());
  for (const std::string& name : names) add(name);
  return m_PlaylistCount;
}

std::ostream& SoundManager::Write(std::ostream& out) {
  MVObject::Write(out);
  if (!mv::io::Good(out)) return out;
  mv::audio::SoundSection section;
  std::memcpy(section.trackPath, m_szTrackPath, sizeof section.trackPath);
  section.enabled = m_bSoundEnabled ? 1 : 0;
  section.volume = m_nVolume;
  mv::audio::WriteSoundSection(out, section);
  return out;
}

std::istream& SoundManager::Read(std::istream& in) {
  MVObject::Read(in);
  if (!mv::io::Good(in)) return in;
  mv::audio::SoundSection section;
  const bool complete = mv::audio::ReadSoundSection(in, section);
  char (&path)[kTrackPathSize] = section.trackPath;
  // Whatever the slide stored, it plays at full volume with sound on.
  m_nVolume = 255;
  m_bSoundEnabled = true;
  if (complete) {
    // Terminated and zero-padded, as it is written back.
    path[kTrackPathSize - 1] = '\0';
    std::size_t length = std::strlen(path);
    std::memset(path + length, 0, sizeof path - length);
    // The same track as the open stream keeps playing across the slide
    // change; another track replaces the stream and, if the music was
    // playing, goes on playing in its place.
    if (!m_Stream || std::memcmp(path, m_szTrackPath, sizeof path) != 0) {
      bool wasPlaying = m_System->IsPlaying(kStreamChannel);
      CloseStream();
      std::memcpy(m_szTrackPath, path, sizeof path);
      std::filesystem::path file = TrackFile(m_szTrackPath);
      if (!file.empty()) m_Stream = m_System->StreamOpenFile(file, kModeStreamNormal, 0);
      if (wasPlaying && m_Stream) Play();
    }
  }
  UpdateSoundPanel();
  return in;
}
