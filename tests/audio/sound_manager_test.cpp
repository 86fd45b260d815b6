#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "AudioFixtures.h"
#include "audio/SoundManager.h"
#include "io/BinaryIO.h"
#include "values/Sources.h"
#include "values/ValueScript.h"

using namespace mv::audio;
using audiotest::kBinHz;

namespace {

std::unique_ptr<SoundManager> OfflineManager() {
  return std::make_unique<SoundManager>(std::make_unique<SoundSystem>(SoundBackend::Offline));
}

// The slide section after the 9 bytes of panel preferences.
std::string Section(const std::string& path, bool enabled, std::int32_t volume) {
  std::ostringstream out;
  mv::io::WriteI32(out, 840);
  mv::io::WriteI32(out, 10);
  mv::io::WriteBool(out, false);
  char buffer[300] = {};
  std::memcpy(buffer, path.data(), std::min<std::size_t>(path.size(), 299));
  mv::io::WriteBytes(out, buffer, 300);
  mv::io::WriteBool(out, enabled);
  mv::io::WriteI32(out, volume);
  return out.str();
}

void WriteTrack(const std::string& name, double seconds = 2.0, double hz = 20 * kBinHz) {
  ASSERT_TRUE(audiotest::WriteSine(std::filesystem::path("media/music") / name,
                                   SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, seconds, hz));
}

}  // namespace


TEST(SoundManager, ConstructionInitialisesWithoutATrack) {
  auto m = OfflineManager();
  EXPECT_EQ(m->GetType(), 5);
  EXPECT_TRUE(m->System().IsInitialized());
  EXPECT_TRUE(m->System().IsFftActive());
  EXPECT_TRUE(m->IsOpenFailed());  // no track selected yet
  EXPECT_EQ(m->GetStream(), 0);
  EXPECT_EQ(m->GetVolume(), 0);
  EXPECT_EQ(m->System().GetSfxMasterVolume(), 0);
  EXPECT_EQ(m->GetSourceMode(), SoundManager::kSourceInternalPlayer);
  EXPECT_EQ(m->Initialise(), SoundManager::kResultOk);  // again: harmless
  EXPECT_TRUE(m->System().IsInitialized());
}

TEST(SoundManager, DestructionClosesTheSoundSystem) {
  auto system = std::make_unique<SoundSystem>(SoundBackend::Offline);
  SoundSystem* raw = system.get();
  {
    SoundManager m(std::move(system));
    EXPECT_TRUE(raw->IsInitialized());
  }
  // (The system is owned by the manager; reaching here without a crash,
  // with the decoder thread joined, is the check for the device backend.)
  SUCCEED();
}

TEST(SoundManager, PlaylistOfAnEmptyFolderListsDotEntries) {
  audiotest::ScratchFolder folder;
  auto m = OfflineManager();
  ASSERT_EQ(m->ScanPlaylist(), 2);
  EXPECT_STREQ(m->GetPlaylistEntry(0).name, ".");
  EXPECT_STREQ(m->GetPlaylistEntry(1).name, "..");
  EXPECT_EQ(std::u16string(m->GetPlaylistEntry(1).wide), u"..");
  EXPECT_FALSE(m->OpenTrack(m->GetPlaylistEntry(0).name));
  EXPECT_FALSE(m->OpenTrack(m->GetPlaylistEntry(1).name));
  EXPECT_EQ(m->GetStream(), 0);
}

TEST(SoundManager, PlaylistOfAMissingFolderIsEmpty) {
  audiotest::ScratchFolder folder;
  std::filesystem::remove_all(folder.Music());
  auto m = OfflineManager();
  EXPECT_EQ(m->ScanPlaylist(), 0);
}

