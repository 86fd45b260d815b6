#pragma once
// The sound manager: plays a music file from media\music\ as a stream (the
// internal player) or monitors the sound card's input (live input), owns the
// master volume and the playlist, analyses the spectrum of what is heard once
// per frame into 64 bands and one level (BassValue), and stores its track,
// enable flag and volume in slide files.
#include <cstdint>
#include <filesystem>
#include <istream>
#include <memory>
#include <ostream>
#include <string>

#include "audio/RecordingLine.h"
#include "audio/SoundSettings.h"
#include "audio/SoundSystem.h"
#include "audio/BandAnalysis.h"
#include "core/MVObject.h"
#include "gui/Dialog.h"
#include "gui/GuiTypes.h"

class CDXUTDialogResourceManager;
class CDXUTControl;
class CDXUTSpectrum;

struct PlaylistEntry {
  char16_t wide[260];  // shown in the panel
  char name[256];      // 8-bit file name, no directory
};

class SoundManager : public MVObject {
 public:
  static constexpr int kPlaylistSize = 255;
  static constexpr int kTrackPathSize = 300;
  static constexpr int kSpareStreams = 10;
  static constexpr int kLiveSampleFrames = 2205;
  static constexpr const char* kMusicFolder = "media\\music\\";

  // Result codes of the manager's operations.
  enum Result : int {
    kResultOk = 0,
    kResultWrongVersion = 0x2001,
    kResultInitFailed = 0x2002,
    kResultStreamStopClose = 0x2004,
    kResultStopBeforeReopen = 0x2006,
    kResultPlayFailed = 0x2007,
  };

  // Where the analysed sound comes from.
  enum SourceMode : std::int32_t { kSourceLiveInput = 1, kSourceInternalPlayer = 2 };

  // The program's manager: plays through the sound card (or SDL's dummy
  // driver when there is none).
  SoundManager();
  // A manager over a given sound system (the offline backend in tests and
  // offline rendering).
  explicit SoundManager(std::unique_ptr<mv::audio::SoundSystem> system);
  ~SoundManager() override;
  SoundManager(const SoundManager&) = delete;
  SoundManager& operator=(const SoundManager&) = delete;

  std::int32_t GetType() const override { return MV_TYPE_SOUND; }
  std::ostream& Write(std::ostream& out) override;
  std::istream& Read(std::istream& in) override;

  // Sets up the sound system and opens the selected track; a result code.
  int Initialise();

  // Scans media\music\ into the playlist; returns the number of entries.
  int ScanPlaylist();
  int GetPlaylistCount() const { return m_PlaylistCount; }
  const PlaylistEntry& GetPlaylistEntry(int i) const { return m_Playlist[std::size_t(i)]; }

  // Opens media\music\<name> as the stream. False (and no stream) when the
  // name is none, too long for the track path, or the file does not decode.
  bool OpenTrack(const char* name);
  // (100, 0, 0) each frame: stops a stream that has ended. (-1, 0, 0):
  // reopens the selected track and plays it from the start.
  int CheckTrack(int count, int channel, int flag);
  void Play();
  void Stop();
  void SetStreamTime(int milliseconds);

  // Selects the track the player opens (a playlist name, or none).
  void SelectTrack(const char* name) { m_pSelectedTrack = name; }
  const char* GetSelectedTrack() const { return m_pSelectedTrack; }

  // Live input: records the input into a looping sample and monitors it.
  bool StartLiveInput();
  void SelectMicrophoneLine();
  // Switches what is heard and analysed: the music stream, or live input
  // on the given recording line. Where the card's mixer can switch lines it
  // does; the line records from the capture device chosen for it (the
  // default one when none is, or when the chosen one is gone). False when
  // live input could not start (the internal player stays).
  bool SelectSource(SourceMode mode, mv::audio::RecordingLine line);
  SourceMode GetSourceMode() const { return m_SourceMode; }
  mv::audio::RecordingLine GetRecordingLine() const { return m_RecordingLine; }
  // The capture device a line records from, by SDL's name; "" the default.
  // Taken at the next SelectSource of that line.
  void SetLiveDevice(mv::audio::RecordingLine line, std::string name);
  const std::string& GetLiveDevice(mv::audio::RecordingLine line) const;
  // Live input heard through the output as well (off: analysed only, so a
  // microphone near the speakers cannot howl).
  void SetMonitor(bool on);
  bool GetMonitor() const { return m_bMonitor; }
  // Milliseconds the analysis trails what is heard (the sound system's
  // analysis offset), for a sink whose latency is not known.
  void SetSyncOffsetMs(int milliseconds);
  int GetSyncOffsetMs() const { return m_nSyncOffsetMs; }
  // The mixer that switches recording lines (tests give their own).
  void SetCaptureMixer(std::unique_ptr<mv::audio::CaptureMixer> mixer);

