// The OpenGL backend on a headless context: orientation, pixel coverage,
// multiple render targets, depth, culling and effect compilation.
#include <gtest/gtest.h>

#include <cstring>

#include <epoxy/gl.h>

#include "support/GLTestContext.h"
#include "gfx/Effect.h"
#include "gfx/GLDevice.h"
#include "gfx/Math.h"
#include "gfx/Mesh.h"

namespace gfx {
namespace {

constexpr int kW = 64, kH = 64;

const char* const kTestFx = R"(
[[parameter]]
name = "g_vColor"
type = "float4"
default = [1, 1, 1, 1]

[[parameter]]
name = "g_txScene"
type = "texture"
filter = "point"
mipfilter = "none"

[[parameter]]
name = "g_mWorldViewProj"
type = "float4x4"

[[parameter]]
name = "g_vOut"
type = "float4"
elements = 3

[shaders]
mesh = '''
in vec3 inPosition;
void main() { gl_Position = mvClip(g_mWorldViewProj * vec4(inPosition, 1.0)); }
'''
color = '''
void main() { mv_Target0 = g_vColor; }
'''

[[technique]]
name = "Solid"
[[technique.pass]]
states = { ZEnable = false, CullMode = "none" }
vertex = "@quad"
fragment = "@color"

[[technique]]
name = "Textured"
[[technique.pass]]
states = { ZEnable = false, CullMode = "none" }
vertex = "@quad"
fragment = '''
in vec2 vTex0;
void main() { mv_Target0 = texture(g_txScene, vTex0); }
'''

[[technique]]
name = "ThreeTargets"
[[technique.pass]]
states = { ZEnable = false, CullMode = "none" }
vertex = "@quad"
fragment = '''
void main() {
  mv_Target0 = g_vOut[0];
  mv_Target1 = g_vOut[1];
  mv_Target2 = g_vOut[2];
}
'''

[[technique]]
name = "Mesh"
[[technique.pass]]
vertex = "@mesh"
fragment = "@color"
)";

struct QuadVertex {
  float x, y, z, rhw;
  float u0, v0, u1, v1;
  float nx, ny, nz;
};
static_assert(sizeof(QuadVertex) == 44);

const VertexElement kQuadElements[] = {
    {0, 0, VertexType::Float4, VertexUsage::PositionT, 0},
    {0, 16, VertexType::Float2, VertexUsage::TexCoord, 0},
    {0, 24, VertexType::Float2, VertexUsage::TexCoord, 1},
    {0, 32, VertexType::Float3, VertexUsage::Normal, 0},
};

class GLDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ctx_ = mvtest::GLTestContext::Create(&why);
    if (!ctx_) GTEST_SKIP() << "no headless GL: " << why;
    dev = CreateGLDevice(GLDeviceDesc{kW, kH, 0});
    ASSERT_TRUE(dev);
    std::string err;
    ASSERT_EQ(dev->CreateEffectFromMemory(kTestFx, "test.fxo", &fx, &err), S_OK) << err;
    EXPECT_EQ(err, "");
    ASSERT_EQ(dev->CreateVertexDeclaration(kQuadElements, 4, &quadDecl), S_OK);
  }
  void TearDown() override {
    fx.reset();
    quadDecl.reset();
    dev.reset();
    ctx_.reset();
  }

  // A QuadVertex rectangle covering pixels [x, x+w) x [y, y+h), texture
  // coordinates (0,0) at its top-left.
  static void Rect(float x, float y, float w, float h, QuadVertex q[4]) {
    const float xs[2] = {x - 0.5f, x + w - 0.5f}, ys[2] = {y - 0.5f, y + h - 0.5f};
    for (int i = 0; i < 4; ++i) {
      q[i] = QuadVertex{xs[i & 1], ys[i >> 1], 0.5f, 1.0f, float(i & 1), float(i >> 1), 0, 0, 0, 0, 0};
    }
  }
  void DrawRect(const char* technique, float x, float y, float w, float h) {
    QuadVertex q[4];
    Rect(x, y, w, h, q);
    ASSERT_EQ(fx->SetTechnique(fx->GetTechniqueByName(technique)), S_OK);
    unsigned passes = 0;
    ASSERT_EQ(fx->Begin(&passes, 0), S_OK);
    dev->SetVertexDeclaration(quadDecl);
    for (unsigned p = 0; p < passes; ++p) {
      ASSERT_EQ(fx->BeginPass(p), S_OK);
      ASSERT_EQ(dev->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, q, sizeof(QuadVertex)), S_OK);
      fx->EndPass();
    }
    fx->End();
  }
  std::vector<std::uint8_t> Read(const Surface* s = nullptr) {
    std::vector<std::uint8_t> px;
    EXPECT_EQ(dev->ReadSurfaceRGBA8(s, &px), S_OK);
    return px;
  }
  static const std::uint8_t* At(const std::vector<std::uint8_t>& px, int x, int y, int w = kW) {
    return &px[(static_cast<std::size_t>(y) * w + x) * 4];
  }

  std::unique_ptr<mvtest::GLTestContext> ctx_;
  std::unique_ptr<Device> dev;
  std::shared_ptr<Effect> fx;
  std::shared_ptr<VertexDeclaration> quadDecl;
};

