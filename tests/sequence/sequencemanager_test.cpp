#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "animation/AnimationManager.h"
#include "model/TimeLine.h"
#include "core/Globals.h"
#include "effects/SkyBoxManager.h"
#include "framework/Framework.h"
#include "gui/Gui.h"
#include "io/BinaryIO.h"
#include "io/Utf16.h"
#include "scene/SceneManager.h"
#include "sequence/SequenceManager.h"
#include "ShowUnderTest.h"
#include "support/TempWorkDir.h"
#include "values/ValuesManager.h"

// One process per test: the global managers start fresh each time.

using mv::test::TempWorkDir;

namespace {

SequenceManager& Seq() { return seqtest::TheShow().sequence; }

std::u16string Path(std::size_t i) { return std::u16string(mv::io::FixedView(Seq().Slides()[i].path, 260)); }

template <class T>
T* Control(int id, UINT type) {
  return static_cast<T*>(Seq().Panel().GetControl(id, type));
}

std::u16string Status() { return Control<CDXUTStatic>(SequenceManager::IDC_STATUS, DXUT_CONTROL_STATIC)->GetText(); }

std::u16string Message() {
  auto* s = static_cast<CDXUTStatic*>(
      Seq().MessageDialog().GetControl(SequenceManager::IDC_MSG_TEXT, DXUT_CONTROL_STATIC));
  return s->GetText();
}

class Show : public ::testing::Test {
 protected:
  void SetUp() override {
    // ctest runs each test in a process of its own; when the whole program
    // runs at once, start every test from an empty, paused show all the same.
    std::string empty(13, '\0');
    std::istringstream in(empty);
    Seq().Read(in);
    if (Seq().IsPlaying()) Seq().TogglePlay();
    std::filesystem::create_directories("media");
    Seq().BuildPanels();
    g_bGuiHidden = false;
    g_bPreferencesLoaded = true;
  }
  TempWorkDir dir;
};

std::string SlideBytes() {
  std::ostringstream os;
  EXPECT_TRUE(Seq().SaveSlideTo(os));
  return os.str();
}

std::size_t SkyBoxSectionSize() {
  std::ostringstream os;
  seqtest::TheShow().skyBox.Write(os);
  return os.str().size();
}

}  // namespace

TEST_F(Show, AnEmptyListIgnoresEveryAction) {
  Seq().Previous();
  Seq().Next();
  Seq().Remove();
  Seq().SaveCurrent();
  Seq().Calc();
  Control<CDXUTSlider>(SequenceManager::IDC_DURATION_SLIDER, DXUT_CONTROL_SLIDER)->SetValue(7);
  auto* slider = Control<CDXUTSlider>(SequenceManager::IDC_DURATION_SLIDER, DXUT_CONTROL_SLIDER);
  Seq().Panel().SendEvent(EVENT_SLIDER_VALUE_CHANGED, true, slider);
  EXPECT_TRUE(Seq().Slides().empty());
  EXPECT_EQ(Seq().Current(), SequenceManager::kNone);
  Seq().FrameMove(0.04f);
  EXPECT_EQ(Status(), u"Sequence empty !");
  EXPECT_FALSE(Seq().Panel().GetControlEnabled(SequenceManager::IDC_SAVE));
  EXPECT_FALSE(Seq().Panel().GetControlEnabled(SequenceManager::IDC_REMOVE));
  EXPECT_FALSE(std::filesystem::exists("media/DSlide0"));
}

TEST_F(Show, InsertNumbersSlidesAndNeverReusesAListedNumber) {
  Seq().Insert();
  EXPECT_EQ(Seq().Current(), 0u);
  Seq().Insert();
  Seq().Insert();
  ASSERT_EQ(Seq().Slides().size(), 3u);
  EXPECT_EQ(Path(2), u"media\\DSlide2");
  EXPECT_EQ(Seq().Slides()[2].durationMs, 10000);
  EXPECT_EQ(Seq().Current(), 0u);  // inserting into a list keeps the current slide

  // After removing slide 1 the count is 2 again, but "media\DSlide2" is
  // still in the list: the new slide takes the next free number.
  Seq().Next();
  Seq().Remove();
  Seq().Insert();
  ASSERT_EQ(Seq().Slides().size(), 3u);
  EXPECT_EQ(Seq().Slides()[2].number, 3u);
  EXPECT_EQ(Path(2), u"media\\DSlide3");
}

