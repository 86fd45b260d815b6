// One table of device calls, valid and invalid, each run on a fresh recording
// device and on a fresh GL device: both backends must give the code the
// table expects, since the checks stand in front of both.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "gfx/Effect.h"
#include "gfx/GLDevice.h"
#include "gfx/RecordingDevice.h"
#include "support/GLTestContext.h"

namespace gfx {
namespace {

constexpr int kW = 32, kH = 16;
constexpr std::size_t kStride = 24;  // float4 position, float2 texture coordinate

const char* const kFx = R"(
[[parameter]]
name = "g_txSrcColor"
type = "texture"

[[technique]]
name = "Copy"
[[technique.pass]]
states = { ZEnable = false, CullMode = "none" }
vertex = "@quad"
fragment = "@copy"
)";

const VertexElement kQuad[] = {{0, 0, VertexType::Float4, VertexUsage::PositionT, 0},
                               {0, 16, VertexType::Float2, VertexUsage::TexCoord, 0}};
// The same vertex with its texture coordinate on stream 1.
const VertexElement kTwoStreams[] = {{0, 0, VertexType::Float4, VertexUsage::PositionT, 0},
                                     {1, 0, VertexType::Float2, VertexUsage::TexCoord, 0}};

// What a case starts from, made on the device under test: an effect, a quad
// of four vertices in a buffer, six indices, textures and a render target;
// and the same kinds of object made by another device.
struct Rig {
  explicit Rig(Device& d) : dev(d), other(CreateRecordingDevice(kW, kH)) {
    for (int i = 0; i < 4; ++i) {
      const float v[6] = {(i & 1) ? kW - 0.5f : -0.5f, (i >> 1) ? kH - 0.5f : -0.5f, 0.5f, 1, float(i & 1),
                          float(i >> 1)};
      std::memcpy(quad[i], v, sizeof v);
    }
    std::string err;
    Need(dev.CreateEffectFromMemory(kFx, "parity.fxo", &fx, &err), "effect: " + err);
    Need(err.empty() ? S_OK : E_FAIL, "effect log: " + err);
    Need(dev.CreateVertexDeclaration(kQuad, 2, &decl), "declaration");
    Need(dev.CreateVertexDeclaration(kTwoStreams, 2, &twoStreams), "two-stream declaration");
    Need(dev.CreateVertexBuffer(sizeof quad, USAGE_WRITEONLY, Pool::Managed, &vb), "vertex buffer");
    Need(dev.CreateVertexBuffer(sizeof quad, USAGE_DYNAMIC | USAGE_WRITEONLY, Pool::Default, &dynamicVb),
         "dynamic vertex buffer");
    Need(dev.CreateIndexBuffer(12, USAGE_WRITEONLY, IndexFormat::Index16, Pool::Managed, &ib), "index buffer");
    Need(dev.CreateTexture(4, 4, 1, USAGE_NONE, Format::A8R8G8B8, Pool::Managed, &managed), "managed texture");
    Need(dev.CreateTexture(kW, kH, 1, USAGE_RENDERTARGET, Format::A8R8G8B8, Pool::Default, &target), "target");
    Need(dev.CreateCubeTexture(4, 1, USAGE_NONE, Format::A8R8G8B8, Pool::Managed, &cube), "cube");
    if (!ok) return;
    target->GetSurfaceLevel(0, &targetSurface);
    managed->GetSurfaceLevel(0, &managedSurface);
    void* p = nullptr;
    Need(vb->Lock(0, 0, &p, 0), "vertex lock");
    if (p) std::memcpy(p, quad, sizeof quad);
    vb->Unlock();
    const std::uint16_t idx[6] = {0, 1, 2, 2, 1, 3};
    Need(ib->Lock(0, 0, &p, 0), "index lock");
    if (p) std::memcpy(p, idx, sizeof idx);
    ib->Unlock();
    Need(fx->SetTexture("g_txSrcColor", managed), "effect texture");

    other->CreateVertexBuffer(sizeof quad, USAGE_NONE, Pool::Managed, &foreignVb);
    other->CreateIndexBuffer(12, USAGE_NONE, IndexFormat::Index16, Pool::Managed, &foreignIb);
    other->CreateVertexDeclaration(kQuad, 2, &foreignDecl);
    other->CreateTexture(kW, kH, 1, USAGE_RENDERTARGET, Format::A8R8G8B8, Pool::Default, &foreignTarget);
    foreignTarget->GetSurfaceLevel(0, &foreignSurface);
  }
  ~Rig() {
    if (begun) fx->End();
  }

  void Need(HRESULT hr, const std::string& what) {
    if (Failed(hr) && ok) {
      ok = false;
      failure = what;
    }
  }
  // Declaration, stream 0 and indices bound.
  void Bind() {
    dev.SetVertexDeclaration(decl);
    dev.SetStreamSource(0, vb, 0, kStride);
    dev.SetIndices(ib);
  }
  // Bound, and the effect's pass in progress.
  void Ready() {
    Bind();
    unsigned passes = 0;
    begun = Succeeded(fx->Begin(&passes, 0));
    if (!begun || Failed(fx->BeginPass(0))) ADD_FAILURE() << "the pass did not begin";
  }

