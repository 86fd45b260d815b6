// The post-process chain on a device: the 25 effects loaded with their
// annotations, what each frame hands the device, and on a real GL device
// the four combinations doing what their names promise.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "effects/PostProcessManager.h"
#include "effects/QuadVertex.h"
#include "effects/RenderTargetChain.h"
#include "gfx/GLDevice.h"
#include "gfx/RecordingDevice.h"
#include "support/GLTestContext.h"
#include "support/TempWorkDir.h"

namespace {

// A working folder holding the shipped effect files.
struct ShowFolder {
  mv::test::TempWorkDir dir;
  ShowFolder() { std::filesystem::copy(std::filesystem::path(MV_SOURCE_DIR) / "fx", "fx"); }
};

struct Targets {
  RenderTargetChain chains[3];
  std::array<std::shared_ptr<gfx::Texture>, 3> scene;
  std::vector<float> block = std::vector<float>(160, 0.0f);

  Targets(gfx::Device& device, int w, int h) {
    for (auto& c : chains) {
      std::shared_ptr<gfx::Texture> a, b;
      device.CreateTexture(w, h, 1, gfx::USAGE_RENDERTARGET, gfx::Format::A8R8G8B8, gfx::Pool::Default, &a);
      device.CreateTexture(w, h, 1, gfx::USAGE_RENDERTARGET, gfx::Format::A8R8G8B8, gfx::Pool::Default, &b);
      c.Init(a, b);
    }
  }
  PostProcessFrame Frame(int w, int h) {
    PostProcessFrame f;
    f.sceneTextures = scene;
    f.chains = chains;
    f.parameterBlock = block.data();
    f.width = w;
    f.height = h;
    return f;
  }
};

}  // namespace

TEST(PostProcessDevice, LoadsTheTwentyFiveEffectsWithTheirAnnotations) {
  ShowFolder show;
  auto device = gfx::CreateRecordingDevice(64, 64);
  PostProcessManager m;
  ASSERT_EQ(m.OnCreateDevice(*device), gfx::S_OK);
  for (int i = 0; i < PostProcessManager::kEffectCount; ++i) {
    const PostProcessEffect& e = m.GetEffect(i);
    ASSERT_NE(e.effect, nullptr) << i;
    EXPECT_TRUE(e.technique) << i;
    EXPECT_FALSE(e.parameterName[0].empty()) << i;
    EXPECT_TRUE(e.parameterHandle[0]) << i;
    EXPECT_GE(e.parameterSize[0], 1) << i;
  }
  const PostProcessEffect& down = m.GetEffect(9);
  EXPECT_EQ(down.parameterName[0], u"g_fGain");
  EXPECT_EQ(down.parameterDefault[0][0], 1.0f);
  EXPECT_TRUE(down.sourceTextures[0]);
  EXPECT_FALSE(down.sceneTextures[0]);
  EXPECT_TRUE(m.GetEffect(14).sceneTextures[2]);  // depth of field reads the positions
  // Inserting takes the effect's defaults.
  ASSERT_TRUE(m.InsertEffect(21));
  EXPECT_EQ(m.GetListInstance(0)->parameters[1], (Float4{0.3f, 0.08f, 0.04f, 0.0f}));
  m.ReleaseEffects();
  EXPECT_EQ(m.GetEffect(0).effect, nullptr);
}

TEST(PostProcessDevice, AMissingEffectFileEndsDeviceCreationWithItsError) {
  ShowFolder show;
  std::filesystem::remove("fx/noise.fxo");
  auto device = gfx::CreateRecordingDevice(64, 64);
  PostProcessManager m;
  EXPECT_TRUE(gfx::Failed(m.OnCreateDevice(*device)));
  EXPECT_NE(m.GetEffect(17).effect, nullptr);  // the rows before it loaded
  EXPECT_EQ(m.GetEffect(19).effect, nullptr);  // the rows after it did not
}