TEST(SoundManager, PlaylistKeepsAtMost255EntriesInNameOrder) {
  audiotest::ScratchFolder folder;
  for (int i = 299; i >= 0; --i) {
    char name[32];
    std::snprintf(name, sizeof name, "track%03d.wav", i);
    std::ofstream(folder.Music() / name) << "x";
  }
  auto m = OfflineManager();
  ASSERT_EQ(m->ScanPlaylist(), 255);
  EXPECT_STREQ(m->GetPlaylistEntry(2).name, "track000.wav");
  EXPECT_STREQ(m->GetPlaylistEntry(254).name, "track252.wav");
  EXPECT_EQ(std::u16string(m->GetPlaylistEntry(254).wide), u"track252.wav");
}

TEST(SoundManager, PlaylistWidensNames) {
  audiotest::ScratchFolder folder;
  std::ofstream(folder.Music() / "Café – live.ogg") << "x";
  std::ofstream(folder.Music() / std::string("caf\xE9.mp3")) << "x";  // Windows-1252 byte
  auto m = OfflineManager();
  ASSERT_EQ(m->ScanPlaylist(), 4);
  EXPECT_EQ(std::u16string(m->GetPlaylistEntry(2).wide), u"Café – live.ogg");
  EXPECT_EQ(std::u16string(m->GetPlaylistEntry(3).wide), u"café.mp3");
  EXPECT_STREQ(m->GetPlaylistEntry(3).name, "caf\xE9.mp3");
}

TEST(SoundManager, TrackNameLengthLimit) {
  audiotest::ScratchFolder folder;
  auto m = OfflineManager();
  // 287 characters fit the 300-byte path with "media\music\" and the NUL.
  std::string fits(287, 'a');
  std::string tooLong(288, 'a');
  EXPECT_FALSE(m->OpenTrack(fits.c_str()));  // no such file, but the path is built
  EXPECT_EQ(std::strlen(m->GetTrackPath()), 299u);
  EXPECT_EQ(std::string(m->GetTrackPath()), "media\\music\\" + fits);
  EXPECT_FALSE(m->OpenTrack(tooLong.c_str()));
  EXPECT_EQ(std::string(m->GetTrackPath()), "media\\music\\" + fits);  // untouched
  EXPECT_FALSE(m->OpenTrack(nullptr));
}

TEST(SoundManager, OpenTrackReplacesTheStream) {
  audiotest::ScratchFolder folder;
  WriteTrack("a.wav");
  WriteTrack("b.wav");
  auto m = OfflineManager();
  ASSERT_TRUE(m->OpenTrack("a.wav"));
  m->Play();
  m->System().Advance(0.1);
  ASSERT_TRUE(m->OpenTrack("b.wav"));
  // The old stream was closed, not left playing out of reach.
  EXPECT_FALSE(m->System().IsPlaying(0));
  EXPECT_EQ(m->System().StreamGetTime(m->GetStream()), 0);
  EXPECT_STREQ(m->GetTrackPath(), "media\\music\\b.wav");
  EXPECT_FALSE(m->OpenTrack("missing.wav"));
  EXPECT_EQ(m->GetStream(), 0);
}

