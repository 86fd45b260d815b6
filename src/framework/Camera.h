#pragma once
// Cameras and manipulators driven by window messages: the arcball rotation
// controller, the model-viewer (orbit) camera and the direction widget.
// Matrices are row-vector and left-handed (gfx/Math.h). Window points are
// back-buffer pixels, as the messages carry them.
#include "io/WindowMessages.h"
#include "gfx/Device.h"
#include "gfx/Math.h"

namespace fw {

using gfx::HRESULT;

// Which buttons drive a manipulator.
inline constexpr int MOUSE_LEFT_BUTTON = 0x01;
inline constexpr int MOUSE_MIDDLE_BUTTON = 0x02;
inline constexpr int MOUSE_RIGHT_BUTTON = 0x04;
inline constexpr int MOUSE_WHEEL = 0x08;

// Shoemake's arcball. A window point is mapped onto a sphere whose radius is
// the given fraction of the half window size (per axis), the half facing the
// viewer (−z, left-handed view space); points outside it land on its rim.
// A drag composes the rotation held at its start with the rotation that
// carries the start point to the current point (twice the arc between them,
// as Shoemake's quaternion [from × to, from · to] does).
class CArcBall {
 public:
  CArcBall();
  void Reset();
  // Centre (width / 2, height / 2).
  void SetWindow(int width, int height, float radius = 0.9f);
  void SetOffset(int x, int y);
  void SetTranslationRadius(float radius) { m_translationRadius = radius; }
  // Rotation applied to the sphere points before the drag rotation is built,
  // e.g. the inverse of the view rotation so that a drag turns a world-space
  // object the way the pointer moves on screen. Identity by default.
  void SetDragSpace(const gfx::Mat4& rotation) { m_dragSpace = rotation; }

  void OnBegin(int x, int y);
  void OnMove(int x, int y);
  void OnEnd();
  // Left button rotates; right button translates in x/y, middle in z
  // (scaled by the translation radius).
  LRESULT HandleMessages(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

  const gfx::Mat4& GetRotationMatrix() const { return m_rotation; }
  const gfx::Mat4& GetTranslationMatrix() const { return m_translation; }
  const gfx::Mat4& GetTranslationDeltaMatrix() const { return m_translationDelta; }
  bool IsBeingDragged() const { return m_drag; }
  gfx::Quat GetQuatNow() const { return m_qNow; }
  // Sets the current rotation (and its matrix), e.g. to the drawn
  // orientation so that the next drag starts from it.
  void SetQuatNow(const gfx::Quat& q);

  gfx::Vec3 ScreenToVector(float x, float y) const;
  static gfx::Quat QuatFromBallPoints(const gfx::Vec3& from, const gfx::Vec3& to);

 private:
  int m_width = 0;
  int m_height = 0;
  int m_offsetX = 0;
  int m_offsetY = 0;
  float m_radius = 1.0f;
  float m_translationRadius = 1.0f;
  gfx::Mat4 m_dragSpace{1.0f};
  gfx::Quat m_qDown;
  gfx::Quat m_qNow;
  gfx::Mat4 m_rotation{1.0f};
  gfx::Mat4 m_translation{1.0f};
  gfx::Mat4 m_translationDelta{1.0f};
  bool m_drag = false;
  int m_downX = 0;
  int m_downY = 0;
  int m_lastX = 0;
  int m_lastY = 0;
};

// Common camera state: view and projection, the buttons and wheel seen in
// the messages, and keyboard movement.
class CBaseCamera {
 public:
  CBaseCamera();
  virtual ~CBaseCamera() = default;