// What a frame of three effects hands the recording device: each pass into
// the next target of chain 0, reading the scene first and then what the
// effect before wrote; parameters from the instance's slot of the block.
TEST(PostProcessDevice, AFrameReadsTheSceneFirstThenThePreviousOutput) {
  ShowFolder show;
  auto device = gfx::CreateRecordingDevice(64, 64);
  PostProcessManager m;
  ASSERT_EQ(m.OnCreateDevice(*device), gfx::S_OK);
  Targets t(*device, 64, 64);
  for (int i = 0; i < 3; ++i) {
    std::shared_ptr<gfx::Texture> s;
    device->CreateTexture(64, 64, 1, gfx::USAGE_RENDERTARGET, gfx::Format::A8R8G8B8, gfx::Pool::Default, &s);
    t.scene[static_cast<std::size_t>(i)] = s;
  }
  m.InsertEffect(0);  // monochrome
  m.InsertEffect(1);  // inversion
  m.SyncRecords();
  const int slot = m.GetListInstance(1)->parameterSlot;
  t.block[static_cast<std::size_t>((2 * slot) * 4)] = 0.25f;  // the inversion's amount
  const gfx::BaseTexture* firstWritten = t.chains[0].GetNextTarget().get();
  device->ClearEvents();
  bool performed = false;
  ASSERT_EQ(m.PerformPostProcess(*device, t.Frame(64, 64), &performed), gfx::S_OK);
  EXPECT_TRUE(performed);
  EXPECT_EQ(device->Find(gfx::RecordedEvent::Kind::Draw).size(), 2u);
  const auto sources = device->Find(gfx::RecordedEvent::Kind::SetParameter, "g_txSrcColor");
  ASSERT_EQ(sources.size(), 2u);
  EXPECT_EQ(sources[0]->texture, t.scene[0].get());
  EXPECT_EQ(sources[1]->texture, firstWritten);
  const auto amounts = device->Find(gfx::RecordedEvent::Kind::SetParameter, "g_fAmount");
  EXPECT_TRUE(device->Find(gfx::RecordedEvent::Kind::SetParameter, "g_fTime").empty());
  ASSERT_EQ(amounts.size(), 2u);
  EXPECT_EQ(amounts[1]->values.at(0), 0.25f);
  EXPECT_EQ(device->Find(gfx::RecordedEvent::Kind::Clear).size(), 2u);
  // Two flips: chain 0's previous target is what the last effect wrote.
  EXPECT_EQ(t.chains[0].GetNext(), 0);
  EXPECT_FALSE(t.chains[0].IsFirstRender());
  EXPECT_TRUE(t.chains[1].IsFirstRender());

  // The grain moves with the frame's time.
  m.InsertEffect(18);
  m.SyncRecords();
  PostProcessFrame timed = t.Frame(64, 64);
  timed.time = 12.5f;
  device->ClearEvents();
  ASSERT_EQ(m.PerformPostProcess(*device, timed, &performed), gfx::S_OK);
  const gfx::RecordedEvent* time = device->LastParameter("g_fTime");
  ASSERT_NE(time, nullptr);
  EXPECT_EQ(time->values.at(0), 12.5f);

  // A disabled chain, or one with only its end marker, does not run.
  m.SetEnabled(false);
  EXPECT_EQ(m.PerformPostProcess(*device, t.Frame(64, 64), &performed), gfx::S_OK);
  EXPECT_FALSE(performed);
  m.SetEnabled(true);
  m.ClearActiveList();
  m.SyncRecords();
  EXPECT_EQ(m.PerformPostProcess(*device, t.Frame(64, 64), &performed), gfx::S_OK);
  EXPECT_FALSE(performed);
}

