// Golden images of the OpenGL backend. Expected images live in
// tests/gfx/golden/; run with MV_APPROVE=1 to rewrite them after a deliberate
// change (and look at them before committing).
#include <gtest/gtest.h>

#include <epoxy/gl.h>

#include <cstring>

#include "support/GLTestContext.h"
#include "gfx/Effect.h"
#include "gfx/GLDevice.h"
#include "gfx/Math.h"

namespace gfx {
namespace {

const std::string kGolden = std::string(MV_SOURCE_DIR) + "/tests/gfx/golden";
constexpr int kTolerance = 3;

const char* const kSceneFx = R"(
include = ["lighting"]

[[parameter]]
name = "g_mWorld"
type = "float4x4"

[[parameter]]
name = "g_mViewProj"
type = "float4x4"

[[parameter]]
name = "g_vDiffuse"
type = "float4"

[[parameter]]
name = "g_vLightDir"
type = "float3"
default = [0.4, -0.6, 1.0]

[[parameter]]
name = "g_txScene"
type = "texture"

[[technique]]
name = "Lit"
[[technique.pass]]
states = { CullMode = "ccw" }
vertex = '''
in vec3 inPosition;
in vec3 inNormal;
out vec3 vNormal;
void main() {
  vec4 w = g_mWorld * vec4(inPosition, 1.0);
  vNormal = (g_mWorld * vec4(inNormal, 0.0)).xyz;
  gl_Position = mvClip(g_mViewProj * w);
}
'''
fragment = '''
in vec3 vNormal;
void main() {
  float d = mvDiffuse(normalize(vNormal), normalize(-g_vLightDir));
  mv_Target0 = vec4(g_vDiffuse.rgb * (0.25 + 0.75 * d), 1.0);
}
'''

[[technique]]
name = "Copy"
[[technique.pass]]
states = { ZEnable = false, CullMode = "none" }
vertex = "@quad"
fragment = '''
in vec2 vTex0;
void main() { mv_Target0 = texture(g_txScene, vTex0); }
'''
)";

struct V {
  float p[3], n[3];
};

// A unit cube's 12 triangles, clockwise seen from outside.
std::vector<V> Cube() {
  std::vector<V> out;
  const float s = 0.5f;
  struct Face {
    float n[3], u[3], v[3];
  } faces[6] = {{{0, 0, -1}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, 1}, {-1, 0, 0}, {0, 1, 0}},
                {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}},  {{-1, 0, 0}, {0, 0, -1}, {0, 1, 0}},
                {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, -1}}};
  for (const Face& f : faces) {
    auto corner = [&](float a, float b) {
      V v;
      for (int i = 0; i < 3; ++i) {
        v.p[i] = (f.n[i] + a * f.u[i] + b * f.v[i]) * s;
        v.n[i] = f.n[i];
      }
      return v;
    };
    // Seen from outside along -n, u to the right and v up: (−,−), (−,+), (+,−) is clockwise.
    V a = corner(-1, -1), b = corner(-1, 1), c = corner(1, -1), d = corner(1, 1);
    out.insert(out.end(), {a, b, c, c, b, d});
  }
  return out;
}

class Golden : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ctx_ = mvtest::GLTestContext::Create(&why);
    if (!ctx_) GTEST_SKIP() << "no headless GL: " << why;
  }
  void TearDown() override { ctx_.reset(); }
  std::unique_ptr<mvtest::GLTestContext> ctx_;
};