  Device& dev;
  std::unique_ptr<RecordingDevice> other;
  bool ok = true;
  bool begun = false;
  std::string failure;
  float quad[4][6];
  std::shared_ptr<Effect> fx;
  std::shared_ptr<VertexDeclaration> decl, twoStreams, foreignDecl;
  std::shared_ptr<VertexBuffer> vb, dynamicVb, foreignVb;
  std::shared_ptr<IndexBuffer> ib, foreignIb;
  std::shared_ptr<Texture> managed, target, foreignTarget;
  std::shared_ptr<CubeTexture> cube;
  std::shared_ptr<Surface> targetSurface, managedSurface, foreignSurface;
};

struct Case {
  const char* name;
  HRESULT expected;
  HRESULT (*call)(Rig&);
};

constexpr PrimitiveType kStrip = PrimitiveType::TriangleStrip;
constexpr PrimitiveType kList = PrimitiveType::TriangleList;
constexpr HRESULT kBad = ERR_INVALIDCALL;

const Case kCases[] = {
    // ---- draws from a vertex buffer ----
    {"DrawValid", S_OK, [](Rig& r) { r.Ready(); return r.dev.DrawPrimitive(kStrip, 0, 2); }},
    {"DrawWithoutPass", kBad, [](Rig& r) { r.Bind(); return r.dev.DrawPrimitive(kStrip, 0, 2); }},
    {"DrawWithoutDeclaration", kBad,
     [](Rig& r) {
       r.Ready();
       r.dev.SetVertexDeclaration(nullptr);
       return r.dev.DrawPrimitive(kStrip, 0, 2);
     }},
    {"DrawWithoutStream", kBad,
     [](Rig& r) {
       r.Ready();
       r.dev.SetStreamSource(0, nullptr, 0, 0);
       return r.dev.DrawPrimitive(kStrip, 0, 2);
     }},
    {"DrawZeroPrimitives", kBad, [](Rig& r) { r.Ready(); return r.dev.DrawPrimitive(kStrip, 0, 0); }},
    {"DrawPast2To24Primitives", kBad,
     [](Rig& r) { r.Ready(); return r.dev.DrawPrimitive(PrimitiveType::PointList, 0, kMaxPrimitiveCount + 1); }},
    {"DrawUnknownTypeZero", kBad,
     [](Rig& r) { r.Ready(); return r.dev.DrawPrimitive(static_cast<PrimitiveType>(0), 0, 1); }},
    {"DrawUnknownTypeSeven", kBad,
     [](Rig& r) { r.Ready(); return r.dev.DrawPrimitive(static_cast<PrimitiveType>(7), 0, 1); }},
    {"DrawPastTheBufferEnd", kBad, [](Rig& r) { r.Ready(); return r.dev.DrawPrimitive(kStrip, 1, 2); }},
    {"DrawEndingOnTheLastVertex", S_OK, [](Rig& r) { r.Ready(); return r.dev.DrawPrimitive(kStrip, 1, 1); }},
    {"DrawPastTheEndThroughTheOffset", kBad,
     [](Rig& r) {
       r.Ready();
       r.dev.SetStreamSource(0, r.vb, kStride, kStride);
       return r.dev.DrawPrimitive(kStrip, 0, 2);
     }},
    {"DrawStrideShorterThanTheVertex", kBad,
     [](Rig& r) {
       r.Ready();
       r.dev.SetStreamSource(0, r.vb, 0, 16);
       return r.dev.DrawPrimitive(PrimitiveType::PointList, 0, 1);
     }},
    {"DrawFromALockedBuffer", kBad,
     [](Rig& r) {
       r.Ready();
       void* p = nullptr;
       r.vb->Lock(0, 0, &p, LOCK_READONLY);
       const HRESULT hr = r.dev.DrawPrimitive(kStrip, 0, 2);
       r.vb->Unlock();
       return hr;
     }},
    {"DrawSecondStreamUnbound", kBad,
     [](Rig& r) {
       r.Ready();
       r.dev.SetVertexDeclaration(r.twoStreams);
       return r.dev.DrawPrimitive(kStrip, 0, 2);
     }},
    {"DrawSecondStreamBound", S_OK,
     [](Rig& r) {
       r.Ready();
       r.dev.SetVertexDeclaration(r.twoStreams);
       r.dev.SetStreamSource(1, r.vb, 0, 8);
       return r.dev.DrawPrimitive(kStrip, 0, 2);
     }},
    {"DrawIntoATextureTarget", S_OK,
     [](Rig& r) {
       r.dev.SetRenderTarget(0, r.targetSurface);
       r.Ready();
       return r.dev.DrawPrimitive(kStrip, 0, 2);
     }},
    {"DrawAfterThePassEnded", kBad,
     [](Rig& r) {
       r.Ready();
       r.fx->EndPass();
       return r.dev.DrawPrimitive(kStrip, 0, 2);
     }},

    // ---- indexed draws ----
    {"IndexedValid", S_OK, [](Rig& r) { r.Ready(); return r.dev.DrawIndexedPrimitive(kList, 0, 0, 4, 0, 2); }},
    {"IndexedWithoutPass", kBad, [](Rig& r) { r.Bind(); return r.dev.DrawIndexedPrimitive(kList, 0, 0, 4, 0, 2); }},
    {"IndexedWithoutIndices", kBad,
     [](Rig& r) {
       r.Ready();
       r.dev.SetIndices(nullptr);
       return r.dev.DrawIndexedPrimitive(kList, 0, 0, 4, 0, 2);
     }},
    {"IndexedPastTheIndexEnd", kBad,
     [](Rig& r) { r.Ready(); return r.dev.DrawIndexedPrimitive(kList, 0, 0, 4, 1, 2); }},
    {"IndexedFromLockedIndices", kBad,
     [](Rig& r) {
       r.Ready();
       void* p = nullptr;
       r.ib->Lock(0, 0, &p, LOCK_READONLY);
       const HRESULT hr = r.dev.DrawIndexedPrimitive(kList, 0, 0, 4, 0, 2);
       r.ib->Unlock();
       return hr;
     }},
    {"IndexedNoVertices", kBad, [](Rig& r) { r.Ready(); return r.dev.DrawIndexedPrimitive(kList, 0, 0, 0, 0, 2); }},
    {"IndexedVerticesPastTheBuffer", kBad,
     [](Rig& r) { r.Ready(); return r.dev.DrawIndexedPrimitive(kList, 0, 1, 4, 0, 2); }},
    {"IndexedBeforeTheFirstVertex", kBad,
     [](Rig& r) { r.Ready(); return r.dev.DrawIndexedPrimitive(kList, -1, 0, 4, 0, 2); }},
    {"IndexedZeroPrimitives", kBad,
     [](Rig& r) { r.Ready(); return r.dev.DrawIndexedPrimitive(kList, 0, 0, 4, 0, 0); }},

    // ---- draws from user memory ----
    {"UserMemoryValid", S_OK, [](Rig& r) { r.Ready(); return r.dev.DrawPrimitiveUP(kStrip, 2, r.quad, kStride); }},
    {"UserMemoryWithoutPass", kBad,
     [](Rig& r) { r.Bind(); return r.dev.DrawPrimitiveUP(kStrip, 2, r.quad, kStride); }},
    {"UserMemoryNoVertices", kBad, [](Rig& r) { r.Ready(); return r.dev.DrawPrimitiveUP(kStrip, 2, nullptr, kStride); }},
    {"UserMemoryStrideZero", kBad, [](Rig& r) { r.Ready(); return r.dev.DrawPrimitiveUP(kStrip, 2, r.quad, 0); }},
    {"UserMemoryStrideShorterThanTheVertex", kBad,
     [](Rig& r) { r.Ready(); return r.dev.DrawPrimitiveUP(kStrip, 2, r.quad, 16); }},
    {"UserMemoryStrideOverTheMost", kBad,
     [](Rig& r) { r.Ready(); return r.dev.DrawPrimitiveUP(kStrip, 2, r.quad, kMaxStride + 4); }},
    {"UserMemoryZeroPrimitives", kBad, [](Rig& r) { r.Ready(); return r.dev.DrawPrimitiveUP(kStrip, 0, r.quad, kStride); }},
    {"UserMemoryPast2To24Primitives", kBad,
     [](Rig& r) { r.Ready(); return r.dev.DrawPrimitiveUP(kStrip, kMaxPrimitiveCount + 1, r.quad, kStride); }},
    {"UserMemoryTwoStreamDeclaration", kBad,
     [](Rig& r) {
       r.Ready();
       r.dev.SetVertexDeclaration(r.twoStreams);
       return r.dev.DrawPrimitiveUP(kStrip, 2, r.quad, kStride);
     }},
    {"UserMemoryWithoutDeclaration", kBad,
     [](Rig& r) {
       r.Ready();
       r.dev.SetVertexDeclaration(nullptr);
       return r.dev.DrawPrimitiveUP(kStrip, 2, r.quad, kStride);
     }},

    // ---- render targets ----
    {"TargetTextureInSlot0", S_OK, [](Rig& r) { return r.dev.SetRenderTarget(0, r.targetSurface); }},
    {"TargetTextureInSlot2", S_OK, [](Rig& r) { return r.dev.SetRenderTarget(2, r.targetSurface); }},
    {"TargetSlot0Empty", kBad, [](Rig& r) { return r.dev.SetRenderTarget(0, nullptr); }},
    {"TargetSlot1Empty", S_OK, [](Rig& r) { return r.dev.SetRenderTarget(1, nullptr); }},
    {"TargetSlot3", kBad, [](Rig& r) { return r.dev.SetRenderTarget(3, r.targetSurface); }},
    {"TargetSlotNegative", kBad, [](Rig& r) { return r.dev.SetRenderTarget(-1, r.targetSurface); }},
    {"TargetNotARenderTarget", kBad, [](Rig& r) { return r.dev.SetRenderTarget(0, r.managedSurface); }},
    {"TargetBackBufferInSlot0", S_OK, [](Rig& r) { return r.dev.SetRenderTarget(0, r.dev.GetBackBuffer()); }},
    {"TargetBackBufferInSlot1", kBad, [](Rig& r) { return r.dev.SetRenderTarget(1, r.dev.GetBackBuffer()); }},
    {"TargetOfAnotherDevice", kBad, [](Rig& r) { return r.dev.SetRenderTarget(0, r.foreignSurface); }},
    {"TargetBackBufferOfAnotherDevice", kBad,
     [](Rig& r) { return r.dev.SetRenderTarget(0, r.other->GetBackBuffer()); }},
    {"TargetCubeFace", S_OK,
     [](Rig& r) {
       std::shared_ptr<CubeTexture> c;
       std::shared_ptr<Surface> s;
       HRESULT hr = r.dev.CreateCubeTexture(kH, 1, USAGE_RENDERTARGET, Format::A8R8G8B8, Pool::Default, &c);
       if (Succeeded(hr)) hr = c->GetCubeMapSurface(CubeFace::NegativeZ, 0, &s);
       return Failed(hr) ? hr : r.dev.SetRenderTarget(0, s);
     }},
    {"GetTargetEmptySlot", E_FAIL,
     [](Rig& r) {
       std::shared_ptr<Surface> s;
       return r.dev.GetRenderTarget(1, &s);
     }},
    {"GetTargetSlot3", kBad,
     [](Rig& r) {
       std::shared_ptr<Surface> s;
       return r.dev.GetRenderTarget(3, &s);
     }},
    {"GetTargetWithoutOutput", kBad, [](Rig& r) { return r.dev.GetRenderTarget(0, nullptr); }},
    {"GetTargetGivesWhatWasSet", S_OK,
     [](Rig& r) {
       r.dev.SetRenderTarget(1, r.targetSurface);
       std::shared_ptr<Surface> s;
       const HRESULT hr = r.dev.GetRenderTarget(1, &s);
       return Failed(hr) ? hr : s == r.targetSurface ? S_OK : E_FAIL;
     }},

    // ---- stream sources, indices, declarations ----
    {"StreamStrideZero", kBad, [](Rig& r) { return r.dev.SetStreamSource(0, r.vb, 0, 0); }},
    {"StreamStrideOverTheMost", kBad, [](Rig& r) { return r.dev.SetStreamSource(0, r.vb, 0, kMaxStride + 1); }},
    {"StreamStrideTheMost", S_OK, [](Rig& r) { return r.dev.SetStreamSource(0, r.vb, 0, kMaxStride); }},
    {"StreamLast", S_OK, [](Rig& r) { return r.dev.SetStreamSource(kMaxStreams - 1, r.vb, 0, kStride); }},
    {"StreamPastTheLast", kBad, [](Rig& r) { return r.dev.SetStreamSource(kMaxStreams, r.vb, 0, kStride); }},
    {"StreamNegative", kBad, [](Rig& r) { return r.dev.SetStreamSource(-1, r.vb, 0, kStride); }},
    {"StreamOffsetAtTheEnd", kBad, [](Rig& r) { return r.dev.SetStreamSource(0, r.vb, sizeof r.quad, kStride); }},
    {"StreamUnbind", S_OK, [](Rig& r) { return r.dev.SetStreamSource(0, nullptr, 0, 0); }},
    {"StreamOfAnotherDevice", kBad, [](Rig& r) { return r.dev.SetStreamSource(0, r.foreignVb, 0, kStride); }},
    {"StreamLockedBufferBinds", S_OK,
     [](Rig& r) {
       void* p = nullptr;
       r.vb->Lock(0, 0, &p, LOCK_READONLY);
       const HRESULT hr = r.dev.SetStreamSource(0, r.vb, 0, kStride);
       r.vb->Unlock();
       return hr;
     }},
    {"IndicesOfAnotherDevice", kBad, [](Rig& r) { return r.dev.SetIndices(r.foreignIb); }},
    {"IndicesUnbind", S_OK, [](Rig& r) { return r.dev.SetIndices(nullptr); }},
    {"DeclarationOfAnotherDevice", kBad, [](Rig& r) { return r.dev.SetVertexDeclaration(r.foreignDecl); }},
    {"DeclarationUnbind", S_OK, [](Rig& r) { return r.dev.SetVertexDeclaration(nullptr); }},

    // ---- render states ----
    {"StateUnknown", kBad, [](Rig& r) { return r.dev.SetRenderState(static_cast<RenderState>(1), 0); }},
    {"StateCullZero", kBad, [](Rig& r) { return r.dev.SetRenderState(RenderState::CullMode, 0); }},
    {"StateCullFour", kBad, [](Rig& r) { return r.dev.SetRenderState(RenderState::CullMode, 4); }},
    {"StateCullNone", S_OK, [](Rig& r) { return r.dev.SetRenderState(RenderState::CullMode, CULL_NONE); }},
    {"StateBooleanTwo", kBad, [](Rig& r) { return r.dev.SetRenderState(RenderState::ZEnable, 2); }},
    {"StateBooleanOne", S_OK, [](Rig& r) { return r.dev.SetRenderState(RenderState::Lighting, 1); }},
    {"StateFillPoint", S_OK, [](Rig& r) { return r.dev.SetRenderState(RenderState::FillMode, FILL_POINT); }},
    {"StateFillFour", kBad, [](Rig& r) { return r.dev.SetRenderState(RenderState::FillMode, 4); }},
    {"StateShadeZero", kBad, [](Rig& r) { return r.dev.SetRenderState(RenderState::ShadeMode, 0); }},
    {"StateBlendLast", S_OK, [](Rig& r) { return r.dev.SetRenderState(RenderState::DestBlend, BLEND_SRCALPHASAT); }},
    {"StateBlendPastTheLast", kBad, [](Rig& r) { return r.dev.SetRenderState(RenderState::SrcBlend, 12); }},
    {"StateBlendOpSix", kBad, [](Rig& r) { return r.dev.SetRenderState(RenderState::BlendOp, 6); }},
    {"StateCompareNine", kBad, [](Rig& r) { return r.dev.SetRenderState(RenderState::ZFunc, 9); }},
    {"StateAlphaRef255", S_OK, [](Rig& r) { return r.dev.SetRenderState(RenderState::AlphaRef, 255); }},
    {"StateAlphaRef256", kBad, [](Rig& r) { return r.dev.SetRenderState(RenderState::AlphaRef, 256); }},
    {"StateColorWriteExtraBit", kBad, [](Rig& r) { return r.dev.SetRenderState(RenderState::ColorWriteEnable, 0x10); }},
    {"StatePointSizeFour", S_OK, [](Rig& r) { return r.dev.SetRenderState(RenderState::PointSize, FloatBits(4.0f)); }},
    {"StatePointSizeNegative", kBad,
     [](Rig& r) { return r.dev.SetRenderState(RenderState::PointSize, FloatBits(-1.0f)); }},
    {"StatePointSizeNaN", kBad,
     [](Rig& r) {
       return r.dev.SetRenderState(RenderState::PointSize, FloatBits(std::numeric_limits<float>::quiet_NaN()));
     }},
    {"StateRefusedKeepsTheOldValue", S_OK,
     [](Rig& r) {
       r.dev.SetRenderState(RenderState::CullMode, 7);
       return r.dev.GetRenderState(RenderState::CullMode) == CULL_CCW ? S_OK : E_FAIL;
     }},

    // ---- clear ----
    {"ClearValid", S_OK, [](Rig& r) { return r.dev.Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0, 1.0f, 0); }},
    {"ClearStencil", S_OK, [](Rig& r) { return r.dev.Clear(CLEAR_STENCIL, 0, 0.0f, 7); }},
    {"ClearNoFlags", kBad, [](Rig& r) { return r.dev.Clear(0, 0, 1.0f, 0); }},
    {"ClearUnknownFlag", kBad, [](Rig& r) { return r.dev.Clear(CLEAR_TARGET | 8, 0, 1.0f, 0); }},
    {"ClearDepthAboveOne", kBad, [](Rig& r) { return r.dev.Clear(CLEAR_ZBUFFER, 0, 1.5f, 0); }},
    {"ClearDepthBelowZero", kBad, [](Rig& r) { return r.dev.Clear(CLEAR_ZBUFFER, 0, -0.5f, 0); }},
    {"ClearDepthNaN", kBad,
     [](Rig& r) { return r.dev.Clear(CLEAR_ZBUFFER, 0, std::numeric_limits<float>::quiet_NaN(), 0); }},
    {"ClearColourIgnoresTheDepth", S_OK, [](Rig& r) { return r.dev.Clear(CLEAR_TARGET, 0, 2.0f, 0); }},