namespace {

// Effect files of our own in place of the first two of the table: the first
// with no technique annotations at all, a kernel in pixels and a pass that
// draws a quarter of the size; the second naming a parameter it lacks.
const char kBareEffect[] = R"(
[[parameter]]
name = "g_txSrcColor"
type = "texture"

[[parameter]]
name = "g_vSrcExtent"
type = "float2"

[[parameter]]
name = "g_avPixelKernel"
type = "float2"
elements = 2
default = [[2.0, 1.0], [4.0, -2.0]]

[[parameter]]
name = "g_avTexelKernel"
type = "float2"
elements = 2
annotations = { ConvertPixelsToTexels = "g_avPixelKernel" }

[shaders]
p = '''
in vec2 vTex0;
void main() { mv_Target0 = texture(g_txSrcColor, vTex0 + g_avTexelKernel[0]); }
'''

[[technique]]
name = "PostProcess"

[[technique.pass]]
annotations = { fScaleX = 0.25, fScaleY = 0.25 }
vertex = "@quad"
fragment = "@p"

[[technique.pass]]
vertex = "@quad"
fragment = "@p"
)";

const char kMisnamedParameterEffect[] = R"(
[[parameter]]
name = "g_txSrcColor"
type = "texture"

[[parameter]]
name = "g_vSrcExtent"
type = "float2"

[[parameter]]
name = "g_fAmount"
type = "float"

[shaders]
p = '''
in vec2 vTex0;
void main() { mv_Target0 = texture(g_txSrcColor, vTex0) * g_fAmount; }
'''

[[technique]]
name = "PostProcess"
annotations = { nRenderTarget = 1, Parameter0 = "g_fNoSuchParameter", Parameter0Desc = "gone", Parameter0Size = 1, Parameter0Def = [0.7, 0.0, 0.0, 0.0], Parameter1 = "g_fAmount", Parameter1Size = 1, Parameter1Def = [0.5, 0.0, 0.0, 0.0] }

[[technique.pass]]
vertex = "@quad"
fragment = "@p"
)";

class CraftedEffects : public ::testing::Test {
 protected:
  void SetUp() override {
    show_.dir.Write("fx/ColorMonochrome.fxo", kBareEffect);
    show_.dir.Write("fx/ColorInverse.fxo", kMisnamedParameterEffect);
    ASSERT_EQ(m_.OnCreateDevice(*device_), gfx::S_OK);
  }
  void TearDown() override { m_.ReleaseEffects(); }

  std::vector<QuadVertex> QuadOf(const gfx::RecordedEvent& draw) const {
    std::vector<QuadVertex> q(draw.vertices.size() / sizeof(QuadVertex));
    std::memcpy(q.data(), draw.vertices.data(), q.size() * sizeof(QuadVertex));
    return q;
  }

  ShowFolder show_;
  std::unique_ptr<gfx::RecordingDevice> device_ = gfx::CreateRecordingDevice(1920, 1080);
  PostProcessManager m_;
};

}  // namespace

// A file without the technique's annotations takes the defaults: chain 0,
// no parameters, nothing to show; a parameter named but missing keeps its
// name and default yet has no handle.
TEST_F(CraftedEffects, MissingAnnotationsTakeTheDefaults) {
  const PostProcessEffect& bare = m_.GetEffect(0);
  EXPECT_EQ(bare.renderTarget, 0);
  for (int i = 0; i < 2; ++i) {
    EXPECT_FALSE(bare.parameterHandle[static_cast<std::size_t>(i)]) << i;
    EXPECT_TRUE(bare.parameterName[static_cast<std::size_t>(i)].empty()) << i;
    EXPECT_EQ(bare.parameterDefault[static_cast<std::size_t>(i)], (Float4{0, 0, 0, 0})) << i;
  }
  const PostProcessEffect& misnamed = m_.GetEffect(1);
  EXPECT_EQ(misnamed.renderTarget, 1);
  EXPECT_FALSE(misnamed.parameterHandle[0]);
  EXPECT_EQ(misnamed.parameterName[0], u"g_fNoSuchParameter");
  EXPECT_EQ(misnamed.parameterDefault[0], (Float4{0.7f, 0, 0, 0}));
  EXPECT_TRUE(misnamed.parameterHandle[1]);
}