TEST_F(GLDeviceTest, ClearColourReadsBackExactly) {
  ASSERT_EQ(dev->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0x000A1428, 1.0f, 0), S_OK);
  auto px = Read();
  for (int y : {0, 31, 63})
    for (int x : {0, 17, 63}) {
      const std::uint8_t* p = At(px, x, y);
      EXPECT_EQ(p[0], 10);
      EXPECT_EQ(p[1], 20);
      EXPECT_EQ(p[2], 40);
    }
}

TEST_F(GLDeviceTest, PreTransformedQuadCoversExactlyItsPixels) {
  dev->Clear(CLEAR_TARGET, 0xFF000000, 1.0f, 0);
  fx->SetVector("g_vColor", glm::vec4(1, 1, 1, 1));
  DrawRect("Solid", 10, 20, 5, 7);
  auto px = Read();
  int covered = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      bool inside = x >= 10 && x < 15 && y >= 20 && y < 27;
      EXPECT_EQ(At(px, x, y)[0], inside ? 255 : 0) << x << "," << y;
      covered += At(px, x, y)[0] == 255;
    }
  EXPECT_EQ(covered, 35);
}

TEST_F(GLDeviceTest, TextureTexelsLandOnPixelsOneToOne) {
  // A texture from memory, top row first, drawn 1:1 with the -0.5 offsets
  // and point sampling, comes back texel for texel.
  std::vector<std::uint8_t> img(8 * 8 * 4);
  for (int i = 0; i < 64; ++i) {
    img[i * 4 + 0] = static_cast<std::uint8_t>(i * 4);
    img[i * 4 + 1] = static_cast<std::uint8_t>(255 - i * 3);
    img[i * 4 + 2] = static_cast<std::uint8_t>((i % 8) * 30);
    img[i * 4 + 3] = 255;
  }
  std::shared_ptr<Texture> tex;
  ASSERT_EQ(dev->CreateTextureFromRGBA(8, 8, img.data(), &tex), S_OK);
  ASSERT_EQ(fx->SetTexture("g_txScene", tex), S_OK);
  dev->Clear(CLEAR_TARGET, 0, 1.0f, 0);
  DrawRect("Textured", 3, 5, 8, 8);
  auto px = Read();
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      for (int c = 0; c < 3; ++c) ASSERT_EQ(At(px, 3 + x, 5 + y)[c], img[(y * 8 + x) * 4 + c]) << x << "," << y;
}