TEST(SoundManager, OpenTrackStaysInTheMusicFolder) {
  audiotest::ScratchFolder folder;
  ASSERT_TRUE(audiotest::WriteSine("outside.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 0.2, 440));
  auto m = OfflineManager();
  EXPECT_FALSE(m->OpenTrack("..\\..\\outside.wav"));
  EXPECT_EQ(m->GetStream(), 0);
}

TEST(SoundManager, CheckTrackOnAPlayingStreamChangesNothing) {
  audiotest::ScratchFolder folder;
  WriteTrack("a.wav");
  auto m = OfflineManager();
  m->SelectTrack("a.wav");
  m->SetOpenFailed(!m->OpenTrack("a.wav"));
  m->Play();
  m->System().Advance(0.5);
  StreamHandle stream = m->GetStream();
  int time = m->System().StreamGetTime(stream);
  EXPECT_EQ(m->CheckTrack(100, 0, 0), SoundManager::kResultOk);
  EXPECT_EQ(m->GetStream(), stream);
  EXPECT_TRUE(m->System().IsPlaying(0));
  EXPECT_EQ(m->System().StreamGetTime(stream), time);
}

TEST(SoundManager, CheckTrackStopsAnEndedStreamOnly) {
  audiotest::ScratchFolder folder;
  WriteTrack("a.wav", 0.3);
  auto m = OfflineManager();
  m->SelectTrack("a.wav");
  m->SetOpenFailed(!m->OpenTrack("a.wav"));
  m->Play();
  m->System().Advance(0.5);
  EXPECT_FALSE(m->System().IsPlaying(0));
  StreamHandle stream = m->GetStream();
  EXPECT_EQ(m->CheckTrack(100, 0, 0), SoundManager::kResultOk);
  EXPECT_EQ(m->GetStream(), stream);  // not reopened
  EXPECT_FALSE(m->System().IsPlaying(0));
}

TEST(SoundManager, ReopenedTrackPlaysFromTheStart) {
  audiotest::ScratchFolder folder;
  WriteTrack("a.wav", 3.0);
  auto m = OfflineManager();
  m->SelectTrack("a.wav");
  m->SetOpenFailed(false);
  m->OpenTrack("a.wav");
  m->Play();
  m->System().Advance(1.2);
  ASSERT_EQ(m->System().StreamGetTime(m->GetStream()), 1200);
  EXPECT_EQ(m->CheckTrack(-1, 0, 0), SoundManager::kResultOk);
  ASSERT_NE(m->GetStream(), 0);
  EXPECT_EQ(m->System().StreamGetTime(m->GetStream()), 0);
  EXPECT_TRUE(m->System().IsPlaying(0));
  m->System().Advance(0.2);
  EXPECT_EQ(m->System().StreamGetTime(m->GetStream()), 200);
}

TEST(SoundManager, CheckTrackWithOpenFailedDoesNothing) {
  audiotest::ScratchFolder folder;
  WriteTrack("a.wav");
  auto m = OfflineManager();
  m->SelectTrack("a.wav");
  ASSERT_TRUE(m->IsOpenFailed());
  EXPECT_EQ(m->CheckTrack(-1, 0, 0), SoundManager::kResultOk);
  EXPECT_EQ(m->GetStream(), 0);
}

TEST(SoundManager, CheckTrackReportsAFailedPlay) {
  audiotest::ScratchFolder folder;
  auto m = OfflineManager();
  m->SelectTrack("missing.wav");
  m->SetOpenFailed(false);
  EXPECT_EQ(m->CheckTrack(-1, 0, 0), SoundManager::kResultPlayFailed);
  EXPECT_EQ(m->GetStream(), 0);
  // A channel or flag only reopens.
  WriteTrack("a.wav");
  m->SelectTrack("a.wav");
  EXPECT_EQ(m->CheckTrack(0, 1, 0), SoundManager::kResultOk);
  EXPECT_NE(m->GetStream(), 0);
  EXPECT_FALSE(m->System().IsPlaying(0));
}

TEST(SoundManager, PlayStopAndStreamTime) {
  audiotest::ScratchFolder folder;
  WriteTrack("a.wav", 5.0);
  auto m = OfflineManager();
  m->OpenTrack("a.wav");
  m->Play();
  m->System().Advance(0.4);
  m->Stop();
  EXPECT_FALSE(m->System().IsPlaying(0));
  // The animation panel's timeline click: frame x 40 ms.
  m->SetStreamTime(25 * 40);
  EXPECT_EQ(m->System().StreamGetTime(m->GetStream()), 1000);
  m->Play();
  m->System().Advance(0.04);
  EXPECT_EQ(m->System().StreamGetTime(m->GetStream()), 1040);
}

TEST(SoundManager, NoStreamPlayAndStopFailQuietly) {
  auto m = OfflineManager();
  m->Play();
  m->Stop();
  m->SetStreamTime(100);
  EXPECT_FALSE(m->System().IsPlaying(0));
  m->AnalyseSpectrum();
  EXPECT_FALSE(m->IsPanelDirty());
}

TEST(SoundManager, SineReachesBassValueThroughTheOfflineBackend) {
  audiotest::ScratchFolder folder;
  WriteTrack("bass.wav", 2.0, 3 * kBinHz);  // band 3
  auto m = OfflineManager();
  m->OpenTrack("bass.wav");
  m->Play();
  m->Bands().selected[3] = true;
  m->Bands().threshold = 0.0f;
  m->System().Advance(0.04);
  m->AnalyseSpectrum();
  EXPECT_TRUE(m->IsPanelDirty());
  EXPECT_NEAR(m->Bands().bands[3], std::sqrt(0.8f), 0.03f);
  EXPECT_EQ(m->GetBandLevel(), m->Bands().bands[3]);
  EXPECT_EQ(g_ValueSources.BassValue, m->GetBandLevel());
  // Nothing playing: the level keeps its value.
  m->Stop();
  m->SetPanelDirty(false);
  float level = m->GetBandLevel();
  m->AnalyseSpectrum();
  EXPECT_EQ(m->GetBandLevel(), level);
  EXPECT_FALSE(m->IsPanelDirty());
}

TEST(SoundManager, SlideSectionBytes) {
  audiotest::ScratchFolder folder;
  auto m = OfflineManager();
  m->OpenTrack("song.ogg");
  m->SetVolume(200);
  m->EnableSound(false);
  std::ostringstream out;
  m->Write(out);
  std::string bytes = out.str();
  ASSERT_EQ(bytes.size(), 9u + 300u + 1u + 4u);
  // No panel yet: the base writes 0, 0, minimized.
  EXPECT_EQ(bytes.substr(0, 9), std::string("\0\0\0\0\0\0\0\0\1", 9));
  std::string path = "media\\music\\song.ogg";
  EXPECT_EQ(bytes.substr(9, path.size()), path);
  EXPECT_EQ(bytes.substr(9 + path.size(), 300 - path.size()), std::string(300 - path.size(), '\0'));
  EXPECT_EQ(bytes[309], '\0');
  EXPECT_EQ(bytes.substr(310, 4), std::string("\xC8\0\0\0", 4));
}

TEST(SoundManager, ReadForcesFullVolumeAndSoundOn) {
  audiotest::ScratchFolder folder;
  WriteTrack("a.wav");
  auto m = OfflineManager();
  std::istringstream in(Section("media\\music\\a.wav", false, 0));
  m->Read(in);
  EXPECT_TRUE(mv::io::Good(in));
  EXPECT_EQ(m->GetVolume(), 255);
  EXPECT_TRUE(m->IsSoundEnabled());
  EXPECT_EQ(m->System().GetSfxMasterVolume(), 255);
  EXPECT_STREQ(m->GetTrackPath(), "media\\music\\a.wav");
  EXPECT_NE(m->GetStream(), 0);
  EXPECT_FALSE(m->System().IsPlaying(0));  // the slide loader starts it
  // Written back as read, apart from the forced fields.
  std::ostringstream out;
  m->Write(out);
  std::string expected = Section("media\\music\\a.wav", true, 255);
  EXPECT_EQ(out.str().substr(9), expected.substr(9));
}

TEST(SoundManager, ReadKeepsTheSameTrackPlayingAndSwitchesToAnother) {
  audiotest::ScratchFolder folder;
  WriteTrack("a.wav", 3.0);
  WriteTrack("b.wav", 3.0);
  auto m = OfflineManager();
  std::istringstream first(Section("media\\music\\a.wav", true, 255));
  m->Read(first);
  m->Play();
  m->System().Advance(0.5);
  StreamHandle stream = m->GetStream();
  std::istringstream same(Section("media\\music\\a.wav", true, 255));
  m->Read(same);
  EXPECT_EQ(m->GetStream(), stream);
  EXPECT_EQ(m->System().StreamGetTime(stream), 500);  // the music goes on
  std::istringstream other(Section("media\\music\\b.wav", true, 255));
  m->Read(other);
  EXPECT_STREQ(m->GetTrackPath(), "media\\music\\b.wav");
  EXPECT_TRUE(m->System().IsPlaying(0));
  EXPECT_EQ(m->System().StreamGetTime(m->GetStream()), 0);
}

TEST(SoundManager, ReadOfBadSections) {
  audiotest::ScratchFolder folder;
  auto m = OfflineManager();
  m->SetVolume(10);
  // Unterminated path: 300 non-NUL bytes are cut to 299.
  std::string section = Section("", true, 7);
  std::memset(section.data() + 9, 'x', 300);
  std::istringstream unterminated(section);
  m->Read(unterminated);
  EXPECT_EQ(std::strlen(m->GetTrackPath()), 299u);
  EXPECT_EQ(m->GetStream(), 0);
  // A path outside the working folder is kept but not opened.
  ASSERT_TRUE(audiotest::WriteSine("/tmp/mv-audio-outside.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                                   44100, 1, 0.2, 440));
  std::istringstream absolute(Section("/tmp/mv-audio-outside.wav", true, 7));
  m->Read(absolute);
  EXPECT_EQ(m->GetStream(), 0);
  std::filesystem::remove("/tmp/mv-audio-outside.wav");
  // Short section: the stream fails, the old track path stays.
  std::string shortSection = Section("media\\music\\x.wav", true, 7).substr(0, 100);
  std::istringstream cut(shortSection);
  m->Read(cut);
  EXPECT_FALSE(mv::io::Good(cut));
  EXPECT_STREQ(m->GetTrackPath(), "/tmp/mv-audio-outside.wav");
  EXPECT_EQ(m->GetVolume(), 255);
}

TEST(SoundManager, LiveInputBecomesTheSource) {
  audiotest::ScratchFolder folder;
  WriteTrack("a.wav", 3.0, 40 * kBinHz);
  auto m = OfflineManager();
  m->OpenTrack("a.wav");
  m->SetStreamPlaying(true);
  m->Play();
  m->System().Advance(0.2);
  ASSERT_TRUE(m->SelectSource(SoundManager::kSourceLiveInput, RecordingLine::LineIn));
  EXPECT_EQ(m->GetSourceMode(), SoundManager::kSourceLiveInput);
  EXPECT_FALSE(m->System().IsPlaying(0));  // the music stream is silent
  EXPECT_TRUE(m->System().IsRecording());
  m->Play();  // the slide loader may ask: the stream stays silent
  EXPECT_FALSE(m->System().IsPlaying(0));
  // Feed a tone at bin 8; the analysis sees the input, not the music.
  std::vector<float> block(1764);
  double phase = 0;
  for (int frame = 0; frame < 5; ++frame) {
    for (float& v : block) {
      v = float(0.5 * std::sin(phase));
      phase += 2 * std::numbers::pi * 8 * kBinHz / 44100.0;
    }
    m->System().FeedCapture(block.data(), block.size());
    m->System().Advance(0.04);
  }
  m->AnalyseSpectrum();
  EXPECT_GT(m->Bands().bands[8], 0.5f);
  EXPECT_LT(m->Bands().bands[40], 0.1f);
  // Back to the internal player: the music resumes where it was.
  ASSERT_TRUE(m->SelectSource(SoundManager::kSourceInternalPlayer, RecordingLine::Microphone));
  EXPECT_FALSE(m->System().IsRecording());
  EXPECT_TRUE(m->System().IsPlaying(0));
  EXPECT_EQ(m->System().StreamGetTime(m->GetStream()), 200);
}

// With no band selected the level is 0 every frame, so the values' follower
// decays toward 0 and the bass sequencer stops once it has.
TEST(SoundManager, NoBandSelectedLetsPeakValueDecay) {
  audiotest::ScratchFolder folder;
  WriteTrack("loud.wav", 3.0, 2 * kBinHz);
  auto m = OfflineManager();
  m->OpenTrack("loud.wav");
  m->Play();
  g_ValueSources = ValueSources{};
  m->Bands().selected[2] = true;
  m->Bands().threshold = 0.0f;
  m->System().Advance(0.04);
  m->AnalyseSpectrum();
  UpdateDerivedValues(g_ValueSources, 0.04f);
  ASSERT_GT(g_ValueSources.BassValue, 0.5f);
  EXPECT_EQ(g_ValueSources.PeakValue, g_ValueSources.BassValue);
  m->Bands().selected[2] = false;
  float previous = g_ValueSources.PeakValue;
  for (int frame = 0; frame < 50; ++frame) {
    m->System().Advance(0.04);
    m->AnalyseSpectrum();
    EXPECT_EQ(g_ValueSources.BassValue, 0.0f);
    UpdateDerivedValues(g_ValueSources, 0.04f);
    EXPECT_LT(g_ValueSources.PeakValue, previous);
    EXPECT_NEAR(g_ValueSources.PeakValue, previous / (1.1f * 0.04f + 1.0f), 1e-6);
    previous = g_ValueSources.PeakValue;
  }
  EXPECT_LT(g_ValueSources.PeakValue, 0.2f);
  g_ValueSources = ValueSources{};
}

// The device backend on this machine (dummy driver without a sound card):
// choosing live input either captures or, failing that, keeps the music
// playing; it never closes the sound system.
TEST(SoundManagerDevice, LiveInputNeverStopsTheShow) {
  audiotest::ScratchFolder folder;
  WriteTrack("a.wav", 3.0);
  SoundManager m(std::make_unique<SoundSystem>(SoundBackend::Device));
  ASSERT_TRUE(m.System().IsInitialized());
  ASSERT_TRUE(m.OpenTrack("a.wav"));
  m.SetStreamPlaying(true);
  m.Play();
  bool live = m.SelectSource(SoundManager::kSourceLiveInput, RecordingLine::Microphone);
  EXPECT_TRUE(m.System().IsInitialized());
  if (live) {
    EXPECT_TRUE(m.System().IsRecording());
    EXPECT_FALSE(m.System().IsPlaying(0));
    EXPECT_TRUE(m.SelectSource(SoundManager::kSourceInternalPlayer, RecordingLine::Microphone));
  }
  EXPECT_EQ(m.GetSourceMode(), SoundManager::kSourceInternalPlayer);
  EXPECT_TRUE(m.System().IsPlaying(0));
}

TEST(SoundManager, SwitchingToTheOfflineBackendKeepsTheTrack) {
  audiotest::ScratchFolder folder;
  WriteTrack("a.wav", 3.0);
  auto m = OfflineManager();
  std::istringstream section(Section("media\\music\\a.wav", true, 255));
  m->Read(section);
  m->Play();
  m->System().Advance(0.6);
  m->SetSoundSystem(std::make_unique<SoundSystem>(SoundBackend::Offline));
  EXPECT_TRUE(m->System().IsInitialized());
  EXPECT_TRUE(m->System().IsFftActive());
  EXPECT_EQ(m->System().GetSfxMasterVolume(), 255);
  ASSERT_NE(m->GetStream(), 0);
  EXPECT_TRUE(m->System().IsPlaying(0));
  EXPECT_EQ(m->System().StreamGetTime(m->GetStream()), 600);
  m->System().Advance(0.4);
  EXPECT_EQ(m->System().StreamGetTime(m->GetStream()), 1000);
  m->SetSoundSystem(nullptr);  // ignored
  EXPECT_TRUE(m->System().IsInitialized());
}

