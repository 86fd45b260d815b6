// The sound settings that outlast a run: media/sound.toml.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "AudioFixtures.h"
#include "audio/SoundManager.h"
#include "audio/SoundSettings.h"
#include "gui/Gui.h"
#include "io/Log.h"
#include "values/Sources.h"

using namespace mv::audio;
using audiotest::kBinHz;
using Status = SoundSettingsRead::Status;

namespace {

std::unique_ptr<SoundManager> OfflineManager() {
  return std::make_unique<SoundManager>(std::make_unique<SoundSystem>(SoundBackend::Offline));
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Every log line while it lives.
class LogLines {
 public:
  LogLines() {
    mv::io::SetLogSink([this](std::string_view line) { m_text += std::string(line); });
  }
  ~LogLines() { mv::io::SetLogSink({}); }
  LogLines(const LogLines&) = delete;
  LogLines& operator=(const LogLines&) = delete;
  bool Has(const std::string& part) const { return m_text.find(part) != std::string::npos; }
  const std::string& Text() const { return m_text; }

 private:
  std::string m_text;
};

SoundSettings Bass() {
  SoundSettings s;
  for (int band = 1; band <= 4; ++band) s.selected[std::size_t(band)] = true;
  s.threshold = 40;
  return s;
}

}  // namespace

// Whatever the settings, the file reads back as they were written.
TEST(SoundSettingsFile, WrittenAndReadBack) {
  audiotest::ScratchFolder folder;
  std::vector<SoundSettings> cases;
  cases.push_back(SoundSettings{});
  cases.push_back(Bass());
  SoundSettings all;
  all.selected.fill(true);
  all.threshold = 255;
  all.takePeak = true;
  all.source = LiveSource::LineIn;
  all.lineInDevice = "Monitor of Built-in Audio \"Analog\" Stereo \\ é 🎛";
  all.microDevice = "USB Mic, 'front'";
  all.monitor = true;
  all.syncOffsetMs = -1000;
  cases.push_back(all);
  SoundSettings micro;
  micro.source = LiveSource::Micro;
  micro.selected[63] = true;
  micro.threshold = 0;
  micro.syncOffsetMs = 1000;
  cases.push_back(micro);
  const std::vector<std::string> devices = {"Built-in Audio Analog Stereo", "Line\nwith a break"};
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    const std::filesystem::path file = folder.Root() / "media" / "sound.toml";
    ASSERT_TRUE(WriteSoundSettings(file, cases[i], devices));
    SoundSettingsRead read = ReadSoundSettings(file);
    EXPECT_EQ(read.status, Status::Read);
    EXPECT_TRUE(read.problems.empty()) << read.problems.front();
    EXPECT_TRUE(read.settings == cases[i]);
    // Human-readable: the sections and the devices to choose from are there.
    const std::string text = ReadText(file);
    EXPECT_NE(text.find("[analysis]"), std::string::npos);
    EXPECT_NE(text.find("#   'Built-in Audio Analog Stereo'"), std::string::npos);
    EXPECT_NE(text.find("Line?with a break"), std::string::npos);
  }
  // Nothing left beside it by the atomic write.
  int files = 0;
  for (auto& entry : std::filesystem::directory_iterator(folder.Root() / "media")) files += entry.is_regular_file();
  EXPECT_EQ(files, 1);
}