// A reset turns each kernel written in pixels into texture units of the
// back buffer: (2, 1) pixels are (2/1920, 1/1080).
TEST_F(CraftedEffects, AResetConvertsPixelKernelsToTexels) {
  ASSERT_EQ(m_.OnResetDevice(1920, 1080), gfx::S_OK);
  gfx::Effect& fx = *m_.GetEffect(0).effect;
  float texels[4] = {};
  ASSERT_EQ(fx.GetFloatArray(fx.GetParameterByName("g_avTexelKernel"), texels, 4), gfx::S_OK);
  EXPECT_FLOAT_EQ(texels[0], 2.0f / 1920.0f);
  EXPECT_FLOAT_EQ(texels[1], 1.0f / 1080.0f);
  EXPECT_FLOAT_EQ(texels[2], 4.0f / 1920.0f);
  EXPECT_FLOAT_EQ(texels[3], -2.0f / 1080.0f);
  // Another size converts from the pixels again, not from the last result.
  ASSERT_EQ(m_.OnResetDevice(640, 360), gfx::S_OK);
  ASSERT_EQ(fx.GetFloatArray(fx.GetParameterByName("g_avTexelKernel"), texels, 4), gfx::S_OK);
  EXPECT_FLOAT_EQ(texels[0], 2.0f / 640.0f);
  EXPECT_FLOAT_EQ(texels[1], 1.0f / 360.0f);
}

// After a pass at a quarter of the size, the quad's far corners stand at a
// quarter of the frame and the next passes, of this effect and of the next,
// read the sources up to a quarter.
TEST_F(CraftedEffects, AQuarterPassShrinksTheQuadAndTheExtentsCarryOn) {
  constexpr int kSize = 64;
  Targets t(*device_, kSize, kSize);
  m_.InsertEffect(0);   // the quarter pass, then a full one
  m_.InsertEffect(18);  // a shipped effect after it: the noise
  m_.SyncRecords();
  device_->ClearEvents();
  bool performed = false;
  ASSERT_EQ(m_.PerformPostProcess(*device_, t.Frame(kSize, kSize), &performed), gfx::S_OK);
  const auto draws = device_->Find(gfx::RecordedEvent::Kind::Draw);
  ASSERT_EQ(draws.size(), 3u);
  const float quarter = kSize * 0.25f - 0.5f;
  const struct {
    float far, extent;
  } want[] = {{quarter, 1.0f}, {quarter, 0.25f}, {quarter, 0.25f}};
  for (std::size_t d = 0; d < 3; ++d) {
    SCOPED_TRACE("draw " + std::to_string(d));
    const std::vector<QuadVertex> q = QuadOf(*draws[d]);
    ASSERT_EQ(q.size(), 4u);
    EXPECT_FLOAT_EQ(q[0].x, -0.5f);
    EXPECT_FLOAT_EQ(q[0].y, -0.5f);
    EXPECT_FLOAT_EQ(q[3].x, want[d].far);
    EXPECT_FLOAT_EQ(q[3].y, want[d].far);
    EXPECT_FLOAT_EQ(q[1].x, want[d].far);
    EXPECT_FLOAT_EQ(q[2].y, want[d].far);
    // Texture coordinates reach as far as the sources were drawn.
    EXPECT_FLOAT_EQ(q[3].u0, want[d].extent);
    EXPECT_FLOAT_EQ(q[3].v0, want[d].extent);
  }
  const auto extents = device_->Find(gfx::RecordedEvent::Kind::SetParameter, "g_vSrcExtent");
  ASSERT_GE(extents.size(), 2u);
  EXPECT_EQ(extents[0]->values, (std::vector<float>{1.0f, 1.0f}));
  EXPECT_EQ(extents[1]->values, (std::vector<float>{0.25f, 0.25f}));
}

