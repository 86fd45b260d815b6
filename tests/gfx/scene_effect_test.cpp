// The scene effect fx/reflectori.fxo on a headless GL device: its techniques
// build for one, two and three passes, every pass count fills the colour,
// normal and position targets alike, and the parameters the renderer sends
// show in the pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "gfx/Device.h"
#include "gfx/Effect.h"
#include "gfx/GLDevice.h"
#include "gfx/Math.h"
#include "support/GLTestContext.h"
#include "support/TestGeometry.h"

using namespace gfx;

namespace {

constexpr int kW = 64, kH = 48;
const std::string kFile = std::string(MV_SOURCE_DIR) + "/fx/reflectori.fxo";

const char* const kTechniques[] = {"RenderScene",     "RenderEnvMapScene",      "RenderEnvMapSceneTrans",
                                   "RenderEnvMapSceneTextureFront", "RenderNoLight", "RenderSceneFast",
                                   "RenderSceneFastNoTrans", "RenderSkyBox", "RenderSkyBox2D"};

// The device manager's render-target table: target t of pass p.
const int kTable[3][3][3] = {
    {{0, 1, 2}, {-1, -1, -1}, {-1, -1, -1}},
    {{0, 1, -1}, {2, -1, -1}, {-1, -1, -1}},
    {{0, -1, -1}, {1, -1, -1}, {2, -1, -1}},
};

// Cube-map faces +X, −X, +Y, −Y, +Z, −Z in plain colours (0xAARRGGBB).
const std::uint32_t kFaces[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFFFF00FF, 0xFF00FFFF};

struct Pixels {
  std::vector<float> t[3];  // colour, normal, position: RGBA floats, top row first
  const float* At(int target, int x, int y) const { return &t[target][(static_cast<std::size_t>(y) * kW + x) * 4]; }
};

class SceneEffect : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ctx_ = mvtest::GLTestContext::Create(&why);
    if (!ctx_) GTEST_SKIP() << "no headless GL: " << why;
    dev_ = CreateGLDevice(GLDeviceDesc{kW, kH, 0});
    ASSERT_TRUE(dev_);
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(dev_->CreateTexture(kW, kH, 1, USAGE_RENDERTARGET, Format::A16B16G16R16F, Pool::Default, &rt_[i]), S_OK);
      rt_[i]->GetSurfaceLevel(0, &rts_[i]);
    }
    dev_->GetRenderTarget(0, &back_);
    const VertexElement mesh[] = {{0, 0, VertexType::Float3, VertexUsage::Position, 0},
                                  {0, 12, VertexType::Float3, VertexUsage::Normal, 0},
                                  {0, 24, VertexType::Float2, VertexUsage::TexCoord, 0}};
    ASSERT_EQ(dev_->CreateVertexDeclaration(mesh, 3, &meshDecl_), S_OK);
    const VertexElement sky[] = {{0, 0, VertexType::Float3, VertexUsage::Position, 0},
                                 {0, 12, VertexType::Float3, VertexUsage::TexCoord, 0}};
    ASSERT_EQ(dev_->CreateVertexDeclaration(sky, 2, &skyDecl_), S_OK);
    ASSERT_EQ(dev_->CreateCubeTexture(4, 1, USAGE_NONE, Format::A8R8G8B8, Pool::Managed, &env_), S_OK);
    for (int f = 0; f < 6; ++f) {
      LockedRect r;
      ASSERT_EQ(env_->LockRect(static_cast<CubeFace>(f), 0, &r, LOCK_NONE), S_OK);
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
          reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(r.bits) + y * r.pitch)[x] = kFaces[f];
      env_->UnlockRect(static_cast<CubeFace>(f), 0);
    }
    const std::uint8_t white[4] = {255, 255, 255, 255};
    ASSERT_EQ(dev_->CreateTextureFromRGBA(1, 1, white, &white_), S_OK);
    sphere_ = mvtest::Sphere(1.0f);
  }
  void TearDown() override {
    fx_.reset();
    dev_.reset();
    ctx_.reset();
  }

  // Loads the file as the device manager does for `passes` passes.
  void Load(int passes) {
    std::ifstream in(kFile);
    std::stringstream text;
    text << in.rdbuf();
    const EffectMacro macros[] = {{"SCENE_PASSES", std::to_string(passes)},
                                  {"SCENE_TARGETS", std::to_string(passes == 1 ? 3 : passes == 2 ? 2 : 1)}};
    std::string errors;
    ASSERT_EQ(dev_->CreateEffectFromMemory(text.str(), "fx/reflectori.fxo", &fx_, &errors, macros), S_OK) << errors;
    ASSERT_TRUE(errors.empty()) << errors;
    passes_ = passes;
    // The camera three units before the origin, the light up and to the
    // left of it, as the scene renderer sends them.
    view_ = MatrixLookAtLH(Vec3(0, 0, -3), Vec3(0, 0, 0), Vec3(0, 1, 0));
    proj_ = MatrixPerspectiveFovLH(kPi / 4, float(kW) / kH, 0.1f, 100.0f);
    Mat4 rev = MatrixInverse(view_);
    rev[3][0] = rev[3][1] = rev[3][2] = 0;
    fx_->SetMatrix("g_mView", view_);
    fx_->SetMatrix("g_mProj", proj_);
    fx_->SetMatrix("g_mRevView", rev);
    fx_->SetVector("g_vLight", Vec4Transform(Vec4Transform(Vec4(-2, 2, -3, 1), view_), proj_));
    SetWorld(MatrixIdentity());
    fx_->SetTexture("g_txScene", white_);
    fx_->SetTexture("g_txEnvMap", env_);
    fx_->SetVector("Diffuse", {0.8f, 0.6f, 0.4f, 1.0f});
    fx_->SetVector("Specular", {0.3f, 0.3f, 0.3f, 1.0f});
    fx_->SetFloat("Power2", 5.0f);
  }
  void SetWorld(const Mat4& world) {
    fx_->SetMatrix("g_mWorld", world);
    fx_->SetMatrix("g_mWorldView", MatrixMultiply(world, view_));
  }

  void Begin() {
    ASSERT_EQ(dev_->BeginScene(), S_OK);
    for (int i = 0; i < 3; ++i) dev_->SetRenderTarget(i, rts_[i]);
    dev_->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
    // The renderer's states around every mesh.
    dev_->SetRenderState(RenderState::ZWriteEnable, 1);
    dev_->SetRenderState(RenderState::CullMode, CULL_CCW);
    dev_->SetRenderState(RenderState::AlphaBlendEnable, 1);
    dev_->SetRenderState(RenderState::SrcBlend, BLEND_SRCALPHA);
    dev_->SetRenderState(RenderState::DestBlend, BLEND_INVSRCALPHA);
    dev_->SetRenderState(RenderState::SpecularEnable, 1);
  }
  // Draws with every pass of the technique, each into its row of the table.
  template <typename V>
  void Draw(const char* technique, const std::vector<V>& vertices, bool sky = false) {
    ASSERT_TRUE(fx_->GetTechniqueByName(technique)) << technique;
    fx_->SetTechnique(fx_->GetTechniqueByName(technique));
    dev_->SetVertexDeclaration(sky ? skyDecl_ : meshDecl_);
    unsigned n = 0;
    ASSERT_EQ(fx_->Begin(&n, 0), S_OK);
    ASSERT_EQ(n, static_cast<unsigned>(passes_));
    for (unsigned p = 0; p < n; ++p) {
      for (int t = 0; t < 3; ++t) {
        const int s = kTable[passes_ - 1][p][t];
        dev_->SetRenderTarget(t, s >= 0 ? rts_[s] : nullptr);
      }
      ASSERT_EQ(fx_->BeginPass(p), S_OK);
      ASSERT_EQ(dev_->DrawPrimitiveUP(PrimitiveType::TriangleList, static_cast<std::uint32_t>(vertices.size() / 3),
                                      vertices.data(), sizeof(V)),
                S_OK);
      fx_->EndPass();
    }
    fx_->End();
  }
  Pixels End() {
    dev_->SetRenderTarget(1, nullptr);
    dev_->SetRenderTarget(2, nullptr);
    dev_->SetRenderTarget(0, back_);
    dev_->EndScene();
    Pixels px;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(dev_->ReadSurfaceFloat(rts_[i].get(), &px.t[i]), S_OK);
    return px;
  }
  Pixels DrawSphere(const char* technique) {
    Begin();
    Draw(technique, sphere_);
    return End();
  }

  std::unique_ptr<mvtest::GLTestContext> ctx_;
  std::unique_ptr<Device> dev_;
  std::shared_ptr<Effect> fx_;
  std::shared_ptr<Texture> rt_[3];
  std::shared_ptr<Surface> rts_[3], back_;
  std::shared_ptr<VertexDeclaration> meshDecl_, skyDecl_;
  std::shared_ptr<CubeTexture> env_;
  std::shared_ptr<Texture> white_;
  std::vector<mvtest::MeshVertex> sphere_;
  Mat4 view_, proj_;
  int passes_ = 1;
};

