// Byte layouts of the timeline sections, key by key and in file order.
#include <gtest/gtest.h>

#include <sstream>

#include "model/TimeLine.h"
#include "model/TimeLineFormat.h"
#include "model/SceneObjects.h"
#include "timeline_test_util.h"

namespace {

std::string Written(TimeLine& t) {
  std::ostringstream out(std::ios::binary);
  t.Write(out);
  return out.str();
}

}  // namespace

TEST(TimeLineFormat, CameraKeyIs56BytesLinksFirst) {
  CCameraObject cam;
  auto* t = static_cast<TimeLineCamera*>(cam.CreateTimeLine());
  cam.Eye[0] = 1.5f, cam.Eye[1] = 2.5f, cam.Eye[2] = 3.5f;
  cam.LookAt[0] = -1, cam.LookAt[1] = -2, cam.LookAt[2] = -3;
  cam.eyeLinks[0] = 1, cam.eyeLinks[1] = 2, cam.eyeLinks[2] = 3;
  cam.lookAtLinks[0] = 4, cam.lookAtLinks[1] = 5, cam.lookAtLinks[2] = 6;
  ASSERT_EQ(t->InsertKey(0, 25), mv::S_OK);
  t->GetKey(0)->reserved = 77;
  Bytes want;
  want.I32(1).I32s({1, 2, 3, 4, 5, 6}).I32(77).I32(25).F32s({1.5f, 2.5f, 3.5f, -1, -2, -3});
  EXPECT_EQ(want.size(), 4u + kCameraKeyBytes);
  EXPECT_EQ(Written(*t), want.str());
}

TEST(TimeLineFormat, LayerTextKeyIs32Bytes) {
  CLayerTextObject text;
  auto* t = static_cast<TimeLineLayerText*>(text.CreateTimeLine());
  text.Pos[0] = 10, text.Pos[1] = 20, text.Pos[2] = 0.5f;
  text.posLinks[0] = 7, text.posLinks[1] = 8, text.posLinks[2] = 9;
  t->InsertKey(0, 3);
  text.Pos[0] = 11;
  t->InsertKey(1, 4);
  Bytes want;
  want.I32(2);
  want.I32s({7, 8, 9}).I32(0).I32(3).F32s({10, 20, 0.5f});
  want.I32s({7, 8, 9}).I32(0).I32(4).F32s({11, 20, 0.5f});
  EXPECT_EQ(want.size(), 4u + 2 * kLayerTextKeyBytes);
  EXPECT_EQ(Written(*t), want.str());
}

TEST(TimeLineFormat, LightKeyIs40BytesRadiusLinkFirst) {
  CLightObject light;
  auto* t = static_cast<TimeLineLight*>(light.CreateTimeLine());
  light.position[0] = 0.25f, light.position[1] = 0.5f, light.position[2] = 0.75f;
  light.radius = 2.0f;
  light.positionLinks[0] = 1, light.positionLinks[1] = 2, light.positionLinks[2] = 3;
  light.radiusLink = 12;
  t->InsertKey(0, 100);
  Bytes want;
  want.I32(1).I32(12).I32s({1, 2, 3}).F32(2.0f).I32(0).I32(100).F32s({0.25f, 0.5f, 0.75f});
  EXPECT_EQ(want.size(), 4u + kLightKeyBytes);
  EXPECT_EQ(Written(*t), want.str());
}

TEST(TimeLineFormat, MeshKeyIsTheBlockThenReservedAndDuration) {
  CMesh mesh;
  auto* t = static_cast<TimeLineMesh*>(mesh.CreateTimeLine());
  MeshParams& p = mesh.params;
  p.ownIndex = 5;
  p.iPos[1] = 1.25f;
  p.fillMode = 2;
  p.start = 7;
  p.end = 300;
  p.startLink = 3;
  p.flexLinks[5] = 11;
  p.DeformC = 12.5f;
  p.Delta[2] = -4;
  p.extraValue = 0.125f;
  p.extraValueLink = 6;
  t->InsertKey(0, 40);
  Bytes want;
  want.I32(1);
  want.I32(5).F32s({0, 1.25f, 0}).F32s({0, 0, 0}).F32s({1, 1, 1}).F32s({1, 1, 1, 1});
  want.F32s({0.1f, 0.1f, 0.1f, 0.1f});
  want.I32s({2, 3, 0, 1}).F32s({0, 0, 50, 50}).I32s({7, 300, 0}).F32(0).I32(0);
  want.I32s({3, 0});                                    // 31-32
  for (int w = 33; w <= 51; ++w) want.I32(0);           // 33-51
  want.I32s({0, 0, 0, 0, 0, 11});                       // 52-57
  want.F32(12.5f).F32s({0, 0, -4}).F32(0.125f).I32(6);  // 58-63
  want.I32(0).I32(40);
  EXPECT_EQ(want.size(), 4u + kMeshKeyBytes);
  EXPECT_EQ(Written(*t), want.str());
}

