#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "SlideTool.h"
#include "model/Keys.h"
#include "model/TimeLineFormat.h"
#include "core/Globals.h"
#include "effects/DeviceManager.h"
#include "effects/PostProcessManager.h"
#include "effects/SectionFormat.h"
#include "effects/SkyBoxManager.h"
#include "gui/Dialog.h"
#include "io/BinaryIO.h"
#include "io/Utf16.h"
#include "scene/SceneFormat.h"
#include "sequence/SequenceManager.h"
#include "ShowUnderTest.h"
#include "sequence/SlideRecord.h"
#include "sequence/StandaloneShow.h"
#include "support/TempWorkDir.h"

namespace {

using slidetool::Document;

void Prefs(std::ostream& out, std::int32_t x, std::int32_t y, std::uint8_t minimized) {
  mv::effects::WritePanelPrefs(out, {x, y, minimized});
}

void Object(std::ostream& out, std::int32_t kind, std::int32_t parent, std::int32_t catalog = -1) {
  mv::scene::SceneRecordHeader h;
  h.kind = kind;
  h.parent = parent;
  h.catalogIndex = catalog;
  if (mv::scene::RecordHasText(kind)) {
    mv::io::CopyToFixed(h.text, kNameLength, u"H\u00e9llo \U0001F600");
    h.text[40] = u'z';  // left over in the array after the terminator
    mv::io::CopyToFixed(h.font, kFontLength, u"Arial");
  }
  mv::scene::WriteSceneRecordHeader(out, h);
}

struct Offsets {
  std::size_t skyFields = 0;   // the sky box fields after its preferences
  std::size_t postCount = 0;   // the post-process entry count
  std::size_t sceneTag = 0;
  std::size_t firstObject = 0;
  std::size_t soundTag = 0;
  std::size_t valuesTag = 0;
};

// A slide of every section, written through the managers and the section
// format code, with a key of every timeline kind.
std::string SampleSlide(Offsets* at = nullptr) {
  std::ostringstream os;
  Offsets o;
  mv::io::WriteI32(os, 1);
  SkyBoxManager sky;
  CDXUTDialog panel;
  panel.SetLocation(-12, 40);
  sky.SetPanel(&panel);
  sky.LoadSkyBox(4);
  sky.SetScale({1.5f, 0.1f, -3e-39f});
  sky.SetRotation({3.14159265f, 0.0f, -0.0f});
  sky.Write(os);
  o.skyFields = 4 + 9;

  mv::io::WriteI32(os, 2);
  DeviceManager device;
  device.Write(os);

  mv::io::WriteI32(os, 6);
  o.postCount = static_cast<std::size_t>(os.tellp());
  PostProcessManager post;
  post.ApplyCombination(PostProcessCombination::Bloom);
  post.SyncRecords();
  post.Write(os);

  o.sceneTag = static_cast<std::size_t>(os.tellp());
  mv::io::WriteI32(os, 4);
  Prefs(os, 300, 20, 0);
  mv::io::WriteI32(os, 7);
  o.firstObject = static_cast<std::size_t>(os.tellp());
  // Light with one key.
  Object(os, 2, -1);
  mv::format::WriteKeyCount(os, 1);
  LightKey light;
  light.duration = 25;
  light.position[0] = 0.25f;
  light.radius = 2.8f;
  light.radiusLink = 3;
  mv::format::WriteLightKey(os, light);
  // Camera with two keys.
  Object(os, 3, -1);
  mv::format::WriteKeyCount(os, 2);
  CameraKey cam;
  cam.eye[2] = -5.0f;
  cam.eyeLinks[1] = 7;
  mv::format::WriteCameraKey(os, cam);
  cam.duration = 50;
  cam.reserved = 0x55AA;
  mv::format::WriteCameraKey(os, cam);
  // Sky box object.
  Object(os, 6, -1);
  mv::format::WriteKeyCount(os, 1);
  MetaBallKey sk;
  sk.size[0] = sk.size[1] = sk.size[2] = 100.0f;
  sk.vectorC[1] = 0.5f;
  sk.links3[2] = 2;
  mv::format::WriteSkyBoxKey(os, sk);
  // Post-process object without a timeline.
  Object(os, 8, -1);
  mv::io::WriteI32(os, 0);
  // A 3D text object parented to the light, with a mesh key.
  Object(os, 4, 0, 3);
  mv::format::WriteKeyCount(os, 1);
  MeshKey mk;
  mk.params.iScale[0] = 1.0f;
  mk.params.vDiff[3] = 0.75f;
  mk.params.animationType = 4;
  mk.params.extraValueLink = 9;
  mv::format::WriteMeshKey(os, mk);
  // A layer text and a post-process key of their own.
  Object(os, 10, -1);
  mv::format::WriteKeyCount(os, 1);
  LayerTextKey lt;
  lt.position[0] = 100.0f;
  lt.positionLinks[2] = 1;
  mv::format::WriteLayerTextKey(os, lt);
  Object(os, 8, -1);
  mv::format::WriteKeyCount(os, 1);
  PostProcessKey pk;
  pk.params[159] = 1.0f;
  pk.extra[0] = -1;
  mv::format::WritePostProcessKey(os, pk);

  o.soundTag = static_cast<std::size_t>(os.tellp());
  mv::io::WriteI32(os, 5);
  Prefs(os, 0, 0, 1);
  std::string track(300, '\0');
  track.replace(0, 9, "track.ogg");
  os.write(track.data(), 300);
  mv::io::WriteU8(os, 1);
  mv::io::WriteI32(os, 200);

  mv::io::WriteI32(os, 8);
  Prefs(os, 5, 6, 0);
  o.valuesTag = static_cast<std::size_t>(os.tellp());
  mv::io::WriteI32(os, 11);
  Prefs(os, 7, 8, 1);
  if (at) *at = o;
  return os.str();
}

std::string SampleSequence() {
  std::ostringstream os;
  mv::io::WriteI32(os, 7);
  Prefs(os, -100, 2000, 0);
  std::vector<SlideRecord> slides(3);
  for (std::uint32_t i = 0; i < 3; ++i) {
    slides[i].number = i;
    slides[i].durationMs = 10000 + static_cast<std::int32_t>(i);
    mv::io::CopyToFixed(slides[i].path, SlideRecord::kPathUnits, u"media\\DSlide" + std::u16string(1, u'0' + i));
  }
  slides[2].path[200] = u'q';
  mv::seq::WriteSlideList(os, slides);
  return os.str();
}

// Every member of a document with the name Build gives it in messages
// ("$.sections[3].panel.x").
void Members(const Document& v, const Document::json_pointer& at, const std::string& path,
             std::vector<std::pair<Document::json_pointer, std::string>>& out) {
  if (v.is_object()) {
    for (const auto& [key, member] : v.items()) {
      out.emplace_back(at / key, path + "." + key);
      Members(member, at / key, path + "." + key, out);
    }
  } else if (v.is_array()) {
    for (std::size_t i = 0; i < v.size(); ++i) {
      out.emplace_back(at / i, path + "[" + std::to_string(i) + "]");
      Members(v[i], at / i, path + "[" + std::to_string(i) + "]", out);
    }
  }
}

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string RoundTrip(const std::string& bytes) {
  const auto d = slidetool::Dump(bytes);
  // Through the text form, as the command line does it.
  std::string out, error;
  auto doc = slidetool::Parse(slidetool::ToText(d.doc), error);
  EXPECT_TRUE(doc) << error;
  if (!doc) return {};
  EXPECT_TRUE(slidetool::Build(*doc, out, error)) << error;
  return out;
}

}  // namespace