float MaxDifference(const std::vector<float>& a, const std::vector<float>& b) {
  float d = 0;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) d = std::max(d, std::fabs(a[i] - b[i]));
  return d;
}

int Covered(const Pixels& px) {
  int n = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) n += px.At(2, x, y)[3] > 0.5f;
  return n;
}

// Pixels covered on one side of the vertical centre line and not at their
// mirror place: none for a shape symmetric about the y axis, as the
// camera looks straight at it.
int Unmirrored(const Pixels& px) {
  int n = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) n += (px.At(2, x, y)[3] > 0.5f) != (px.At(2, kW - 1 - x, y)[3] > 0.5f);
  return n;
}

}  // namespace

TEST_F(SceneEffect, EveryTechniqueBuildsWithOnePassPerRow) {
  for (int passes = 1; passes <= 3; ++passes) {
    Load(passes);
    for (const char* name : kTechniques) {
      const TechniqueHandle t = fx_->GetTechniqueByName(name);
      ASSERT_TRUE(t) << name;
      EXPECT_TRUE(fx_->IsTechniqueValid(t)) << name << " with " << passes << " passes";
      TechniqueDesc d;
      ASSERT_EQ(fx_->GetTechniqueDesc(t, &d), S_OK);
      EXPECT_EQ(d.passes, passes) << name;
    }
  }
}