// A damaged file gives the starting state; a file with some bad values
// keeps the good ones. Either way each problem is named.
TEST(SoundSettingsFile, DamagedFilesAreIgnoredCleanly) {
  struct Case {
    const char* name;
    std::string text;
    Status status;
    int band;        // a band that must come out selected, -1 none
    int threshold;   // expected
    int offsetMs;    // expected
  };
  const Case cases[] = {
      {"empty", "", Status::Read, -1, 125, 0},
      {"cut in a table", "[analysis]\nbands = [1, 2,\n", Status::Damaged, -1, 125, 0},
      {"binary", std::string("\x00\x01\xFF\xFE[sync]\x7F", 10), Status::Damaged, -1, 125, 0},
      {"not UTF-8", "[live]\nline_in_device = \"caf\xE9\"\n", Status::Damaged, -1, 125, 0},
      {"stray bracket", "[analysis\nthreshold = 3\n", Status::Damaged, -1, 125, 0},
      {"duplicate key", "[sync]\noffset_ms = 5\noffset_ms = 6\n", Status::Damaged, -1, 125, 0},
      {"wrong types", "[analysis]\nbands = 3\nthreshold = \"high\"\ntake_peak = 1\n[sync]\noffset_ms = 20\n",
       Status::Read, -1, 125, 20},
      {"out of range", "[analysis]\nbands = [2, 64, -1, 2.5]\nthreshold = 300\n[sync]\noffset_ms = 5000\n",
       Status::Read, 2, 125, 0},
      {"unknown keys", "[analysis]\nthresold = 9\nthreshold = 9\n[extra]\na = 1\n", Status::Read, -1, 9, 0},
      {"sections as values", "analysis = 3\nlive = \"x\"\n[sync]\noffset_ms = -7\n", Status::Read, -1, 125, -7},
      {"bad source", "[live]\nsource = \"tape\"\n[analysis]\nbands = [5]\n", Status::Read, 5, 125, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SoundSettingsRead read = ParseSoundSettings(c.text);
    EXPECT_EQ(read.status, c.status);
    const SoundSettings& s = read.settings;
    int selected = 0;
    for (bool b : s.selected) selected += b;
    EXPECT_EQ(selected, c.band < 0 ? 0 : 1);
    if (c.band >= 0) {
      EXPECT_TRUE(s.selected[std::size_t(c.band)]);
    }
    EXPECT_EQ(s.threshold, c.threshold);
    EXPECT_EQ(s.syncOffsetMs, c.offsetMs);
    EXPECT_FALSE(s.takePeak);
    EXPECT_EQ(s.source, LiveSource::InternalPlayer);
    // Every file but the empty one had something to say about itself.
    EXPECT_EQ(read.problems.empty(), c.text.empty());
  }
  audiotest::ScratchFolder folder;
  EXPECT_EQ(ReadSoundSettings(folder.Root() / "media" / "sound.toml").status, Status::Missing);
  std::filesystem::create_directory(folder.Root() / "media" / "sound.toml");
  EXPECT_EQ(ReadSoundSettings(folder.Root() / "media" / "sound.toml").status, Status::Damaged);
}

// A fresh start with the settings of the last run: the bass bands are
// selected, so BassValue follows the music from the first analysed frame.
TEST(SoundManagerSettings, FreshStartReactsWithTheStoredSelection) {
  audiotest::ScratchFolder folder;
  ASSERT_TRUE(audiotest::WriteSine("media/music/bass.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2,
                                   2.0, 2 * kBinHz));
  ASSERT_TRUE(WriteSoundSettings("media/sound.toml", Bass()));
  CDXUTDialogResourceManager resources;
  auto m = OfflineManager();
  m->BuildPanel(&resources);
  EXPECT_TRUE(m->LoadSettings());
  EXPECT_TRUE(m->CurrentSettings() == Bass());
  m->OpenTrack("bass.wav");
  m->Play();
  m->System().Advance(0.04);
  m->AnalyseSpectrum();
  EXPECT_GT(g_ValueSources.BassValue, 0.2f);
  // The panel shows what the analysis uses.
  EXPECT_EQ(m->Panel().GetSlider(610)->GetValue(), 40);
  EXPECT_EQ(std::u16string(m->Panel().GetStatic(611)->GetText()), u"Threshold : 015%");
  EXPECT_EQ(m->Panel().GetSpectrum(620)->m_fThreshold, 40.0f);
  EXPECT_FALSE(m->Panel().GetCheckBox(612)->GetChecked());
  g_ValueSources = ValueSources{};
}

// Settings read before the panel is built still reach it.
TEST(SoundManagerSettings, PanelBuiltAfterLoadingShowsThem) {
  audiotest::ScratchFolder folder;
  SoundSettings s = Bass();
  s.takePeak = true;
  s.threshold = 200;
  ASSERT_TRUE(WriteSoundSettings("media/sound.toml", s));
  CDXUTDialogResourceManager resources;
  auto m = OfflineManager();
  ASSERT_TRUE(m->LoadSettings());
  m->BuildPanel(&resources);
  EXPECT_EQ(m->Bands().threshold, 200.0f);
  EXPECT_EQ(m->Panel().GetSlider(610)->GetValue(), 200);
  EXPECT_TRUE(m->Panel().GetCheckBox(612)->GetChecked());
  EXPECT_TRUE(m->Bands().takePeak);
}

TEST(SoundManagerSettings, MissingOrDamagedFileGivesTheStartingStateAndALogLine) {
  audiotest::ScratchFolder folder;
  for (const char* text : {static_cast<const char*>(nullptr), "[analysis\nbands = [1]", "\xFF\xFE"}) {
    SCOPED_TRACE(text ? text : "missing");
    std::filesystem::remove("media/sound.toml");
    if (text) WriteText("media/sound.toml", text);
    CDXUTDialogResourceManager resources;
    auto m = OfflineManager();
    m->BuildPanel(&resources);
    // Something left from before the file is read: the file decides.
    m->Bands().selected[9] = true;
    LogLines log;
    EXPECT_FALSE(m->LoadSettings());
    EXPECT_TRUE(log.Has("media/sound.toml")) << log.Text();
    EXPECT_TRUE(log.Has(text ? "damaged" : "no ")) << log.Text();
    EXPECT_TRUE(m->CurrentSettings() == SoundSettings{});
    EXPECT_EQ(m->Panel().GetSlider(610)->GetValue(), 125);
    EXPECT_FALSE(m->Panel().GetCheckBox(612)->GetChecked());
    EXPECT_TRUE(m->Panel().GetRadioButton(621)->GetChecked());
  }
}

// What the panel changed during a run is what the next run finds.
TEST(SoundManagerSettings, SavedAtExitAsThePanelLeftThem) {
  audiotest::ScratchFolder folder;
  {
    CDXUTDialogResourceManager resources;
    auto m = OfflineManager();
    m->BuildPanel(&resources);
    m->LoadSettings();
    CDXUTDialog& panel = m->Panel();
    panel.GetSlider(610)->SetValue(64);
    m->OnPanelEvent(EVENT_SLIDER_VALUE_CHANGED, 610, panel.GetControl(610));
    panel.GetCheckBox(612)->SetChecked(true);
    m->OnPanelEvent(EVENT_CHECKBOX_CHANGED, 612, panel.GetControl(612));
    m->Bands().selected[3] = m->Bands().selected[7] = true;
    m->SetSyncOffsetMs(120);
    m->SetLiveDevice(RecordingLine::LineIn, "Scarlett 2i2");
    ASSERT_TRUE(m->SaveSettings());
  }
  auto next = OfflineManager();
  ASSERT_TRUE(next->LoadSettings());
  SoundSettings s = next->CurrentSettings();
  EXPECT_EQ(s.threshold, 64);
  EXPECT_TRUE(s.takePeak);
  EXPECT_TRUE(s.selected[3] && s.selected[7]);
  EXPECT_EQ(s.syncOffsetMs, 120);
  EXPECT_EQ(next->System().AnalysisOffsetMs(), 120);
  EXPECT_EQ(s.lineInDevice, "Scarlett 2i2");
  EXPECT_EQ(next->GetLiveDevice(RecordingLine::LineIn), "Scarlett 2i2");
}

// The settings live beside the show, not in it: a slide section written
// with them is the same, byte for byte, as one written without.
TEST(SoundManagerSettings, SlideSectionUnchanged) {
  audiotest::ScratchFolder folder;
  auto write = [](SoundManager& m) {
    m.OpenTrack("song.ogg");
    m.SetVolume(200);
    std::ostringstream out;
    m.Write(out);
    return out.str();
  };
  auto plain = OfflineManager();
  const std::string before = write(*plain);
  auto configured = OfflineManager();
  SoundSettings s = Bass();
  s.takePeak = true;
  s.syncOffsetMs = 300;
  configured->ApplySettings(s);
  EXPECT_EQ(write(*configured), before);
}

// The stored source comes back: live input from the stored line, with the
// stored offset applied to what is analysed.
TEST(SoundManagerSettings, LiveSourceComesBack) {
  audiotest::ScratchFolder folder;
  SoundSettings s;
  s.source = LiveSource::LineIn;
  ASSERT_TRUE(WriteSoundSettings("media/sound.toml", s));
  CDXUTDialogResourceManager resources;
  auto m = OfflineManager();
  m->BuildPanel(&resources);
  ASSERT_TRUE(m->LoadSettings());
  EXPECT_EQ(m->GetSourceMode(), SoundManager::kSourceLiveInput);
  EXPECT_EQ(m->GetRecordingLine(), RecordingLine::LineIn);
  EXPECT_TRUE(m->System().IsRecording());
  EXPECT_TRUE(m->Panel().GetRadioButton(622)->GetChecked());
  EXPECT_FALSE(m->Panel().GetRadioButton(621)->GetChecked());
  EXPECT_EQ(m->CurrentSettings().source, LiveSource::LineIn);
}
