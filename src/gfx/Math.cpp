#include "gfx/Math.h"

#include <algorithm>
#include <cmath>

namespace gfx {

Mat4 MatrixFromRows(float m11, float m12, float m13, float m14,
                    float m21, float m22, float m23, float m24,
                    float m31, float m32, float m33, float m34,
                    float m41, float m42, float m43, float m44) {
  // glm fills its storage vector by vector; ours holds one row per vector.
  return Mat4(m11, m12, m13, m14, m21, m22, m23, m24,
              m31, m32, m33, m34, m41, m42, m43, m44);
}

Mat4 MatrixIdentity() { return Mat4(1.0f); }

Mat4 MatrixMultiply(const Mat4& a, const Mat4& b) { return b * a; }

Mat4 MatrixTranspose(const Mat4& m) { return glm::transpose(m); }

float MatrixDeterminant(const Mat4& m) { return glm::determinant(m); }

bool MatrixInverse(const Mat4& m, Mat4& out, float* determinant) {
  const float det = glm::determinant(m);
  if (determinant) *determinant = det;
  if (det == 0.0f || !std::isfinite(det)) return false;
  // The inverse of the transpose is the transpose of the inverse, so glm's
  // view of the storage does not matter here.
  const Mat4 inv = glm::inverse(m);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      if (!std::isfinite(inv[i][j])) return false;
  out = inv;
  return true;
}

Mat4 MatrixInverse(const Mat4& m) {
  Mat4 out(1.0f);
  MatrixInverse(m, out);
  return out;
}

Mat4 MatrixTranslation(float x, float y, float z) {
  Mat4 m(1.0f);
  m[3] = Vec4(x, y, z, 1.0f);
  return m;
}

Mat4 MatrixTranslation(const Vec3& v) { return MatrixTranslation(v.x, v.y, v.z); }

Mat4 MatrixScaling(float x, float y, float z) {
  Mat4 m(1.0f);
  m[0][0] = x;
  m[1][1] = y;
  m[2][2] = z;
  return m;
}

Mat4 MatrixScaling(const Vec3& v) { return MatrixScaling(v.x, v.y, v.z); }

Mat4 MatrixRotationX(float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  return MatrixFromRows(1, 0, 0, 0,
                        0, c, s, 0,
                        0, -s, c, 0,
                        0, 0, 0, 1);
}

Mat4 MatrixRotationY(float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  return MatrixFromRows(c, 0, -s, 0,
                        0, 1, 0, 0,
                        s, 0, c, 0,
                        0, 0, 0, 1);
}

Mat4 MatrixRotationZ(float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  return MatrixFromRows(c, s, 0, 0,
                        -s, c, 0, 0,
                        0, 0, 1, 0,
                        0, 0, 0, 1);
}

Mat4 MatrixRotationYawPitchRoll(float yaw, float pitch, float roll) {
  return MatrixMultiply(MatrixMultiply(MatrixRotationZ(roll), MatrixRotationX(pitch)),
                        MatrixRotationY(yaw));
}

Mat4 MatrixRotationAxis(const Vec3& axis, float angle) {
  return MatrixRotationQuaternion(QuaternionRotationAxis(axis, angle));
}

Mat4 MatrixRotationQuaternion(const Quat& q) {
  // glm's rotation matrix, read through our storage, is already the
  // row-vector form (the transpose of the column-vector rotation).
  return glm::mat4_cast(QuaternionNormalize(q));
}

Mat4 MatrixLookAtLH(const Vec3& eye, const Vec3& at, const Vec3& up) {
  Vec3 zaxis = at - eye;
  const float zl = glm::length(zaxis);
  zaxis = (zl > 0.0f && std::isfinite(zl)) ? zaxis / zl : Vec3(0, 0, 1);
  Vec3 xaxis = glm::cross(up, zaxis);
  float xl = glm::length(xaxis);
  if (!(xl > 1e-6f) || !std::isfinite(xl)) {
    // Up is parallel to the view direction (or zero): any perpendicular
    // basis is better than NaNs.
    const Vec3 alt = std::fabs(zaxis.y) < 0.99f ? Vec3(0, 1, 0) : Vec3(0, 0, -1);
    xaxis = glm::cross(alt, zaxis);
    xl = glm::length(xaxis);
  }
  xaxis /= xl;
  const Vec3 yaxis = glm::cross(zaxis, xaxis);
  return MatrixFromRows(xaxis.x, yaxis.x, zaxis.x, 0,
                        xaxis.y, yaxis.y, zaxis.y, 0,
                        xaxis.z, yaxis.z, zaxis.z, 0,
                        -glm::dot(xaxis, eye), -glm::dot(yaxis, eye), -glm::dot(zaxis, eye), 1);
}

Mat4 MatrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar) {
  const float t = std::tan(fovY * 0.5f);
  if (t == 0.0f || aspect == 0.0f || zFar == zNear || !std::isfinite(t)) return Mat4(1.0f);
  const float yScale = 1.0f / t;
  const float xScale = yScale / aspect;
  const float q = zFar / (zFar - zNear);
  return MatrixFromRows(xScale, 0, 0, 0,
                        0, yScale, 0, 0,
                        0, 0, q, 1,
                        0, 0, -zNear * q, 0);
}