  // The settings that outlast a run: the band selection, threshold and take
  // peak, the live source (as last chosen) and devices, monitoring and the
  // sync offset. Applying them updates the panel if it is built.
  mv::audio::SoundSettings CurrentSettings() const;
  void ApplySettings(const mv::audio::SoundSettings& settings);
  // media\sound.toml: read at start-up (missing or damaged: the panel's
  // starting state, and a log line), written at exit. False when nothing
  // was read, or nothing written.
  bool LoadSettings();
  bool LoadSettings(const std::filesystem::path& file);
  bool SaveSettings() const;
  bool SaveSettings(const std::filesystem::path& file) const;

  // Per frame, before every other manager: the spectrum into bands, the
  // band level into BassValue.
  void AnalyseSpectrum();

  // The sound panel: built once at start-up (scans the playlist too).
  void BuildPanel(CDXUTDialogResourceManager* pManager = nullptr);
  CDXUTDialog& Panel() { return m_Panel; }
  bool MsgProc(UINT uMsg, WPARAM wParam, LPARAM lParam) { return m_Panel.MsgProc(uMsg, wParam, lParam); }
  void OnPanelEvent(UINT nEvent, int nControlID, CDXUTControl* pControl);
  static void CALLBACK OnGuiEvent(UINT nEvent, int nControlID, CDXUTControl* pControl, void* pUserContext);

  // The panel refresh: time, volume text and master volume, level, Play
  // caption, hovered-band timeout. Called at render time when the panel is
  // dirty, and by Read.
  void UpdateSoundPanel();

  void SetVolume(int volume);  // 0..255, applied when sound is enabled
  int GetVolume() const { return m_nVolume; }
  void EnableSound(bool enable);
  bool IsSoundEnabled() const { return m_bSoundEnabled; }

  // Replaces the sound system (e.g. the offline backend for rendering a
  // show to video): the open track is reopened at its position, paused or
  // playing as it was, with the same volume.
  void SetSoundSystem(std::unique_ptr<mv::audio::SoundSystem> system);

  mv::audio::SoundSystem& System() { return *m_System; }
  const mv::audio::SoundSystem& System() const { return *m_System; }
  mv::audio::SpectrumBands& Bands() { return m_Bands; }
  const mv::audio::SpectrumBands& Bands() const { return m_Bands; }
  float GetBandLevel() const { return m_Bands.level; }
  const char* GetTrackPath() const { return m_szTrackPath; }
  mv::audio::StreamHandle GetStream() const { return m_Stream; }
  bool IsOpenFailed() const { return m_bOpenFailed; }
  void SetOpenFailed(bool failed) { m_bOpenFailed = failed; }
  bool IsPanelDirty() const { return m_bPanelDirty; }
  void SetPanelDirty(bool dirty) { m_bPanelDirty = dirty; }
  bool IsStreamPlaying() const { return m_bStreamPlaying; }
  void SetStreamPlaying(bool playing) { m_bStreamPlaying = playing; }
  bool IsPlayStateChanged() const { return m_bPlayStateChanged; }
  void SetPlayStateChanged(bool changed) { m_bPlayStateChanged = changed; }

 private:
  void CloseStream();
  void OnBandsAnalysed();
  void ApplyMasterVolume();
  void StopLiveInput();
  void ApplyMonitorVolume();
  // Puts the loaded analysis settings and the source into the panel.
  void SyncPanelToSettings();

  std::unique_ptr<mv::audio::SoundSystem> m_System;
  PlaylistEntry m_Playlist[kPlaylistSize] = {};
  int m_PlaylistCount = 0;
  bool m_bPanelDirty = false;
  bool m_bOpenFailed = false;
  char m_szTrackPath[kTrackPathSize] = {};
  const char* m_pSelectedTrack = nullptr;
  mv::audio::StreamHandle m_Stream = 0;
  mv::audio::StreamHandle m_SpareStreams[kSpareStreams] = {};
  std::int32_t m_nMonitorChannel = -1;
  std::int32_t m_nMonitorFrequency = 0;
  SourceMode m_SourceMode = kSourceInternalPlayer;
  mv::audio::RecordingLine m_RecordingLine = mv::audio::RecordingLine::Microphone;
  mv::audio::LiveSource m_RequestedSource = mv::audio::LiveSource::InternalPlayer;
  std::string m_LiveDevices[2];  // by RecordingLine
  bool m_bMonitor = false;
  int m_nSyncOffsetMs = 0;
  bool m_bSettingsApplied = false;
  mv::audio::RecordingLineSelector m_Lines;
  mv::audio::SampleHandle m_LiveSamples[2] = {};
  bool m_bFftActivated = false;
  mv::audio::SpectrumBands m_Bands;
  std::int32_t m_nVolume = 0;
  bool m_bSoundEnabled = true;
  bool m_bPlayStateChanged = false;
  bool m_bStreamPlaying = false;
  CDXUTDialog m_Panel;
  CDXUTSpectrum* m_pSpectrumControl = nullptr;
  int m_nHoverRefreshCount = 0;  // refreshes since a band was hovered
};

extern SoundManager g_SoundManager;
