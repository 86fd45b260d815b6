// Choosing what live input records: the capture device by name, the card's
// recording line through its mixer (and back at exit), and whether the
// input is heard through the output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "AudioFixtures.h"
#include "audio/RecordingLine.h"
#include "audio/SoundManager.h"
#include "io/Log.h"

using namespace mv::audio;
using audiotest::kBinHz;

namespace {

// A sound card's capture controls, shared with the test that made them.
struct FakeCard {
  std::vector<CaptureControl> controls;
  int writes = 0;
  const CaptureControl& Get(const std::string& name) const {
    for (const CaptureControl& c : controls)
      if (c.name == name) return c;
    throw std::runtime_error("no control " + name);
  }
};

class FakeMixer final : public CaptureMixer {
 public:
  explicit FakeMixer(std::shared_ptr<FakeCard> card) : m_card(std::move(card)) {}
  std::vector<CaptureControl> Controls() override { return m_card->controls; }
  bool Write(const CaptureControl& control) override {
    for (CaptureControl& c : m_card->controls) {
      if (c.name != control.name || c.index != control.index) continue;
      c.values = control.values;
      ++m_card->writes;
      return true;
    }
    return false;
  }

 private:
  std::shared_ptr<FakeCard> m_card;
};

CaptureControl List(std::string name, std::vector<std::string> items, std::vector<int> values) {
  return CaptureControl{std::move(name), 0, std::move(items), std::move(values)};
}
CaptureControl Switch(std::string name, std::vector<int> values) {
  return CaptureControl{std::move(name), 0, {}, std::move(values)};
}

class LogLines {
 public:
  LogLines() { mv::io::SetLogSink([this](std::string_view line) { m_text += std::string(line); }); }
  ~LogLines() { mv::io::SetLogSink({}); }
  LogLines(const LogLines&) = delete;
  LogLines& operator=(const LogLines&) = delete;
  bool Has(const std::string& part) const { return m_text.find(part) != std::string::npos; }
  const std::string& Text() const { return m_text; }

 private:
  std::string m_text;
};

}  // namespace

