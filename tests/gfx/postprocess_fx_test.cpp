// The post-process effect files as shipped in fx/: each loads, runs its
// technique "PostProcess", exposes parameters that exist with defaults of
// their size, and changes a test picture visibly with those defaults.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "gfx/Device.h"
#include "gfx/Effect.h"
#include "gfx/GLDevice.h"
#include "support/GLTestContext.h"

using namespace gfx;

namespace {

constexpr int kW = 64, kH = 64;

struct FxCase {
  const char* file;
  int renderTarget;
  float scale;  // the pass's fScaleX and fScaleY
};

// The 25 rows of the effect table, in order.
const FxCase kEffects[] = {
    {"ColorMonochrome.fxo", 0, 1},  {"ColorInverse.fxo", 0, 1},   {"ColorGBlurH.fxo", 0, 1},
    {"ColorGBlurV.fxo", 0, 1},      {"ColorBloomH.fxo", 0, 1},    {"ColorBloomV.fxo", 0, 1},
    {"ColorBrightPass.fxo", 0, 1},  {"ColorToneMap.fxo", 0, 1},   {"ColorEdgeDetect.fxo", 0, 1},
    {"ColorDownFilter4.fxo", 0, 0.25f}, {"ColorUpFilter4.fxo", 0, 4}, {"ColorCombine.fxo", 0, 1},
    {"ColorCombine4.fxo", 0, 4},    {"NormalEdgeDetect.fxo", 0, 1}, {"DofCombine.fxo", 0, 1},
    {"NormalMap.fxo", 0, 1},        {"PositionMap.fxo", 0, 1},    {"blur.fxo", 0, 1},
    {"noise.fxo", 0, 1},            {"generalblur.fxo", 0, 1},    {"pixelize.fxo", 0, 1},
    {"black.fxo", 0, 1},            {"ColorGBlurV2.fxo", 0, 1},   {"Distortion.fxo", 0, 1},
    {"Distortion2.fxo", 0, 1},
};

// A picture with something for every effect: a colour gradient, hard-edged
// squares, a bright spot and fine stripes.
std::vector<std::uint8_t> TestPicture() {
  std::vector<std::uint8_t> px(kW * kH * 4);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      std::uint8_t* p = &px[(y * kW + x) * 4];
      p[0] = std::uint8_t(x * 4);
      p[1] = std::uint8_t(y * 4);
      p[2] = std::uint8_t(((x / 8 + y / 8) & 1) ? 200 : 40);
      if (x > 40 && x < 48 && y > 8 && y < 16) p[0] = p[1] = p[2] = 255;
      if (y > 48 && (x & 1)) p[0] = p[1] = p[2] = 0;
      p[3] = 255;
    }
  return px;
}

// Normals turning across the picture and positions at growing distance.
std::vector<std::uint8_t> NormalPicture() {
  std::vector<std::uint8_t> px(kW * kH * 4);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      std::uint8_t* p = &px[(y * kW + x) * 4];
      const bool box = x > 16 && x < 48 && y > 16 && y < 48;
      p[0] = box ? 230 : 128;
      p[1] = box ? 128 : 230;
      p[2] = 128;
      p[3] = 255;
    }
  return px;
}

class PostProcessFx : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ctx_ = mvtest::GLTestContext::Create(&why);
    if (!ctx_) GTEST_SKIP() << "no headless GL: " << why;
    dev_ = CreateGLDevice(GLDeviceDesc{kW, kH, 0});
    ASSERT_TRUE(dev_);
  }
  void TearDown() override {
    dev_.reset();
    ctx_.reset();
  }

  // Runs the effect's passes over the test picture into the back buffer.
  std::vector<std::uint8_t> Run(Effect& fx, float scale) {
    std::vector<std::uint8_t> picture = TestPicture(), normals = NormalPicture();
    std::shared_ptr<Texture> color, normal;
    EXPECT_EQ(dev_->CreateTextureFromRGBA(kW, kH, picture.data(), &color), S_OK);
    EXPECT_EQ(dev_->CreateTextureFromRGBA(kW, kH, normals.data(), &normal), S_OK);
    // An effect that combines the scene with the chain's picture gets a
    // different picture from the chain, as it would after a blur.
    const bool combines = bool(fx.GetParameterByName("g_txSceneColor"));
    if (fx.GetParameterByName("g_txSrcColor")) fx.SetTexture("g_txSrcColor", combines ? normal : color);
    if (combines) fx.SetTexture("g_txSceneColor", color);
    for (const char* name : {"g_txSrcNormal", "g_txSceneNormal", "g_txSrcPosition", "g_txScenePosition"})
      if (fx.GetParameterByName(name)) fx.SetTexture(name, normal);
    const VertexElement el[] = {{0, 0, VertexType::Float4, VertexUsage::PositionT, 0},
                                {0, 16, VertexType::Float2, VertexUsage::TexCoord, 0},
                                {0, 24, VertexType::Float2, VertexUsage::TexCoord, 1},
                                {0, 32, VertexType::Float3, VertexUsage::Normal, 0}};
    std::shared_ptr<VertexDeclaration> decl;
    EXPECT_EQ(dev_->CreateVertexDeclaration(el, 4, &decl), S_OK);
    // The quad as the chain builds it for a pass that scales: positions
    // scaled about the top-left corner, texture coordinates over the source.
    struct Q {
      float x, y, z, rhw, u, v, u1, v1, nx, ny, nz;
    } q[4];
    const float w = std::min(scale, 1.0f) * kW, h = std::min(scale, 1.0f) * kH;
    const float extent = scale > 1.0f ? 1.0f / scale : 1.0f;
    for (int i = 0; i < 4; ++i)
      q[i] = Q{(i & 1) ? w - 0.5f : -0.5f, (i >> 1) ? h - 0.5f : -0.5f, 1.0f, 1.0f,
               (i & 1) ? extent : 0.0f, (i >> 1) ? extent : 0.0f, 0, 0, 0, 0, 0};
    EXPECT_EQ(dev_->BeginScene(), S_OK);
    dev_->Clear(CLEAR_TARGET, 0xFF000000, 1.0f, 0);
    fx.SetTechnique(fx.GetTechniqueByName("PostProcess"));
    dev_->SetVertexDeclaration(decl);
    unsigned passes = 0;
    fx.Begin(&passes, 0);
    for (unsigned p = 0; p < passes; ++p) {
      fx.BeginPass(p);
      EXPECT_EQ(dev_->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, q, sizeof(Q)), S_OK);
      fx.EndPass();
    }
    fx.End();
    dev_->EndScene();
    std::vector<std::uint8_t> px;
    EXPECT_EQ(dev_->ReadSurfaceRGBA8(nullptr, &px), S_OK);
    return px;
  }

  std::unique_ptr<mvtest::GLTestContext> ctx_;
  std::unique_ptr<Device> dev_;
};

}  // namespace