TEST(SlideTool, DumpListsMembersInFileOrder) {
  // Ordered as in the file (and not by name), so an edited dump reads like the file.
  const std::string text = slidetool::ToText(slidetool::Dump(SampleSlide()).doc);
  const char* order[] = {"file", "sections", "tag", "section", "panel", "x", "y", "minimized", "currentIndex",
                         "enabled", "scale", "rotation", "rotationSpeed", "tag", "section", "panel"};
  std::size_t at = 0;
  for (const char* name : order) {
    const auto next = text.find("\"" + std::string(name) + "\":", at);
    ASSERT_NE(next, std::string::npos) << name << " after offset " << at;
    at = next + 1;
  }
}

TEST(SlideTool, DumpBuildReproducesGeneratedSlide) {
  const std::string slide = SampleSlide();
  std::vector<slidetool::Problem> warnings;
  EXPECT_FALSE(slidetool::Check(slide, &warnings));
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(RoundTrip(slide), slide);
}

TEST(SlideTool, DumpShowsEverySectionObjectAndKey) {
  const auto d = slidetool::Dump(SampleSlide());
  const Document& sections = d.doc.at("sections");
  ASSERT_EQ(sections.size(), 7u);
  const int tags[] = {1, 2, 6, 4, 5, 8, 11};
  for (std::size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(sections[i].at("tag"), tags[i]);
    EXPECT_FALSE(sections[i].contains("raw")) << i;
  }
  const Document& sky = sections[0];
  EXPECT_EQ(sky.at("panel").at("x"), -12);
  EXPECT_EQ(sky.at("currentIndex"), 4);
  EXPECT_EQ(sky.at("scale")[0].get<float>(), 1.5f);
  const Document& post = sections[2];
  EXPECT_EQ(post.at("entryCount"), 10);
  EXPECT_EQ(post.at("records")[2].at("effect"), 6);
  EXPECT_EQ(post.at("records")[9].at("effect"), -1);
  const Document& scene = sections[3];
  const Document& objects = scene.at("objects");
  ASSERT_EQ(objects.size(), 7u);
  EXPECT_EQ(objects[0].at("timeline").at("keys")[0].at("radiusLink"), 3);
  EXPECT_EQ(objects[1].at("timeline").at("keys")[1].at("reserved"), 0x55AA);
  EXPECT_EQ(objects[2].at("timeline").at("keys")[0].at("vectorC")[1].get<float>(), 0.5f);
  EXPECT_EQ(objects[3].at("timeline").at("keyCount"), 0);
  const Document& text = objects[4];
  EXPECT_EQ(text.at("catalogIndex"), 3);
  EXPECT_EQ(text.at("parent"), 0);
  EXPECT_EQ(text.at("text").at("text"), "H\xC3\xA9llo \xF0\x9F\x98\x80");
  EXPECT_FALSE(text.at("text").at("tail").get<std::string>().empty());
  EXPECT_EQ(text.at("font"), "Arial");
  EXPECT_EQ(text.at("timeline").at("keys")[0].at("params").at("extraValueLink"), 9);
  EXPECT_EQ(objects[6].at("timeline").at("keys")[0].at("params").size(), 160u);
  const Document& sound = sections[4];
  EXPECT_EQ(sound.at("panel").at("minimized"), 1);
  EXPECT_EQ(sound.at("track"), "track.ogg");
  EXPECT_FALSE(sound.contains("trackRaw"));
  EXPECT_EQ(sound.at("enabled"), 1);
  EXPECT_EQ(sound.at("volume"), 200);
  EXPECT_FALSE(d.doc.contains("trailing"));
}