    // ---- scenes and reset ----
    {"SceneBeginTwice", kBad,
     [](Rig& r) {
       r.dev.BeginScene();
       return r.dev.BeginScene();
     }},
    {"SceneEndWithoutBegin", kBad, [](Rig& r) { return r.dev.EndScene(); }},
    {"SceneEndTwice", kBad,
     [](Rig& r) {
       r.dev.BeginScene();
       r.dev.EndScene();
       return r.dev.EndScene();
     }},
    {"SceneAgainAfterEnd", S_OK,
     [](Rig& r) {
       r.dev.BeginScene();
       r.dev.EndScene();
       return r.dev.BeginScene();
     }},
    {"DrawInsideAScene", S_OK,
     [](Rig& r) {
       r.dev.BeginScene();
       r.Ready();
       return r.dev.DrawPrimitiveUP(kStrip, 2, r.quad, kStride);
     }},
    {"ResetValid", S_OK, [](Rig& r) { return r.dev.Reset(kW * 2, kH * 2); }},
    {"ResetInsideAScene", kBad,
     [](Rig& r) {
       r.dev.BeginScene();
       return r.dev.Reset(kW * 2, kH * 2);
     }},
    {"ResetZeroWidth", kBad, [](Rig& r) { return r.dev.Reset(0, kH); }},
    {"ResetLargerThanAnyTexture", kBad, [](Rig& r) { return r.dev.Reset(1 << 20, kH); }},
    {"ResetKeepsOnlyTheBackBuffer", E_FAIL,
     [](Rig& r) {
       r.dev.SetRenderTarget(0, r.targetSurface);
       r.dev.SetRenderTarget(1, r.targetSurface);
       r.dev.Reset(kW, kH);
       std::shared_ptr<Surface> s0, s1;
       if (r.dev.GetRenderTarget(0, &s0) != S_OK || s0 != r.dev.GetBackBuffer()) return S_FALSE;
       return r.dev.GetRenderTarget(1, &s1);
     }},