TEST_F(Show, PreviousWrapsAndRemovingKeepsTheSceneWithoutLoading) {
  for (int i = 0; i < 3; ++i) Seq().Insert();
  Seq().Previous();
  EXPECT_EQ(Seq().Current(), 2u);
  Seq().Previous();
  EXPECT_EQ(Seq().Current(), 1u);
  Seq().Remove();
  EXPECT_EQ(Seq().Current(), 1u);  // the following slide
  EXPECT_EQ(Seq().LastLoaded(), 1u);
  Seq().Remove();
  EXPECT_EQ(Seq().Current(), 0u);  // removed the last: the new last
  EXPECT_EQ(Seq().LastLoaded(), 0u);
}

TEST_F(Show, NextOnTheLastSlideEndsTheProgramWithExitCodeZero) {
  Seq().Insert();
  seqtest::TheShow().scene.SetSelectedIndex(3);
  fw::Shutdown(7);
  ASSERT_EQ(fw::GetExitCode(), 7);
  Seq().Next();
  EXPECT_EQ(fw::GetExitCode(), 0);
  EXPECT_EQ(seqtest::TheShow().scene.GetSelectedIndex(), 0);
}

TEST_F(Show, DurationSliderAndEditBox) {
  Seq().Insert();
  auto* slider = Control<CDXUTSlider>(SequenceManager::IDC_DURATION_SLIDER, DXUT_CONTROL_SLIDER);
  slider->SetValue(50);
  Seq().Panel().SendEvent(EVENT_SLIDER_VALUE_CHANGED, true, slider);
  EXPECT_EQ(Seq().Slides()[0].durationMs, 50000);

  auto* edit = Control<CDXUTEditBox>(SequenceManager::IDC_DURATION_EDIT, DXUT_CONTROL_EDITBOX);
  edit->SetText(u"1500");
  Seq().Panel().SendEvent(EVENT_EDITBOX_CHANGE, true, edit);
  EXPECT_EQ(Seq().Slides()[0].durationMs, 1500);
  EXPECT_EQ(slider->GetValue(), 1);
  // Enter alone changes nothing.
  edit->SetText(u"9000");
  Seq().Panel().SendEvent(EVENT_EDITBOX_STRING, true, edit);
  EXPECT_EQ(Seq().Slides()[0].durationMs, 1500);
}

TEST_F(Show, CalcTruncatesEachKeysShare) {
  Seq().Insert();
  CSceneObject* first = seqtest::TheShow().scene.GetObject(0);
  TimeLine* t = first->timeLine ? first->timeLine : first->CreateTimeLine();
  ASSERT_NE(t, nullptr);
  while (t->GetKeyCount() > 0) t->RemoveKey(0);
  ASSERT_GE(t->InsertKey(0, 25), 0);
  ASSERT_GE(t->InsertKey(1, 13), 0);
  Seq().Calc();
  EXPECT_EQ(Seq().Slides()[0].durationMs, 1520);
  EXPECT_EQ(Seq().GetRemaining(), 1520);
}

TEST_F(Show, StatusLineAndPlayLabel) {
  Seq().Insert();
  Seq().FrameMove(0.04f);  // tries to load media\DSlide0, which is missing
  EXPECT_EQ(Message(), u"Error when loading slide");
  EXPECT_EQ(Status(), u"Slide : 000/001 - Pause Mode");
  Seq().TogglePlay();
  Seq().FrameMove(0.04f);
  // The slide that failed counts its own duration down.
  EXPECT_EQ(Status(), u"Slide : 000/001 - 9960 ms");
  EXPECT_EQ(std::u16string(Control<CDXUTButton>(SequenceManager::IDC_PLAY, DXUT_CONTROL_BUTTON)->GetText()),
            u"Stop");
  EXPECT_TRUE(seqtest::TheShow().animation.IsPlaying());
  Seq().TogglePlay();
  EXPECT_FALSE(seqtest::TheShow().animation.IsPlaying());
  EXPECT_TRUE(Seq().MusicStarted());
}