TEST(SlideTool, EveryPrefixRoundTrips) {
  const std::string slide = SampleSlide();
  for (std::size_t n = 0; n < slide.size(); n += (n < 600 ? 1 : 37)) {
    const std::string cut = slide.substr(0, n);
    ASSERT_EQ(RoundTrip(cut), cut) << n;
  }
}

namespace {

std::string Patch32(std::string bytes, std::size_t offset, std::int32_t v) {
  for (int i = 0; i < 4; ++i)
    bytes[offset + static_cast<std::size_t>(i)] =
        static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
  return bytes;
}

// What the player does with `bytes` as the only slide of a show: it loads
// and plays it, or reports it and moves on.
struct PlayerVerdict {
  bool loaded = false;
  bool playing = false;
};

PlayerVerdict PlayTheSlide(const std::string& bytes) {
  mv::test::TempWorkDir dir;
  dir.Write("media/DSlide0", bytes);
  StandaloneShow show;
  show.BuildPanels();
  show.sequence.Insert();
  std::ostringstream list;
  show.sequence.Write(list);
  std::istringstream again(list.str());
  show.sequence.Read(again);
  show.sequence.FrameMove(0.04f);
  PlayerVerdict v;
  auto* text = static_cast<CDXUTStatic*>(
      show.sequence.MessageDialog().GetControl(SequenceManager::IDC_MSG_TEXT, DXUT_CONTROL_STATIC));
  v.loaded = std::u16string(text->GetText()) != u"Error when loading slide";
  v.playing = show.sequence.IsPlaying();
  return v;
}

}  // namespace

