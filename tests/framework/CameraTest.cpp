#include <gtest/gtest.h>

#include <cmath>

#include "framework/Camera.h"

namespace {

using fw::CArcBall;
using fw::CDirectionWidget;
using fw::CModelViewerCamera;
using gfx::Vec3;

constexpr float kDeg = 180.0f / gfx::kPi;
// Distance from the centre of a 1000-pixel window (radius 1) to the sphere
// point 45 degrees from the front: a drag there turns by 90 degrees.
constexpr int kQuarter = 354;

float AngleOf(const gfx::Quat& q) {
  Vec3 axis;
  float angle = 0.0f;
  gfx::QuaternionToAxisAngle(q, axis, angle);
  return angle * kDeg;
}

void ExpectNear(const Vec3& a, const Vec3& b, float tol = 1e-3f) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
  EXPECT_NEAR(a.z, b.z, tol);
}

LPARAM At(int x, int y) { return MakeLParam(x, y); }

TEST(ArcBall, ScreenPointsLieOnTheSphereFacingTheViewer) {
  CArcBall ball;
  ball.SetWindow(1000, 1000, 1.0f);
  ExpectNear(ball.ScreenToVector(500, 500), Vec3(0, 0, -1));
  // Screen y grows downwards, sphere y upwards.
  ExpectNear(ball.ScreenToVector(500, 0), Vec3(0, 1, 0));
  // Outside the sphere: on its rim.
  const Vec3 far = ball.ScreenToVector(2000, 500);
  ExpectNear(far, Vec3(1, 0, 0));
  // The radius is a fraction of the half window size.
  ball.SetWindow(1000, 1000, 0.5f);
  ExpectNear(ball.ScreenToVector(750, 500), Vec3(1, 0, 0));
  const Vec3 half = ball.ScreenToVector(625, 500);
  EXPECT_NEAR(half.x, 0.5f, 1e-5f);
  EXPECT_NEAR(half.z, -std::sqrt(0.75f), 1e-5f);
}

TEST(ArcBall, QuarterDragTurnsNinetyDegreesTheWayThePointerMoves) {
  CArcBall ball;
  ball.SetWindow(1000, 1000, 1.0f);
  ball.OnBegin(500, 500);
  EXPECT_TRUE(ball.IsBeingDragged());
  ball.OnMove(500 + kQuarter, 500);
  EXPECT_NEAR(AngleOf(ball.GetQuatNow()), 90.0f, 0.5f);
  // The front of the ball follows the pointer to the right.
  const Vec3 front = gfx::Vec3TransformNormal(Vec3(0, 0, -1), ball.GetRotationMatrix());
  ExpectNear(front, Vec3(1, 0, 0), 0.02f);
  ball.OnEnd();
  EXPECT_FALSE(ball.IsBeingDragged());
  // Moves after the end change nothing.
  const gfx::Quat held = ball.GetQuatNow();
  ball.OnMove(0, 0);
  EXPECT_EQ(ball.GetQuatNow(), held);
}

TEST(ArcBall, ADragComposesWithTheRotationHeldAtItsStart) {
  CArcBall ball;
  ball.SetWindow(1000, 1000, 1.0f);
  ball.OnBegin(500, 500);
  ball.OnMove(500 + kQuarter, 500);
  ball.OnEnd();
  const gfx::Mat4 first = ball.GetRotationMatrix();
  ball.OnBegin(500, 500);
  ball.OnMove(500, 500 - kQuarter);  // upwards
  const gfx::Mat4 second = gfx::MatrixRotationQuaternion(
      CArcBall::QuatFromBallPoints(ball.ScreenToVector(500, 500), ball.ScreenToVector(500, 500 - kQuarter)));
  const gfx::Mat4 expected = gfx::MatrixMultiply(first, second);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(ball.GetRotationMatrix()[r][c], expected[r][c], 1e-4f);
  // The first drag took the front to the right, where the upward drag
  // leaves it; the left side came to the front and went up.
  const Vec3 front = gfx::Vec3TransformNormal(Vec3(0, 0, -1), ball.GetRotationMatrix());
  ExpectNear(front, Vec3(1, 0, 0), 0.03f);
  const Vec3 right = gfx::Vec3TransformNormal(Vec3(-1, 0, 0), ball.GetRotationMatrix());
  ExpectNear(right, Vec3(0, 1, 0), 0.03f);
}