// A lit, rotated cube and a small square behind it, drawn into a render-target
// texture, then copied to the back buffer through the pre-transformed quad:
// orientation, depth, culling, lighting and the texture round trip at once.
TEST_F(Golden, SceneThroughRenderTargetIsUpright) {
  const int w = 64, h = 48;
  auto dev = CreateGLDevice(GLDeviceDesc{w, h, 0});
  ASSERT_TRUE(dev);
  std::shared_ptr<Effect> fx;
  std::string err;
  ASSERT_EQ(dev->CreateEffectFromMemory(kSceneFx, "scene.fxo", &fx, &err), S_OK) << err;
  ASSERT_TRUE(err.empty()) << err;
  std::shared_ptr<Texture> rt;
  ASSERT_EQ(dev->CreateTexture(w, h, 1, USAGE_RENDERTARGET, Format::A16B16G16R16F, Pool::Default, &rt), S_OK);
  std::shared_ptr<Surface> rts, back;
  rt->GetSurfaceLevel(0, &rts);
  dev->GetRenderTarget(0, &back);

  const VertexElement el[] = {{0, 0, VertexType::Float3, VertexUsage::Position, 0},
                              {0, 12, VertexType::Float3, VertexUsage::Normal, 0}};
  std::shared_ptr<VertexDeclaration> decl;
  ASSERT_EQ(dev->CreateVertexDeclaration(el, 2, &decl), S_OK);
  std::vector<V> cube = Cube();

  Mat4 view = MatrixLookAtLH(Vec3(0, 1.2f, -3), Vec3(0, 0, 0), Vec3(0, 1, 0));
  Mat4 proj = MatrixPerspectiveFovLH(kPi / 4, float(w) / h, 0.1f, 100.0f);
  fx->SetMatrix("g_mViewProj", MatrixMultiply(view, proj));

  ASSERT_EQ(dev->BeginScene(), S_OK);
  dev->SetRenderTarget(0, rts);
  dev->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0x000A1428, 1.0f, 0);
  fx->SetTechnique(fx->GetTechniqueByName("Lit"));
  dev->SetVertexDeclaration(decl);
  auto draw = [&](const Mat4& world, glm::vec4 color) {
    fx->SetMatrix("g_mWorld", world);
    fx->SetVector("g_vDiffuse", color);
    unsigned n = 0;
    fx->Begin(&n, 0);
    fx->BeginPass(0);
    ASSERT_EQ(dev->DrawPrimitiveUP(PrimitiveType::TriangleList, 12, cube.data(), sizeof(V)), S_OK);
    fx->EndPass();
    fx->End();
  };
  // Cube first, then a flat box further back and up-right: depth keeps the
  // cube in front where they overlap.
  draw(MatrixMultiply(MatrixRotationYawPitchRoll(0.6f, 0.3f, 0.0f), MatrixTranslation(-0.3f, 0, 0)), {0.9f, 0.3f, 0.2f, 1});
  draw(MatrixMultiply(MatrixScaling(1.6f, 1.0f, 0.1f), MatrixTranslation(0.6f, 0.6f, 1.5f)), {0.2f, 0.5f, 0.9f, 1});

  dev->SetRenderTarget(0, back);
  dev->Clear(CLEAR_TARGET, 0xFF000000, 1.0f, 0);
  fx->SetTexture("g_txScene", rt);
  fx->SetTechnique(fx->GetTechniqueByName("Copy"));
  struct Q {
    float x, y, z, rhw, u, v, u1, v1, nx, ny, nz;
  } q[4];
  for (int i = 0; i < 4; ++i)
    q[i] = Q{(i & 1) ? w - 0.5f : -0.5f, (i >> 1) ? h - 0.5f : -0.5f, 0.5f, 1, float(i & 1), float(i >> 1), 0, 0, 0, 0, 0};
  const VertexElement qel[] = {{0, 0, VertexType::Float4, VertexUsage::PositionT, 0},
                               {0, 16, VertexType::Float2, VertexUsage::TexCoord, 0}};
  std::shared_ptr<VertexDeclaration> qdecl;
  ASSERT_EQ(dev->CreateVertexDeclaration(qel, 2, &qdecl), S_OK);
  dev->SetVertexDeclaration(qdecl);
  unsigned n = 0;
  fx->Begin(&n, 0);
  fx->BeginPass(0);
  ASSERT_EQ(dev->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, q, 44), S_OK);
  fx->EndPass();
  fx->End();
  dev->EndScene();

  std::vector<std::uint8_t> px;
  ASSERT_EQ(dev->ReadSurfaceRGBA8(nullptr, &px), S_OK);
  for (std::size_t i = 3; i < px.size(); i += 4) px[i] = 255;  // alpha is not part of the picture
  // The blue box sits up and to the right: its colour is in the top-right
  // quarter and not in the bottom-left one.
  auto at = [&](int x, int y) { return &px[(static_cast<std::size_t>(y) * w + x) * 4]; };
  EXPECT_GT(at(40, 6)[2], 100);
  EXPECT_LT(at(8, 44)[2], 60);
  std::string diff = mvtest::CompareWithGolden(kGolden, "scene_through_target", w, h, px, kTolerance);
  EXPECT_TRUE(diff.empty()) << diff;
}