// `check` and the player agree on every crafted file: the player refuses a
// slide exactly when `check` names a fault, and what `check` warns about is
// what the player repairs or lives with.
TEST(SlideTool, CheckAgreesWithThePlayer) {
  Offsets at;
  const std::string slide = SampleSlide(&at);
  const std::size_t deviceTag = 4 + 9 + 41;
  const std::size_t sceneCount = at.firstObject - 4;
  const std::size_t firstRecord = at.postCount + 4;
  std::string boolByte = slide;
  boolByte[4 + 8] = 2;  // the sky box panel's minimized byte
  const struct Case {
    const char* name;
    std::string bytes;
    const char* fault;    // start of the fault's reason, or null when the slide plays
    std::size_t offset;   // of the fault, or of the first warning
    const char* warning;  // a warning that must be given, or null for none at all
  } cases[] = {
      {"whole", slide, nullptr, 0, nullptr},
      {"boolean byte 2", boolByte, nullptr, 4 + 8, "boolean byte 2 read as true"},
      {"sky box row 42", Patch32(slide, at.skyFields, 42), nullptr, at.skyFields, "sky box row 42"},
      {"effect index 77", Patch32(slide, firstRecord, 77), nullptr, firstRecord, "post-process entry 0 names effect 77"},
      {"parameter slot 40", Patch32(slide, firstRecord + 4, 40), nullptr, firstRecord, "post-process entry 0 uses parameter slot 40"},
      {"parameter slot -2", Patch32(slide, firstRecord + 4, -2), nullptr, firstRecord, "post-process entry 0 uses parameter slot -2"},
      // No records are read: the first record's bytes are taken for the next tag.
      {"post-process count -3", Patch32(slide, at.postCount, -3), "scene section: tag", at.postCount + 4, "post-process count -3"},
      {"65 537 objects", Patch32(slide, sceneCount, 65537), "scene section: section damaged", sceneCount + 4, nullptr},
      {"unknown object kind", Patch32(slide, at.firstObject, 12), "scene section: section damaged", at.firstObject + 8, nullptr},
      {"foreign second tag", Patch32(slide, deviceTag, 3), "device section: tag 3 where 2", deviceTag, nullptr},
      {"cut in the sky box", slide.substr(0, at.skyFields + 10), "sky box section: section cut short", at.skyFields + 10, nullptr},
      {"cut before the sound", slide.substr(0, at.soundTag), "sound section: file ends", at.soundTag, nullptr},
      {"cut in the animation panel", slide.substr(0, at.valuesTag - 4), nullptr, at.valuesTag - 4, "no values section"},
      {"no values section", slide.substr(0, at.valuesTag), nullptr, at.valuesTag, "no values section"},
      {"cut in the values panel", slide.substr(0, at.valuesTag + 8), nullptr, at.valuesTag, "values section cut short"},
      {"bytes after the end", slide + "tail", nullptr, slide.size(), "4 bytes after the last section are ignored"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<slidetool::Problem> warnings;
    const auto fault = slidetool::Check(c.bytes, &warnings);
    const PlayerVerdict player = PlayTheSlide(c.bytes);
    EXPECT_EQ(!fault, player.loaded);
    EXPECT_EQ(!fault, player.playing);
    if (c.fault) {
      ASSERT_TRUE(fault);
      EXPECT_EQ(fault->reason.rfind(c.fault, 0), 0u) << fault->reason;
      EXPECT_EQ(fault->offset, c.offset) << fault->reason;
    } else {
      EXPECT_FALSE(fault) << fault->reason;
    }
    if (c.warning) {
      const auto w = std::find_if(warnings.begin(), warnings.end(), [&](const slidetool::Problem& p) {
        return p.reason.find(c.warning) != std::string::npos;
      });
      ASSERT_NE(w, warnings.end()) << (warnings.empty() ? "no warning" : warnings.front().reason);
      if (!c.fault) {
        EXPECT_EQ(w->offset, c.offset) << w->reason;
      }
    } else {
      EXPECT_TRUE(warnings.empty()) << warnings.front().reason;
    }
    EXPECT_EQ(RoundTrip(c.bytes), c.bytes);
  }
}




TEST(SlideTool, MissingValuesSectionAndTrailingBytesAreWarnings) {
  Offsets at;
  const std::string slide = SampleSlide(&at);
  std::vector<slidetool::Problem> warnings;
  EXPECT_FALSE(slidetool::Check(slide.substr(0, at.valuesTag), &warnings));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].offset, at.valuesTag);
  warnings.clear();
  const std::string longer = slide + "extra";
  EXPECT_FALSE(slidetool::Check(longer, &warnings));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].offset, slide.size());
  EXPECT_EQ(RoundTrip(longer), longer);
}