TEST(ArcBall, DragStartsFromASetRotation) {
  CArcBall ball;
  ball.SetWindow(1000, 1000, 1.0f);
  const gfx::Quat yaw = gfx::QuaternionRotationAxis(Vec3(0, 1, 0), 0.7f);
  ball.SetQuatNow(yaw);
  const gfx::Mat4 m = gfx::MatrixRotationY(0.7f);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(ball.GetRotationMatrix()[r][c], m[r][c], 1e-5f);
  ball.OnBegin(300, 300);
  ball.OnMove(300, 300);  // no movement: still the set rotation
  EXPECT_NEAR(gfx::QuaternionDot(ball.GetQuatNow(), yaw), 1.0f, 1e-5f);
}

TEST(ArcBall, DragSpaceTurnsScreenDragsIntoWorldRotations) {
  CArcBall ball;
  ball.SetWindow(1000, 1000, 1.0f);
  // Seen from a view turned 90 degrees about y.
  const gfx::Mat4 view = gfx::MatrixRotationY(gfx::kPi / 2);
  ball.SetDragSpace(gfx::MatrixTranspose(view));
  ball.OnBegin(500, 500);
  ball.OnMove(500 + kQuarter, 500);
  // The point nearest the viewer, in world space, moves to the viewer's right.
  const Vec3 nearWorld = gfx::Vec3TransformNormal(Vec3(0, 0, -1), gfx::MatrixTranspose(view));
  const Vec3 rightWorld = gfx::Vec3TransformNormal(Vec3(1, 0, 0), gfx::MatrixTranspose(view));
  ExpectNear(gfx::Vec3TransformNormal(nearWorld, ball.GetRotationMatrix()), rightWorld, 0.02f);
}

TEST(ArcBall, DegenerateWindowsGiveNoRotationAndNoNaN) {
  CArcBall ball;
  ball.SetWindow(0, 0, 0.9f);
  ball.OnBegin(10, 10);
  ball.OnMove(400, 90);
  EXPECT_NEAR(AngleOf(ball.GetQuatNow()), 0.0f, 1e-4f);
  ball.SetWindow(100, 100, 0.0f);
  ball.OnMove(40, 90);
  EXPECT_TRUE(std::isfinite(ball.GetRotationMatrix()[0][0]));
}

TEST(ArcBall, MessagesDriveTheDrag) {
  CArcBall ball;
  ball.SetWindow(1000, 1000, 1.0f);
  ball.HandleMessages(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, At(500, 500));
  ball.HandleMessages(nullptr, WM_MOUSEMOVE, MK_LBUTTON, At(500 + kQuarter, 500));
  EXPECT_NEAR(AngleOf(ball.GetQuatNow()), 90.0f, 0.5f);
  ball.HandleMessages(nullptr, WM_CAPTURECHANGED, 0, At(0, 0));
  EXPECT_FALSE(ball.IsBeingDragged());
}

TEST(ModelViewerCamera, DefaultsToFiveUnitsFromTheLookAtPoint) {
  CModelViewerCamera cam;
  EXPECT_FLOAT_EQ(cam.GetRadius(), 5.0f);
  EXPECT_NEAR(gfx::Vec3Length(cam.GetEyePt() - cam.GetLookAtPt()), 5.0f, 1e-5f);
}

TEST(ModelViewerCamera, ViewParamsGiveALeftHandedLookAt) {
  CModelViewerCamera cam;
  cam.SetViewParams(Vec3(0, 0, 2), Vec3(0, 0, 1));
  EXPECT_NEAR(cam.GetRadius(), 1.0f, 1e-6f);
  // The look-at point is straight ahead (+z in view space).
  ExpectNear(gfx::Vec3TransformCoord(Vec3(0, 0, 1), cam.GetViewMatrix()), Vec3(0, 0, 1));
  // A frame without input keeps the view exactly.
  const gfx::Mat4 before = cam.GetViewMatrix();
  cam.FrameMove(0.04f);
  EXPECT_EQ(cam.GetViewMatrix(), before);
  EXPECT_EQ(cam.GetEyePt(), Vec3(0, 0, 2));
}