TEST_F(Show, AFailedLoadIsNotRetriedUntilTheSlideChanges) {
  Seq().Insert();
  Seq().FrameMove(0.04f);
  EXPECT_EQ(Message(), u"Error when loading slide");
  Seq().MessageDialog().SetVisible(false);
  Seq().FrameMove(0.04f);
  EXPECT_FALSE(Seq().MessageDialog().GetVisible());
}

TEST_F(Show, ASavedSlideStartsWithTheSkyBoxTagAndReloadsToTheSameBytes) {
  Seq().Insert();
  // Loading forces the volume to 255: start from a loaded state, so that
  // what is saved is what a load gives back.
  {
    std::istringstream first(SlideBytes());
    ASSERT_TRUE(Seq().LoadSlideFrom(first));
  }
  Seq().SaveCurrent();
  EXPECT_EQ(Message(), u"Slide saved !");
  const std::string saved = dir.Read("media/DSlide0");
  ASSERT_GE(saved.size(), 4u);
  EXPECT_EQ(saved.substr(0, 4), std::string("\x01\x00\x00\x00", 4));
  ASSERT_TRUE(Seq().LoadSlide(u"media\\DSlide0"));
  EXPECT_TRUE(Seq().IsPlaying());
  EXPECT_EQ(SlideBytes(), saved);
}

TEST_F(Show, SaveRefusesPathsOutsideTheWorkingFolder) {
  Seq().Insert();
  mv::io::CopyToFixed(Seq().Slides()[0].path, 260, u"..\\escaped");
  Seq().SaveCurrent();
  EXPECT_EQ(Message(), u"Slide not saved correctly !");
  EXPECT_FALSE(std::filesystem::exists(dir.Path().parent_path() / "escaped"));
  mv::io::CopyToFixed(Seq().Slides()[0].path, 260, u"/tmp/escaped");
  EXPECT_FALSE(Seq().SaveSlide(u"/tmp/escaped"));
}

TEST_F(Show, AFailedSaveKeepsThePreviousSlide) {
  Seq().Insert();
  dir.Write("media/DSlide0", "previous good slide");
  // A folder where the temporary file goes makes the write fail.
  std::filesystem::create_directories("media/DSlide0.tmp-" + std::to_string(::getpid()));
  Seq().SaveCurrent();
  EXPECT_EQ(Message(), u"Slide not saved correctly !");
  EXPECT_EQ(dir.Read("media/DSlide0"), "previous good slide");
}

TEST_F(Show, AWrongSecondTagReplacesOnlyTheSkyBox) {
  seqtest::TheShow().skyBox.SetScale({2, 3, 4});
  std::string bytes = SlideBytes();
  const std::size_t second = 4 + SkyBoxSectionSize();
  ASSERT_EQ(bytes.substr(second, 4), std::string("\x02\x00\x00\x00", 4));
  bytes[second] = 9;

  seqtest::TheShow().skyBox.SetScale({7, 7, 7});
  seqtest::TheShow().scene.SetSelectedIndex(2);
  const int objects = seqtest::TheShow().scene.GetObjectCount();
  std::istringstream in(bytes);
  EXPECT_FALSE(Seq().LoadSlideFrom(in));
  EXPECT_EQ(seqtest::TheShow().skyBox.GetScale(), glm::vec3(2, 3, 4));
  EXPECT_EQ(seqtest::TheShow().scene.GetObjectCount(), objects);
  EXPECT_FALSE(Seq().IsPlaying());
}