// Presenting shows the back buffer upright in a window framebuffer (row 0 at
// the bottom) with the aspect kept and black bars around it.
TEST_F(Golden, PresentIsUprightAndLetterboxed) {
  const int w = 32, h = 16;
  auto dev = CreateGLDevice(GLDeviceDesc{w, h, 0});
  ASSERT_TRUE(dev);
  std::shared_ptr<Effect> fx;
  std::string err;
  const char* src = R"(
[[parameter]]
name = "g_vColor"
type = "float4"
[[technique]]
name = "T"
[[technique.pass]]
states = { ZEnable = false, CullMode = "none" }
vertex = "@quad"
fragment = '''
void main() { mv_Target0 = g_vColor; }
'''
)";
  ASSERT_EQ(dev->CreateEffectFromMemory(src, "p.fxo", &fx, &err), S_OK) << err;
  const VertexElement qel[] = {{0, 0, VertexType::Float4, VertexUsage::PositionT, 0}};
  std::shared_ptr<VertexDeclaration> qdecl;
  dev->CreateVertexDeclaration(qel, 1, &qdecl);
  dev->BeginScene();
  dev->Clear(CLEAR_TARGET, 0xFF202020, 1.0f, 0);
  auto rect = [&](float x, float y, float rw, float rh, glm::vec4 c) {
    float q[4][4];
    for (int i = 0; i < 4; ++i) {
      q[i][0] = ((i & 1) ? x + rw : x) - 0.5f;
      q[i][1] = ((i >> 1) ? y + rh : y) - 0.5f;
      q[i][2] = 0.5f;
      q[i][3] = 1.0f;
    }
    fx->SetVector("g_vColor", c);
    dev->SetVertexDeclaration(qdecl);
    unsigned n = 0;
    fx->Begin(&n, 0);
    fx->BeginPass(0);
    dev->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, q, 16);
    fx->EndPass();
    fx->End();
  };
  rect(0, 0, 8, 4, {1, 0, 0, 1});    // red: top-left corner
  rect(24, 12, 8, 4, {0, 1, 0, 1});  // green: bottom-right corner
  dev->EndScene();

  const int ww = 48, wh = 48;
  GLuint fbo = 0, rb = 0;
  glGenFramebuffers(1, &fbo);
  glGenRenderbuffers(1, &rb);
  glBindRenderbuffer(GL_RENDERBUFFER, rb);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, ww, wh);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb);
  PresentGLBackBuffer(GLBackBufferFramebuffer(*dev), w, h, fbo, ww, wh);
  std::vector<std::uint8_t> bottomUp(static_cast<std::size_t>(ww) * wh * 4), px(bottomUp.size());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, ww, wh, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &fbo);
  glDeleteRenderbuffers(1, &rb);
  // As seen on screen: the window's top row is its last row in GL.
  for (int y = 0; y < wh; ++y)
    std::memcpy(&px[static_cast<std::size_t>(y) * ww * 4], &bottomUp[static_cast<std::size_t>(wh - 1 - y) * ww * 4], ww * 4);
  auto at = [&](int x, int y) { return &px[(static_cast<std::size_t>(y) * ww + x) * 4]; };
  // 32x16 scaled by 1.5 to 48x24, centred: rows 12..35.
  EXPECT_EQ(at(24, 5)[0], 0);                       // bar above
  EXPECT_EQ(at(24, 42)[0], 0);                      // bar below
  EXPECT_GT(at(3, 14)[0], 200);                     // red at the picture's top-left
  EXPECT_GT(at(45, 33)[1], 200);                    // green at its bottom-right
  std::string diff = mvtest::CompareWithGolden(kGolden, "present_letterbox", ww, wh, px, kTolerance);
  EXPECT_TRUE(diff.empty()) << diff;
}

}  // namespace
}  // namespace gfx