TEST_F(GLDeviceTest, RenderTargetTextureReadsWithVZeroAtTheTop) {
  std::shared_ptr<Texture> rt;
  ASSERT_EQ(dev->CreateTexture(kW, kH, 1, USAGE_RENDERTARGET, Format::A8R8G8B8, Pool::Default, &rt), S_OK);
  std::shared_ptr<Surface> s, back;
  ASSERT_EQ(rt->GetSurfaceLevel(0, &s), S_OK);
  ASSERT_EQ(dev->GetRenderTarget(0, &back), S_OK);
  ASSERT_EQ(dev->SetRenderTarget(0, s), S_OK);
  dev->Clear(CLEAR_TARGET, 0xFF0000FF, 1.0f, 0);  // blue
  fx->SetVector("g_vColor", glm::vec4(1, 0, 0, 1));
  DrawRect("Solid", 0, 0, kW, 16);  // red band at the top
  // The render target's own pixels: row 0 is the top.
  auto rtpx = Read(s.get());
  EXPECT_EQ(At(rtpx, 5, 0)[0], 255);
  EXPECT_EQ(At(rtpx, 5, 63)[2], 255);
  // Drawn onto the back buffer with v = 0 at the quad's top: still on top.
  ASSERT_EQ(dev->SetRenderTarget(0, back), S_OK);
  dev->Clear(CLEAR_TARGET, 0xFF000000, 1.0f, 0);
  fx->SetTexture("g_txScene", rt);
  DrawRect("Textured", 0, 0, kW, kH);
  auto px = Read();
  EXPECT_EQ(At(px, 10, 2)[0], 255);
  EXPECT_EQ(At(px, 10, 2)[2], 0);
  EXPECT_EQ(At(px, 10, 60)[0], 0);
  EXPECT_EQ(At(px, 10, 60)[2], 255);
}

TEST_F(GLDeviceTest, OnePassWritesThreeFloatTargetsBeyondZeroToOne) {
  ASSERT_TRUE(dev->CheckRenderTargetFormat(Format::A16B16G16R16F, ResourceType::Texture));
  ASSERT_GE(dev->GetDeviceCaps().numSimultaneousRTs, 3);
  std::shared_ptr<Texture> t[3];
  std::shared_ptr<Surface> s[3];
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(dev->CreateTexture(kW, kH, 1, USAGE_RENDERTARGET, Format::A16B16G16R16F, Pool::Default, &t[i]), S_OK);
    t[i]->GetSurfaceLevel(0, &s[i]);
    ASSERT_EQ(dev->SetRenderTarget(i, s[i]), S_OK);
  }
  dev->Clear(CLEAR_TARGET, 0, 1.0f, 0);
  const glm::vec4 out[3] = {{2.5f, -1.0f, 0.25f, 8.0f}, {-3.0f, 100.0f, 0.5f, 1.0f}, {1e3f, -0.125f, 4.0f, -2.0f}};
  ASSERT_EQ(fx->SetVectorArray(fx->GetParameterByName("g_vOut"), out, 3), S_OK);
  DrawRect("ThreeTargets", 0, 0, kW, kH);
  for (int i = 0; i < 3; ++i) {
    std::vector<float> f;
    ASSERT_EQ(dev->ReadSurfaceFloat(s[i].get(), &f), S_OK);
    for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(f[(static_cast<std::size_t>(30) * kW + 30) * 4 + c], out[i][c]) << i;
  }
}