    // ---- creation ----
    {"TextureValid", S_OK,
     [](Rig& r) {
       std::shared_ptr<Texture> t;
       return r.dev.CreateTexture(8, 8, 0, USAGE_NONE, Format::L8, Pool::Managed, &t);
     }},
    {"TextureWithoutOutput", E_INVALIDARG,
     [](Rig& r) { return r.dev.CreateTexture(8, 8, 1, USAGE_NONE, Format::A8R8G8B8, Pool::Managed, nullptr); }},
    {"TextureZeroWidth", kBad,
     [](Rig& r) {
       std::shared_ptr<Texture> t;
       return r.dev.CreateTexture(0, 8, 1, USAGE_NONE, Format::A8R8G8B8, Pool::Managed, &t);
     }},
    {"TextureLargerThanAnyDevice", kBad,
     [](Rig& r) {
       std::shared_ptr<Texture> t;
       return r.dev.CreateTexture(1 << 20, 8, 1, USAGE_NONE, Format::A8R8G8B8, Pool::Managed, &t);
     }},
    {"TextureSeventeenLevels", kBad,
     [](Rig& r) {
       std::shared_ptr<Texture> t;
       return r.dev.CreateTexture(8, 8, 17, USAGE_NONE, Format::A8R8G8B8, Pool::Managed, &t);
     }},
    {"TextureUnknownFormat", kBad,
     [](Rig& r) {
       std::shared_ptr<Texture> t;
       return r.dev.CreateTexture(8, 8, 1, USAGE_NONE, Format::Unknown, Pool::Managed, &t);
     }},
    {"TextureFormatOutOfTheList", kBad,
     [](Rig& r) {
       std::shared_ptr<Texture> t;
       return r.dev.CreateTexture(8, 8, 1, USAGE_NONE, static_cast<Format>(99), Pool::Managed, &t);
     }},
    {"TextureDepthFormat", kBad,
     [](Rig& r) {
       std::shared_ptr<Texture> t;
       return r.dev.CreateTexture(8, 8, 1, USAGE_NONE, Format::D24S8, Pool::Managed, &t);
     }},
    {"TextureTargetInTheManagedPool", kBad,
     [](Rig& r) {
       std::shared_ptr<Texture> t;
       return r.dev.CreateTexture(8, 8, 1, USAGE_RENDERTARGET, Format::A8R8G8B8, Pool::Managed, &t);
     }},
    {"TextureTargetOfALuminanceFormat", kBad,
     [](Rig& r) {
       std::shared_ptr<Texture> t;
       return r.dev.CreateTexture(8, 8, 1, USAGE_RENDERTARGET, Format::L8, Pool::Default, &t);
     }},
    {"TextureFloatTarget", S_OK,
     [](Rig& r) {
       std::shared_ptr<Texture> t;
       return r.dev.CreateTexture(8, 8, 1, USAGE_RENDERTARGET, Format::A16B16G16R16F, Pool::Default, &t);
     }},
    {"TextureUnknownUsageBit", kBad,
     [](Rig& r) {
       std::shared_ptr<Texture> t;
       return r.dev.CreateTexture(8, 8, 1, 0x4, Format::A8R8G8B8, Pool::Managed, &t);
     }},
    {"TextureUnknownPool", kBad,
     [](Rig& r) {
       std::shared_ptr<Texture> t;
       return r.dev.CreateTexture(8, 8, 1, USAGE_NONE, Format::A8R8G8B8, static_cast<Pool>(7), &t);
     }},
    {"CubeZeroEdge", kBad,
     [](Rig& r) {
       std::shared_ptr<CubeTexture> c;
       return r.dev.CreateCubeTexture(0, 1, USAGE_NONE, Format::A8R8G8B8, Pool::Managed, &c);
     }},
    {"CubeWithoutOutput", E_INVALIDARG,
     [](Rig& r) { return r.dev.CreateCubeTexture(4, 1, USAGE_NONE, Format::A8R8G8B8, Pool::Managed, nullptr); }},
    {"VertexBufferEmpty", kBad,
     [](Rig& r) {
       std::shared_ptr<VertexBuffer> b;
       return r.dev.CreateVertexBuffer(0, USAGE_NONE, Pool::Managed, &b);
     }},
    {"VertexBufferOver256MiB", kBad,
     [](Rig& r) {
       std::shared_ptr<VertexBuffer> b;
       return r.dev.CreateVertexBuffer((std::size_t{256} << 20) + 1, USAGE_NONE, Pool::Managed, &b);
     }},
    {"VertexBufferAsRenderTarget", kBad,
     [](Rig& r) {
       std::shared_ptr<VertexBuffer> b;
       return r.dev.CreateVertexBuffer(64, USAGE_RENDERTARGET, Pool::Default, &b);
     }},
    {"VertexBufferWithoutOutput", E_INVALIDARG,
     [](Rig& r) { return r.dev.CreateVertexBuffer(64, USAGE_NONE, Pool::Managed, nullptr); }},
    {"IndexBufferOfEightBitIndices", kBad,
     [](Rig& r) {
       std::shared_ptr<IndexBuffer> b;
       return r.dev.CreateIndexBuffer(64, USAGE_NONE, static_cast<IndexFormat>(8), Pool::Managed, &b);
     }},
    {"IndexBufferValid", S_OK,
     [](Rig& r) {
       std::shared_ptr<IndexBuffer> b;
       return r.dev.CreateIndexBuffer(64, USAGE_DYNAMIC, IndexFormat::Index32, Pool::Default, &b);
     }},
    {"DeclarationWithoutElements", kBad,
     [](Rig& r) {
       std::shared_ptr<VertexDeclaration> d;
       return r.dev.CreateVertexDeclaration(kQuad, 0, &d);
     }},
    {"DeclarationNullElements", kBad,
     [](Rig& r) {
       std::shared_ptr<VertexDeclaration> d;
       return r.dev.CreateVertexDeclaration(nullptr, 2, &d);
     }},
    {"DeclarationStream16", kBad,
     [](Rig& r) {
       const VertexElement e[] = {{16, 0, VertexType::Float3, VertexUsage::Position, 0}};
       std::shared_ptr<VertexDeclaration> d;
       return r.dev.CreateVertexDeclaration(e, 1, &d);
     }},
    {"DeclarationUnusedType", kBad,
     [](Rig& r) {
       const VertexElement e[] = {{0, 0, VertexType::Unused, VertexUsage::Position, 0}};
       std::shared_ptr<VertexDeclaration> d;
       return r.dev.CreateVertexDeclaration(e, 1, &d);
     }},
    {"DeclarationUsageTwice", kBad,
     [](Rig& r) {
       const VertexElement e[] = {{0, 0, VertexType::Float3, VertexUsage::Position, 0},
                                  {0, 12, VertexType::Float3, VertexUsage::Position, 0}};
       std::shared_ptr<VertexDeclaration> d;
       return r.dev.CreateVertexDeclaration(e, 2, &d);
     }},
    {"DeclarationOffset256", kBad,
     [](Rig& r) {
       const VertexElement e[] = {{0, 256, VertexType::Float3, VertexUsage::Position, 0}};
       std::shared_ptr<VertexDeclaration> d;
       return r.dev.CreateVertexDeclaration(e, 1, &d);
     }},
    {"DeclarationNinthTexCoord", kBad,
     [](Rig& r) {
       const VertexElement e[] = {{0, 0, VertexType::Float2, VertexUsage::TexCoord, 8}};
       std::shared_ptr<VertexDeclaration> d;
       return r.dev.CreateVertexDeclaration(e, 1, &d);
     }},
    {"DeclarationWithoutOutput", E_INVALIDARG, [](Rig& r) { return r.dev.CreateVertexDeclaration(kQuad, 2, nullptr); }},