TEST(TimeLineFormat, SkyBoxKeyIs92BytesInItsOwnOrder) {
  CSkyBoxObject sky;
  auto* t = static_cast<TimeLineSkyBox*>(sky.CreateTimeLine());
  t->InsertKey(0, 9);
  MetaBallKey& k = *t->GetKey(0);
  k.reserved = -5;
  for (int c = 0; c < 3; ++c) {
    k.vectorA[c] = 1 + c;
    k.vectorB[c] = 11 + c;
    k.vectorC[c] = 21 + c;
    k.size[c] = 31 + c;
    k.links1[c] = 41 + c;
    k.links2[c] = 51 + c;
    k.links3[c] = 61 + c;
  }
  Bytes want;
  want.I32(1).I32s({61, 62, 63}).I32s({41, 42, 43}).I32s({51, 52, 53}).I32(-5).I32(9);
  want.F32s({31, 32, 33}).F32s({21, 22, 23}).F32s({1, 2, 3}).F32s({11, 12, 13});
  EXPECT_EQ(want.size(), 4u + kSkyBoxKeyBytes);
  EXPECT_EQ(Written(*t), want.str());
}

TEST(TimeLineFormat, PostProcessKeyIs808BytesExtraBlockFirst) {
  CPostProcessObject pp;
  auto* t = static_cast<TimeLinePostProcess*>(pp.CreateTimeLine());
  for (int i = 0; i < kPostProcessParamFloats; ++i) pp.params[i] = i * 0.5f;
  t->InsertKey(0, 8);
  for (int i = 0; i < kPostProcessExtraWords; ++i) t->GetKey(0)->extra[i] = 1000 + i;
  Bytes want;
  want.I32(1);
  for (int i = 0; i < kPostProcessExtraWords; ++i) want.I32(1000 + i);
  want.I32(0).I32(8);
  for (int i = 0; i < kPostProcessParamFloats; ++i) want.F32(i * 0.5f);
  EXPECT_EQ(want.size(), 4u + kPostProcessKeyBytes);
  EXPECT_EQ(Written(*t), want.str());
}

TEST(TimeLineFormat, MetaBallSectionIsTheCountAlone) {
  CMetaBallObject ball;
  auto* t = ball.CreateTimeLine();
  t->InsertKey(0, 5);
  t->InsertKey(1, 6);
  EXPECT_EQ(Written(*t), Bytes().I32(2).str());
}

// Every kind reads back exactly what it wrote, reserved words and the
// never-captured blocks included.
TEST(TimeLineFormat, EveryKindRoundTripsByteForByte) {
  CCameraObject cam;
  CLayerTextObject text;
  CLightObject light;
  CMesh mesh;
  CSkyBoxObject sky;
  CPostProcessObject pp;
  CSceneObject* objects[] = {&cam, &text, &light, &mesh, &sky, &pp};
  for (CSceneObject* o : objects) {
    TimeLine* t = o->CreateTimeLine();
    for (int k = 0; k < 3; ++k) t->InsertKey(k, 10 + k);
    std::ostringstream out(std::ios::binary);
    ASSERT_TRUE(o->WriteTimeLine(out));
    std::istringstream in(out.str(), std::ios::binary);
    ASSERT_TRUE(o->ReadTimeLine(in));
    EXPECT_EQ(in.peek(), std::char_traits<char>::eof()) << "kind section not fully read";
    EXPECT_EQ(o->timeLine->GetKeyCount(), 3);
    std::ostringstream again(std::ios::binary);
    o->WriteTimeLine(again);
    EXPECT_EQ(again.str(), out.str());
  }
}

TEST(TimeLineFormat, SkyBoxRoundTripKeepsVectorsAndReservedWords) {
  Bytes image;
  image.I32(2);
  for (int k = 0; k < 2; ++k) {
    image.I32s({1, 2, 3}).I32s({4, 5, 6}).I32s({7, 8, 9}).I32(-123456 + k).I32(50 + k);
    image.F32s({100, 200, 300}).F32s({0.5f, -0.5f, 1e-3f}).F32s({7, 8, 9}).F32s({-1e6f, 3.25f, 0});
  }
  CSkyBoxObject sky;
  std::istringstream in(image.str(), std::ios::binary);
  ASSERT_TRUE(sky.ReadTimeLine(in));
  auto* t = static_cast<TimeLineSkyBox*>(sky.timeLine);
  ASSERT_EQ(t->GetKeyCount(), 2);
  const MetaBallKey& k1 = *t->GetKey(1);
  EXPECT_EQ(k1.reserved, -123455);
  EXPECT_EQ(k1.duration, 51);
  EXPECT_EQ(k1.links3[0], 1);
  EXPECT_EQ(k1.links1[2], 6);
  EXPECT_EQ(k1.links2[1], 8);
  EXPECT_FLOAT_EQ(k1.size[2], 300);
  EXPECT_FLOAT_EQ(k1.vectorC[2], 1e-3f);
  EXPECT_FLOAT_EQ(k1.vectorA[0], 7);
  EXPECT_FLOAT_EQ(k1.vectorB[0], -1e6f);
  std::ostringstream out(std::ios::binary);
  sky.WriteTimeLine(out);
  EXPECT_EQ(out.str(), image.str());
}