// Cards as ALSA shows them: an input list (most onboard codecs), one
// capture switch per input (older and USB cards), a sound server's
// "default" with only a master capture switch, and a mono list.
TEST(RecordingLineSelector, SwitchesTheLineAndPutsTheOldOneBack) {
  struct Step {
    RecordingLine line;
    std::vector<std::pair<std::string, std::vector<int>>> expect;
  };
  struct Case {
    const char* name;
    std::vector<CaptureControl> controls;
    bool canSwitch;
    std::vector<Step> steps;
  };
  const std::vector<Case> cases = {
      {"input list",
       {List("Capture Source", {"Mic", "Line", "CD", "Mix"}, {2, 2}), Switch("Capture", {1, 1})},
       true,
       {{RecordingLine::LineIn, {{"Capture Source", {1, 1}}, {"Capture", {1, 1}}}},
        {RecordingLine::Microphone, {{"Capture Source", {0, 0}}}}}},
      {"a switch per input",
       {Switch("Mic", {0, 0}), Switch("Line", {1, 1}), Switch("Capture", {0, 1})},
       true,
       {{RecordingLine::Microphone, {{"Mic", {1, 1}}, {"Line", {0, 0}}, {"Capture", {0, 1}}}},
        {RecordingLine::LineIn, {{"Mic", {0, 0}}, {"Line", {1, 1}}}}}},
      {"sound server", {Switch("Capture", {1, 1})}, false, {{RecordingLine::LineIn, {{"Capture", {1, 1}}}}}},
      {"mono list", {List("Input Source", {"Front Mic", "Rear Mic", "Line"}, {2, -1})}, true,
       {{RecordingLine::Microphone, {{"Input Source", {0, -1}}}}}},
      {"no line input", {Switch("Mic", {1, 1}), Switch("Line", {0, 0})}, true,
       {{RecordingLine::Microphone, {{"Mic", {1, 1}}, {"Line", {0, 0}}}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto card = std::make_shared<FakeCard>();
    card->controls = c.controls;
    {
      RecordingLineSelector selector(std::make_unique<FakeMixer>(card));
      for (const Step& step : c.steps) {
        EXPECT_EQ(selector.Select(step.line), c.canSwitch);
        for (const auto& [name, values] : step.expect) EXPECT_EQ(card->Get(name).values, values) << name;
      }
      if (!c.canSwitch) {
        EXPECT_EQ(card->writes, 0);
      }
      selector.Restore();
      for (const CaptureControl& before : c.controls)
        EXPECT_EQ(card->Get(before.name).values, before.values) << before.name;
    }
  }
  // A card without a line input keeps its microphone when "Line In" is
  // asked for: switching the microphone off would leave nothing to record.
  auto card = std::make_shared<FakeCard>();
  card->controls = {Switch("Mic", {1, 1})};
  RecordingLineSelector selector(std::make_unique<FakeMixer>(card));
  EXPECT_FALSE(selector.Select(RecordingLine::LineIn));
  EXPECT_EQ(card->Get("Mic").values, (std::vector<int>{1, 1}));
}

// The player switches the card's line for live input and, at exit, puts
// back the line the card had.
TEST(RecordingLineSelector, ManagerRestoresTheLineAtExit) {
  auto card = std::make_shared<FakeCard>();
  card->controls = {List("Capture Source", {"Mic", "Line"}, {0, 0})};
  {
    SoundManager m(std::make_unique<SoundSystem>(SoundBackend::Offline));
    m.SetCaptureMixer(std::make_unique<FakeMixer>(card));
    ASSERT_TRUE(m.SelectSource(SoundManager::kSourceLiveInput, RecordingLine::LineIn));
    EXPECT_EQ(card->Get("Capture Source").values, (std::vector<int>{1, 1}));
    ASSERT_TRUE(m.SelectSource(SoundManager::kSourceInternalPlayer, RecordingLine::LineIn));
    EXPECT_EQ(card->Get("Capture Source").values, (std::vector<int>{1, 1}));  // until exit
  }
  EXPECT_EQ(card->Get("Capture Source").values, (std::vector<int>{0, 0}));
}

// On the device backend (SDL's dummy driver here): a device chosen by a name
// that no longer exists records from the default device, and says so.
TEST(CaptureDevice, GoneDeviceFallsBackToTheDefaultWithALogLine) {
  SoundSystem system(SoundBackend::Device);
  ASSERT_TRUE(system.Init(kOutputRate, 2, 0));
  SampleHandle s = system.SampleAlloc(0, 2205, kModeSample16Mono, 44100, 255, 128, 255);
  system.SetCaptureDevice("USB Mic (unplugged)");
  LogLines log;
  ASSERT_TRUE(system.RecordStartSample(s, true)) << log.Text();
  EXPECT_TRUE(system.IsRecording());
  EXPECT_EQ(system.CaptureDeviceOpened(), "");
  EXPECT_TRUE(log.Has("\"USB Mic (unplugged)\" not available")) << log.Text();
  EXPECT_TRUE(log.Has("recording from the default")) << log.Text();
  system.RecordStop();
  // A device SDL lists opens by its name.
  const std::vector<std::string> names = system.CaptureDeviceNames();
  ASSERT_FALSE(names.empty());
  system.SetCaptureDevice(names.front());
  ASSERT_TRUE(system.RecordStartSample(s, true));
  EXPECT_EQ(system.CaptureDeviceOpened(), names.front());
  system.Close();
}

// Each line records from its own device where the mixer cannot switch
// lines; choosing the other line moves the recording to its device.
TEST(CaptureDevice, LineInAndMicroRecordFromTheirDevices) {
  audiotest::ScratchFolder folder;
  SoundManager m(std::make_unique<SoundSystem>(SoundBackend::Device));
  m.SetCaptureMixer(std::make_unique<FakeMixer>(std::make_shared<FakeCard>()));
  const std::vector<std::string> names = m.System().CaptureDeviceNames();
  ASSERT_FALSE(names.empty());
  m.SetLiveDevice(RecordingLine::LineIn, names.front());
  m.SetLiveDevice(RecordingLine::Microphone, "Headset (gone)");
  LogLines log;
  ASSERT_TRUE(m.SelectSource(SoundManager::kSourceLiveInput, RecordingLine::LineIn));
  EXPECT_EQ(m.System().CaptureDeviceOpened(), names.front());
  ASSERT_TRUE(m.SelectSource(SoundManager::kSourceLiveInput, RecordingLine::Microphone));
  EXPECT_TRUE(m.System().IsRecording());
  EXPECT_EQ(m.System().CaptureDeviceOpened(), "");
  EXPECT_TRUE(log.Has("\"Headset (gone)\" not available")) << log.Text();
  // No device and no switchable mixer: the default device, and a hint.
  m.SetLiveDevice(RecordingLine::LineIn, "");
  ASSERT_TRUE(m.SelectSource(SoundManager::kSourceLiveInput, RecordingLine::LineIn));
  EXPECT_TRUE(log.Has("cannot switch to Line In")) << log.Text();
  EXPECT_EQ(m.System().CaptureDeviceOpened(), "");
  EXPECT_TRUE(m.SelectSource(SoundManager::kSourceInternalPlayer, RecordingLine::LineIn));
  EXPECT_FALSE(m.System().IsRecording());
}

// Live input is analysed whether or not it is heard; it is heard through
// the output only when monitoring is on (a microphone by the speakers
// would howl at the full volume a slide sets).
TEST(CaptureDevice, MonitorOnlyWhenAskedFor) {
  auto m = std::make_unique<SoundManager>(std::make_unique<SoundSystem>(SoundBackend::Offline));
  m->SetVolume(255);
  ASSERT_TRUE(m->SelectSource(SoundManager::kSourceLiveInput, RecordingLine::Microphone));
  std::vector<float> block(512), out(2048 * 2);
  double phase = 0.0;
  auto feedAndMix = [&]() {
    float loudest = 0.0f;
    for (int i = 0; i < 40; ++i) {
      for (int part = 0; part < 4; ++part) {
        for (float& v : block) {
          v = float(0.5 * std::sin(phase));
          phase += 2.0 * std::numbers::pi * 10 * kBinHz / 44100.0;
        }
        m->System().FeedCapture(block.data(), block.size());
      }
      m->System().Mix(out.data(), 2048);
      for (float v : out) loudest = std::max(loudest, std::fabs(v));
    }
    return loudest;
  };
  EXPECT_FALSE(m->GetMonitor());
  EXPECT_EQ(feedAndMix(), 0.0f);
  m->AnalyseSpectrum();
  EXPECT_GT(m->Bands().bands[10], 0.5f);
  m->SetMonitor(true);
  EXPECT_GT(feedAndMix(), 0.45f);
  m->SetMonitor(false);
  EXPECT_EQ(feedAndMix(), 0.0f);
}
