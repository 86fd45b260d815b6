// Graphics layer costs: a full-screen pass on the headless GL context (frames
// per second at 1920x1080 and 640x360), the CPU cost of setting 20 effect
// parameters and committing, per object, on both backends, and the cost of
// one checked draw call on the recording device (and of the checks alone).
#include <benchmark/benchmark.h>

#include <epoxy/gl.h>

#include <memory>
#include <string>

#include "gfx/Effect.h"
#include "gfx/GLDevice.h"
#include "gfx/RecordingDevice.h"
#include "support/HeadlessGL.h"

namespace {

using mv::bench::HeadlessGL;

const char* const kPassFx = R"(
[[parameter]]
name = "g_txSrcColor"
type = "texture"
mipfilter = "none"
[[parameter]]
name = "g_fGain"
type = "float"
default = 1.1
[[technique]]
name = "PostProcess"
[[technique.pass]]
states = { ZEnable = false, CullMode = "none" }
vertex = "@quad"
fragment = '''
in vec2 vTex0;
void main() { mv_Target0 = texture(g_txSrcColor, vTex0) * g_fGain; }
'''
)";

const char* const kObjectFx = R"(
[[parameter]]
name = "g_mWorld"
type = "float4x4"
[[parameter]]
name = "g_mView"
type = "float4x4"
[[parameter]]
name = "g_mProj"
type = "float4x4"
[[parameter]]
name = "g_mWorldView"
type = "float4x4"
[[parameter]]
name = "Diffuse"
type = "float4"
[[parameter]]
name = "Specular"
type = "float4"
[[parameter]]
name = "g_vLight"
type = "float4"
[[parameter]]
name = "g_vExtra"
type = "float4"
)"
R"(
[[parameter]]
name = "Reflectivity"
type = "float"
[[parameter]]
name = "Power2"
type = "float"
[[parameter]]
name = "DeformA"
type = "float"
[[parameter]]
name = "DeformB"
type = "float"
[[parameter]]
name = "DeformC"
type = "float"
[[parameter]]
name = "DeltaA"
type = "float"
[[parameter]]
name = "DeltaB"
type = "float"
[[parameter]]
name = "DeltaC"
type = "float"
[[parameter]]
name = "g_fTime"
type = "float"
[[parameter]]
name = "g_fA"
type = "float"
[[parameter]]
name = "g_fB"
type = "float"
[[parameter]]
name = "g_fC"
type = "float"
[[technique]]
name = "RenderScene"
[[technique.pass]]
vertex = '''
in vec3 inPosition;
void main() { gl_Position = mvClip(g_mProj * g_mWorldView * g_mView * g_mWorld * vec4(inPosition, 1.0)); }
'''
fragment = '''
void main() {
  mv_Target0 = Diffuse * (Reflectivity + Power2 + DeformA + DeformB + DeformC + DeltaA + DeltaB + DeltaC + g_fTime
               + g_fA + g_fB + g_fC) + Specular + g_vLight + g_vExtra;
}
'''
)";

