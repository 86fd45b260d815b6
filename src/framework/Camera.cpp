#include "framework/Camera.h"

#include <cmath>

#include "framework/Framework.h"

namespace fw {
namespace {

using gfx::Mat4;
using gfx::Quat;
using gfx::Vec3;

// The inverse of a view matrix's rotation: its transpose, translation cleared.
Mat4 InverseViewRotation(const Mat4& view) {
  Mat4 r = view;
  r[3] = gfx::Vec4(0.0f, 0.0f, 0.0f, 1.0f);
  r[0][3] = r[1][3] = r[2][3] = 0.0f;
  return gfx::MatrixTranspose(r);
}

bool IsFinite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

// ---- CArcBall ----------------------------------------------------------------

CArcBall::CArcBall() {
  Reset();
  SetWindow(kBackBufferWidth, kBackBufferHeight, 0.9f);
}

void CArcBall::Reset() {
  m_qDown = gfx::QuaternionIdentity();
  m_qNow = gfx::QuaternionIdentity();
  m_rotation = gfx::MatrixIdentity();
  m_translation = gfx::MatrixIdentity();
  m_translationDelta = gfx::MatrixIdentity();
  m_drag = false;
}

void CArcBall::SetWindow(int width, int height, float radius) {
  m_width = width;
  m_height = height;
  m_radius = radius;
}

void CArcBall::SetOffset(int x, int y) {
  m_offsetX = x;
  m_offsetY = y;
}

Vec3 CArcBall::ScreenToVector(float x, float y) const {
  const float halfW = m_width * 0.5f;
  const float halfH = m_height * 0.5f;
  if (!(halfW > 0.0f) || !(halfH > 0.0f) || !(m_radius > 0.0f) || !std::isfinite(m_radius))
    return Vec3(0.0f, 0.0f, -1.0f);
  float sx = (x - m_offsetX - halfW) / (m_radius * halfW);
  float sy = -(y - m_offsetY - halfH) / (m_radius * halfH);
  float sz = 0.0f;
  const float mag = sx * sx + sy * sy;
  if (mag > 1.0f) {
    const float scale = 1.0f / std::sqrt(mag);
    sx *= scale;
    sy *= scale;
  } else {
    // The half of the sphere that faces the viewer.
    sz = -std::sqrt(1.0f - mag);
  }
  return Vec3(sx, sy, sz);
}

Quat CArcBall::QuatFromBallPoints(const Vec3& from, const Vec3& to) {
  const float dot = gfx::Vec3Dot(from, to);
  const Vec3 axis = gfx::Vec3Cross(from, to);
  return gfx::QuaternionXYZW(axis.x, axis.y, axis.z, dot);
}

void CArcBall::SetQuatNow(const Quat& q) {
  m_qNow = gfx::QuaternionNormalize(q);
  m_rotation = gfx::MatrixRotationQuaternion(m_qNow);
}

void CArcBall::OnBegin(int x, int y) {
  m_drag = true;
  m_qDown = m_qNow;
  m_downX = x;
  m_downY = y;
}

void CArcBall::OnMove(int x, int y) {
  if (!m_drag) return;
  const Vec3 from = gfx::Vec3TransformNormal(ScreenToVector(static_cast<float>(m_downX), static_cast<float>(m_downY)),
                                             m_dragSpace);
  const Vec3 to = gfx::Vec3TransformNormal(ScreenToVector(static_cast<float>(x), static_cast<float>(y)), m_dragSpace);
  const Quat q = gfx::QuaternionMultiply(m_qDown, QuatFromBallPoints(from, to));
  if (!std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.z) || !std::isfinite(q.w)) return;
  SetQuatNow(q);
}

void CArcBall::OnEnd() { m_drag = false; }

LRESULT CArcBall::HandleMessages(HWND, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  const int x = GetXLParam(lParam);
  const int y = GetYLParam(lParam);
  switch (uMsg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      OnBegin(x, y);
      return 1;
    case WM_LBUTTONUP:
      OnEnd();
      return 1;
    case WM_CAPTURECHANGED:
      OnEnd();
      return 1;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      m_lastX = x;
      m_lastY = y;
      return 1;
    case WM_MOUSEMOVE:
      if ((wParam & MK_LBUTTON) && m_drag) {
        OnMove(x, y);
      } else if (wParam & (MK_RBUTTON | MK_MBUTTON)) {
        const float dx = static_cast<float>(x - m_lastX) / (m_width > 0 ? m_width * 0.5f : 1.0f);
        const float dy = -static_cast<float>(y - m_lastY) / (m_height > 0 ? m_height * 0.5f : 1.0f);
        if (wParam & MK_RBUTTON)
          m_translationDelta = gfx::MatrixTranslation(dx * m_translationRadius, dy * m_translationRadius, 0.0f);
        else
          m_translationDelta = gfx::MatrixTranslation(0.0f, 0.0f, dy * m_translationRadius);
        m_translation = gfx::MatrixMultiply(m_translation, m_translationDelta);
        m_lastX = x;
        m_lastY = y;
      } else if (m_drag && !(wParam & MK_LBUTTON)) {
        // The button went up where we could not see it.
        OnEnd();
      }
      return 1;
    default:
      return 0;
  }
}

// ---- CBaseCamera ---------------------------------------------------------------

CBaseCamera::CBaseCamera() {
  SetViewParams(Vec3(0.0f, 0.0f, 0.0f), Vec3(0.0f, 0.0f, 1.0f));
  SetProjParams(gfx::kPi / 4.0f, 1.0f, 1.0f, 1000.0f);
}

void CBaseCamera::Reset() { SetViewParams(m_defaultEye, m_defaultLookAt); }

void CBaseCamera::SetViewParams(const Vec3& eye, const Vec3& lookAt) {
  if (!IsFinite(eye) || !IsFinite(lookAt)) return;
  m_eye = m_defaultEye = eye;
  m_lookAt = m_defaultLookAt = lookAt;
  m_view = gfx::MatrixLookAtLH(eye, lookAt, Vec3(0.0f, 1.0f, 0.0f));
}

void CBaseCamera::SetProjParams(float fov, float aspect, float nearPlane, float farPlane) {
  m_fov = fov;
  m_aspect = aspect;
  m_nearPlane = nearPlane;
  m_farPlane = farPlane;
  m_proj = gfx::MatrixPerspectiveFovLH(fov, aspect, nearPlane, farPlane);
}

LRESULT CBaseCamera::HandleMessages(HWND, UINT uMsg, WPARAM wParam, LPARAM) {
  switch (uMsg) {
    case WM_KEYDOWN:
    case WM_KEYUP: {
      const bool down = uMsg == WM_KEYDOWN;
      switch (wParam) {
        case VK_UP:
        case 'W':
          m_keys[kForward] = down;
          break;
        case VK_DOWN:
        case 'S':
          m_keys[kBackward] = down;
          break;
        case VK_LEFT:
        case 'A':
          m_keys[kLeft] = down;
          break;
        case VK_RIGHT:
        case 'D':
          m_keys[kRight] = down;
          break;
        case VK_PRIOR:
        case 'E':
          m_keys[kUp] = down;
          break;
        case VK_NEXT:
        case 'Q':
          m_keys[kDown] = down;
          break;
        default:
          break;
      }
      break;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      m_leftDown = true;
      break;
    case WM_LBUTTONUP:
      m_leftDown = false;
      break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      m_rightDown = true;
      break;
    case WM_RBUTTONUP:
      m_rightDown = false;
      break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      m_middleDown = true;
      break;
    case WM_MBUTTONUP:
      m_middleDown = false;
      break;
    case WM_MOUSEMOVE:
      // A release we did not see (outside the window) ends the drag.
      if (!(wParam & MK_LBUTTON)) m_leftDown = false;
      if (!(wParam & MK_RBUTTON)) m_rightDown = false;
      if (!(wParam & MK_MBUTTON)) m_middleDown = false;
      break;
    case WM_CAPTURECHANGED:
      m_leftDown = m_rightDown = m_middleDown = false;
      break;
    case WM_MOUSEWHEEL: {
      const int limit = 1 << 20;
      const int d = m_wheelDelta + GetWheelDelta(wParam);
      m_wheelDelta = d > limit ? limit : (d < -limit ? -limit : d);
      break;
    }
    default:
      break;
  }
  return 0;
}

Vec3 CBaseCamera::KeyboardDirection() const {
  Vec3 d(0.0f);
  if (m_keys[kForward]) d.z += 1.0f;
  if (m_keys[kBackward]) d.z -= 1.0f;
  if (m_keys[kRight]) d.x += 1.0f;
  if (m_keys[kLeft]) d.x -= 1.0f;
  if (m_keys[kUp]) d.y += 1.0f;
  if (m_keys[kDown]) d.y -= 1.0f;
  return d;
}

// ---- CModelViewerCamera ----------------------------------------------------------

CModelViewerCamera::CModelViewerCamera() {
  m_radius = m_defaultRadius = 5.0f;
  // No explicit view yet: look at the origin from the default distance.
  SetViewParams(Vec3(0.0f, 0.0f, -m_radius), Vec3(0.0f, 0.0f, 0.0f));
}

void CModelViewerCamera::Reset() {
  CBaseCamera::Reset();
  m_world = gfx::MatrixIdentity();
  m_worldArcBall.Reset();
  m_radius = m_defaultRadius;
  UpdateView();
}

void CModelViewerCamera::SetViewParams(const Vec3& eye, const Vec3& lookAt) {
  if (!IsFinite(eye) || !IsFinite(lookAt)) return;
  CBaseCamera::SetViewParams(eye, lookAt);
  m_radius = gfx::Vec3Length(eye - lookAt);
  if (!std::isfinite(m_radius)) m_radius = m_defaultRadius;
  // The next right-button drag starts from this orientation.
  m_viewArcBall.SetQuatNow(gfx::QuaternionRotationMatrix(m_view));
  m_viewDirty = false;
}

void CModelViewerCamera::SetWindow(int width, int height, float arcballRadius) {
  m_worldArcBall.SetWindow(width, height, arcballRadius);
  m_viewArcBall.SetWindow(width, height, arcballRadius);
}

void CModelViewerCamera::SetRadius(float defaultRadius, float minRadius, float maxRadius) {
  m_defaultRadius = m_radius = defaultRadius;
  m_minRadius = minRadius;
  m_maxRadius = maxRadius;
  UpdateView();
}

void CModelViewerCamera::SetWorldMatrix(const Mat4& world) {
  m_world = world;
  m_worldArcBall.SetQuatNow(gfx::QuaternionRotationMatrix(world));
}

LRESULT CModelViewerCamera::HandleMessages(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  CBaseCamera::HandleMessages(hWnd, uMsg, wParam, lParam);
  const int x = GetXLParam(lParam);
  const int y = GetYLParam(lParam);
  switch (uMsg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      m_worldArcBall.SetDragSpace(InverseViewRotation(m_view));
      m_worldArcBall.OnBegin(x, y);
      break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      m_viewArcBall.OnBegin(x, y);
      break;
    case WM_LBUTTONUP:
      m_worldArcBall.OnEnd();
      break;
    case WM_RBUTTONUP:
      m_viewArcBall.OnEnd();
      break;
    case WM_CAPTURECHANGED:
      m_worldArcBall.OnEnd();
      m_viewArcBall.OnEnd();
      break;
    case WM_MOUSEMOVE:
      if (m_leftDown) {
        m_worldArcBall.OnMove(x, y);
        m_world = m_worldArcBall.GetRotationMatrix();
      } else {
        m_worldArcBall.OnEnd();
      }
      if (m_rightDown) {
        m_viewArcBall.OnMove(x, y);
        m_viewDirty = true;
      } else {
        m_viewArcBall.OnEnd();
      }
      break;
    default:
      break;
  }
  return 0;
}

void CModelViewerCamera::FrameMove(float elapsedTime) {
  m_zoomedThisFrame = false;
  bool changed = m_viewDirty;
  if (m_enablePositionMovement && std::isfinite(elapsedTime)) {
    const Vec3 dir = KeyboardDirection();
    if (dir.x != 0.0f || dir.y != 0.0f || dir.z != 0.0f) {
      const Vec3 delta = gfx::Vec3TransformNormal(dir * (m_moveScaler * elapsedTime), InverseViewRotation(m_view));
      m_lookAt += delta;
      changed = true;
    }
  }
  if (m_wheelDelta != 0) {
    m_radius -= static_cast<float>(m_wheelDelta) * m_radius * 0.1f / static_cast<float>(WHEEL_DELTA);
    if (!(m_radius >= m_minRadius)) m_radius = m_minRadius;
    if (m_radius > m_maxRadius) m_radius = m_maxRadius;
    m_wheelDelta = 0;
    m_zoomedThisFrame = true;
    changed = true;
  }
  if (changed) UpdateView();
  m_viewDirty = false;
}

void CModelViewerCamera::UpdateView() {
  const Mat4 cameraRotation = gfx::MatrixTranspose(m_viewArcBall.GetRotationMatrix());
  const Vec3 ahead = gfx::Vec3TransformNormal(Vec3(0.0f, 0.0f, 1.0f), cameraRotation);
  const Vec3 up = gfx::Vec3TransformNormal(Vec3(0.0f, 1.0f, 0.0f), cameraRotation);
  m_eye = m_lookAt - ahead * m_radius;
  m_view = gfx::MatrixLookAtLH(m_eye, m_lookAt, up);
}

// ---- CDirectionWidget --------------------------------------------------------------

CDirectionWidget::CDirectionWidget() { m_arcBall.SetWindow(kBackBufferWidth, kBackBufferHeight, 0.9f); }

HRESULT CDirectionWidget::StaticOnCreateDevice(gfx::Device*) { return gfx::S_OK; }

HRESULT CDirectionWidget::OnResetDevice(const gfx::BackBufferDesc& backBuffer) {
  if (backBuffer.width > 0 && backBuffer.height > 0) m_arcBall.SetWindow(backBuffer.width, backBuffer.height, 0.9f);
  return gfx::S_OK;
}

void CDirectionWidget::OnLostDevice() { m_arcBall.OnEnd(); }

void CDirectionWidget::StaticOnDestroyDevice() {}

void CDirectionWidget::SetViewMatrix(const Mat4& view) { m_arcBall.SetDragSpace(InverseViewRotation(view)); }

LRESULT CDirectionWidget::HandleMessages(HWND, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  const int x = GetXLParam(lParam);
  const int y = GetYLParam(lParam);
  auto isOurButtonDown = [&](UINT msg) {
    return ((m_buttonMask & MOUSE_LEFT_BUTTON) && (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK)) ||
           ((m_buttonMask & MOUSE_RIGHT_BUTTON) && (msg == WM_RBUTTONDOWN || msg == WM_RBUTTONDBLCLK)) ||
           ((m_buttonMask & MOUSE_MIDDLE_BUTTON) && (msg == WM_MBUTTONDOWN || msg == WM_MBUTTONDBLCLK));
  };
  auto isOurButtonUp = [&](UINT msg) {
    return ((m_buttonMask & MOUSE_LEFT_BUTTON) && msg == WM_LBUTTONUP) ||
           ((m_buttonMask & MOUSE_RIGHT_BUTTON) && msg == WM_RBUTTONUP) ||
           ((m_buttonMask & MOUSE_MIDDLE_BUTTON) && msg == WM_MBUTTONUP);
  };
  WPARAM heldMask = 0;
  if (m_buttonMask & MOUSE_LEFT_BUTTON) heldMask |= MK_LBUTTON;
  if (m_buttonMask & MOUSE_RIGHT_BUTTON) heldMask |= MK_RBUTTON;
  if (m_buttonMask & MOUSE_MIDDLE_BUTTON) heldMask |= MK_MBUTTON;

  if (isOurButtonDown(uMsg)) {
    m_dirAtDragStart = m_currentDir;
    m_arcBall.SetQuatNow(gfx::QuaternionIdentity());
    m_arcBall.OnBegin(x, y);
    return 1;
  }
  if (isOurButtonUp(uMsg) || uMsg == WM_CAPTURECHANGED) {
    const bool was = m_arcBall.IsBeingDragged();
    m_arcBall.OnEnd();
    return was ? 1 : 0;
  }
  if (uMsg == WM_MOUSEMOVE && m_arcBall.IsBeingDragged()) {
    if (!(wParam & heldMask)) {
      m_arcBall.OnEnd();
      return 0;
    }
    m_arcBall.OnMove(x, y);
    m_currentDir = gfx::Vec3TransformNormal(m_dirAtDragStart, m_arcBall.GetRotationMatrix());
    return 1;
  }
  return 0;
}

}  // namespace fw