class MeshDraw : public GLDeviceTest {
 protected:
  // A square of side 2 at depth z, centred on (cx, cy), in a left-handed view
  // with the eye at the origin looking along +z.
  void Square(float cx, float cy, float z, glm::vec4 color, bool clockwise = true) {
    const float p[4][3] = {{cx - 1, cy - 1, z}, {cx - 1, cy + 1, z}, {cx + 1, cy - 1, z}, {cx + 1, cy + 1, z}};
    // Strip order 0,1,2 is clockwise seen from the eye; swapping 1 and 2
    // makes it counter-clockwise.
    float v[4][3];
    int order[4] = {0, 1, 2, 3};
    if (!clockwise) std::swap(order[1], order[2]);
    for (int i = 0; i < 4; ++i) std::memcpy(v[i], p[order[i]], sizeof v[i]);
    Mat4 proj = MatrixPerspectiveFovLH(kPi / 4, 1.0f, 1.0f, 10.0f);
    fx->SetMatrix("g_mWorldViewProj", proj);
    fx->SetVector("g_vColor", color);
    const VertexElement el[] = {{0, 0, VertexType::Float3, VertexUsage::Position, 0}};
    std::shared_ptr<VertexDeclaration> decl;
    ASSERT_EQ(dev->CreateVertexDeclaration(el, 1, &decl), S_OK);
    dev->SetVertexDeclaration(decl);
    fx->SetTechnique(fx->GetTechniqueByName("Mesh"));
    unsigned n = 0;
    fx->Begin(&n, 0);
    fx->BeginPass(0);
    ASSERT_EQ(dev->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, v, 12), S_OK);
    fx->EndPass();
    fx->End();
  }
};

TEST_F(MeshDraw, NearObjectsStayInFrontWhateverTheOrder) {
  for (bool nearFirst : {true, false}) {
    dev->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0, 1.0f, 0);
    if (nearFirst) {
      Square(0, 0, 3, {1, 0, 0, 1});
      Square(0.5f, 0, 6, {0, 0, 1, 1});
    } else {
      Square(0.5f, 0, 6, {0, 0, 1, 1});
      Square(0, 0, 3, {1, 0, 0, 1});
    }
    auto px = Read();
    EXPECT_EQ(At(px, 32, 32)[0], 255) << nearFirst;
    EXPECT_EQ(At(px, 32, 32)[2], 0) << nearFirst;
  }
}

TEST_F(MeshDraw, DepthRunsZeroToOneBetweenTheClipPlanes) {
  // In front of the near plane (z 0.5 < 1) a point lies at depth < 0 and is
  // clipped; between the planes it is drawn; beyond the far plane clipped.
  struct Case {
    float z;
    bool visible;
  } cases[] = {{0.5f, false}, {1.2f, true}, {9.5f, true}, {12.0f, false}};
  for (const Case& c : cases) {
    dev->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0, 1.0f, 0);
    Square(0, 0, c.z, {0, 1, 0, 1});
    EXPECT_EQ(Read()[(32 * kW + 32) * 4 + 1], c.visible ? 255 : 0) << "z " << c.z;
  }
}

TEST_F(MeshDraw, CullModeCCWKeepsClockwiseFaces) {
  for (bool cw : {true, false}) {
    dev->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0, 1.0f, 0);
    dev->SetRenderState(RenderState::CullMode, CULL_CCW);
    Square(0, 0, 3, {1, 1, 1, 1}, cw);
    EXPECT_EQ(Read()[(32 * kW + 32) * 4], cw ? 255 : 0) << "clockwise " << cw;
    dev->SetRenderState(RenderState::CullMode, CULL_CW);
    dev->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0, 1.0f, 0);
    Square(0, 0, 3, {1, 1, 1, 1}, cw);
    EXPECT_EQ(Read()[(32 * kW + 32) * 4], cw ? 0 : 255) << "clockwise " << cw;
  }
}

TEST_F(GLDeviceTest, UnbuiltTechniqueIsInvalidAndNamed) {
  const char* src = R"(
[[parameter]]
name = "g_v"
type = "float4"

[[technique]]
name = "Broken"

[[technique.pass]]
vertex = "@quad"
fragment = '''
void main() {
  mv_Target0 = undeclared_thing;
}
'''

[[technique]]
name = "Good"

[[technique.pass]]
vertex = "@quad"
fragment = '''
void main() { mv_Target0 = g_v; }
'''
)";
  std::shared_ptr<Effect> e;
  std::string err;
  ASSERT_EQ(dev->CreateEffectFromMemory(src, "fx/broken.fxo", &e, &err), S_OK);
  EXPECT_FALSE(e->IsTechniqueValid(e->GetTechniqueByName("Broken")));
  EXPECT_TRUE(e->IsTechniqueValid(e->GetTechniqueByName("Good")));
  EXPECT_EQ(e->FirstValidTechnique(), e->GetTechniqueByName("Good"));
  EXPECT_NE(err.find("fx/broken.fxo:9: technique 'Broken' pass 0: fragment shader:"), std::string::npos) << err;
  // The compiler's log points at the file's own line (13: the faulty line).
  EXPECT_NE(err.find("0:13("), std::string::npos) << err;
  EXPECT_NE(err.find("undeclared_thing"), std::string::npos) << err;
}