TEST(SlideTool, SequenceFileDump) {
  const std::string seq = SampleSequence();
  const auto d = slidetool::Dump(seq);
  EXPECT_TRUE(d.problems.empty());
  EXPECT_EQ(d.doc.at("file"), "sequence");
  EXPECT_EQ(d.doc.at("panel").at("y"), 2000);
  EXPECT_EQ(d.doc.at("count"), 3);
  const Document& slides = d.doc.at("slides");
  ASSERT_EQ(slides.size(), 3u);
  EXPECT_EQ(slides[1].at("path"), "media\\DSlide1");
  EXPECT_EQ(slides[1].at("duration"), 10001);
  EXPECT_EQ(slides[2].at("path").at("text"), "media\\DSlide2");
  EXPECT_EQ(RoundTrip(seq), seq);
  // Short of its last record: the player keeps what arrived, and the
  // inspector says so at the record; the bytes still travel exactly.
  const std::string cut = seq.substr(0, seq.size() - 100);
  std::vector<slidetool::Problem> warnings;
  EXPECT_FALSE(slidetool::Check(cut, &warnings));
  ASSERT_FALSE(warnings.empty());
  EXPECT_EQ(warnings[0].offset, 17u + 2 * 532u);
  EXPECT_NE(warnings[0].reason.find("slide 2 cut short"), std::string::npos) << warnings[0].reason;
  EXPECT_EQ(RoundTrip(cut), cut);
  // A count of -5: an empty show, a warning, no refusal.
  std::vector<slidetool::Problem> negative;
  EXPECT_FALSE(slidetool::Check(seq.substr(0, 13) + std::string("\xFB\xFF\xFF\xFF", 4), &negative));
  ASSERT_FALSE(negative.empty());
  EXPECT_EQ(negative[0].offset, 13u);
  EXPECT_NE(negative[0].reason.find("slide count -5"), std::string::npos) << negative[0].reason;
}

TEST(SlideTool, BuildRejectsDocumentsThatDescribeNoFile) {
  const char* docs[] = {
      R"({"sections": []})",
      R"({"file": "slide", "sections": [{"tag": 3}]})",
      R"({"file": "slide", "sections": [{"tag": 2, "panel": {"x": 1, "y": 2}}]})",
      R"({"file": "slide", "sections": [{"tag": 2, "panel": {"x": 1, "y": 2, "minimized": 256}}]})",
      R"({"file": "slide", "sections": [{"tag": 6, "entryCount": 2, "records": []}]})",
      R"({"file": "slide", "sections": [{"tag": 6, "entryCount": 0, "records": [{}]}]})",
      R"({"file": "slide", "sections": [{"tag": 2, "raw": "abc"}]})",
      R"({"file": "sequence", "tag": 7, "panel": {"x": 0, "y": 0, "minimized": 1}, "count": 1,
          "slides": [{"reserved": 0, "number": 0, "duration": 1, "path": 5}]})",
  };
  for (const char* text : docs) {
    std::string out, error;
    auto doc = slidetool::Parse(text, error);
    ASSERT_TRUE(doc) << text << ": " << error;
    EXPECT_FALSE(slidetool::Build(*doc, out, error)) << text;
    EXPECT_FALSE(error.empty());
  }
}