// A parameter the file names but does not have is never set; an effect
// that cannot draw (its chain has no targets) is skipped and the effects
// after it still run.
TEST_F(CraftedEffects, AMissingParameterIsNeverSetAndAFailingEffectIsSkipped) {
  Targets t(*device_, 64, 64);
  t.chains[1].Release();  // the misnamed effect draws into chain 1: nowhere
  m_.InsertEffect(1);
  m_.InsertEffect(0);
  m_.SyncRecords();
  device_->ClearEvents();
  bool performed = false;
  EXPECT_EQ(m_.PerformPostProcess(*device_, t.Frame(64, 64), &performed), gfx::S_OK);
  EXPECT_TRUE(performed);
  EXPECT_TRUE(device_->Find(gfx::RecordedEvent::Kind::SetParameter, "g_fNoSuchParameter").empty());
  const auto draws = device_->Find(gfx::RecordedEvent::Kind::Draw);
  ASSERT_EQ(draws.size(), 2u);  // both passes of the effect after it
  for (const auto* d : draws) EXPECT_NE(d->effect.find("ColorMonochrome"), std::string::npos) << d->effect;
  EXPECT_FALSE(t.chains[0].IsFirstRender());
}

namespace {

// Large enough that two 4x down filters still leave a picture to bloom.
constexpr int kW = 256, kH = 256;
constexpr int U = kW / 64;  // the tests place things on a 64-unit grid

class ChainOnGL : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ctx_ = mvtest::GLTestContext::Create(&why);
    if (!ctx_) GTEST_SKIP() << "no headless GL: " << why;
    dev_ = gfx::CreateGLDevice(gfx::GLDeviceDesc{kW, kH, 0});
    ASSERT_TRUE(dev_);
    ASSERT_EQ(m_.OnCreateDevice(*dev_), gfx::S_OK);
    targets_ = std::make_unique<Targets>(*dev_, kW, kH);
  }
  void TearDown() override {
    m_.ReleaseEffects();
    targets_.reset();
    dev_.reset();
    ctx_.reset();
  }

  void Scene(const std::vector<std::uint8_t>& color, const std::vector<std::uint8_t>& normal,
             const std::vector<std::uint8_t>& position) {
    const std::vector<std::uint8_t>* src[3] = {&color, &normal, &position};
    for (int i = 0; i < 3; ++i)
      dev_->CreateTextureFromRGBA(kW, kH, src[i]->data(), &targets_->scene[static_cast<std::size_t>(i)]);
  }

  // The final image: chain 0's previous target.
  std::vector<float> Run(PostProcessCombination c) {
    m_.ApplyCombination(c);
    m_.SyncRecords();
    m_.StoreParameters(targets_->block.data());
    bool performed = false;
    EXPECT_EQ(m_.PerformPostProcess(*dev_, targets_->Frame(kW, kH), &performed), gfx::S_OK);
    EXPECT_TRUE(performed);
    std::shared_ptr<gfx::Surface> s;
    targets_->chains[0].GetPrevTarget()->GetSurfaceLevel(0, &s);
    std::vector<std::uint8_t> px;
    EXPECT_EQ(dev_->ReadSurfaceRGBA8(s.get(), &px), gfx::S_OK);
    return Luma(px);
  }

  static std::vector<float> Luma(const std::vector<std::uint8_t>& px) {
    std::vector<float> l(px.size() / 4);
    for (std::size_t i = 0; i < l.size(); ++i)
      l[i] = (0.299f * px[i * 4] + 0.587f * px[i * 4 + 1] + 0.114f * px[i * 4 + 2]) / 255.0f;
    return l;
  }
  // How much neighbouring pixels differ inside a rectangle: what a blur takes away.
  static float Detail(const std::vector<float>& l, int x0, int y0, int x1, int y1) {
    float sum = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x + 1 < x1; ++x) sum += std::abs(l[y * kW + x + 1] - l[y * kW + x]);
    return sum / float((x1 - x0) * (y1 - y0));
  }
  static float Mean(const std::vector<float>& l, int x0, int y0, int x1, int y1) {
    float sum = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) sum += l[y * kW + x];
    return sum / float((x1 - x0) * (y1 - y0));
  }

  ShowFolder show_;
  std::unique_ptr<mvtest::GLTestContext> ctx_;
  std::unique_ptr<gfx::Device> dev_;
  PostProcessManager m_;
  std::unique_ptr<Targets> targets_;
};