    // ---- buffer locks ----
    {"LockWhole", S_OK,
     [](Rig& r) {
       void* p = nullptr;
       return r.vb->Lock(0, 0, &p, 0);
     }},
    {"LockTheLastByte", S_OK,
     [](Rig& r) {
       void* p = nullptr;
       return r.vb->Lock(sizeof r.quad - 1, 1, &p, 0);
     }},
    {"LockPastTheEnd", kBad,
     [](Rig& r) {
       void* p = nullptr;
       return r.vb->Lock(8, sizeof r.quad, &p, 0);
     }},
    {"LockAtTheEnd", kBad,
     [](Rig& r) {
       void* p = nullptr;
       return r.vb->Lock(sizeof r.quad, 0, &p, 0);
     }},
    {"LockTwice", kBad,
     [](Rig& r) {
       void* p = nullptr;
       r.ib->Lock(0, 0, &p, 0);
       return r.ib->Lock(0, 0, &p, 0);
     }},
    {"LockWithoutOutput", kBad, [](Rig& r) { return r.vb->Lock(0, 0, nullptr, 0); }},
    {"UnlockUnlocked", kBad, [](Rig& r) { return r.vb->Unlock(); }},
    {"LockDiscardStatic", kBad,
     [](Rig& r) {
       void* p = nullptr;
       return r.vb->Lock(0, 0, &p, LOCK_DISCARD);
     }},
    {"LockDiscardDynamic", S_OK,
     [](Rig& r) {
       void* p = nullptr;
       return r.dynamicVb->Lock(0, 0, &p, LOCK_DISCARD);
     }},
    {"LockNoOverwriteDynamic", S_OK,
     [](Rig& r) {
       void* p = nullptr;
       return r.dynamicVb->Lock(24, 24, &p, LOCK_NOOVERWRITE);
     }},
    {"LockReadOnlyDiscard", kBad,
     [](Rig& r) {
       void* p = nullptr;
       return r.dynamicVb->Lock(0, 0, &p, LOCK_DISCARD | LOCK_READONLY);
     }},
    {"LockDiscardNoOverwrite", kBad,
     [](Rig& r) {
       void* p = nullptr;
       return r.dynamicVb->Lock(0, 0, &p, LOCK_DISCARD | LOCK_NOOVERWRITE);
     }},
    {"LockUnknownFlag", kBad,
     [](Rig& r) {
       void* p = nullptr;
       return r.vb->Lock(0, 0, &p, 0x1);
     }},