TEST(ModelViewerCamera, ProjectionIsLeftHandedWithDepthZeroToOne) {
  CModelViewerCamera cam;
  cam.SetProjParams(0.785398f, 16.0f / 9.0f, 0.1f, 1000.0f);
  const gfx::Vec3 nearPt = gfx::Vec3TransformCoord(Vec3(0, 0, 0.1f), cam.GetProjMatrix());
  const gfx::Vec3 farPt = gfx::Vec3TransformCoord(Vec3(0, 0, 1000.0f), cam.GetProjMatrix());
  EXPECT_NEAR(nearPt.z, 0.0f, 1e-5f);
  EXPECT_NEAR(farPt.z, 1.0f, 1e-5f);
}

TEST(ModelViewerCamera, WheelChangesTheDistanceAndClampsAtTheMinimum) {
  CModelViewerCamera cam;
  cam.SetViewParams(Vec3(0, 0, -5), Vec3(0, 0, 0));
  cam.HandleMessages(nullptr, WM_MOUSEWHEEL, MakeWheelWParam(120, 0), At(0, 0));
  cam.FrameMove(0.04f);
  EXPECT_TRUE(cam.HasZoomedThisFrame());
  EXPECT_NEAR(cam.GetRadius(), 4.5f, 1e-5f);
  ExpectNear(cam.GetEyePt(), Vec3(0, 0, -4.5f));
  cam.FrameMove(0.04f);
  EXPECT_FALSE(cam.HasZoomedThisFrame());
  // Backwards: further away, without an upper bound.
  for (int i = 0; i < 60; ++i) {
    cam.HandleMessages(nullptr, WM_MOUSEWHEEL, MakeWheelWParam(-1200, 0), At(0, 0));
    cam.FrameMove(0.04f);
  }
  EXPECT_GT(cam.GetRadius(), 1e15f);
  // Far forwards: never closer than 1.0.
  cam.HandleMessages(nullptr, WM_MOUSEWHEEL, MakeWheelWParam(-2400, 0), At(0, 0));
  cam.FrameMove(0.04f);
  cam.SetViewParams(Vec3(0, 0, -5), Vec3(0, 0, 0));
  for (int i = 0; i < 10; ++i) cam.HandleMessages(nullptr, WM_MOUSEWHEEL, MakeWheelWParam(1200, 0), At(0, 0));
  cam.FrameMove(0.04f);
  EXPECT_FLOAT_EQ(cam.GetRadius(), 1.0f);
  EXPECT_NEAR(gfx::Vec3Length(cam.GetEyePt()), 1.0f, 1e-5f);
}

TEST(ModelViewerCamera, RightDragOrbitsTheCameraAroundTheLookAtPoint) {
  CModelViewerCamera cam;
  cam.SetWindow(1000, 1000, 1.0f);
  cam.SetViewParams(Vec3(0, 0, -5), Vec3(0, 0, 0));
  cam.HandleMessages(nullptr, WM_RBUTTONDOWN, MK_RBUTTON, At(500, 500));
  EXPECT_TRUE(cam.IsMouseRButtonDown());
  cam.HandleMessages(nullptr, WM_MOUSEMOVE, MK_RBUTTON, At(500 + kQuarter, 500));
  cam.FrameMove(0.04f);
  // The scene turns with the pointer, so the camera goes the other way.
  ExpectNear(cam.GetEyePt(), Vec3(-5, 0, 0), 0.1f);
  EXPECT_NEAR(gfx::Vec3Length(cam.GetEyePt()), 5.0f, 1e-4f);
  ExpectNear(gfx::Vec3TransformCoord(Vec3(0, 0, 0), cam.GetViewMatrix()), Vec3(0, 0, 5), 1e-3f);
  // The world matrix is untouched by the right button.
  EXPECT_EQ(cam.GetWorldMatrix(), gfx::MatrixIdentity());
  cam.HandleMessages(nullptr, WM_RBUTTONUP, 0, At(500 + kQuarter, 500));
  EXPECT_FALSE(cam.IsMouseRButtonDown());
}