std::vector<std::uint8_t> Checker(int cell, std::uint8_t dark, std::uint8_t light) {
  std::vector<std::uint8_t> px(kW * kH * 4);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const std::uint8_t v = ((x / cell + y / cell) & 1) ? light : dark;
      std::uint8_t* p = &px[(y * kW + x) * 4];
      p[0] = p[1] = p[2] = v;
      p[3] = 255;
    }
  return px;
}

std::vector<std::uint8_t> Flat(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  std::vector<std::uint8_t> px(kW * kH * 4);
  for (std::size_t i = 0; i < px.size(); i += 4) px[i] = r, px[i + 1] = g, px[i + 2] = b, px[i + 3] = 255;
  return px;
}

}  // namespace

TEST_F(ChainOnGL, BlurTakesTheDetailAway) {
  const auto scene = Checker(2 * U, 30, 220);
  Scene(scene, Flat(128, 128, 255), Flat(0, 0, 0));
  const auto out = Run(PostProcessCombination::Blur);
  const auto in = Luma(scene);
  EXPECT_LT(Detail(out, 8 * U, 8 * U, 56 * U, 56 * U), Detail(in, 8 * U, 8 * U, 56 * U, 56 * U) * 0.2f);
  // The picture keeps its overall brightness.
  EXPECT_NEAR(Mean(out, 8 * U, 8 * U, 56 * U, 56 * U), Mean(in, 8 * U, 8 * U, 56 * U, 56 * U), 0.1f);
}

TEST_F(ChainOnGL, BloomMakesBrightThingsGlowIntoTheirSurroundings) {
  auto scene = Flat(20, 20, 20);
  for (int y = 28 * U; y < 36 * U; ++y)
    for (int x = 28 * U; x < 36 * U; ++x)
      for (int c = 0; c < 3; ++c) scene[(y * kW + x) * 4 + c] = 255;
  Scene(scene, Flat(128, 128, 255), Flat(0, 0, 0));
  const auto out = Run(PostProcessCombination::Bloom);
  const auto in = Luma(scene);
  // Around the spot, the dark ground lights up; far away it stays dark.
  EXPECT_GT(Mean(out, 20 * U, 28 * U, 26 * U, 36 * U), Mean(in, 20 * U, 28 * U, 26 * U, 36 * U) + 0.05f);
  EXPECT_NEAR(Mean(out, 0 * U, 0 * U, 6 * U, 6 * U), Mean(in, 0 * U, 0 * U, 6 * U, 6 * U), 0.03f);
  EXPECT_GT(Mean(out, 29 * U, 29 * U, 35 * U, 35 * U), 0.9f);
}

TEST_F(ChainOnGL, DepthOfFieldKeepsTheFocusSharpAndBlursTheRest) {
  const auto scene = Checker(2 * U, 30, 220);
  // Positions: the left half at the focus distance (8 units), the right far away.
  std::vector<std::uint8_t> position(kW * kH * 4);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      std::uint8_t* p = &position[(y * kW + x) * 4];
      p[0] = p[1] = 0;
      p[2] = 255;  // 1.0 in an 8-bit texture: a near surface
      p[3] = 255;
    }
  Scene(scene, Flat(128, 128, 255), position);
  m_.ApplyCombination(PostProcessCombination::DepthOfField);
  m_.SyncRecords();
  m_.StoreParameters(targets_->block.data());
  // Focus on the surfaces at distance 1 only for the left half: the effect's
  // focus parameter puts it at 1 with a steep falloff.
  const PostProcessInstance* dof = m_.GetListInstance(m_.GetListCount() - 2);
  float* focus = &targets_->block[static_cast<std::size_t>(2 * dof->parameterSlot * 4)];
  focus[0] = 1.0f;
  focus[1] = 0.15f;
  bool performed = false;
  ASSERT_EQ(m_.PerformPostProcess(*dev_, targets_->Frame(kW, kH), &performed), gfx::S_OK);
  std::shared_ptr<gfx::Surface> s;
  targets_->chains[0].GetPrevTarget()->GetSurfaceLevel(0, &s);
  std::vector<std::uint8_t> px;
  ASSERT_EQ(dev_->ReadSurfaceRGBA8(s.get(), &px), gfx::S_OK);
  const auto sharp = Luma(px);
  const auto in = Luma(scene);
  EXPECT_GT(Detail(sharp, 8 * U, 8 * U, 56 * U, 56 * U), Detail(in, 8 * U, 8 * U, 56 * U, 56 * U) * 0.8f);  // in focus: detail kept

  focus[0] = 40.0f;  // focus far away: the near surfaces blur
  ASSERT_EQ(m_.PerformPostProcess(*dev_, targets_->Frame(kW, kH), &performed), gfx::S_OK);
  targets_->chains[0].GetPrevTarget()->GetSurfaceLevel(0, &s);
  ASSERT_EQ(dev_->ReadSurfaceRGBA8(s.get(), &px), gfx::S_OK);
  EXPECT_LT(Detail(Luma(px), 8, 8, 56, 56), Detail(in, 8 * U, 8 * U, 56 * U, 56 * U) * 0.3f);
}