    // ---- texture locks ----
    {"TextureLock", S_OK,
     [](Rig& r) {
       LockedRect lr;
       return r.managed->LockRect(0, &lr, 0);
     }},
    {"TextureLockRenderTarget", kBad,
     [](Rig& r) {
       LockedRect lr;
       return r.target->LockRect(0, &lr, 0);
     }},
    {"TextureLockLevelOutOfRange", kBad,
     [](Rig& r) {
       LockedRect lr;
       return r.managed->LockRect(1, &lr, 0);
     }},
    {"TextureLockTwice", kBad,
     [](Rig& r) {
       LockedRect lr;
       r.managed->LockRect(0, &lr, 0);
       return r.managed->LockRect(0, &lr, LOCK_READONLY);
     }},
    {"TextureLockWithoutOutput", kBad, [](Rig& r) { return r.managed->LockRect(0, nullptr, 0); }},
    {"TextureLockDiscardStatic", kBad,
     [](Rig& r) {
       LockedRect lr;
       return r.managed->LockRect(0, &lr, LOCK_DISCARD);
     }},
    {"TextureLockNoOverwrite", kBad,
     [](Rig& r) {
       LockedRect lr;
       return r.managed->LockRect(0, &lr, LOCK_NOOVERWRITE);
     }},
    {"TextureUnlockUnlocked", kBad, [](Rig& r) { return r.managed->UnlockRect(0); }},
    {"TextureUnlockAfterLock", S_OK,
     [](Rig& r) {
       LockedRect lr;
       r.managed->LockRect(0, &lr, 0);
       return r.managed->UnlockRect(0);
     }},
    {"CubeLockTwoFaces", S_OK,
     [](Rig& r) {
       LockedRect a, b;
       r.cube->LockRect(CubeFace::PositiveX, 0, &a, 0);
       return r.cube->LockRect(CubeFace::NegativeZ, 0, &b, 0);
     }},
    {"CubeLockSeventhFace", kBad,
     [](Rig& r) {
       LockedRect lr;
       return r.cube->LockRect(static_cast<CubeFace>(6), 0, &lr, 0);
     }},
    {"CubeUnlockOtherFace", kBad,
     [](Rig& r) {
       LockedRect lr;
       r.cube->LockRect(CubeFace::PositiveY, 0, &lr, 0);
       return r.cube->UnlockRect(CubeFace::NegativeY, 0);
     }},