TEST_F(GLDeviceTest, ValuesSetInsideAPassNeedACommit) {
  dev->Clear(CLEAR_TARGET, 0, 1.0f, 0);
  fx->SetVector("g_vColor", glm::vec4(1, 0, 0, 1));
  fx->SetTechnique(fx->GetTechniqueByName("Solid"));
  dev->SetVertexDeclaration(quadDecl);
  unsigned n = 0;
  fx->Begin(&n, 0);
  fx->BeginPass(0);
  QuadVertex q[4];
  Rect(0, 0, 8, 8, q);
  dev->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, q, sizeof(QuadVertex));
  fx->SetVector("g_vColor", glm::vec4(0, 1, 0, 1));
  Rect(8, 0, 8, 8, q);  // not committed yet: still red
  dev->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, q, sizeof(QuadVertex));
  fx->CommitChanges();
  Rect(16, 0, 8, 8, q);  // committed: green
  dev->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, q, sizeof(QuadVertex));
  fx->EndPass();
  fx->End();
  auto px = Read();
  EXPECT_EQ(At(px, 4, 4)[0], 255);
  EXPECT_EQ(At(px, 12, 4)[0], 255);
  EXPECT_EQ(At(px, 20, 4)[0], 0);
  EXPECT_EQ(At(px, 20, 4)[1], 255);
}

TEST_F(GLDeviceTest, ParameterBlockReachesTheShader) {
  ASSERT_EQ(fx->BeginParameterBlock(), S_OK);
  fx->SetVector("g_vColor", glm::vec4(0, 0, 1, 1));
  BlockHandle block = fx->EndParameterBlock();
  fx->SetVector("g_vColor", glm::vec4(1, 0, 0, 1));
  fx->ApplyParameterBlock(block);
  dev->Clear(CLEAR_TARGET, 0, 1.0f, 0);
  DrawRect("Solid", 0, 0, kW, kH);
  EXPECT_EQ(Read()[2], 255);
  EXPECT_EQ(Read()[0], 0);
  fx->DeleteParameterBlock(block);
}

TEST_F(GLDeviceTest, WireframeLeavesTheInsideEmpty) {
  dev->Clear(CLEAR_TARGET, 0, 1.0f, 0);
  fx->SetVector("g_vColor", glm::vec4(1, 1, 1, 1));
  dev->SetRenderState(RenderState::FillMode, FILL_WIREFRAME);
  DrawRect("Solid", 8, 8, 40, 40);
  dev->SetRenderState(RenderState::FillMode, FILL_SOLID);
  auto px = Read();
  EXPECT_EQ(At(px, 20, 40)[0], 0);  // inside, off the diagonal
  int lit = 0;
  for (int x = 0; x < kW; ++x) lit += At(px, x, 8)[0] == 255;
  EXPECT_GT(lit, 30);  // the top edge
}

