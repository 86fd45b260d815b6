#include <gtest/gtest.h>

#include <cmath>

#include "io/WindowMessages.h"
#include "gfx/Math.h"
#include "gui/GuiTypes.h"
#include "scene/Catalog.h"
#include "scene/MeshArcBall.h"
#include "scene/SceneManager.h"

namespace {

struct NullPeers : ScenePeers {
  void SetSkyBoxSize(const float[3]) override {}
  void RefreshAnimationPanel() override {}
  void PrepareMetaballs(CMesh&) override {}
  void CreateParticleSystem(CMesh&) override {}
};

class SceneViewsTest : public ::testing::Test {
 protected:
  SceneViewsTest() {
    gui::PlatformHooks hooks;
    hooks.setCapture = [this] { ++captures; };
    hooks.releaseCapture = [this] { ++releases; };
    gui::SetPlatformHooks(hooks);
  }
  ~SceneViewsTest() override { gui::ResetPlatformHooks(); }

  void Send(UINT msg, WPARAM w, int x, int y) { scene.MsgProc(nullptr, msg, w, MakeLParam(x, y)); }

  NullPeers peers;
  SceneManager scene{peers};
  int captures = 0;
  int releases = 0;
};

TEST_F(SceneViewsTest, CameraAndLightWidgetFollowTheirObjects) {
  CCameraObject* cam = scene.GetCameraObject();
  cam->Eye[0] = 1, cam->Eye[1] = 2, cam->Eye[2] = -5;
  cam->LookAt[0] = 0, cam->LookAt[1] = 1, cam->LookAt[2] = 0;
  CLightObject* light = scene.GetLight();
  light->position[0] = 0.5f, light->position[1] = -1.0f, light->position[2] = 0.25f;
  light->radius = 3.0f;
  scene.ApplySceneToViews();
  const fw::CModelViewerCamera& c = *scene.GetCamera();
  EXPECT_EQ(c.GetEyePt(), gfx::Vec3(1, 2, -5));
  EXPECT_EQ(c.GetLookAtPt(), gfx::Vec3(0, 1, 0));
  EXPECT_EQ(scene.GetLightWidget().GetLightDirection(), gfx::Vec3(0.5f, -1.0f, 0.25f));
  EXPECT_EQ(scene.GetLightWidget().GetDefaultDirection(), gfx::Vec3(0.5f, -1.0f, 0.25f));
  EXPECT_EQ(scene.GetLightWidget().GetRadius(), 3.0f);
}

TEST_F(SceneViewsTest, RightDragMovesTheCameraObject) {
  scene.ApplySceneToViews();
  scene.SetPanelDirty(false);
  Send(WM_RBUTTONDOWN, MK_RBUTTON, 960, 540);
  Send(WM_MOUSEMOVE, MK_RBUTTON, 1160, 600);
  scene.FrameMove(0.016f);
  const CCameraObject* cam = scene.GetCameraObject();
  const gfx::Vec3 eye = scene.GetCamera()->GetEyePt();
  EXPECT_EQ(gfx::Vec3(cam->Eye[0], cam->Eye[1], cam->Eye[2]), eye);
  EXPECT_GT(std::fabs(cam->Eye[0]) + std::fabs(cam->Eye[1]), 1e-3f);  // it turned
  EXPECT_TRUE(scene.IsPanelDirty());
  Send(WM_RBUTTONUP, 0, 1160, 600);
}

TEST_F(SceneViewsTest, LeftDragTurnsTheSelectedMesh) {
  scene.SetSelectedIndex(3);
  auto* mesh = dynamic_cast<CMesh*>(scene.InsertObject(1, -1, 0, nullptr, nullptr, -1));
  ASSERT_NE(mesh, nullptr);
  ASSERT_NE(mesh->arcball, nullptr);
  scene.ApplySceneToViews();
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 960, 540);
  EXPECT_EQ(captures, 1);
  Send(WM_MOUSEMOVE, MK_LBUTTON, 1100, 540);
  scene.FrameMove(0.016f);
  const gfx::Vec3 expect =
      gfx::MatrixToYawPitchRoll(gfx::MatrixRotationQuaternion(mesh->arcball->GetQuatNow()));
  EXPECT_EQ(mesh->params.iRot[0], expect.x);
  EXPECT_EQ(mesh->params.iRot[1], expect.y);
  EXPECT_EQ(mesh->params.iRot[2], expect.z);
  EXPECT_GT(std::fabs(mesh->params.iRot[0]), 0.05f);  // a horizontal drag turns the yaw
  Send(WM_LBUTTONUP, 0, 1100, 540);
  EXPECT_EQ(releases, 1);
  EXPECT_FALSE(mesh->arcball->IsBeingDragged());
}

TEST_F(SceneViewsTest, LeftDragLeavesOtherKindsAlone) {
  scene.SetSelectedIndex(1);  // the camera object
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 960, 540);
  Send(WM_MOUSEMOVE, MK_LBUTTON, 1100, 540);
  scene.FrameMove(0.016f);
  Send(WM_LBUTTONUP, 0, 1100, 540);
  EXPECT_EQ(captures, 0);
  scene.RemoveAllObjects();
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 960, 540);  // empty list: nothing to drive
  scene.FrameMove(0.016f);
  EXPECT_EQ(captures, 0);
}

TEST_F(SceneViewsTest, DraggedLightWidgetMovesTheLightOnlyWhenActive) {
  scene.ApplySceneToViews();
  scene.GetLight()->position[1] = 1.0f;
  scene.ApplySceneToViews();
  fw::CDirectionWidget& w = scene.GetLightWidget();
  w.HandleMessages(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(960, 540));
  w.HandleMessages(nullptr, WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(1200, 700));
  ASSERT_TRUE(w.IsBeingDragged());
  scene.FrameMove(0.016f);
  EXPECT_EQ(scene.GetLight()->position[1], 1.0f);  // widget not active
  scene.SetLightWidgetActive(true);
  scene.FrameMove(0.016f);
  const gfx::Vec3& dir = w.GetLightDirection();
  EXPECT_EQ(scene.GetLight()->position[0], dir.x);
  EXPECT_EQ(scene.GetLight()->position[1], dir.y);
  EXPECT_EQ(scene.GetLight()->position[2], dir.z);
  EXPECT_EQ(scene.GetLight()->radius, w.GetRadius());
  w.HandleMessages(nullptr, WM_LBUTTONUP, 0, MakeLParam(1200, 700));
}

}  // namespace