// Drawn in one, two or three passes, the sphere leaves the same colour,
// normal and position in the three targets; and they hold what they say.
TEST_F(SceneEffect, EveryPassCountFillsTheThreeTargetsAlike) {
  Load(1);
  const Pixels one = DrawSphere("RenderScene");
  // Centre: the sphere's near side, at view depth 2, facing the camera.
  const float* n = one.At(1, kW / 2, kH / 2);
  const float* p = one.At(2, kW / 2, kH / 2);
  EXPECT_NEAR(n[0], 0.0f, 0.1f);
  EXPECT_NEAR(n[1], 0.0f, 0.1f);
  EXPECT_NEAR(n[2], -1.0f, 0.02f);
  EXPECT_NEAR(p[2], 2.0f, 0.02f);
  EXPECT_NEAR(p[3], 1.0f, 1e-3f);
  EXPECT_GT(one.At(0, kW / 2, kH / 2)[0], 0.2f);
  // Left of the centre the normal turns left, above it up (view space: x
  // right, y up), and the positions follow.
  EXPECT_LT(one.At(1, kW / 2 - 8, kH / 2)[0], -0.15f);
  EXPECT_GT(one.At(1, kW / 2, kH / 2 - 8)[1], 0.15f);
  EXPECT_LT(one.At(2, kW / 2 - 8, kH / 2)[0], -0.15f);
  EXPECT_GT(one.At(2, kW / 2, kH / 2 - 8)[1], 0.15f);
  // A corner: nothing drawn, the cleared zeros stay.
  EXPECT_EQ(one.At(2, 1, 1)[3], 0.0f);
  EXPECT_EQ(one.At(0, 1, 1)[0], 0.0f);
  for (int passes = 2; passes <= 3; ++passes) {
    Load(passes);
    const Pixels many = DrawSphere("RenderScene");
    for (int t = 0; t < 3; ++t) EXPECT_LT(MaxDifference(one.t[t], many.t[t]), 1e-3f) << passes << " passes, target " << t;
  }
}

// Reflectivity 1 shows the cube map: at the centre the view ray comes
// straight back, towards −z, whose face is cyan.
TEST_F(SceneEffect, ReflectivityMirrorsTheEnvironment) {
  Load(1);
  for (const char* technique : {"RenderScene", "RenderEnvMapScene"}) {
    fx_->SetFloat("Reflectivity", 0.0f);
    const Pixels dull = DrawSphere(technique);
    fx_->SetFloat("Reflectivity", 1.0f);
    const Pixels mirror = DrawSphere(technique);
    const float* c = mirror.At(0, kW / 2, kH / 2);
    EXPECT_LT(c[0], 0.45f) << technique;  // cyan: little red
    EXPECT_GT(c[1], 0.8f) << technique;
    EXPECT_GT(c[2], 0.8f) << technique;
    EXPECT_GT(MaxDifference(dull.t[0], mirror.t[0]), 0.3f) << technique;
    // Off centre the ray leaves sideways: to the left of the sphere's
    // middle it goes to −x, green.
    const float* left = mirror.At(0, kW / 2 - 13, kH / 2);
    EXPECT_GT(left[1], 0.5f) << technique;
    EXPECT_LT(left[2], 0.5f) << technique;
  }
}