  virtual LRESULT HandleMessages(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
  virtual void FrameMove(float elapsedTime) = 0;
  virtual void Reset();
  virtual void SetViewParams(const gfx::Vec3& eye, const gfx::Vec3& lookAt);
  void SetProjParams(float fov, float aspect, float nearPlane, float farPlane);

  // Arrow keys / W A S D move, Page Up / Page Down / E Q rise and sink,
  // while enabled.
  void SetEnablePositionMovement(bool enable) { m_enablePositionMovement = enable; }
  bool IsPositionMovementEnabled() const { return m_enablePositionMovement; }
  void SetScalers(float rotationScaler, float moveScaler) {
    m_rotationScaler = rotationScaler;
    m_moveScaler = moveScaler;
  }

  const gfx::Mat4& GetViewMatrix() const { return m_view; }
  const gfx::Mat4& GetProjMatrix() const { return m_proj; }
  const gfx::Vec3& GetEyePt() const { return m_eye; }
  const gfx::Vec3& GetLookAtPt() const { return m_lookAt; }
  float GetNearClip() const { return m_nearPlane; }
  float GetFarClip() const { return m_farPlane; }
  bool IsMouseLButtonDown() const { return m_leftDown; }
  bool IsMouseMButtonDown() const { return m_middleDown; }
  bool IsMouseRButtonDown() const { return m_rightDown; }
  bool IsBeingDragged() const { return m_leftDown || m_middleDown || m_rightDown; }

 protected:
  enum Move { kForward, kBackward, kLeft, kRight, kUp, kDown, kMoveCount };
  // Direction of the held movement keys in view space (x right, y up, z ahead).
  gfx::Vec3 KeyboardDirection() const;

  gfx::Vec3 m_eye{0.0f, 0.0f, 0.0f};
  gfx::Vec3 m_lookAt{0.0f, 0.0f, 1.0f};
  gfx::Vec3 m_defaultEye{0.0f, 0.0f, 0.0f};
  gfx::Vec3 m_defaultLookAt{0.0f, 0.0f, 1.0f};
  gfx::Mat4 m_view{1.0f};
  gfx::Mat4 m_proj{1.0f};
  float m_fov = 0.0f;
  float m_aspect = 1.0f;
  float m_nearPlane = 0.0f;
  float m_farPlane = 1.0f;
  int m_wheelDelta = 0;
  bool m_leftDown = false;
  bool m_middleDown = false;
  bool m_rightDown = false;
  bool m_keys[kMoveCount] = {};
  bool m_enablePositionMovement = false;
  float m_rotationScaler = 0.01f;
  float m_moveScaler = 5.0f;
};

// Orbit camera around the look-at point: left-button drag turns the model
// (the world matrix), right-button drag turns the camera, the wheel changes
// the distance (one notch: 10% of it), never below the minimum radius.
class CModelViewerCamera : public CBaseCamera {
 public:
  CModelViewerCamera();

  LRESULT HandleMessages(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  void FrameMove(float elapsedTime) override;
  void Reset() override;
  void SetViewParams(const gfx::Vec3& eye, const gfx::Vec3& lookAt) override;

  // Both arcballs.
  void SetWindow(int width, int height, float arcballRadius = 0.9f);
  void SetRadius(float defaultRadius = 5.0f, float minRadius = 1.0f, float maxRadius = 3.402823466e+38f);
  float GetRadius() const { return m_radius; }
  void SetWorldMatrix(const gfx::Mat4& world);
  const gfx::Mat4& GetWorldMatrix() const { return m_world; }
  // True when the last FrameMove applied a wheel change.
  bool HasZoomedThisFrame() const { return m_zoomedThisFrame; }
  CArcBall& GetWorldArcBall() { return m_worldArcBall; }
  CArcBall& GetViewArcBall() { return m_viewArcBall; }

 private:
  void UpdateView();

  CArcBall m_worldArcBall;
  CArcBall m_viewArcBall;
  gfx::Mat4 m_world{1.0f};
  float m_radius = 5.0f;
  float m_defaultRadius = 5.0f;
  float m_minRadius = 1.0f;
  float m_maxRadius = 3.402823466e+38f;
  bool m_zoomedThisFrame = false;
  bool m_viewDirty = false;
};

// A direction (the light's) turned by dragging with its own arcball. The
// left button drags it. Dragging turns the direction it had when the drag
// began; its length is kept.
class CDirectionWidget {
 public:
  CDirectionWidget();

  // The widget draws nothing, so it has no device objects; the reset hook
  // sizes its arcball to the back buffer.
  static HRESULT StaticOnCreateDevice(gfx::Device* device);
  HRESULT OnResetDevice(const gfx::BackBufferDesc& backBuffer);
  void OnLostDevice();
  static void StaticOnDestroyDevice();

  LRESULT HandleMessages(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

  void SetRadius(float radius) { m_radius = radius; }
  float GetRadius() const { return m_radius; }
  void SetDefaultDirection(const gfx::Vec3& dir) { m_defaultDir = dir; }
  const gfx::Vec3& GetDefaultDirection() const { return m_defaultDir; }
  void SetLightDirection(const gfx::Vec3& dir) { m_currentDir = dir; }
  const gfx::Vec3& GetLightDirection() const { return m_currentDir; }
  // The view the drags are seen through (identity by default).
  void SetViewMatrix(const gfx::Mat4& view);
  void SetButtonMask(int mask) { m_buttonMask = mask; }
  bool IsBeingDragged() const { return m_arcBall.IsBeingDragged(); }
  // Back to the default direction.
  void Reset() { m_currentDir = m_defaultDir; }

 private:
  CArcBall m_arcBall;
  gfx::Vec3 m_defaultDir{0.0f, 1.0f, 0.0f};
  gfx::Vec3 m_currentDir{0.0f, 1.0f, 0.0f};
  gfx::Vec3 m_dirAtDragStart{0.0f, 1.0f, 0.0f};
  float m_radius = 1.0f;
  int m_buttonMask = MOUSE_LEFT_BUTTON;
};

}  // namespace fw
