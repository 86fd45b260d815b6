// Key list editing, capture and GoToKey.
#include <gtest/gtest.h>

#include "model/TimeLine.h"
#include "model/SceneObjects.h"
#include "timeline_test_util.h"

TEST(TimeLineKeys, InsertAtCountAppendsAtCountPlusOneIsRefused) {
  CLightObject light;
  TimeLine* t = light.CreateTimeLine();
  EXPECT_EQ(t->InsertKey(0, 10), mv::S_OK);
  EXPECT_EQ(t->InsertKey(1, 20), mv::S_OK);  // at count: appended
  EXPECT_EQ(t->GetKeyCount(), 2);
  EXPECT_EQ(t->GetKeyTime(1), 20);
  EXPECT_EQ(t->GetCurrentKey(), 1);
  EXPECT_EQ(t->InsertKey(3, 30), mv::E_INVALIDARG);  // count + 1
  EXPECT_EQ(t->GetKeyCount(), 2);
  EXPECT_EQ(t->GetCurrentKey(), 3);  // set even when refused
  EXPECT_EQ(t->InsertKey(-1, 30), mv::E_INVALIDARG);
  EXPECT_EQ(t->GetKeyCount(), 2);
  EXPECT_EQ(t->InsertKey(0, 5), mv::S_OK);  // the others move up
  EXPECT_EQ(t->GetKeyTime(0), 5);
  EXPECT_EQ(t->GetKeyTime(1), 10);
  EXPECT_EQ(t->GetKeyTime(2), 20);
}

TEST(TimeLineKeys, RemoveKeepsTheCursorInRange) {
  CCameraObject cam;
  TimeLine* t = cam.CreateTimeLine();
  for (int k = 0; k < 3; ++k) t->InsertKey(k, k + 1);
  EXPECT_EQ(t->RemoveKey(3), mv::E_INVALIDARG);
  EXPECT_EQ(t->RemoveKey(-1), mv::E_INVALIDARG);
  EXPECT_EQ(t->GetKeyCount(), 3);
  t->currentKey = 1;
  EXPECT_EQ(t->RemoveKey(0), mv::S_OK);  // an earlier key: the cursor stays
  EXPECT_EQ(t->GetCurrentKey(), 1);
  EXPECT_EQ(t->GetKeyTime(0), 2);
  EXPECT_EQ(t->RemoveKey(1), mv::S_OK);  // the last key: the cursor steps back
  EXPECT_EQ(t->GetCurrentKey(), 0);
  EXPECT_EQ(t->RemoveKey(0), mv::S_OK);
  EXPECT_EQ(t->GetCurrentKey(), 0);
  EXPECT_EQ(t->GetKeyCount(), 0);
  EXPECT_EQ(t->RemoveKey(0), mv::E_INVALIDARG);
}

TEST(TimeLineKeys, EmptyTimelineHasNoTimes) {
  CPostProcessObject pp;
  TimeLine* t = pp.CreateTimeLine();
  EXPECT_EQ(t->GetKeyCount(), 0);
  EXPECT_EQ(t->GetKeyTime(0), 0);
  EXPECT_EQ(t->GetKeyTime(-1), 0);
  EXPECT_EQ(t->GetCurrentKey(), 0);
  EXPECT_EQ(t->segmentTime, 0);
  EXPECT_EQ(t->segmentOffset, 0);
}

TEST(TimeLineKeys, GoToKeyWithoutKeysResetsOnlyMeshAndVolumes) {
  CMesh mesh;
  mesh.params.iPos[0] = 9;
  mesh.params.end = 55;
  mesh.CreateTimeLine()->GoToKey(0);
  EXPECT_FLOAT_EQ(mesh.params.iPos[0], 0);
  EXPECT_EQ(mesh.params.end, 0);
  EXPECT_FLOAT_EQ(mesh.params.DeformA, 50);
  EXPECT_EQ(mesh.params.fillMode, 3);

  CSkyBoxObject sky;
  CMetaBallObject ball;
  for (CVolumeObject* v : {static_cast<CVolumeObject*>(&sky), static_cast<CVolumeObject*>(&ball)}) {
    v->links1[0] = v->links2[1] = v->links3[2] = 4;
    v->size[0] = 7;
    v->CreateTimeLine()->GoToKey(0);
    EXPECT_EQ(v->links1[0], 0);
    EXPECT_EQ(v->links2[1], 0);
    EXPECT_EQ(v->links3[2], 0);
    EXPECT_FLOAT_EQ(v->size[0], 7);
  }

  CCameraObject cam;
  cam.Eye[0] = 3;
  cam.eyeLinks[0] = 2;
  cam.CreateTimeLine()->GoToKey(0);
  EXPECT_FLOAT_EQ(cam.Eye[0], 3);
  EXPECT_EQ(cam.eyeLinks[0], 2);
}