TEST(SlideTool, SoundSectionFields) {
  Offsets at;
  const std::string slide = SampleSlide(&at);
  const std::size_t track = at.soundTag + 4 + 9;
  auto patch = [&](std::size_t offset, char c) {
    std::string s = slide;
    s[offset] = c;
    return s;
  };
  const struct {
    std::string bytes;
    bool plainTrack;   // "track" as text, else "trackRaw" hex
    bool fault;
    const char* what;
  } cases[] = {
      {slide, true, false, "plain path"},
      {patch(track + 20, 'X'), false, false, "a byte after the terminator"},
      {patch(track, '\xFF'), false, false, "not UTF-8"},
      {std::string(slide).replace(track, 300, std::string(300, 'a')), false, false, "no terminator"},
      // The player plays every slide with sound on, whatever this byte says.
      {patch(track + 300, 2), true, false, "enabled byte 2"},
  };
  for (const auto& c : cases) {
    const auto d = slidetool::Dump(c.bytes);
    const Document& sound = d.doc.at("sections")[4];
    EXPECT_EQ(sound.at("section"), "sound") << c.what;
    EXPECT_EQ(sound.contains("track"), c.plainTrack) << c.what;
    EXPECT_EQ(sound.contains("trackRaw"), !c.plainTrack) << c.what;
    if (!c.plainTrack) {
      EXPECT_EQ(sound.at("trackRaw").get<std::string>().size(), 600u) << c.what;
    }
    EXPECT_EQ(sound.at("volume"), 200) << c.what;
    std::vector<slidetool::Problem> warnings;
    EXPECT_EQ(slidetool::Check(c.bytes, &warnings).has_value(), c.fault) << c.what;
    EXPECT_TRUE(warnings.empty()) << c.what << ": " << warnings.front().reason;
    EXPECT_EQ(RoundTrip(c.bytes), c.bytes) << c.what;
  }
}

TEST(SlideTool, BuildNamesTheMemberItCannotUse) {
  for (const std::string& bytes : {SampleSlide() + "tail", SampleSequence()}) {
    const Document doc = slidetool::Dump(bytes).doc;
    std::vector<std::pair<Document::json_pointer, std::string>> members;
    Members(doc, Document::json_pointer(), "$", members);
    ASSERT_GT(members.size(), 20u);
    for (const auto& [pointer, path] : members) {
      if (pointer.back() == "section") continue;  // the section's name is for the reader
      for (const Document& wrong : {Document(true), Document(nullptr), Document::object()}) {
        Document bad = doc;
        bad[pointer] = wrong;
        std::string out, error;
        ASSERT_FALSE(slidetool::Build(bad, out, error)) << path << " = " << wrong.dump();
        // The message begins with the member, or a member inside it.
        ASSERT_EQ(error.rfind(path, 0), 0u) << path << " = " << wrong.dump() << ": " << error;
        EXPECT_NE(std::string(":.[").find(error[path.size()]), std::string::npos) << error;
      }
    }
  }
}