TEST_F(GLDeviceTest, PointListDrawsSizedPoints) {
  dev->Clear(CLEAR_TARGET, 0, 1.0f, 0);
  fx->SetVector("g_vColor", glm::vec4(1, 1, 1, 1));
  dev->SetRenderState(RenderState::PointSize, FloatBits(5.0f));
  QuadVertex pts[2];
  QuadVertex q[4];
  Rect(10, 10, 1, 1, q);
  pts[0] = q[0];
  pts[0].x = 20;
  pts[0].y = 30;
  pts[1] = pts[0];
  pts[1].x = 50;
  fx->SetTechnique(fx->GetTechniqueByName("Solid"));
  dev->SetVertexDeclaration(quadDecl);
  unsigned n = 0;
  fx->Begin(&n, 0);
  fx->BeginPass(0);
  ASSERT_EQ(dev->DrawPrimitiveUP(PrimitiveType::PointList, 2, pts, sizeof(QuadVertex)), S_OK);
  fx->EndPass();
  fx->End();
  auto px = Read();
  EXPECT_EQ(At(px, 20, 30)[0], 255);
  EXPECT_EQ(At(px, 22, 32)[0], 255);  // 5 pixels wide around the centre
  EXPECT_EQ(At(px, 24, 30)[0], 0);
  EXPECT_EQ(At(px, 50, 30)[0], 255);
}

// One depth buffer serves the back buffer and every texture target: a clear
// made while the back buffer is bound governs drawing into a texture.
TEST_F(MeshDraw, TextureTargetsShareTheBackBuffersDepth) {
  std::shared_ptr<Texture> rt;
  ASSERT_EQ(dev->CreateTexture(kW, kH, 1, USAGE_RENDERTARGET, Format::A8R8G8B8, Pool::Default, &rt), S_OK);
  std::shared_ptr<Surface> s, back;
  rt->GetSurfaceLevel(0, &s);
  dev->GetRenderTarget(0, &back);
  for (float depth : {0.0f, 1.0f}) {
    dev->SetRenderTarget(0, back);
    dev->Clear(CLEAR_ZBUFFER, 0, depth, 0);
    dev->SetRenderTarget(0, s);
    dev->Clear(CLEAR_TARGET, 0, 1.0f, 0);
    Square(0, 0, 3, {1, 1, 1, 1});
    EXPECT_EQ(Read(s.get())[(32 * kW + 32) * 4], depth == 0.0f ? 0 : 255) << "cleared to " << depth;
  }
}

TEST_F(MeshDraw, ResetResizesTheBackBufferAndKeepsDepthWorking) {
  ASSERT_EQ(dev->Reset(32, 16), S_OK);
  EXPECT_EQ(dev->GetBackBufferDesc().width, 32);
  EXPECT_EQ(dev->GetBackBuffer()->GetDesc().height, 16);
  dev->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0, 1.0f, 0);
  Square(0, 0, 3, {1, 0, 0, 1});
  Square(0, 0, 6, {0, 0, 1, 1});
  std::vector<std::uint8_t> px;
  ASSERT_EQ(dev->ReadSurfaceRGBA8(nullptr, &px), S_OK);
  ASSERT_EQ(px.size(), 32u * 16 * 4);
  EXPECT_EQ(px[(8 * 32 + 16) * 4], 255);
  EXPECT_EQ(px[(8 * 32 + 16) * 4 + 2], 0);
}

// The window layer's own framebuffer as the back buffer: the device draws
// into it and borrows its depth buffer for texture targets.
TEST(GLDeviceExternal, DrawsIntoTheGivenFramebuffer) {
  std::string why;
  auto ctx = mvtest::GLTestContext::Create(&why);
  if (!ctx) GTEST_SKIP() << "no headless GL: " << why;
  GLuint fbo = 0, rb[2] = {0, 0};
  glGenFramebuffers(1, &fbo);
  glGenRenderbuffers(2, rb);
  glBindRenderbuffer(GL_RENDERBUFFER, rb[0]);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, 16, 16);
  glBindRenderbuffer(GL_RENDERBUFFER, rb[1]);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, 16, 16);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb[0]);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, rb[1]);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  {
    auto dev = CreateGLDevice(GLDeviceDesc{16, 16, fbo});
    ASSERT_TRUE(dev);
    EXPECT_EQ(GLBackBufferFramebuffer(*dev), fbo);
    dev->Clear(CLEAR_TARGET, 0x000A1428, 1.0f, 0);
    std::uint8_t p[4] = {0, 0, 0, 0};
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
    glReadPixels(3, 3, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    EXPECT_EQ(p[0], 10);
    EXPECT_EQ(p[1], 20);
    EXPECT_EQ(p[2], 40);
  }
  glDeleteFramebuffers(1, &fbo);
  glDeleteRenderbuffers(2, rb);
}