TEST(TimeLineFormat, ObjectWithoutTimelineWritesFourZeroBytesAndReadsBackEmpty) {
  CCameraObject cam;
  CMesh mesh;
  CMetaBallObject ball;
  CSceneObject* objects[] = {&cam, &mesh, &ball};
  for (CSceneObject* o : objects) {
    std::ostringstream out(std::ios::binary);
    ASSERT_TRUE(o->WriteTimeLine(out));
    EXPECT_EQ(out.str(), std::string(4, '\0'));
    std::istringstream in(out.str() + "NEXT", std::ios::binary);
    ASSERT_TRUE(o->ReadTimeLine(in));
    ASSERT_NE(o->timeLine, nullptr);
    EXPECT_EQ(o->timeLine->GetKeyCount(), 0);
    // The four bytes are consumed, whatever the kind: the next record follows.
    char next[4];
    in.read(next, 4);
    EXPECT_EQ(std::string(next, 4), "NEXT");
  }
}

TEST(TimeLineFormat, MetaBallCountReadsBackAsZeroFilledKeys) {
  CMetaBallObject ball;
  std::istringstream in(Bytes().I32(3).str(), std::ios::binary);
  ASSERT_TRUE(ball.ReadTimeLine(in));
  auto* t = static_cast<TimeLineMetaBall*>(ball.timeLine);
  ASSERT_EQ(t->GetKeyCount(), 3);
  EXPECT_EQ(t->GetKeyTime(2), 0);
  EXPECT_FLOAT_EQ(t->GetKey(1)->size[0], 0);
}

TEST(TimeLineFormat, NegativeCountGivesAnEmptyTimeline) {
  CLightObject light;
  std::istringstream in(Bytes().I32(-7).str(), std::ios::binary);
  EXPECT_TRUE(light.ReadTimeLine(in));
  EXPECT_EQ(light.timeLine->GetKeyCount(), 0);
}

// Damaged sections: the read fails, the timeline is left empty, and no more
// is allocated than the stream can fill.
struct DamagedCase {
  const char* name;
  std::int32_t kind;
  std::string bytes;
};

TEST(TimeLineFormat, DamagedSectionsFailCleanly) {
  std::vector<DamagedCase> cases;
  cases.push_back({"empty stream", OBJ_CAMERA, ""});
  cases.push_back({"short count", OBJ_LIGHT, "\x01\x00"});
  cases.push_back({"count but no keys", OBJ_MESH, Bytes().I32(1).str()});
  Bytes halfKey;
  halfKey.I32(1).I32s({1, 2, 3});
  cases.push_back({"truncated key", OBJ_LAYERTEXT, halfKey.str()});
  Bytes oneOfTwo;
  oneOfTwo.I32(2).I32s({0, 0, 0, 0, 5}).F32s({1, 2, 3});
  cases.push_back({"second key missing", OBJ_LAYERTEXT, oneOfTwo.str()});
  cases.push_back({"huge count", OBJ_POSTPROCESS, Bytes().I32(0x7FFFFFFF).str() + std::string(100, '\0')});
  cases.push_back({"huge sky count", OBJ_SKYBOX, Bytes().I32(0x7FFFFFFF).str()});
  cases.push_back({"huge metaball count", OBJ_METABALL, Bytes().I32(0x7FFFFFFF).str()});
  for (const auto& c : cases) {
    std::unique_ptr<CSceneObject> o;
    if (c.kind == OBJ_METABALL)
      o = std::make_unique<CMetaBallObject>();
    else
      o = CreateSceneObject(c.kind);
    std::istringstream in(c.bytes, std::ios::binary);
    EXPECT_FALSE(o->ReadTimeLine(in)) << c.name;
    EXPECT_TRUE(in.fail()) << c.name;
    ASSERT_NE(o->timeLine, nullptr) << c.name;
    EXPECT_EQ(o->timeLine->GetKeyCount(), 0) << c.name;
  }
}

TEST(TimeLineFormat, ReadReplacesEveryKey) {
  CLightObject light;
  TimeLine* t = light.CreateTimeLine();
  for (int k = 0; k < 5; ++k) t->InsertKey(k, 1);
  std::istringstream in(Bytes().I32(0).str(), std::ios::binary);
  t->Read(in);
  EXPECT_EQ(t->GetKeyCount(), 0);
}

TEST(TimeLineFormat, MeshParamsWalkCoversSixtyFourWords) {
  MeshParams p{};
  int words = 0;
  ForEachMeshWord(p, [&](auto&) { ++words; });
  EXPECT_EQ(words, 64);
  std::ostringstream out(std::ios::binary);
  mv::format::WriteMeshParams(out, kDefaultMeshParams);
  EXPECT_EQ(out.str().size(), 256u);
}