TEST(SlideTool, CommandLineBuildErrors) {
  const auto dir = std::filesystem::temp_directory_path() / ("slidetool-build-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto json = dir / "in.json";
  const auto out = dir / "out";
  const auto err = dir / "err";
  const struct {
    std::string text;
    int rc;
    const char* message;  // in what the tool prints
  } cases[] = {
      {"", 2, "in.json: not JSON: parse error at line 1, column 1"},
      {R"({"file": "slide", "sections": [)", 2, "in.json: not JSON: parse error at line 1"},
      {"{\"file\": \"slide\",\n \"sections\": [}]}", 2, "not JSON: parse error at line 2, column 15"},
      {R"({"file": "slide", "sections": []} x)", 2, "not JSON: parse error"},
      {"{\"file\": \"\xFF\"}", 2, "not JSON: parse error"},
      {R"({"file": "\ud800"})", 2, "not JSON: parse error"},
      {R"({"file": "slide", "sections": [], "x": 1e400})", 2, "in.json: not JSON: number overflow parsing '1e400'"},
      {R"([1, 2])", 1, "in.json: $: object expected"},
      {R"({"file": "slide", "sections": [{"tag": 2, "panel": {"x": 1.5}}]})", 1,
       "in.json: $.sections[0].panel.x: integer in"},
  };
  const std::string tool = MV_SLIDE_TOOL;
  for (const auto& c : cases) {
    std::ofstream(json, std::ios::binary) << c.text;
    std::filesystem::remove(out);
    const int status = std::system((tool + " build " + json.string() + " " + out.string() + " 2>" + err.string()).c_str());
    ASSERT_TRUE(WIFEXITED(status)) << c.text;
    EXPECT_EQ(WEXITSTATUS(status), c.rc) << c.text;
    const std::string printed = ReadFile(err);
    EXPECT_NE(printed.find(c.message), std::string::npos) << c.text << "\nprinted: " << printed;
    EXPECT_EQ(printed.find("json.exception"), std::string::npos) << printed;
    EXPECT_FALSE(std::filesystem::exists(out)) << c.text;
  }
  const int status = std::system((tool + " build " + (dir / "absent.json").string() + " " + out.string() + " 2>/dev/null").c_str());
  EXPECT_EQ(WEXITSTATUS(status), 2);
  std::filesystem::remove_all(dir);
}

TEST(SlideTool, CommandLineRoundTrip) {
  const auto dir = std::filesystem::temp_directory_path() / ("slidetool-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto slide = dir / "DSlide0";
  const auto json = dir / "slide.json";
  const auto rebuilt = dir / "rebuilt";
  const std::string bytes = SampleSlide();
  std::ofstream(slide, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  const std::string tool = MV_SLIDE_TOOL;
  auto run = [](const std::string& cmd) { return std::system((cmd + " 2>/dev/null").c_str()); };
  EXPECT_EQ(run(tool + " dump " + slide.string() + " > " + json.string()), 0);
  EXPECT_EQ(run(tool + " build " + json.string() + " " + rebuilt.string()), 0);
  std::ifstream in(rebuilt, std::ios::binary);
  const std::string back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(back, bytes);
  EXPECT_EQ(run(tool + " check " + slide.string() + " > /dev/null"), 0);
  std::filesystem::resize_file(slide, 30);
  EXPECT_NE(run(tool + " check " + slide.string() + " > /dev/null"), 0);
  EXPECT_NE(run(tool + " frobnicate " + slide.string()), 0);
  std::filesystem::remove_all(dir);
}

TEST(SlideTool, SlideSavedByThePlayerRoundTripsWithoutFaults) {
  // The player's own writer: every manager's Write, in the slide order.
  seqtest::TheShow().postProcess.ApplyCombination(PostProcessCombination::EdgeGlow);
  seqtest::TheShow().postProcess.SyncRecords();
  seqtest::TheShow().skyBox.LoadSkyBox(8);
  std::ostringstream os;
  ASSERT_TRUE(seqtest::TheShow().sequence.SaveSlideTo(os));
  const std::string slide = os.str();
  std::vector<slidetool::Problem> warnings;
  const auto fault = slidetool::Check(slide, &warnings);
  EXPECT_FALSE(fault) << fault->offset << ": " << fault->reason;
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(RoundTrip(slide), slide);
  const auto d = slidetool::Dump(slide);
  const Document& sections = d.doc.at("sections");
  ASSERT_EQ(sections.size(), 7u);
  EXPECT_EQ(sections[0].at("currentIndex"), 8);
  EXPECT_EQ(sections[2].at("records")[0].at("effect"), 13);
  seqtest::TheShow().postProcess.ClearActiveList();
  seqtest::TheShow().postProcess.SyncRecords();
  seqtest::TheShow().skyBox.LoadSkyBox(0);
}