void FullScreenPass(benchmark::State& state) {
  if (!HeadlessGL()) {
    state.SkipWithError("no headless GL");
    return;
  }
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  auto dev = gfx::CreateGLDevice(gfx::GLDeviceDesc{w, h, 0});
  std::shared_ptr<gfx::Effect> fx;
  std::shared_ptr<gfx::Texture> src, dst;
  std::shared_ptr<gfx::Surface> dstSurface;
  if (!dev || gfx::Failed(dev->CreateEffectFromMemory(kPassFx, "pass.fxo", &fx, nullptr)) ||
      gfx::Failed(dev->CreateTexture(w, h, 1, gfx::USAGE_RENDERTARGET, gfx::Format::A8R8G8B8, gfx::Pool::Default, &src)) ||
      gfx::Failed(dev->CreateTexture(w, h, 1, gfx::USAGE_RENDERTARGET, gfx::Format::A8R8G8B8, gfx::Pool::Default, &dst))) {
    state.SkipWithError("device setup failed");
    return;
  }
  dst->GetSurfaceLevel(0, &dstSurface);
  const gfx::VertexElement el[] = {{0, 0, gfx::VertexType::Float4, gfx::VertexUsage::PositionT, 0},
                                   {0, 16, gfx::VertexType::Float2, gfx::VertexUsage::TexCoord, 0}};
  std::shared_ptr<gfx::VertexDeclaration> decl;
  dev->CreateVertexDeclaration(el, 2, &decl);
  float q[4][6];
  for (int i = 0; i < 4; ++i) {
    q[i][0] = (i & 1) ? w - 0.5f : -0.5f;
    q[i][1] = (i >> 1) ? h - 0.5f : -0.5f;
    q[i][2] = 1.0f;
    q[i][3] = 1.0f;
    q[i][4] = float(i & 1);
    q[i][5] = float(i >> 1);
  }
  fx->SetTexture("g_txSrcColor", src);
  fx->SetTechnique(fx->GetTechniqueByName("PostProcess"));
  for (auto _ : state) {
    dev->SetRenderTarget(0, dstSurface);
    dev->Clear(gfx::CLEAR_TARGET, 0, 1.0f, 0);
    dev->SetVertexDeclaration(decl);
    unsigned passes = 0;
    fx->Begin(&passes, 0);
    fx->BeginPass(0);
    dev->DrawPrimitiveUP(gfx::PrimitiveType::TriangleStrip, 2, q, sizeof q[0]);
    fx->EndPass();
    fx->End();
    glFinish();  // count the rasterisation, not just the submission
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(FullScreenPass)->Args({1920, 1080})->Args({640, 360})->Unit(benchmark::kMillisecond)->UseRealTime();

// What the scene renderer does per object: 20 values set, then a commit.
void SetTwentyAndCommit(benchmark::State& state, gfx::Device& dev, gfx::Effect& fx) {
  gfx::ParameterHandle h[20];
  const char* names[20] = {"g_mWorld", "g_mView", "g_mProj",  "g_mWorldView", "Diffuse", "Specular", "g_vLight",
                           "g_vExtra", "Reflectivity", "Power2", "DeformA", "DeformB", "DeformC", "DeltaA",
                           "DeltaB",   "DeltaC",   "g_fTime",  "g_fA",     "g_fB",     "g_fC"};
  for (int i = 0; i < 20; ++i) h[i] = fx.GetParameterByName(names[i]);
  fx.SetTechnique(fx.GetTechniqueByName("RenderScene"));
  unsigned passes = 0;
  fx.Begin(&passes, 0);
  fx.BeginPass(0);
  glm::mat4 m(1.0f);
  float t = 0.0f;
  for (auto _ : state) {
    t += 0.001f;
    m[3][0] = t;
    for (int i = 0; i < 4; ++i) fx.SetMatrix(h[i], m);
    for (int i = 4; i < 8; ++i) fx.SetVector(h[i], glm::vec4(t, 0.5f, 0.25f, 1.0f));
    for (int i = 8; i < 20; ++i) fx.SetFloat(h[i], t * static_cast<float>(i));
    fx.CommitChanges();
  }
  fx.EndPass();
  fx.End();
  benchmark::DoNotOptimize(t);
}

void SetParamsRecording(benchmark::State& state) {
  auto dev = gfx::CreateRecordingDevice(640, 360);
  dev->SetRecording(false);  // the backend's own cost, not the test record's
  std::shared_ptr<gfx::Effect> fx;
  if (gfx::Failed(dev->CreateEffectFromMemory(kObjectFx, "object.fxo", &fx, nullptr))) {
    state.SkipWithError("effect failed");
    return;
  }
  SetTwentyAndCommit(state, *dev, *fx);
}
BENCHMARK(SetParamsRecording);

void SetParamsGL(benchmark::State& state) {
  if (!HeadlessGL()) {
    state.SkipWithError("no headless GL");
    return;
  }
  auto dev = gfx::CreateGLDevice(gfx::GLDeviceDesc{64, 64, 0});
  std::shared_ptr<gfx::Effect> fx;
  std::string err;
  if (!dev || gfx::Failed(dev->CreateEffectFromMemory(kObjectFx, "object.fxo", &fx, &err)) || !err.empty()) {
    state.SkipWithError(("effect failed: " + err).c_str());
    return;
  }
  SetTwentyAndCommit(state, *dev, *fx);
}
BENCHMARK(SetParamsGL);

const char* const kDrawFx = R"(
[[parameter]]
name = "g_txSrcColor"
type = "texture"
[[technique]]
name = "Copy"
[[technique.pass]]
vertex = "@quad"
fragment = "@copy"
)";

// A recording device (recording off: the backend does nothing but answer)
// with a quad's declaration, a buffer of four vertices bound to stream 0,
// indices and an effect pass in progress.
struct DrawRig {
  DrawRig() : dev(gfx::CreateRecordingDevice(640, 360)) {
    dev->SetRecording(false);
    const gfx::VertexElement el[] = {{0, 0, gfx::VertexType::Float4, gfx::VertexUsage::PositionT, 0},
                                     {0, 16, gfx::VertexType::Float2, gfx::VertexUsage::TexCoord, 0},
                                     {0, 24, gfx::VertexType::Float2, gfx::VertexUsage::TexCoord, 1},
                                     {0, 32, gfx::VertexType::Float3, gfx::VertexUsage::Normal, 0}};
    ok = gfx::Succeeded(dev->CreateEffectFromMemory(kDrawFx, "draw.fxo", &fx)) &&
         gfx::Succeeded(dev->CreateVertexDeclaration(el, 4, &decl)) &&
         gfx::Succeeded(dev->CreateVertexBuffer(4 * 44, gfx::USAGE_WRITEONLY, gfx::Pool::Managed, &vb)) &&
         gfx::Succeeded(dev->CreateIndexBuffer(12, gfx::USAGE_WRITEONLY, gfx::IndexFormat::Index16, gfx::Pool::Managed, &ib));
    if (!ok) return;
    dev->SetVertexDeclaration(decl);
    dev->SetStreamSource(0, vb, 0, 44);
    dev->SetIndices(ib);
    unsigned passes = 0;
    ok = gfx::Succeeded(fx->Begin(&passes, 0)) && gfx::Succeeded(fx->BeginPass(0));
  }
  ~DrawRig() {
    if (fx) fx->End();
  }
  std::unique_ptr<gfx::RecordingDevice> dev;
  std::shared_ptr<gfx::Effect> fx;
  std::shared_ptr<gfx::VertexDeclaration> decl;
  std::shared_ptr<gfx::VertexBuffer> vb;
  std::shared_ptr<gfx::IndexBuffer> ib;
  float quad[4][11] = {};
  bool ok = false;
};

void CheckedDrawPrimitive(benchmark::State& state) {
  DrawRig r;
  if (!r.ok) {
    state.SkipWithError("draw set-up failed");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(r.dev->DrawPrimitive(gfx::PrimitiveType::TriangleStrip, 0, 2));
}
BENCHMARK(CheckedDrawPrimitive);

void CheckedDrawIndexedPrimitive(benchmark::State& state) {
  DrawRig r;
  if (!r.ok) {
    state.SkipWithError("draw set-up failed");
    return;
  }
  for (auto _ : state)
    benchmark::DoNotOptimize(r.dev->DrawIndexedPrimitive(gfx::PrimitiveType::TriangleList, 0, 0, 4, 0, 2));
}
BENCHMARK(CheckedDrawIndexedPrimitive);

void CheckedDrawPrimitiveUP(benchmark::State& state) {
  DrawRig r;
  if (!r.ok) {
    state.SkipWithError("draw set-up failed");
    return;
  }
  for (auto _ : state)
    benchmark::DoNotOptimize(r.dev->DrawPrimitiveUP(gfx::PrimitiveType::TriangleStrip, 2, r.quad, sizeof r.quad[0]));
}
BENCHMARK(CheckedDrawPrimitiveUP);

// The checks without the call into the backend.
void DrawChecksOnly(benchmark::State& state) {
  DrawRig r;
  if (!r.ok) {
    state.SkipWithError("draw set-up failed");
    return;
  }
  for (auto _ : state)
    benchmark::DoNotOptimize(r.dev->ValidateDrawPrimitive(gfx::PrimitiveType::TriangleStrip, 0, 2));
}
BENCHMARK(DrawChecksOnly);

// A refused draw (no pass in progress) costs only the first checks.
void RefusedDraw(benchmark::State& state) {
  DrawRig r;
  if (!r.ok) {
    state.SkipWithError("draw set-up failed");
    return;
  }
  r.fx->EndPass();
  for (auto _ : state) benchmark::DoNotOptimize(r.dev->DrawPrimitive(gfx::PrimitiveType::TriangleStrip, 0, 2));
}
BENCHMARK(RefusedDraw);

}  // namespace