    // ---- effects ----
    {"EffectWithoutOutput", E_INVALIDARG, [](Rig& r) { return r.dev.CreateEffectFromMemory(kFx, "x.fxo", nullptr); }},
    {"EffectThatDoesNotParse", E_FAIL,
     [](Rig& r) {
       std::shared_ptr<Effect> e;
       return r.dev.CreateEffectFromMemory("[[technique]\nname = ", "bad.fxo", &e);
     }},
    {"EffectTextureOfAnotherDevice", E_INVALIDARG,
     [](Rig& r) { return r.fx->SetTexture("g_txSrcColor", r.foreignTarget); }},
    {"EffectTextureOfThisDevice", S_OK, [](Rig& r) { return r.fx->SetTexture("g_txSrcColor", r.target); }},

    // ---- read back ----
    {"ReadWithoutOutput", kBad, [](Rig& r) { return r.dev.ReadSurfaceRGBA8(nullptr, nullptr); }},
    {"ReadFloatWithoutOutput", kBad, [](Rig& r) { return r.dev.ReadSurfaceFloat(r.targetSurface.get(), nullptr); }},
    {"ReadSurfaceOfAnotherDevice", kBad,
     [](Rig& r) {
       std::vector<std::uint8_t> px;
       return r.dev.ReadSurfaceRGBA8(r.foreignSurface.get(), &px);
     }},
};