// Each flex value moves the surface, and its Delta sets it moving with time.
TEST_F(SceneEffect, FlexValuesDeformTheMesh) {
  Load(1);
  // An ellipsoid, so that a twist shows too.
  SetWorld(MatrixScaling(1.2f, 0.9f, 0.7f));
  for (const char* technique : {"RenderScene", "RenderSceneFast"}) {
    // The file's defaults are a new object's values (A and B 50 %, C 0 %),
    // and at those the mesh keeps its shape.
    for (const char* rest : {"DeformA", "DeformB"}) {
      float v = 0;
      ASSERT_EQ(fx_->GetFloat(fx_->GetParameterByName(rest), &v), S_OK);
      EXPECT_EQ(v, 0.5f) << rest;
    }
    const Pixels still = DrawSphere(technique);
    EXPECT_LE(Unmirrored(still), kH / 4) << technique;  // no sway or twist: the ellipsoid stays symmetric
    const struct {
      const char* name;
      float rest, bent;
    } flex[] = {{"DeformA", 0.5f, 0.9f}, {"DeformA", 0.5f, 0.1f}, {"DeformB", 0.5f, 0.9f},
                {"DeformB", 0.5f, 0.1f}, {"DeformC", 0.0f, 0.4f}};
    for (const auto& f : flex) {
      fx_->SetFloat(f.name, f.bent);
      const Pixels bent = DrawSphere(technique);
      EXPECT_GT(MaxDifference(still.t[2], bent.t[2]), 0.1f) << technique << " " << f.name << " " << f.bent;
      EXPECT_GT(MaxDifference(still.t[1], bent.t[1]), 0.1f) << technique << " " << f.name << " " << f.bent;
      // Later, with its Delta set, the surface has moved on.
      const std::string delta = std::string("Delta") + f.name[6];
      fx_->SetFloat(delta, 0.25f);
      fx_->SetFloat("g_fTime", 1.0f);
      const Pixels later = DrawSphere(technique);
      EXPECT_GT(MaxDifference(bent.t[2], later.t[2]), 0.05f) << technique << " " << delta;
      fx_->SetFloat(f.name, f.rest);
      fx_->SetFloat(delta, 0.0f);
      fx_->SetFloat("g_fTime", 0.0f);
    }
    // Back at rest, the picture is the still one again.
    EXPECT_LT(MaxDifference(still.t[2], DrawSphere(technique).t[2]), 1e-5f) << technique;
  }
  // A bulge makes the sphere wider on screen.
  fx_->SetTechnique(fx_->GetTechniqueByName("RenderScene"));
  const int before = Covered(DrawSphere("RenderScene"));
  fx_->SetFloat("DeformC", 0.5f);
  EXPECT_GT(Covered(DrawSphere("RenderScene")), before + 50);
}

// Flat shading gives every face one normal; smooth shading varies it.
TEST_F(SceneEffect, FlatAndSmoothShadingDiffer) {
  Load(1);
  for (const char* technique : {"RenderScene", "RenderSceneFastNoTrans", "RenderEnvMapSceneTextureFront"}) {
    auto draw = [&](std::uint32_t mode) {
      Begin();
      dev_->SetRenderState(RenderState::ShadeMode, mode);
      Draw(technique, sphere_);
      return End();
    };
    const Pixels smooth = draw(SHADE_GOURAUD), flat = draw(SHADE_FLAT);
    EXPECT_GT(MaxDifference(smooth.t[0], flat.t[0]), 0.02f) << technique;
    auto distinct = [](const Pixels& px) {
      std::set<std::tuple<int, int, int>> normals;
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
          if (px.At(2, x, y)[3] > 0.5f) {
            const float* n = px.At(1, x, y);
            normals.insert({int(std::lround(n[0] * 50)), int(std::lround(n[1] * 50)), int(std::lround(n[2] * 50))});
          }
      return normals.size();
    };
    EXPECT_LT(distinct(flat) * 2, distinct(smooth)) << technique;
  }
}