TEST_F(PostProcessFx, EveryEffectLoadsAndChangesThePicture) {
  const std::vector<std::uint8_t> input = TestPicture();
  for (const FxCase& c : kEffects) {
    SCOPED_TRACE(c.file);
    std::shared_ptr<Effect> fx;
    std::string err;
    ASSERT_EQ(dev_->CreateEffectFromFile(std::string(MV_SOURCE_DIR) + "/fx/" + c.file, &fx, &err), S_OK) << err;
    const TechniqueHandle t = fx->GetTechniqueByName("PostProcess");
    ASSERT_TRUE(t);
    ASSERT_TRUE(fx->IsTechniqueValid(t)) << err;

    int target = -1;
    const AnnotationHandle rt = fx->GetAnnotationByName(t, "nRenderTarget");
    ASSERT_TRUE(rt);
    ASSERT_EQ(fx->GetInt(rt, &target), S_OK);
    EXPECT_EQ(target, c.renderTarget);
    // Each exposed parameter exists, with a size that fits its type and a
    // default that is its starting value.
    for (int i = 0; i < 2; ++i) {
      const std::string n = "Parameter" + std::to_string(i);
      const AnnotationHandle name = fx->GetAnnotationByName(t, n);
      if (!name) continue;
      const char* param = nullptr;
      ASSERT_EQ(fx->GetString(name, &param), S_OK);
      const ParameterHandle h = fx->GetParameterByName(param);
      ASSERT_TRUE(h) << param;
      int size = 0;
      ASSERT_EQ(fx->GetInt(fx->GetAnnotationByName(t, n + "Size"), &size), S_OK);
      EXPECT_GE(size, 1);
      EXPECT_LE(size, 4);
      glm::vec4 def(0.0f), value(0.0f);
      ASSERT_EQ(fx->GetVector(fx->GetAnnotationByName(t, n + "Def"), &def), S_OK);
      ASSERT_EQ(fx->GetFloatArray(h, &value[0], std::size_t(size)), S_OK) << param;
      for (int k = 0; k < size; ++k) EXPECT_FLOAT_EQ(value[k], def[k]) << param;
      const char* desc = nullptr;
      EXPECT_EQ(fx->GetString(fx->GetAnnotationByName(t, n + "Desc"), &desc), S_OK);
    }
    float scale = 1.0f;
    const AnnotationHandle sx = fx->GetAnnotationByName(fx->GetPass(t, 0), "fScaleX");
    if (sx) fx->GetFloat(sx, &scale);
    EXPECT_FLOAT_EQ(scale, c.scale);

    const std::vector<std::uint8_t> out = Run(*fx, c.scale);
    ASSERT_EQ(out.size(), input.size());
    // Compare where the effect drew: the scaled region for a down filter.
    const int w = c.scale < 1 ? int(kW * c.scale) : kW, h = c.scale < 1 ? int(kH * c.scale) : kH;
    double diff = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int ch = 0; ch < 3; ++ch) {
          const int sx2 = c.scale < 1 ? int(x / c.scale) : c.scale > 1 ? int(x / c.scale) : x;
          const int sy2 = c.scale < 1 ? int(y / c.scale) : c.scale > 1 ? int(y / c.scale) : y;
          diff += std::abs(int(out[(y * kW + x) * 4 + ch]) - int(input[(sy2 * kW + sx2) * 4 + ch]));
        }
    const double mean = diff / (w * h * 3);
    // A visible change: several grey levels on average over the picture.
    EXPECT_GT(mean, 3.0) << "mean change " << mean;
  }
}