TEST(TimeLineKeys, GoToKeyCopiesTheKindsFields) {
  CLightObject light;
  TimeLine* t = light.CreateTimeLine();
  light.position[0] = 1;
  light.radius = 2;
  light.positionLinks[0] = 3;
  light.radiusLink = 4;
  t->InsertKey(0, 1);
  light.position[0] = 10;
  light.radius = 20;
  light.positionLinks[0] = 30;
  light.radiusLink = 40;
  t->GoToKey(0);
  EXPECT_FLOAT_EQ(light.position[0], 1);
  EXPECT_FLOAT_EQ(light.radius, 2);
  EXPECT_EQ(light.positionLinks[0], 30);  // the light keeps its links
  EXPECT_EQ(light.radiusLink, 40);
  t->GoToKey(1);  // past the end: nothing
  EXPECT_FLOAT_EQ(light.position[0], 1);

  CLayerTextObject text;
  TimeLine* tt = text.CreateTimeLine();
  text.Pos[1] = 5;
  text.posLinks[2] = 6;
  tt->InsertKey(0, 1);
  text.Pos[1] = 0;
  text.posLinks[2] = 0;
  tt->GoToKey(0);
  EXPECT_FLOAT_EQ(text.Pos[1], 5);
  EXPECT_EQ(text.posLinks[2], 6);
}

TEST(TimeLineKeys, VolumeUpdateRecapturesOnlyTheSize) {
  CSkyBoxObject sky;
  auto* t = static_cast<TimeLineSkyBox*>(sky.CreateTimeLine());
  sky.size[0] = 1;
  sky.links1[0] = 2;
  sky.vectorA[0] = 3;
  t->InsertKey(0, 7);
  EXPECT_FLOAT_EQ(t->GetKey(0)->size[0], 1);
  EXPECT_EQ(t->GetKey(0)->links1[0], 2);
  EXPECT_FLOAT_EQ(t->GetKey(0)->vectorA[0], 0);  // vectors are never captured
  sky.size[0] = 11;
  sky.links1[0] = 12;
  t->UpdateKey(0, 8);
  EXPECT_FLOAT_EQ(t->GetKey(0)->size[0], 11);
  EXPECT_EQ(t->GetKey(0)->links1[0], 2);
  EXPECT_EQ(t->GetKeyTime(0), 8);
  t->UpdateKey(1, 99);  // no such key: nothing
  EXPECT_EQ(t->GetKeyCount(), 1);
}

TEST(TimeLineKeys, MeshCapturesTheWholeBlock) {
  CMesh mesh;
  auto* t = static_cast<TimeLineMesh*>(mesh.CreateTimeLine());
  mesh.params.ownIndex = 4;
  mesh.params.renderer = 5;
  mesh.params.extraValueLink = 9;
  t->InsertKey(0, 1);
  mesh.params.renderer = 2;
  t->UpdateKey(0, 3);
  EXPECT_EQ(t->GetKey(0)->params.ownIndex, 4);
  EXPECT_EQ(t->GetKey(0)->params.renderer, 2);
  EXPECT_EQ(t->GetKey(0)->params.extraValueLink, 9);
  EXPECT_EQ(t->GetKeyTime(0), 3);
}

TEST(TimeLineKeys, CreateTimeLineReplacesTheOldOne) {
  CMesh mesh;
  TimeLine* a = mesh.CreateTimeLine();
  a->InsertKey(0, 1);
  TimeLine* b = mesh.CreateTimeLine();
  EXPECT_EQ(mesh.timeLine, b);
  EXPECT_EQ(b->GetKeyCount(), 0);
  EXPECT_NE(dynamic_cast<TimeLineMesh*>(b), nullptr);
}