std::string CodeName(HRESULT hr) {
  switch (hr) {
    case S_OK: return "S_OK";
    case S_FALSE: return "S_FALSE";
    case E_FAIL: return "E_FAIL";
    case E_INVALIDARG: return "E_INVALIDARG";
    case E_NOTIMPL: return "E_NOTIMPL";
    case ERR_INVALIDCALL: return "ERR_INVALIDCALL";
  }
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
  return buf;
}

HRESULT RunCase(Device& dev, const Case& c, std::string* setupFailure) {
  Rig rig(dev);
  if (!rig.ok) {
    *setupFailure = rig.failure;
    return E_FAIL;
  }
  return c.call(rig);
}

// One context for the table (a fresh device per case): making a context
// costs more than most cases.
class DeviceParity : public ::testing::TestWithParam<Case> {
 protected:
  static void SetUpTestSuite() { ctx_ = mvtest::GLTestContext::Create(&why_); }
  static void TearDownTestSuite() { ctx_.reset(); }
  static std::unique_ptr<mvtest::GLTestContext> ctx_;
  static std::string why_;
};
std::unique_ptr<mvtest::GLTestContext> DeviceParity::ctx_;
std::string DeviceParity::why_;

TEST_P(DeviceParity, BothBackendsGiveTheTablesCode) {
  const Case& c = GetParam();
  std::string setup;
  auto rec = CreateRecordingDevice(kW, kH);
  const HRESULT recorded = RunCase(*rec, c, &setup);
  ASSERT_TRUE(setup.empty()) << "recording set-up: " << setup;
  EXPECT_EQ(CodeName(recorded), CodeName(c.expected)) << "recording device";

  if (!ctx_) GTEST_SKIP() << "GL half skipped, no headless GL: " << why_;
  HRESULT drawn = E_FAIL;
  {
    auto gl = CreateGLDevice(GLDeviceDesc{kW, kH, 0});
    ASSERT_TRUE(gl);
    drawn = RunCase(*gl, c, &setup);
  }
  ASSERT_TRUE(setup.empty()) << "GL set-up: " << setup;
  EXPECT_EQ(CodeName(drawn), CodeName(recorded)) << "the backends disagree";
  EXPECT_EQ(CodeName(drawn), CodeName(c.expected)) << "GL device";
}

INSTANTIATE_TEST_SUITE_P(Table, DeviceParity, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace gfx