TEST_F(Show, AFileEndingAfterTheAnimationSectionLoadsWithAWarning) {
  // A script file that would change slot 1 if it were read.
  std::ostringstream script;
  for (int i = 0; i < 41; ++i) mv::io::WriteI32(script, 5);
  dir.Write("value.dat", script.str());
  const std::size_t before = seqtest::TheShow().values.GetScript(1).GetSize();

  std::string bytes = SlideBytes();
  std::ostringstream values;
  mv::io::WriteI32(values, 11);
  seqtest::TheShow().values.Write(values);
  bytes.resize(bytes.size() - values.str().size());

  std::istringstream in(bytes);
  EXPECT_TRUE(Seq().LoadSlideFrom(in));
  EXPECT_EQ(seqtest::TheShow().values.GetScript(1).GetSize(), before);
  // The scene is all there, so the show plays it and the music starts.
  EXPECT_TRUE(Seq().IsPlaying());
  EXPECT_TRUE(seqtest::TheShow().animation.IsPlaying());
  EXPECT_TRUE(Seq().MusicStarted());
  EXPECT_TRUE(Seq().LastLoadReport().valuesMissing);
  EXPECT_STREQ(Seq().LastLoadReport().section, "values");
  EXPECT_EQ(Seq().LastLoadReport().offset, static_cast<std::int64_t>(bytes.size()));
}

TEST_F(Show, AFullLoadReadsTheScriptsAndStartsTheShow) {
  std::ostringstream script;
  for (int i = 0; i < 41; ++i) mv::io::WriteI32(script, 5);
  dir.Write("value.dat", script.str());
  std::istringstream in(SlideBytes());
  ASSERT_TRUE(Seq().LoadSlideFrom(in));
  EXPECT_GT(seqtest::TheShow().values.GetScript(1).GetSize(), 0);
  EXPECT_TRUE(Seq().IsPlaying());
  EXPECT_TRUE(seqtest::TheShow().animation.IsPlaying());
  EXPECT_TRUE(Seq().MusicStarted());
}

TEST_F(Show, TruncatedAndForeignSlideFilesFailCleanly) {
  const std::string good = SlideBytes();
  const std::string cases[] = {"", std::string("\x01", 1), good.substr(0, good.size() / 2),
                               std::string(200, '\xFF'), "MZ this is not a slide at all"};
  for (const auto& bytes : cases) {
    std::istringstream in(bytes);
    EXPECT_FALSE(Seq().LoadSlideFrom(in)) << bytes.size();
  }
}

TEST(Templates, ScanListsSlideFilesInNameOrder) {
  TempWorkDir dir;
  dir.Write("media/template/b.slide", "b");
  dir.Write("media/template/A.SLIDE", "a");
  dir.Write("media/template/notes.txt", "x");
  dir.Write("media/template/" + std::string(70, 'x') + ".slide", "too long a name");
  SequenceManager m(seqtest::TheShow().Managers());
  ASSERT_EQ(m.Templates().size(), 2u);
  EXPECT_STREQ(m.Templates()[0].name, "A.SLIDE");
  EXPECT_STREQ(m.Templates()[0].path, "media\\template\\A.SLIDE");
  EXPECT_STREQ(m.Templates()[1].name, "b.slide");
}

TEST(Templates, AMissingFolderGivesAnEmptyList) {
  TempWorkDir dir;
  SequenceManager m(seqtest::TheShow().Managers());
  EXPECT_TRUE(m.Templates().empty());
}

TEST(Templates, InsertStartsTheNewSlideAsACopyOfTheChosenTemplate) {
  TempWorkDir dir;
  dir.Write("media/template/intro.slide", "template bytes");
  dir.Write("media/template/outro.slide", "other template");
  std::istringstream empty(std::string(13, '\0'));
  Seq().Read(empty);
  Seq().ScanTemplates();
  Seq().BuildPanels();
  auto* combo = static_cast<CDXUTComboBox*>(Seq().Panel().GetControl(SequenceManager::IDC_TEMPLATES, DXUT_CONTROL_COMBOBOX));
  ASSERT_NE(combo, nullptr);
  ASSERT_EQ(combo->GetNumItems(), 2u);
  combo->SetSelectedByIndex(1);
  Seq().Insert();
  EXPECT_EQ(dir.Read("media/DSlide0"), "other template");
  // An existing file at the new slide's path is never overwritten.
  dir.Write("media/DSlide1", "someone's work");
  Seq().Insert();
  EXPECT_EQ(dir.Read("media/DSlide1"), "someone's work");
}