TEST_F(ChainOnGL, EdgeGlowLightsTheOutlinesOfTheGeometry) {
  // A box whose normals face another way than the background's.
  std::vector<std::uint8_t> normal = Flat(128, 128, 255);
  for (int y = 20 * U; y < 44 * U; ++y)
    for (int x = 20 * U; x < 44 * U; ++x) {
      std::uint8_t* p = &normal[(y * kW + x) * 4];
      p[0] = 255, p[1] = 128, p[2] = 128;
    }
  const auto scene = Flat(40, 40, 40);
  Scene(scene, normal, Flat(0, 0, 0));
  const auto out = Run(PostProcessCombination::EdgeGlow);
  const auto in = Luma(scene);
  EXPECT_GT(Mean(out, 18 * U, 28 * U, 22 * U, 36 * U), Mean(in, 18 * U, 28 * U, 22 * U, 36 * U) + 0.1f);  // across the left edge
  EXPECT_NEAR(Mean(out, 28 * U, 28 * U, 36 * U, 36 * U), Mean(in, 28 * U, 28 * U, 36 * U, 36 * U), 0.05f);  // inside the box
  EXPECT_NEAR(Mean(out, 0 * U, 0 * U, 6 * U, 6 * U), Mean(in, 0 * U, 0 * U, 6 * U, 6 * U), 0.05f);  // far from it
}

namespace {

// One fixed input for the four combinations: a dark gradient with a
// checker patch, a bright disc and a box whose normals and depth differ
// from the ground's.
struct FixedInput {
  std::vector<std::uint8_t> colour, normal, position;
  FixedInput() : colour(kW * kH * 4), normal(kW * kH * 4), position(kW * kH * 4) {
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        std::uint8_t* c = &colour[(y * kW + x) * 4];
        std::uint8_t* n = &normal[(y * kW + x) * 4];
        std::uint8_t* p = &position[(y * kW + x) * 4];
        c[0] = std::uint8_t(20 + x * 60 / kW), c[1] = std::uint8_t(15 + y * 30 / kH), c[2] = 70, c[3] = 255;
        if (x >= 8 * U && x < 28 * U && y >= 8 * U && y < 28 * U) {
          const std::uint8_t v = ((x / (2 * U) + y / (2 * U)) & 1) ? 210 : 40;
          c[0] = c[1] = c[2] = v;
        }
        const int dx = x - 44 * U, dy = y - 20 * U;
        if (dx * dx + dy * dy < 6 * U * 6 * U) c[0] = 255, c[1] = 250, c[2] = 230;
        const bool box = x >= 24 * U && x < 48 * U && y >= 36 * U && y < 56 * U;
        if (box) c[0] = 180, c[1] = 60, c[2] = 40;
        n[0] = box ? 230 : 128, n[1] = box ? 160 : 128, n[2] = box ? 150 : 255, n[3] = 255;
        p[0] = p[1] = 0, p[2] = box || x < kW / 2 ? 255 : 40, p[3] = 255;
      }
  }
  // View-space positions as the scene leaves them, in floats: the left half
  // and the box at the depth of field's default focus (8 units), the rest
  // far behind.
  static std::shared_ptr<gfx::Texture> Depths(gfx::Device& device) {
    std::shared_ptr<gfx::Texture> t;
    if (gfx::Failed(device.CreateTexture(kW, kH, 1, 0, gfx::Format::A32B32G32R32F, gfx::Pool::Managed, &t)))
      return nullptr;
    gfx::LockedRect r;
    if (gfx::Failed(t->LockRect(0, &r, gfx::LOCK_NONE))) return nullptr;
    for (int y = 0; y < kH; ++y) {
      auto* row = reinterpret_cast<float*>(static_cast<std::uint8_t*>(r.bits) + std::size_t(y) * r.pitch);
      for (int x = 0; x < kW; ++x) {
        const bool box = x >= 24 * U && x < 48 * U && y >= 36 * U && y < 56 * U;
        float* p = row + x * 4;
        p[0] = float(x - kW / 2) / 32.0f, p[1] = float(kH / 2 - y) / 32.0f;
        p[2] = box || x < kW / 2 ? 8.0f : 30.0f, p[3] = 1.0f;
      }
    }
    t->UnlockRect(0);
    return t;
  }
};