Mat4 MatrixOrthoLH(float width, float height, float zNear, float zFar) {
  return MatrixOrthoOffCenterLH(-width * 0.5f, width * 0.5f, -height * 0.5f, height * 0.5f,
                                zNear, zFar);
}

Mat4 MatrixOrthoOffCenterLH(float left, float right, float bottom, float top,
                            float zNear, float zFar) {
  if (right == left || top == bottom || zFar == zNear) return Mat4(1.0f);
  return MatrixFromRows(2.0f / (right - left), 0, 0, 0,
                        0, 2.0f / (top - bottom), 0, 0,
                        0, 0, 1.0f / (zFar - zNear), 0,
                        (left + right) / (left - right), (top + bottom) / (bottom - top),
                        zNear / (zNear - zFar), 1);
}

Vec3 MatrixToYawPitchRoll(const Mat4& r) {
  const float pitch = std::asin(std::clamp(-MatrixElement(r, 3, 2), -1.0f, 1.0f));
  float yaw, roll;
  if (std::cos(pitch) > 0.001f) {
    yaw = std::atan2(MatrixElement(r, 3, 1), MatrixElement(r, 3, 3));
    roll = std::atan2(MatrixElement(r, 1, 2), MatrixElement(r, 2, 2));
  } else {
    yaw = 0.0f;
    roll = std::atan2(-MatrixElement(r, 2, 1), MatrixElement(r, 1, 1));
  }
  return Vec3(yaw, pitch, roll);
}

Vec4 Vec3Transform(const Vec3& v, const Mat4& m) { return m * Vec4(v, 1.0f); }

Vec3 Vec3TransformCoord(const Vec3& v, const Mat4& m) {
  const Vec4 r = m * Vec4(v, 1.0f);
  if (r.w == 0.0f) return Vec3(r);
  return Vec3(r) / r.w;
}

Vec3 Vec3TransformNormal(const Vec3& v, const Mat4& m) { return Vec3(m * Vec4(v, 0.0f)); }

Vec4 Vec4Transform(const Vec4& v, const Mat4& m) { return m * v; }

float Vec3Dot(const Vec3& a, const Vec3& b) { return glm::dot(a, b); }
Vec3 Vec3Cross(const Vec3& a, const Vec3& b) { return glm::cross(a, b); }
float Vec3Length(const Vec3& v) { return glm::length(v); }

Vec3 Vec3Normalize(const Vec3& v) {
  const float l = glm::length(v);
  if (!(l > 0.0f) || !std::isfinite(l)) return Vec3(0.0f);
  return v / l;
}