TEST_F(GLDeviceTest, CompressedTextureUploadsAsBlocks) {
  if (!dev->GetDeviceCaps().textureCompressionS3TC) GTEST_SKIP() << "no S3TC";
  std::shared_ptr<Texture> t;
  ASSERT_EQ(dev->CreateTexture(4, 4, 1, 0, Format::DXT1, Pool::Managed, &t), S_OK);
  LockedRect lr;
  ASSERT_EQ(t->LockRect(0, &lr, 0), S_OK);
  EXPECT_EQ(lr.pitch, 8);
  // One block: both end colours pure blue (RGB565 0x001F), every index 0.
  const std::uint8_t block[8] = {0x1F, 0x00, 0x1F, 0x00, 0, 0, 0, 0};
  std::memcpy(lr.bits, block, 8);
  t->UnlockRect(0);
  fx->SetTexture("g_txScene", t);
  dev->Clear(CLEAR_TARGET, 0, 1.0f, 0);
  DrawRect("Textured", 0, 0, 4, 4);
  auto px = Read();
  EXPECT_EQ(At(px, 1, 1)[2], 255);
  EXPECT_EQ(At(px, 1, 1)[0], 0);
}

// Cube faces keep Direct3D's order and orientation: +x, -x, +y, -y, +z, -z,
// each top row first.
TEST_F(GLDeviceTest, CubeFacesAnswerTheirDirections) {
  const char* src = R"(
[[parameter]]
name = "g_txEnv"
type = "cube"
filter = "point"
[[parameter]]
name = "g_vDir"
type = "float3"
[[technique]]
name = "T"
[[technique.pass]]
states = { ZEnable = false, CullMode = "none" }
vertex = "@quad"
fragment = '''
void main() { mv_Target0 = texture(g_txEnv, g_vDir); }
'''
)";
  std::shared_ptr<Effect> e;
  std::string err;
  ASSERT_EQ(dev->CreateEffectFromMemory(src, "cube.fxo", &e, &err), S_OK) << err;
  std::shared_ptr<CubeTexture> cube;
  ASSERT_EQ(dev->CreateCubeTexture(2, 1, 0, Format::A8R8G8B8, Pool::Managed, &cube), S_OK);
  for (int f = 0; f < 6; ++f) {
    LockedRect lr;
    ASSERT_EQ(cube->LockRect(static_cast<CubeFace>(f), 0, &lr, 0), S_OK);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 2; ++x) {
        // Red = face * 40, green 200 on the top row, blue 200 on the left column.
        std::uint32_t w = 0xFF000000u | (static_cast<std::uint32_t>(f * 40) << 16) | (y == 0 ? 200u << 8 : 0u) |
                          (x == 0 ? 200u : 0u);
        std::memcpy(static_cast<std::uint8_t*>(lr.bits) + y * lr.pitch + x * 4, &w, 4);
      }
    cube->UnlockRect(static_cast<CubeFace>(f), 0);
  }
  ASSERT_EQ(e->SetTexture("g_txEnv", cube), S_OK);
  struct Case {
    glm::vec3 dir;
    int face;
    bool top, left;
  } cases[] = {
      // Face +z seen from inside the cube looking along +z (left-handed, y up):
      // up-left of centre is its top-left texel.
      {{-0.3f, 0.3f, 1.0f}, 4, true, true},
      {{0.3f, -0.3f, 1.0f}, 4, false, false},
      {{1.0f, 0.3f, 0.3f}, 0, true, true},   // +x: its left column lies towards +z
      {{-1.0f, 0.0f, 0.0f}, 1, false, false},
      {{0.0f, 1.0f, 0.0f}, 2, false, false},
      {{0.0f, -1.0f, 0.0f}, 3, false, false},
      {{0.0f, 0.0f, -1.0f}, 5, false, false},
  };
  for (const Case& c : cases) {
    e->SetFloatArray(e->GetParameterByName("g_vDir"), &c.dir.x, 3);
    dev->Clear(CLEAR_TARGET, 0, 1.0f, 0);
    e->SetTechnique(e->GetTechniqueByName("T"));
    unsigned n = 0;
    e->Begin(&n, 0);
    e->BeginPass(0);
    QuadVertex q[4];
    Rect(0, 0, 4, 4, q);
    dev->SetVertexDeclaration(quadDecl);
    dev->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, q, sizeof(QuadVertex));
    e->EndPass();
    e->End();
    auto px = Read();
    EXPECT_EQ(At(px, 1, 1)[0], c.face * 40) << c.dir.x << "," << c.dir.y << "," << c.dir.z;
    if (c.dir.x == -0.3f || c.dir.x == 0.3f || c.dir.y == 0.3f) {
      EXPECT_EQ(At(px, 1, 1)[1], c.top ? 200 : 0) << "face " << c.face;
      EXPECT_EQ(At(px, 1, 1)[2], c.left ? 200 : 0) << "face " << c.face;
    }
  }
}