// The see-through techniques let what is behind show; the others cover it.
TEST_F(SceneEffect, TransparentTechniquesBlendWithWhatIsBehind) {
  Load(1);
  // A red wall behind the sphere.
  std::vector<mvtest::MeshVertex> wall;
  for (const auto& xy : {std::pair{-3.f, -3.f}, {-3.f, 3.f}, {3.f, -3.f}, {3.f, -3.f}, {-3.f, 3.f}, {3.f, 3.f}})
    wall.push_back({{xy.first, xy.second, 2.0f}, {0, 0, -1}, {0, 0}});
  const struct {
    const char* technique;
    bool seeThrough;
  } cases[] = {{"RenderEnvMapSceneTrans", true}, {"RenderSceneFast", true}, {"RenderSceneFastNoTrans", false},
               {"RenderScene", false}};
  for (const auto& c : cases) {
    auto draw = [&](bool withWall) {
      Begin();
      if (withWall) {
        fx_->SetVector("Diffuse", {1, 0, 0, 1});
        Draw("RenderSceneFastNoTrans", wall);
      }
      fx_->SetVector("Diffuse", {0.1f, 0.3f, 0.9f, 0.5f});
      Draw(c.technique, sphere_);
      return End();
    };
    const Pixels alone = draw(false), front = draw(true);
    const float redAlone = alone.At(0, kW / 2, kH / 2)[0], redFront = front.At(0, kW / 2, kH / 2)[0];
    if (c.seeThrough)
      EXPECT_GT(redFront - redAlone, 0.2f) << c.technique;
    else
      EXPECT_NEAR(redFront, redAlone, 0.01f) << c.technique;
  }
}

// The sky box covers every pixel of the three targets: the cube map along
// the box's direction (ahead +z, magenta), or the 2D texture; black when the
// box's texture is black, as for a switched-off sky.
TEST_F(SceneEffect, SkyBoxesFillTheTargets) {
  const auto box = mvtest::SkyCube();
  for (int passes = 1; passes <= 3; ++passes) {
    Load(passes);
    Mat4 v = view_;
    v[3][0] = v[3][1] = v[3][2] = 0;
    fx_->SetMatrix("g_mWorld", MatrixMultiply(MatrixScaling(50, 50, 50), v));
    const std::uint8_t orange[4] = {255, 128, 0, 255}, black[4] = {0, 0, 0, 0};
    std::shared_ptr<Texture> tex, dark;
    ASSERT_EQ(dev_->CreateTextureFromRGBA(1, 1, orange, &tex), S_OK);
    ASSERT_EQ(dev_->CreateTextureFromRGBA(1, 1, black, &dark), S_OK);
    auto sky = [&](const char* technique, const std::shared_ptr<Texture>& t) {
      fx_->SetTexture("g_txScene", t);
      Begin();
      Draw(technique, box, true);
      return End();
    };
    const Pixels cube = sky("RenderSkyBox", white_), flat = sky("RenderSkyBox2D", tex),
                 off = sky("RenderSkyBox", dark);
    for (int y = 0; y < kH; y += 7)
      for (int x = 0; x < kW; x += 7) {
        for (const Pixels* px : {&cube, &flat, &off}) {
          EXPECT_EQ(px->At(2, x, y)[3], 1.0f) << passes << " " << x << "," << y;
          EXPECT_GT(px->At(2, x, y)[2], 40.0f);  // far away, ahead
          EXPECT_LT(px->At(1, x, y)[2], -0.5f);  // facing the camera
        }
        EXPECT_NEAR(flat.At(0, x, y)[0], 1.0f, 0.01f);
        EXPECT_NEAR(flat.At(0, x, y)[1], 128 / 255.0f, 0.01f);
        EXPECT_EQ(off.At(0, x, y)[0] + off.At(0, x, y)[1] + off.At(0, x, y)[2], 0.0f);
      }
    const float* ahead = cube.At(0, kW / 2, kH / 2);
    EXPECT_NEAR(ahead[0], 1.0f, 0.01f);
    EXPECT_NEAR(ahead[1], 0.0f, 0.01f);
    EXPECT_NEAR(ahead[2], 1.0f, 0.01f);
  }
}
