#include "gfx/Math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace gfx {
namespace {

constexpr float kEps = 1e-5f;

void ExpectVec3(const Vec3& a, const Vec3& b, float eps = kEps) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

void ExpectMat(const Mat4& a, const Mat4& b, float eps = kEps) {
  for (int r = 1; r <= 4; ++r)
    for (int c = 1; c <= 4; ++c)
      EXPECT_NEAR(MatrixElement(a, r, c), MatrixElement(b, r, c), eps) << "M" << r << c;
}

TEST(Math, StorageIsRowByRow) {
  const Mat4 m = MatrixFromRows(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
  const float* d = MatrixData(m);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(d[i], float(i + 1));
  EXPECT_EQ(MatrixElement(m, 3, 2), 10.0f);
  EXPECT_EQ(MatrixElement(m, 4, 1), 13.0f);
}

TEST(Math, TranslationSitsInFourthRow) {
  const Mat4 t = MatrixTranslation(1, 2, 3);
  EXPECT_EQ(MatrixElement(t, 4, 1), 1.0f);
  EXPECT_EQ(MatrixElement(t, 4, 2), 2.0f);
  EXPECT_EQ(MatrixElement(t, 4, 3), 3.0f);
  ExpectVec3(Vec3TransformCoord(Vec3(1, 1, 1), t), Vec3(2, 3, 4));
  // Directions ignore translation.
  ExpectVec3(Vec3TransformNormal(Vec3(1, 1, 1), t), Vec3(1, 1, 1));
}

TEST(Math, MultiplyAppliesLeftOperandFirst) {
  // Scale then translate: (1,0,0) → (2,0,0) → (12,0,0).
  const Mat4 w = MatrixMultiply(MatrixScaling(2, 2, 2), MatrixTranslation(10, 0, 0));
  ExpectVec3(Vec3TransformCoord(Vec3(1, 0, 0), w), Vec3(12, 0, 0));
  // Translate then scale: (1,0,0) → (11,0,0) → (22,0,0).
  const Mat4 w2 = MatrixMultiply(MatrixTranslation(10, 0, 0), MatrixScaling(2, 2, 2));
  ExpectVec3(Vec3TransformCoord(Vec3(1, 0, 0), w2), Vec3(22, 0, 0));
  // Element check against the written-out product.
  const Mat4 a = MatrixFromRows(1, 2, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 3, 0, 0, 1);
  const Mat4 b = MatrixFromRows(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 5, 0, 1);
  // Row 1 of a×b = (1,2,0,0)×b = (2, 6, 0, 0); row 4 = (3,0,0,1)×b = (6, 5, 0, 1).
  const Mat4 ab = MatrixMultiply(a, b);
  EXPECT_FLOAT_EQ(MatrixElement(ab, 1, 1), 2);
  EXPECT_FLOAT_EQ(MatrixElement(ab, 1, 2), 6);
  EXPECT_FLOAT_EQ(MatrixElement(ab, 4, 1), 6);
  EXPECT_FLOAT_EQ(MatrixElement(ab, 4, 2), 5);
  EXPECT_FLOAT_EQ(MatrixElement(ab, 4, 4), 1);
}

struct AxisCase {
  const char* name;
  Mat4 (*rot)(float);
  Vec3 in, out;  // in rotated by +90°
};

TEST(Math, PositiveQuarterTurnsFollowLeftHandedConvention) {
  const AxisCase cases[] = {
      {"yaw +z→+x", MatrixRotationY, {0, 0, 1}, {1, 0, 0}},
      {"yaw +x→-z", MatrixRotationY, {1, 0, 0}, {0, 0, -1}},
      {"pitch +y→+z", MatrixRotationX, {0, 1, 0}, {0, 0, 1}},
      {"pitch +z→-y", MatrixRotationX, {0, 0, 1}, {0, -1, 0}},
      {"roll +x→+y", MatrixRotationZ, {1, 0, 0}, {0, 1, 0}},
      {"roll +y→-x", MatrixRotationZ, {0, 1, 0}, {-1, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectVec3(Vec3TransformNormal(c.in, c.rot(kPi / 2)), c.out);
  }
}

TEST(Math, YawPitchRollIsRollThenPitchThenYaw) {
  const float y = 0.3f, p = -0.7f, r = 1.1f;
  const Mat4 expected = MatrixMultiply(MatrixMultiply(MatrixRotationZ(r), MatrixRotationX(p)),
                                       MatrixRotationY(y));
  ExpectMat(MatrixRotationYawPitchRoll(y, p, r), expected);
  // Hand case: roll 90° then yaw 90°: +x → +y (roll) → +y (yaw keeps y).
  ExpectVec3(Vec3TransformNormal(Vec3(1, 0, 0), MatrixRotationYawPitchRoll(kPi / 2, 0, kPi / 2)),
             Vec3(0, 1, 0));
  // Pitch 90° then yaw 90°: +y → +z (pitch) → +x (yaw).
  ExpectVec3(Vec3TransformNormal(Vec3(0, 1, 0), MatrixRotationYawPitchRoll(kPi / 2, kPi / 2, 0)),
             Vec3(1, 0, 0));
}

TEST(Math, YawPitchRollRoundTripsThroughMatrix) {
  const Vec3 angles[] = {{0.3f, -0.7f, 1.1f}, {-2.5f, 1.2f, -3.0f}, {0, 0, 0}, {1.0f, 0.0f, 0.0f}};
  for (const Vec3& a : angles) {
    const Vec3 back = MatrixToYawPitchRoll(MatrixRotationYawPitchRoll(a.x, a.y, a.z));
    ExpectVec3(back, a, 1e-4f);
  }
  // Gimbal lock: pitch of 90° folds yaw into roll, and the matrix still matches.
  const Mat4 locked = MatrixRotationYawPitchRoll(0.4f, kPi / 2, 0.2f);
  const Vec3 b = MatrixToYawPitchRoll(locked);
  EXPECT_EQ(b.x, 0.0f);
  ExpectMat(MatrixRotationYawPitchRoll(b.x, b.y, b.z), locked, 1e-3f);
}

TEST(Math, RotationAxisMatchesAxisRotations) {
  ExpectMat(MatrixRotationAxis(Vec3(0, 2, 0), 0.8f), MatrixRotationY(0.8f));
  ExpectMat(MatrixRotationAxis(Vec3(-3, 0, 0), 0.8f), MatrixRotationX(-0.8f));
  ExpectMat(MatrixRotationAxis(Vec3(0, 0, 0), 0.8f), MatrixIdentity());
}

TEST(Math, LookAtLHMapsTargetOntoPositiveZ) {
  const Mat4 v = MatrixLookAtLH(Vec3(0, 0, -5), Vec3(0, 0, 0), Vec3(0, 1, 0));
  ExpectVec3(Vec3TransformCoord(Vec3(0, 0, 0), v), Vec3(0, 0, 5));
  ExpectVec3(Vec3TransformCoord(Vec3(1, 0, 0), v), Vec3(1, 0, 5));
  ExpectVec3(Vec3TransformCoord(Vec3(0, 1, 0), v), Vec3(0, 1, 5));
  // Looking down +x from the origin: world +x is view +z, world -z is view +x.
  const Mat4 v2 = MatrixLookAtLH(Vec3(0, 0, 0), Vec3(3, 0, 0), Vec3(0, 1, 0));
  ExpectVec3(Vec3TransformCoord(Vec3(2, 0, 0), v2), Vec3(0, 0, 2));
  ExpectVec3(Vec3TransformCoord(Vec3(0, 0, -1), v2), Vec3(1, 0, 0));
}

TEST(Math, LookAtLHDegenerateInputsStayFinite) {
  const Mat4 cases[] = {
      MatrixLookAtLH(Vec3(1, 2, 3), Vec3(1, 2, 3), Vec3(0, 1, 0)),
      MatrixLookAtLH(Vec3(0, 0, 0), Vec3(0, 5, 0), Vec3(0, 1, 0)),
      MatrixLookAtLH(Vec3(0, 0, 0), Vec3(0, 0, 1), Vec3(0, 0, 0)),
  };
  for (const Mat4& m : cases) {
    for (int i = 0; i < 16; ++i) EXPECT_TRUE(std::isfinite(MatrixData(m)[i]));
    EXPECT_NEAR(std::fabs(MatrixDeterminant(m)), 1.0f, 1e-4f);
  }
  // Looking straight up still maps the target onto +z.
  ExpectVec3(Vec3TransformCoord(Vec3(0, 5, 0), cases[1]), Vec3(0, 0, 5));
}

TEST(Math, PerspectiveFovLHDepthRunsZeroToOne) {
  const float zn = 0.1f, zf = 1000.0f;
  const Mat4 p = MatrixPerspectiveFovLH(kPi / 4, 16.0f / 9.0f, zn, zf);
  EXPECT_NEAR(Vec3TransformCoord(Vec3(0, 0, zn), p).z, 0.0f, 1e-6f);
  EXPECT_NEAR(Vec3TransformCoord(Vec3(0, 0, zf), p).z, 1.0f, 1e-5f);
  // w = view z.
  EXPECT_NEAR(Vec3Transform(Vec3(0, 0, 7), p).w, 7.0f, 1e-6f);
  // The top edge of the frustum at distance d is d·tan(fov/2): y → 1.
  const float d = 10.0f;
  EXPECT_NEAR(Vec3TransformCoord(Vec3(0, d * std::tan(kPi / 8), d), p).y, 1.0f, 1e-5f);
  EXPECT_NEAR(Vec3TransformCoord(Vec3(d * std::tan(kPi / 8) * 16 / 9, 0, d), p).x, 1.0f, 1e-5f);
  EXPECT_FLOAT_EQ(MatrixElement(p, 3, 4), 1.0f);
  EXPECT_FLOAT_EQ(MatrixElement(p, 4, 4), 0.0f);
  // Impossible arguments give the identity, not infinities.
  ExpectMat(MatrixPerspectiveFovLH(0.0f, 1.0f, 0.1f, 10.0f), MatrixIdentity());
  ExpectMat(MatrixPerspectiveFovLH(1.0f, 0.0f, 0.1f, 10.0f), MatrixIdentity());
  ExpectMat(MatrixPerspectiveFovLH(1.0f, 1.0f, 5.0f, 5.0f), MatrixIdentity());
  ExpectMat(MatrixOrthoLH(0.0f, 1.0f, 0.0f, 1.0f), MatrixIdentity());
}

TEST(Math, OrthoLHMapsBoxToUnitCube) {
  const Mat4 o = MatrixOrthoLH(200, 100, 1, 11);
  ExpectVec3(Vec3TransformCoord(Vec3(100, 50, 1), o), Vec3(1, 1, 0));
  ExpectVec3(Vec3TransformCoord(Vec3(-100, -50, 11), o), Vec3(-1, -1, 1));
  const Mat4 oc = MatrixOrthoOffCenterLH(0, 640, 480, 0, 0, 1);
  ExpectVec3(Vec3TransformCoord(Vec3(0, 0, 0), oc), Vec3(-1, 1, 0));
  ExpectVec3(Vec3TransformCoord(Vec3(640, 480, 1), oc), Vec3(1, -1, 1));
}

TEST(Math, InverseAndTranspose) {
  const Mat4 w = MatrixMultiply(MatrixMultiply(MatrixScaling(2, 3, 4), MatrixRotationYawPitchRoll(0.3f, 0.2f, 0.1f)),
                                MatrixTranslation(5, -6, 7));
  Mat4 inv;
  float det = 0;
  ASSERT_TRUE(MatrixInverse(w, inv, &det));
  EXPECT_NEAR(det, 24.0f, 1e-3f);
  ExpectMat(MatrixMultiply(w, inv), MatrixIdentity(), 1e-5f);
  const Vec3 p(1, 2, 3);
  ExpectVec3(Vec3TransformCoord(Vec3TransformCoord(p, w), inv), p, 1e-5f);

  Mat4 untouched = MatrixTranslation(9, 9, 9);
  EXPECT_FALSE(MatrixInverse(MatrixScaling(1, 0, 1), untouched));
  ExpectMat(untouched, MatrixTranslation(9, 9, 9));
  ExpectMat(MatrixInverse(MatrixScaling(0, 0, 0)), MatrixIdentity());

  const Mat4 t = MatrixTranspose(MatrixFromRows(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16));
  EXPECT_EQ(MatrixElement(t, 1, 2), 5.0f);
  EXPECT_EQ(MatrixElement(t, 4, 1), 4.0f);
}

TEST(Math, TransformCoordDividesByW) {
  const Mat4 m = MatrixFromRows(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0);
  ExpectVec3(Vec3TransformCoord(Vec3(2, 4, 2), m), Vec3(1, 2, 1));
  // w = 0 leaves the components undivided instead of producing infinities.
  ExpectVec3(Vec3TransformCoord(Vec3(2, 4, 0), m), Vec3(2, 4, 0));
  const Vec4 v = Vec4Transform(Vec4(1, 2, 3, 4), MatrixTranslation(1, 1, 1));
  EXPECT_EQ(v, Vec4(5, 6, 7, 4));
}

TEST(Math, QuaternionMatchesMatrixRotations) {
  const float y = 0.3f, p = -0.7f, r = 1.1f;
  ExpectMat(MatrixRotationQuaternion(QuaternionRotationYawPitchRoll(y, p, r)),
            MatrixRotationYawPitchRoll(y, p, r));
  ExpectMat(MatrixRotationQuaternion(QuaternionRotationAxis(Vec3(0, 1, 0), 0.5f)), MatrixRotationY(0.5f));
  // Components of a yaw of 90°: (0, sin 45°, 0, cos 45°).
  const Quat q = QuaternionRotationYawPitchRoll(kPi / 2, 0, 0);
  EXPECT_NEAR(q.x, 0.0f, kEps);
  EXPECT_NEAR(q.y, std::sqrt(0.5f), kEps);
  EXPECT_NEAR(q.z, 0.0f, kEps);
  EXPECT_NEAR(q.w, std::sqrt(0.5f), kEps);
}

TEST(Math, QuaternionMultiplyKeepsMatrixOrder) {
  const Quat a = QuaternionRotationAxis(Vec3(1, 0, 0), 0.7f);
  const Quat b = QuaternionRotationAxis(Vec3(0, 1, 1), -1.3f);
  ExpectMat(MatrixRotationQuaternion(QuaternionMultiply(a, b)),
            MatrixMultiply(MatrixRotationQuaternion(a), MatrixRotationQuaternion(b)));
}

TEST(Math, QuaternionFromMatrixRoundTrips) {
  const Mat4 m = MatrixRotationYawPitchRoll(-1.0f, 0.4f, 2.0f);
  ExpectMat(MatrixRotationQuaternion(QuaternionRotationMatrix(m)), m);
}

TEST(Math, SlerpEndpointsMidpointAndShortArc) {
  const Quat a = QuaternionIdentity();
  const Quat b = QuaternionRotationAxis(Vec3(0, 1, 0), kPi / 2);
  EXPECT_NEAR(QuaternionDot(QuaternionSlerp(a, b, 0), a), 1.0f, kEps);
  EXPECT_NEAR(std::fabs(QuaternionDot(QuaternionSlerp(a, b, 1), b)), 1.0f, kEps);
  ExpectMat(MatrixRotationQuaternion(QuaternionSlerp(a, b, 0.5f)), MatrixRotationY(kPi / 4));
  // -b is the same rotation; slerp must still take the 45° path.
  const Quat nb = QuaternionXYZW(-b.x, -b.y, -b.z, -b.w);
  ExpectMat(MatrixRotationQuaternion(QuaternionSlerp(a, nb, 0.5f)), MatrixRotationY(kPi / 4));
  // Nearly equal inputs stay unit length.
  const Quat c = QuaternionRotationAxis(Vec3(0, 1, 0), 1e-4f);
  const Quat s = QuaternionSlerp(a, c, 0.5f);
  EXPECT_NEAR(QuaternionDot(s, s), 1.0f, kEps);
}

TEST(Math, QuaternionInverseConjugateAxisAngle) {
  const Quat q = QuaternionRotationAxis(Vec3(1, 2, 3), 0.9f);
  ExpectMat(MatrixRotationQuaternion(QuaternionMultiply(q, QuaternionInverse(q))), MatrixIdentity());
  const Quat c = QuaternionConjugate(q);
  EXPECT_EQ(c.w, q.w);
  EXPECT_EQ(c.x, -q.x);
  Vec3 axis;
  float angle = 0;
  QuaternionToAxisAngle(q, axis, angle);
  EXPECT_NEAR(angle, 0.9f, 1e-5f);
  ExpectVec3(axis, Vec3Normalize(Vec3(1, 2, 3)));
  QuaternionToAxisAngle(QuaternionIdentity(), axis, angle);
  EXPECT_EQ(angle, 0.0f);
  ExpectVec3(axis, Vec3(1, 0, 0));
  // Degenerate inputs do not produce NaNs.
  ExpectMat(MatrixRotationQuaternion(QuaternionXYZW(0, 0, 0, 0)), MatrixIdentity());
  ExpectVec3(Vec3Normalize(Vec3(0, 0, 0)), Vec3(0, 0, 0));
}

}  // namespace
}  // namespace gfx