TEST_F(GLDeviceTest, DrawWithoutPassFailsAndDrawsNothing) {
  dev->Clear(CLEAR_TARGET, 0, 1.0f, 0);
  QuadVertex q[4];
  Rect(0, 0, kW, kH, q);
  dev->SetVertexDeclaration(quadDecl);
  EXPECT_TRUE(Failed(dev->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, q, sizeof(QuadVertex))));
  EXPECT_EQ(Read()[0], 0);
}

TEST_F(GLDeviceTest, MeshSubsetDrawsThroughBuffers) {
  const auto& el = Mesh::PositionNormalTexElements();
  std::shared_ptr<Mesh> mesh;
  ASSERT_EQ(Mesh::Create(*dev, 2, 4, MESH_32BIT, el.data(), el.size(), &mesh), S_OK);
  float* v = nullptr;
  ASSERT_EQ(mesh->LockVertexBuffer(0, reinterpret_cast<void**>(&v)), S_OK);
  const float pos[4][3] = {{-1, -1, 3}, {-1, 1, 3}, {1, -1, 3}, {1, 1, 3}};
  for (int i = 0; i < 4; ++i) std::memcpy(v + i * 8, pos[i], 12);
  mesh->UnlockVertexBuffer();
  std::uint32_t* idx = nullptr;
  ASSERT_EQ(mesh->LockIndexBuffer(0, reinterpret_cast<void**>(&idx)), S_OK);
  const std::uint32_t ind[6] = {0, 1, 2, 2, 1, 3};
  std::memcpy(idx, ind, sizeof ind);
  mesh->UnlockIndexBuffer();
  std::uint32_t* attr = nullptr;
  mesh->LockAttributeBuffer(&attr);
  attr[1] = 1;
  mesh->UnlockAttributeBuffer();
  fx->SetMatrix("g_mWorldViewProj", MatrixPerspectiveFovLH(kPi / 4, 1.0f, 1.0f, 10.0f));
  fx->SetVector("g_vColor", glm::vec4(1, 1, 0, 1));
  fx->SetTechnique(fx->GetTechniqueByName("Mesh"));
  dev->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0, 1.0f, 0);
  unsigned n = 0;
  fx->Begin(&n, 0);
  fx->BeginPass(0);
  ASSERT_EQ(mesh->DrawSubset(0), S_OK);  // only the first triangle: lower-left half
  fx->EndPass();
  fx->End();
  auto px = Read();
  EXPECT_EQ(At(px, 26, 38)[0], 255);  // below the diagonal, left
  EXPECT_EQ(At(px, 38, 26)[0], 0);    // above it, right: subset 1, not drawn
}

}  // namespace
}  // namespace gfx
