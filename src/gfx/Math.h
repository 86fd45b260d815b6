#pragma once
// Matrix, vector and quaternion helpers in the player's conventions:
//
//  * Row vectors multiplied on the left: a point p becomes p × M, so the
//    translation sits in the fourth row (M41, M42, M43) and a chain of
//    transforms reads left to right: W = N × S × R × T.
//  * Left-handed coordinates; angles in radians; projections map depth to
//    0 (near) … 1 (far).
//  * Yaw turns about y, pitch about x, roll about z; a yaw-pitch-roll
//    rotation applies roll first, then pitch, then yaw.
//
// Storage. Mat4 is glm::mat4 used so that m[r][c] is the element in row r+1,
// column c+1 of the matrix above (MatrixElement(m, r+1, c+1)). Its sixteen
// floats therefore lie in memory row by row, exactly as the row-vector
// matrix is written: M11 M12 M13 M14 M21 … M44. Uploaded to GLSL as a mat4
// without transposing, the shader computes p × M as `M * vec4(p, 1.0)`.
//
// glm's own operators see the same memory as the transposed matrix, so
// glm's `a * b` is our b × a and glm's `m * v` is our v × m. Call the named
// functions below rather than the operators so the order is never in doubt.
#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>

namespace gfx {

using Vec2 = glm::vec2;
using Vec3 = glm::vec3;
using Vec4 = glm::vec4;
using Mat4 = glm::mat4;
// Members x, y, z, w; the rotation part is (x, y, z), the scalar part w.
using Quat = glm::quat;
// r, g, b, a in 0 … 1.
using Color = glm::vec4;

inline constexpr float kPi = 3.14159265358979323846f;

// ---- matrix elements -------------------------------------------------------

// 1-based row and column, as the matrix is written (M32 = row 3, column 2).
inline float& MatrixElement(Mat4& m, int row, int col) { return m[row - 1][col - 1]; }
inline float MatrixElement(const Mat4& m, int row, int col) { return m[row - 1][col - 1]; }

// Builds a matrix from its elements written row by row.
Mat4 MatrixFromRows(float m11, float m12, float m13, float m14,
                    float m21, float m22, float m23, float m24,
                    float m31, float m32, float m33, float m34,
                    float m41, float m42, float m43, float m44);

// Pointer to the sixteen floats, row by row (M11 first).
inline const float* MatrixData(const Mat4& m) { return &m[0][0]; }

// ---- matrix construction ---------------------------------------------------

Mat4 MatrixIdentity();
// a × b: transforms by a first, then by b.
Mat4 MatrixMultiply(const Mat4& a, const Mat4& b);
Mat4 MatrixTranspose(const Mat4& m);
float MatrixDeterminant(const Mat4& m);
// False (and `out` untouched) when m is singular or not finite.
bool MatrixInverse(const Mat4& m, Mat4& out, float* determinant = nullptr);
// The inverse, or the identity when m is singular.
Mat4 MatrixInverse(const Mat4& m);

Mat4 MatrixTranslation(float x, float y, float z);
Mat4 MatrixTranslation(const Vec3& v);
Mat4 MatrixScaling(float x, float y, float z);
Mat4 MatrixScaling(const Vec3& v);
Mat4 MatrixRotationX(float angle);
Mat4 MatrixRotationY(float angle);
Mat4 MatrixRotationZ(float angle);
// Roll about z, then pitch about x, then yaw about y.
Mat4 MatrixRotationYawPitchRoll(float yaw, float pitch, float roll);
// Rotation about an axis through the origin; the axis need not be unit
// length. A zero axis gives the identity.
Mat4 MatrixRotationAxis(const Vec3& axis, float angle);
// Rotation of a quaternion (normalised first; a zero quaternion gives the
// identity).
Mat4 MatrixRotationQuaternion(const Quat& q);

// Left-handed view matrix: the eye looks along +z towards `at`, `up` gives
// +y. A degenerate basis (eye == at, or up parallel to the view direction)
// falls back to a sane basis rather than producing NaNs.
Mat4 MatrixLookAtLH(const Vec3& eye, const Vec3& at, const Vec3& up);
// Left-handed perspective; fovY the vertical field of view in radians,
// aspect = width / height. Depth: near plane → 0, far plane → 1.
// Impossible arguments (zero field of view or aspect, near == far) give the
// identity instead of infinities; so do those of the orthographic forms.
Mat4 MatrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar);
// Left-handed orthographic projection, depth near → 0, far → 1.
Mat4 MatrixOrthoLH(float width, float height, float zNear, float zFar);
Mat4 MatrixOrthoOffCenterLH(float left, float right, float bottom, float top,
                            float zNear, float zFar);

// The yaw, pitch and roll of a rotation matrix (x = yaw, y = pitch,
// z = roll): pitch = asin(−M32); when cos(pitch) > 0.001, yaw =
// atan2(M31, M33) and roll = atan2(M12, M22), otherwise yaw = 0 and
// roll = atan2(−M21, M11). Inverse of MatrixRotationYawPitchRoll for pitch
// strictly inside (−π/2, π/2).
Vec3 MatrixToYawPitchRoll(const Mat4& rotation);

// ---- vectors ---------------------------------------------------------------

// (v, 1) × m.
Vec4 Vec3Transform(const Vec3& v, const Mat4& m);
// (v, 1) × m, divided by the resulting w (left as is when w is 0).
Vec3 Vec3TransformCoord(const Vec3& v, const Mat4& m);
// (v, 0) × m: a direction; the translation row is ignored.
Vec3 Vec3TransformNormal(const Vec3& v, const Mat4& m);
// v × m.
Vec4 Vec4Transform(const Vec4& v, const Mat4& m);

float Vec3Dot(const Vec3& a, const Vec3& b);
Vec3 Vec3Cross(const Vec3& a, const Vec3& b);
float Vec3Length(const Vec3& v);
// A zero (or non-finite length) vector stays zero.
Vec3 Vec3Normalize(const Vec3& v);
Vec3 Vec3Lerp(const Vec3& a, const Vec3& b, float t);

// ---- quaternions -----------------------------------------------------------

// Quaternion from its components in x, y, z, w order (glm's constructor
// takes w first; this spares callers that trap).
Quat QuaternionXYZW(float x, float y, float z, float w);
Quat QuaternionIdentity();
// Rotation about an axis (normalised here; a zero axis gives the identity).
Quat QuaternionRotationAxis(const Vec3& axis, float angle);
// The same rotation as MatrixRotationYawPitchRoll.
Quat QuaternionRotationYawPitchRoll(float yaw, float pitch, float roll);
// The rotation part of a matrix (assumed orthonormal) as a unit quaternion.
Quat QuaternionRotationMatrix(const Mat4& m);
// a then b, the same order as MatrixMultiply: the matrix of
// QuaternionMultiply(a, b) is MatrixMultiply(matrix(a), matrix(b)).
Quat QuaternionMultiply(const Quat& a, const Quat& b);
// Spherical interpolation along the shorter arc; t = 0 gives a, 1 gives b.
Quat QuaternionSlerp(const Quat& a, const Quat& b, float t);
Quat QuaternionNormalize(const Quat& q);
Quat QuaternionConjugate(const Quat& q);
// Inverse (conjugate over squared length); a zero quaternion stays zero.
Quat QuaternionInverse(const Quat& q);
float QuaternionDot(const Quat& a, const Quat& b);
// Axis (unit) and angle in radians; the identity gives axis (1, 0, 0), 0.
void QuaternionToAxisAngle(const Quat& q, Vec3& axis, float& angle);

}  // namespace gfx