Vec3 Vec3Lerp(const Vec3& a, const Vec3& b, float t) { return a + (b - a) * t; }

Quat QuaternionXYZW(float x, float y, float z, float w) {
  Quat q;
  q.x = x;
  q.y = y;
  q.z = z;
  q.w = w;
  return q;
}

Quat QuaternionIdentity() { return QuaternionXYZW(0, 0, 0, 1); }

Quat QuaternionRotationAxis(const Vec3& axis, float angle) {
  const Vec3 n = Vec3Normalize(axis);
  if (n == Vec3(0.0f)) return QuaternionIdentity();
  const float s = std::sin(angle * 0.5f);
  return QuaternionXYZW(n.x * s, n.y * s, n.z * s, std::cos(angle * 0.5f));
}

Quat QuaternionRotationYawPitchRoll(float yaw, float pitch, float roll) {
  return QuaternionMultiply(
      QuaternionMultiply(QuaternionRotationAxis(Vec3(0, 0, 1), roll),
                         QuaternionRotationAxis(Vec3(1, 0, 0), pitch)),
      QuaternionRotationAxis(Vec3(0, 1, 0), yaw));
}

Quat QuaternionRotationMatrix(const Mat4& m) {
  return QuaternionNormalize(glm::quat_cast(glm::mat3(m)));
}

// glm multiplies in the Hamilton order (b·a rotates by a first).
Quat QuaternionMultiply(const Quat& a, const Quat& b) { return b * a; }

Quat QuaternionSlerp(const Quat& a, const Quat& b, float t) {
  float cosom = QuaternionDot(a, b);
  Quat end = b;
  if (cosom < 0.0f) {
    cosom = -cosom;
    end = -b;
  }
  float k0, k1;
  if (cosom > 0.9995f) {
    // Nearly the same orientation: linear interpolation is exact enough and
    // avoids dividing by a vanishing sine.
    k0 = 1.0f - t;
    k1 = t;
    return QuaternionNormalize(QuaternionXYZW(k0 * a.x + k1 * end.x, k0 * a.y + k1 * end.y,
                                              k0 * a.z + k1 * end.z, k0 * a.w + k1 * end.w));
  } else {
    const float omega = std::acos(std::min(cosom, 1.0f));
    const float sinom = std::sin(omega);
    k0 = std::sin((1.0f - t) * omega) / sinom;
    k1 = std::sin(t * omega) / sinom;
  }
  return QuaternionXYZW(k0 * a.x + k1 * end.x, k0 * a.y + k1 * end.y,
                        k0 * a.z + k1 * end.z, k0 * a.w + k1 * end.w);
}

Quat QuaternionNormalize(const Quat& q) {
  const float l = std::sqrt(QuaternionDot(q, q));
  if (!(l > 0.0f) || !std::isfinite(l)) return QuaternionIdentity();
  return QuaternionXYZW(q.x / l, q.y / l, q.z / l, q.w / l);
}

Quat QuaternionConjugate(const Quat& q) { return QuaternionXYZW(-q.x, -q.y, -q.z, q.w); }

Quat QuaternionInverse(const Quat& q) {
  const float n = QuaternionDot(q, q);
  if (!(n > 0.0f)) return QuaternionXYZW(0, 0, 0, 0);
  return QuaternionXYZW(-q.x / n, -q.y / n, -q.z / n, q.w / n);
}

float QuaternionDot(const Quat& a, const Quat& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}

void QuaternionToAxisAngle(const Quat& q, Vec3& axis, float& angle) {
  const Quat n = QuaternionNormalize(q);
  const float s = std::sqrt(std::max(0.0f, 1.0f - n.w * n.w));
  angle = 2.0f * std::acos(std::clamp(n.w, -1.0f, 1.0f));
  if (s < 1e-6f) {
    axis = Vec3(1, 0, 0);
    angle = 0.0f;
    return;
  }
  axis = Vec3(n.x, n.y, n.z) / s;
}

}  // namespace gfx