// ---- a bad slide costs one slide, never the show ---------------------------

namespace {

// Slides 0..n-1 at media\DSlide<i>; `good` says which files hold a whole
// slide (the others are missing).
void MakeShow(TempWorkDir& dir, std::initializer_list<bool> good, std::int32_t durationMs) {
  int i = 0;
  for (bool g : good) {
    Seq().Insert();
    Seq().Slides().back().durationMs = durationMs;
    if (g) dir.Write("media/DSlide" + std::to_string(i), SlideBytes());
    ++i;
  }
  if (Seq().IsPlaying()) Seq().TogglePlay();
}

}  // namespace

TEST_F(Show, AFirstSlideThatFailsIsSkippedAfterItsDurationAndTheShowStarts) {
  MakeShow(dir, {false, true}, 100);
  // Whatever the panel did while building the show, it has not paused it.
  std::istringstream list([] {
    std::ostringstream os;
    EXPECT_TRUE(Seq().Write(os));
    return os.str();
  }());
  Seq().Read(list);
  Seq().FrameMove(0.04f);
  EXPECT_EQ(Seq().Current(), 0u);
  EXPECT_FALSE(Seq().LastLoadReport().loaded);
  EXPECT_STREQ(Seq().LastLoadReport().section, "file");
  EXPECT_EQ(Message(), u"Error when loading slide");
  // The duration counts from the frame after the failed load.
  Seq().FrameMove(0.04f);  // 40 ms of 100
  Seq().FrameMove(0.04f);  // 80 ms
  EXPECT_EQ(Seq().Current(), 0u);
  Seq().FrameMove(0.04f);  // 120 ms: on to the next slide, which loads
  EXPECT_EQ(Seq().Current(), 1u);
  EXPECT_TRUE(Seq().LastLoadReport().loaded);
  EXPECT_TRUE(Seq().IsPlaying());
  EXPECT_TRUE(Seq().MusicStarted());
}

TEST_F(Show, ASlideThatFailsWithoutADurationIsSkippedAtTheNextFrame) {
  MakeShow(dir, {false, true}, 0);
  std::ostringstream os;
  Seq().Write(os);
  std::istringstream list(os.str());
  Seq().Read(list);
  Seq().FrameMove(0.04f);
  EXPECT_EQ(Seq().Current(), 0u);
  Seq().FrameMove(0.04f);
  EXPECT_EQ(Seq().Current(), 1u);
}

TEST_F(Show, APausedShowStaysOnTheSlideThatFailed) {
  MakeShow(dir, {true, false, true}, 100);
  std::ostringstream os;
  Seq().Write(os);
  std::istringstream list(os.str());
  Seq().Read(list);
  Seq().FrameMove(0.04f);  // slide 0 loads and plays
  ASSERT_TRUE(Seq().IsPlaying());
  Seq().TogglePlay();  // the performer pauses
  Seq().Next();
  for (int i = 0; i < 10; ++i) Seq().FrameMove(0.04f);
  EXPECT_EQ(Seq().Current(), 1u);
  Seq().TogglePlay();  // playing again: the broken slide now costs its duration
  for (int i = 0; i < 4; ++i) Seq().FrameMove(0.04f);
  EXPECT_EQ(Seq().Current(), 2u);
}

TEST_F(Show, AShowOfOnlyBrokenSlidesEndsAfterOnePassWithExitCodeZero) {
  MakeShow(dir, {false, false, false}, 0);
  std::ostringstream os;
  Seq().Write(os);
  std::istringstream list(os.str());
  Seq().Read(list);
  fw::Shutdown(7);
  ASSERT_EQ(fw::GetExitCode(), 7);
  for (int i = 0; i < 6; ++i) Seq().FrameMove(0.04f);
  EXPECT_EQ(Seq().Current(), 2u);
  EXPECT_EQ(fw::GetExitCode(), 0);
}