TEST(ModelViewerCamera, LeftDragTurnsTheModelNotTheView) {
  CModelViewerCamera cam;
  cam.SetWindow(1000, 1000, 1.0f);
  cam.SetViewParams(Vec3(0, 0, -5), Vec3(0, 0, 0));
  const gfx::Mat4 view = cam.GetViewMatrix();
  cam.HandleMessages(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, At(500, 500));
  cam.HandleMessages(nullptr, WM_MOUSEMOVE, MK_LBUTTON, At(500 + kQuarter, 500));
  cam.FrameMove(0.04f);
  EXPECT_TRUE(cam.IsMouseLButtonDown());
  EXPECT_EQ(cam.GetViewMatrix(), view);
  ExpectNear(gfx::Vec3TransformNormal(Vec3(0, 0, -1), cam.GetWorldMatrix()), Vec3(1, 0, 0), 0.02f);
  // Losing the capture ends every drag.
  cam.HandleMessages(nullptr, WM_CAPTURECHANGED, 0, At(0, 0));
  EXPECT_FALSE(cam.IsBeingDragged());
}

TEST(ModelViewerCamera, KeyboardMovesOnlyWhenEnabled) {
  CModelViewerCamera cam;
  cam.SetViewParams(Vec3(0, 0, -5), Vec3(0, 0, 0));
  cam.HandleMessages(nullptr, WM_KEYDOWN, 'W', At(0, 0));
  cam.FrameMove(1.0f);
  ExpectNear(cam.GetLookAtPt(), Vec3(0, 0, 0));
  cam.SetEnablePositionMovement(true);
  cam.FrameMove(1.0f);
  ExpectNear(cam.GetLookAtPt(), Vec3(0, 0, 5), 1e-4f);
  ExpectNear(cam.GetEyePt(), Vec3(0, 0, 0), 1e-4f);
  cam.HandleMessages(nullptr, WM_KEYUP, 'W', At(0, 0));
  cam.FrameMove(1.0f);
  ExpectNear(cam.GetLookAtPt(), Vec3(0, 0, 5), 1e-4f);
}

TEST(DirectionWidget, LeftDragTurnsTheDirectionAndKeepsItsLength) {
  CDirectionWidget w;
  gfx::BackBufferDesc bb;
  bb.width = 1000;
  bb.height = 1000;
  ASSERT_EQ(w.OnResetDevice(bb), gfx::S_OK);
  w.SetRadius(2.8f);
  w.SetDefaultDirection(Vec3(0, 0, -2));
  w.SetLightDirection(Vec3(0, 0, -2));
  EXPECT_FALSE(w.IsBeingDragged());
  // The right button is not the widget's.
  w.HandleMessages(nullptr, WM_RBUTTONDOWN, MK_RBUTTON, At(450, 450));
  EXPECT_FALSE(w.IsBeingDragged());
  // The arcball of the widget uses 0.9 of the half window: a quarter turn
  // is sin(45°) × 0.9 × 500 pixels away.
  const int quarter = static_cast<int>(std::lround(std::sin(gfx::kPi / 4) * 0.9 * 500));
  EXPECT_EQ(w.HandleMessages(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, At(500, 500)), 1);
  EXPECT_TRUE(w.IsBeingDragged());
  w.HandleMessages(nullptr, WM_MOUSEMOVE, MK_LBUTTON, At(500 + quarter, 500));
  ExpectNear(w.GetLightDirection(), Vec3(2, 0, 0), 0.03f);
  EXPECT_NEAR(gfx::Vec3Length(w.GetLightDirection()), 2.0f, 1e-4f);
  w.HandleMessages(nullptr, WM_LBUTTONUP, 0, At(500 + quarter, 500));
  EXPECT_FALSE(w.IsBeingDragged());
  EXPECT_FLOAT_EQ(w.GetRadius(), 2.8f);
  // A second drag starts from where the first one left it.
  w.HandleMessages(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, At(500, 500));
  w.HandleMessages(nullptr, WM_MOUSEMOVE, MK_LBUTTON, At(500 + quarter, 500));
  ExpectNear(w.GetLightDirection(), Vec3(0, 0, 2), 0.05f);
  w.HandleMessages(nullptr, WM_CAPTURECHANGED, 0, At(0, 0));
  EXPECT_FALSE(w.IsBeingDragged());
  w.Reset();
  EXPECT_EQ(w.GetLightDirection(), Vec3(0, 0, -2));
}

}  // namespace