struct CombinationCase {
  PostProcessCombination combination;
  const char* golden;
};

class CombinationGolden : public ChainOnGL, public ::testing::WithParamInterface<CombinationCase> {};

}  // namespace

// Each combination over the fixed input, with its effects' defaults, against
// the approved picture.
TEST_P(CombinationGolden, MatchesItsApprovedPicture) {
  const FixedInput in;
  Scene(in.colour, in.normal, in.position);
  targets_->scene[2] = FixedInput::Depths(*dev_);
  ASSERT_TRUE(targets_->scene[2]);
  ASSERT_EQ(m_.OnResetDevice(kW, kH), gfx::S_OK);  // kernels in texels of this picture, as a reset leaves them
  m_.ApplyCombination(GetParam().combination);
  m_.SyncRecords();
  m_.StoreParameters(targets_->block.data());
  bool performed = false;
  ASSERT_EQ(m_.PerformPostProcess(*dev_, targets_->Frame(kW, kH), &performed), gfx::S_OK);
  ASSERT_TRUE(performed);
  std::shared_ptr<gfx::Surface> s;
  targets_->chains[0].GetPrevTarget()->GetSurfaceLevel(0, &s);
  std::vector<std::uint8_t> px;
  ASSERT_EQ(dev_->ReadSurfaceRGBA8(s.get(), &px), gfx::S_OK);
  ASSERT_EQ(px.size(), in.colour.size());
  // Whatever was approved, the chain must have changed its input.
  std::size_t changed = 0;
  for (std::size_t i = 0; i < px.size(); i += 4)
    if (std::abs(int(px[i]) - int(in.colour[i])) + std::abs(int(px[i + 1]) - int(in.colour[i + 1])) +
            std::abs(int(px[i + 2]) - int(in.colour[i + 2])) > 12)
      ++changed;
  EXPECT_GT(changed, px.size() / 4 / 20);
  const std::string diff = mvtest::CompareWithGolden(std::string(MV_SOURCE_DIR) + "/tests/effects/golden",
                                                     GetParam().golden, kW, kH, px, 4);
  EXPECT_TRUE(diff.empty()) << diff;
}

INSTANTIATE_TEST_SUITE_P(
    FourCombinations, CombinationGolden,
    ::testing::Values(CombinationCase{PostProcessCombination::Blur, "combination_blur"},
                      CombinationCase{PostProcessCombination::Bloom, "combination_bloom"},
                      CombinationCase{PostProcessCombination::DepthOfField, "combination_depth_of_field"},
                      CombinationCase{PostProcessCombination::EdgeGlow, "combination_edge_glow"}),
    [](const ::testing::TestParamInfo<CombinationCase>& i) { return std::string(i.param.golden); });