// The load names the section at fault and where its tag stands.
TEST_F(Show, TheLoadReportNamesTheSectionAndItsOffset) {
  const std::string whole = SlideBytes();
  std::ostringstream sky;
  seqtest::TheShow().skyBox.Write(sky);
  const auto deviceTag = static_cast<std::int64_t>(4 + sky.str().size());
  struct Case {
    const char* name;
    std::string bytes;
    bool loaded;
    const char* section;
    std::int64_t offset;
  };
  std::string foreignSecond = whole;
  foreignSecond[static_cast<std::size_t>(deviceTag)] = 9;
  const Case cases[] = {
      {"empty file", "", false, "sky box", 0},
      {"foreign second tag", foreignSecond, false, "device", deviceTag},
      {"cut inside the sky box", whole.substr(0, 10), false, "sky box", 0},
      {"cut after the sky box", whole.substr(0, static_cast<std::size_t>(deviceTag)), false, "device", deviceTag},
      {"whole", whole, true, "", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::istringstream in(c.bytes);
    EXPECT_EQ(Seq().LoadSlideFrom(in), c.loaded);
    const SlideLoadReport& r = Seq().LastLoadReport();
    EXPECT_EQ(r.loaded, c.loaded);
    EXPECT_STREQ(r.section, c.section);
    EXPECT_EQ(r.offset, c.offset);
    EXPECT_EQ(r.reason.empty(), c.loaded);
  }
}

// ---- durations at their limits ----------------------------------------------

TEST_F(Show, TypedDurationsSaturateAtZeroAndOneDay) {
  Seq().Insert();
  auto* slider = Control<CDXUTSlider>(SequenceManager::IDC_DURATION_SLIDER, DXUT_CONTROL_SLIDER);
  auto* edit = Control<CDXUTEditBox>(SequenceManager::IDC_DURATION_EDIT, DXUT_CONTROL_EDITBOX);
  struct Case {
    const char16_t* text;
    std::int32_t ms;
    int slider;
  };
  const Case cases[] = {
      {u"99999999999", 86400000, 1000}, {u"-2500", 0, 0},       {u"86400001", 86400000, 1000},
      {u"2147483648", 86400000, 1000},  {u"1500.9", 1500, 1},   {u"0", 0, 0},
  };
  for (const Case& c : cases) {
    edit->SetText(c.text);
    Seq().Panel().SendEvent(EVENT_EDITBOX_CHANGE, true, edit);
    EXPECT_EQ(Seq().Slides()[0].durationMs, c.ms) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
    EXPECT_EQ(slider->GetValue(), c.slider);
  }
}

TEST_F(Show, CalcAddsLongKeysInSixtyFourBitsAndSaturates) {
  Seq().Insert();
  CSceneObject* first = seqtest::TheShow().scene.GetObject(0);
  TimeLine* t = first->timeLine ? first->timeLine : first->CreateTimeLine();
  ASSERT_NE(t, nullptr);
  struct Case {
    std::vector<std::int32_t> keys;
    std::int32_t ms;
  };
  const Case cases[] = {
      {{3000000}, 86400000},             // 120 000 000 ms: more than a day
      {{60000, 60000}, 4800000},         // 2 400 000 ms each: would overflow 32 bits times 1000
      {{2000000000, 2000000000}, 86400000},
      {{-25}, 0},
  };
  for (const Case& c : cases) {
    while (t->GetKeyCount() > 0) t->RemoveKey(0);
    for (std::size_t k = 0; k < c.keys.size(); ++k) ASSERT_GE(t->InsertKey(std::int32_t(k), c.keys[k]), 0);
    Seq().Calc();
    EXPECT_EQ(Seq().Slides()[0].durationMs, c.ms) << c.keys[0];
    EXPECT_EQ(Seq().GetRemaining(), c.ms);
  }
}
