#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include <glm/glm.hpp>

#include "gfx/Effect.h"
#include "gfx/Mesh.h"
#include "gfx/RecordingDevice.h"

namespace gfx {
namespace {

const char* const kFx = R"(
[[parameter]]
name = "g_fA"
type = "float"
default = 1.5

[[parameter]]
name = "g_vB"
type = "float4"

[[parameter]]
name = "g_mW"
type = "float4x4"

[[parameter]]
name = "g_iN"
type = "int"

[[parameter]]
name = "g_bOn"
type = "bool"

[[parameter]]
name = "g_vK"
type = "float2"
elements = 2
default = [2, 1, 4, 3]
annotations = { ConvertPixelsToTexels = "g_vK" }

[[parameter]]
name = "g_txScene"
type = "texture"

[[parameter]]
name = "g_txEnv"
type = "cube"

[[parameter]]
name = "g_sLabel"
type = "string"

[[technique]]
name = "First"
annotations = { nRenderTarget = 1, Parameter0 = "g_vB", Parameter0Def = [1, 2, 3, 4], fHalf = 0.5 }

[[technique.pass]]
annotations = { fScaleX = 0.25 }
states = { ZEnable = false, AlphaBlendEnable = true }
vertex = "@quad"
fragment = "@copy"

[[technique]]
name = "Second"

[[technique.pass]]
vertex = "@quad"
fragment = "@copy"

[[technique.pass]]
vertex = "@quad"
fragment = "@copy"

[[technique]]
name = "NoShaders"

[[technique.pass]]
vertex = "@quad"
)";

// Whether a handle of type H can be given to a setter.
template <class H>
constexpr bool kSettable = requires(Effect& e, H h) { e.SetFloat(h, 1.0f); };

class RecordingFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    dev = CreateRecordingDevice(640, 360);
    std::string err;
    ASSERT_EQ(dev->CreateEffectFromMemory(kFx, "test.fxo", &fx, &err), S_OK) << err;
  }
  std::unique_ptr<RecordingDevice> dev;
  std::shared_ptr<Effect> fx;
};

TEST_F(RecordingFixture, MissingNamesGiveEmptyHandlesAndFailedSets) {
  ParameterHandle h = fx->GetParameterByName("g_nothing");
  EXPECT_FALSE(h);
  EXPECT_TRUE(Failed(fx->SetFloat(h, 1.0f)));
  EXPECT_TRUE(Failed(fx->SetVector("g_nothing", glm::vec4(1.0f))));
  EXPECT_TRUE(Failed(fx->SetTexture("g_nothing", nullptr)));
  EXPECT_FALSE(fx->GetTechniqueByName("Nope"));
  EXPECT_FALSE(fx->GetAnnotationByName(fx->GetTechniqueByName("First"), "Parameter1"));
  EXPECT_FALSE(fx->GetAnnotationByName(AnnotatedHandle{}, "x"));
  EXPECT_FALSE(fx->GetPass(fx->GetTechniqueByName("First"), 1));
  EXPECT_TRUE(Failed(fx->SetTechnique(TechniqueHandle{})));
  // Nothing reached the record.
  EXPECT_TRUE(dev->Find(RecordedEvent::Kind::SetParameter).empty());
}

TEST_F(RecordingFixture, HandlesOfAnotherEffectAreRefused) {
  std::shared_ptr<Effect> other;
  ASSERT_EQ(dev->CreateEffectFromMemory(kFx, "other.fxo", &other, nullptr), S_OK);
  ParameterHandle mine = fx->GetParameterByName("g_fA");
  EXPECT_TRUE(Failed(other->SetFloat(mine, 3.0f)));
  float v = 0;
  ASSERT_EQ(other->GetFloat(other->GetParameterByName("g_fA"), &v), S_OK);
  EXPECT_EQ(v, 1.5f);
}

TEST_F(RecordingFixture, ValuesConvertAndRoundTrip) {
  float f = 0;
  ASSERT_EQ(fx->GetFloat(fx->GetParameterByName("g_fA"), &f), S_OK);
  EXPECT_EQ(f, 1.5f);
  ASSERT_EQ(fx->SetInt("g_fA", 3), S_OK);
  ASSERT_EQ(fx->GetFloat(fx->GetParameterByName("g_fA"), &f), S_OK);
  EXPECT_EQ(f, 3.0f);
  ASSERT_EQ(fx->SetFloat("g_iN", 7.9f), S_OK);
  int n = 0;
  ASSERT_EQ(fx->GetInt(fx->GetParameterByName("g_iN"), &n), S_OK);
  EXPECT_EQ(n, 7);
  ASSERT_EQ(fx->SetFloat("g_bOn", 2.0f), S_OK);
  bool b = false;
  ASSERT_EQ(fx->GetBool(fx->GetParameterByName("g_bOn"), &b), S_OK);
  EXPECT_TRUE(b);

  glm::mat4 m(0.0f);
  for (int i = 0; i < 16; ++i) (&m[0][0])[i] = static_cast<float>(i);
  ASSERT_EQ(fx->SetMatrix("g_mW", m), S_OK);
  glm::mat4 back(1.0f);
  ASSERT_EQ(fx->GetMatrix(fx->GetParameterByName("g_mW"), &back), S_OK);
  EXPECT_EQ(back, m);
  EXPECT_TRUE(Failed(fx->SetMatrix("g_vB", m)));  // a single float4 holds no matrix

  // A float2 array reads as float4 elements (x, y, 0, 0): the pixel-to-texel
  // conversion reads it that way.
  ParameterDesc pd;
  ASSERT_EQ(fx->GetParameterDesc(fx->GetParameterByName("g_vK"), &pd), S_OK);
  EXPECT_EQ(pd.bytes / 8, 2u);
  glm::vec4 k[2];
  ASSERT_EQ(fx->GetVectorArray(fx->GetParameterByName("g_vK"), k, 2), S_OK);
  EXPECT_EQ(k[0], glm::vec4(2, 1, 0, 0));
  EXPECT_EQ(k[1], glm::vec4(4, 3, 0, 0));
  k[0] = glm::vec4(2.0f / 1920, 1.0f / 1080, 9, 9);
  ASSERT_EQ(fx->SetVectorArray(fx->GetParameterByName("g_vK"), k, 2), S_OK);
  glm::vec4 k2[2];
  ASSERT_EQ(fx->GetVectorArray(fx->GetParameterByName("g_vK"), k2, 2), S_OK);
  EXPECT_EQ(k2[0], glm::vec4(2.0f / 1920, 1.0f / 1080, 0, 0));

  ASSERT_EQ(fx->SetString(fx->GetParameterByName("g_sLabel"), "abc"), S_OK);
  const char* s = nullptr;
  ASSERT_EQ(fx->GetString(fx->GetParameterByName("g_sLabel"), &s), S_OK);
  EXPECT_STREQ(s, "abc");
}

TEST_F(RecordingFixture, TexturesMustMatchTheParameterKind) {
  std::shared_ptr<Texture> t;
  std::shared_ptr<CubeTexture> c;
  ASSERT_EQ(dev->CreateTexture(4, 4, 1, 0, Format::A8R8G8B8, Pool::Managed, &t), S_OK);
  ASSERT_EQ(dev->CreateCubeTexture(4, 1, 0, Format::A8R8G8B8, Pool::Managed, &c), S_OK);
  EXPECT_EQ(fx->SetTexture("g_txScene", t), S_OK);
  EXPECT_EQ(fx->SetTexture("g_txEnv", c), S_OK);
  EXPECT_TRUE(Failed(fx->SetTexture("g_txScene", c)));
  EXPECT_TRUE(Failed(fx->SetTexture("g_txEnv", t)));
  std::shared_ptr<BaseTexture> got;
  ASSERT_EQ(fx->GetTexture(fx->GetParameterByName("g_txScene"), &got), S_OK);
  EXPECT_EQ(got, t);
  EXPECT_TRUE(Failed(fx->SetFloat("g_txScene", 1.0f)));
}

TEST_F(RecordingFixture, AnnotationsReadWithConversions) {
  TechniqueHandle t = fx->GetTechniqueByName("First");
  int rt = 0;
  ASSERT_EQ(fx->GetInt(fx->GetAnnotationByName(t, "nRenderTarget"), &rt), S_OK);
  EXPECT_EQ(rt, 1);
  const char* name = nullptr;
  ASSERT_EQ(fx->GetString(fx->GetAnnotationByName(t, "Parameter0"), &name), S_OK);
  EXPECT_STREQ(name, "g_vB");
  glm::vec4 def;
  ASSERT_EQ(fx->GetVector(fx->GetAnnotationByName(t, "Parameter0Def"), &def), S_OK);
  EXPECT_EQ(def, glm::vec4(1, 2, 3, 4));
  float half = 0;
  ASSERT_EQ(fx->GetFloat(fx->GetAnnotationByName(t, "fHalf"), &half), S_OK);
  EXPECT_EQ(half, 0.5f);
  float scale = 0;
  ASSERT_EQ(fx->GetFloat(fx->GetAnnotationByName(fx->GetPass(t, 0), "fScaleX"), &scale), S_OK);
  EXPECT_EQ(scale, 0.25f);
  EXPECT_FALSE(fx->GetAnnotationByName(fx->GetPass(t, 0), "fScaleY"));
  // A string annotation is not a number, and the reverse.
  EXPECT_TRUE(Failed(fx->GetInt(fx->GetAnnotationByName(t, "Parameter0"), &rt)));
  EXPECT_TRUE(Failed(fx->GetString(fx->GetAnnotationByName(t, "nRenderTarget"), &name)));
  // Parameter annotations, and annotations are not settable parameters.
  AnnotationHandle conv = fx->GetAnnotationByName(fx->GetParameterByName("g_vK"), "ConvertPixelsToTexels");
  ASSERT_EQ(fx->GetString(conv, &name), S_OK);
  EXPECT_STREQ(name, "g_vK");
  static_assert(!kSettable<AnnotationHandle>);
  TechniqueDesc td;
  ASSERT_EQ(fx->GetTechniqueDesc(fx->GetTechniqueByName("Second"), &td), S_OK);
  EXPECT_EQ(td.passes, 2);
}

TEST_F(RecordingFixture, FirstValidTechniqueSkipsInvalidOnes) {
  EXPECT_FALSE(fx->IsTechniqueValid(fx->GetTechniqueByName("NoShaders")));
  EXPECT_EQ(fx->FirstValidTechnique(), fx->GetTechniqueByName("First"));
  dev->GetSettings().invalidTechniques = {"First"};
  EXPECT_EQ(fx->FirstValidTechnique(), fx->GetTechniqueByName("Second"));
  TechniqueHandle next;
  EXPECT_TRUE(Failed(fx->FindNextValidTechnique(fx->GetTechniqueByName("Second"), &next)));
  EXPECT_FALSE(next);
  dev->GetSettings().invalidTechniques = {"First", "Second"};
  EXPECT_FALSE(fx->FirstValidTechnique());
  // An invalid technique can be chosen but draws nothing.
  ASSERT_EQ(fx->SetTechnique(fx->GetTechniqueByName("NoShaders")), S_OK);
  unsigned passes = 0;
  ASSERT_EQ(fx->Begin(&passes, 0), S_OK);
  EXPECT_TRUE(Failed(fx->BeginPass(0)));
  fx->End();
}

TEST_F(RecordingFixture, RecordsParametersTechniquesPassesAndDraws) {
  ASSERT_EQ(fx->SetTechnique(fx->GetTechniqueByName("Second")), S_OK);
  ASSERT_EQ(fx->SetVector("g_vB", glm::vec4(1, 2, 3, 4)), S_OK);
  unsigned passes = 0;
  ASSERT_EQ(fx->Begin(&passes, 0), S_OK);
  ASSERT_EQ(passes, 2u);
  struct V {
    float x, y, z, w, u, v;
  } quad[4] = {{-0.5f, -0.5f, 0, 1, 0, 0}, {9.5f, -0.5f, 0, 1, 1, 0}, {-0.5f, 9.5f, 0, 1, 0, 1}, {9.5f, 9.5f, 0, 1, 1, 1}};
  const VertexElement el[] = {{0, 0, VertexType::Float4, VertexUsage::PositionT, 0},
                              {0, 16, VertexType::Float2, VertexUsage::TexCoord, 0}};
  std::shared_ptr<VertexDeclaration> decl;
  ASSERT_EQ(dev->CreateVertexDeclaration(el, 2, &decl), S_OK);
  EXPECT_EQ(decl->GetVertexSize(0), 24u);
  EXPECT_TRUE(decl->IsPreTransformed());
  dev->SetVertexDeclaration(decl);
  // Without a pass in progress nothing is drawn.
  EXPECT_TRUE(Failed(dev->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, quad, sizeof(V))));
  for (unsigned p = 0; p < passes; ++p) {
    ASSERT_EQ(fx->BeginPass(p), S_OK);
    ASSERT_EQ(fx->SetFloat("g_fA", 0.25f * static_cast<float>(p)), S_OK);
    ASSERT_EQ(fx->CommitChanges(), S_OK);
    ASSERT_EQ(dev->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, quad, sizeof(V)), S_OK);
    ASSERT_EQ(fx->EndPass(), S_OK);
  }
  ASSERT_EQ(fx->End(), S_OK);

  auto tech = dev->Find(RecordedEvent::Kind::SetTechnique);
  ASSERT_EQ(tech.size(), 1u);
  EXPECT_EQ(tech[0]->technique, "Second");
  const RecordedEvent* b = dev->LastParameter("g_vB");
  ASSERT_TRUE(b);
  EXPECT_EQ(b->values, (std::vector<float>{1, 2, 3, 4}));
  EXPECT_EQ(b->effect, "test.fxo");
  EXPECT_EQ(dev->LastParameter("g_fA")->values, std::vector<float>{0.25f});
  ASSERT_EQ(dev->CountDraws(), 2);
  auto draws = dev->Find(RecordedEvent::Kind::Draw);
  EXPECT_EQ(draws[1]->technique, "Second");
  EXPECT_EQ(draws[1]->index, 1);
  EXPECT_EQ(draws[1]->primitive, PrimitiveType::TriangleStrip);
  EXPECT_EQ(draws[1]->value, 2u);
  ASSERT_EQ(draws[0]->vertices.size(), sizeof quad);
  EXPECT_EQ(dev->Find(RecordedEvent::Kind::CommitChanges).size(), 2u);
}

TEST_F(RecordingFixture, PassStatesAreRestoredAtEndUnlessAskedNotTo) {
  dev->SetRenderState(RenderState::AlphaBlendEnable, 0);
  ASSERT_EQ(fx->SetTechnique(fx->GetTechniqueByName("First")), S_OK);
  unsigned passes = 0;
  ASSERT_EQ(fx->Begin(&passes, 0), S_OK);
  ASSERT_EQ(fx->BeginPass(0), S_OK);
  EXPECT_EQ(dev->GetRenderState(RenderState::ZEnable), 0u);
  EXPECT_EQ(dev->GetRenderState(RenderState::AlphaBlendEnable), 1u);
  fx->EndPass();
  fx->End();
  EXPECT_EQ(dev->GetRenderState(RenderState::ZEnable), 1u);
  EXPECT_EQ(dev->GetRenderState(RenderState::AlphaBlendEnable), 0u);

  ASSERT_EQ(fx->Begin(&passes, EFFECT_DONOTSAVESTATE), S_OK);
  ASSERT_EQ(fx->BeginPass(0), S_OK);
  fx->EndPass();
  fx->End();
  EXPECT_EQ(dev->GetRenderState(RenderState::ZEnable), 0u);
}

TEST_F(RecordingFixture, ParameterBlocksRecordApplyAndFree) {
  std::shared_ptr<Texture> white;
  ASSERT_EQ(dev->CreateTexture(1, 1, 1, 0, Format::A8R8G8B8, Pool::Managed, &white), S_OK);
  ASSERT_EQ(fx->BeginParameterBlock(), S_OK);
  EXPECT_TRUE(Failed(fx->BeginParameterBlock()));  // one at a time
  fx->SetFloat("g_fA", 4.0f);
  fx->SetTexture("g_txScene", white);
  fx->SetFloat("g_nothing", 1.0f);  // ignored
  BlockHandle block = fx->EndParameterBlock();
  ASSERT_TRUE(block);
  fx->SetFloat("g_fA", 9.0f);
  fx->SetTexture("g_txScene", nullptr);
  dev->ClearEvents();
  ASSERT_EQ(fx->ApplyParameterBlock(block), S_OK);
  float f = 0;
  fx->GetFloat(fx->GetParameterByName("g_fA"), &f);
  EXPECT_EQ(f, 4.0f);
  std::shared_ptr<BaseTexture> t;
  fx->GetTexture(fx->GetParameterByName("g_txScene"), &t);
  EXPECT_EQ(t, white);
  // Applying reaches the effect like setting does.
  EXPECT_EQ(dev->LastParameter("g_fA")->values, std::vector<float>{4.0f});
  EXPECT_EQ(dev->LastParameter("g_txScene")->texture, white.get());

  // Freed blocks drop their texture references and their handles die.
  long before = white.use_count();
  ASSERT_EQ(fx->DeleteParameterBlock(block), S_OK);
  EXPECT_LT(white.use_count(), before);
  EXPECT_TRUE(Failed(fx->ApplyParameterBlock(block)));
  EXPECT_TRUE(Failed(fx->DeleteParameterBlock(block)));
  EXPECT_FALSE(fx->EndParameterBlock());
}

TEST_F(RecordingFixture, ParameterBlocksAreReusedWithoutGrowing) {
  // A frame records, applies and frees one block per object; the slots are
  // reused, so the effect's block store stays the same size.
  BlockHandle first;
  for (int frame = 0; frame < 100; ++frame) {
    ASSERT_EQ(fx->BeginParameterBlock(), S_OK);
    fx->SetFloat("g_fA", static_cast<float>(frame));
    BlockHandle h = fx->EndParameterBlock();
    if (frame == 0) first = h;
    EXPECT_EQ(h, first);
    fx->ApplyParameterBlock(h);
    fx->DeleteParameterBlock(h);
  }
}

TEST(RecordingDevice, RenderTargetsAndCaps) {
  auto dev = CreateRecordingDevice(320, 200);
  EXPECT_EQ(dev->GetBackBufferDesc().width, 320);
  std::shared_ptr<Texture> rt;
  ASSERT_EQ(dev->CreateTexture(320, 200, 1, USAGE_RENDERTARGET, Format::A16B16G16R16F, Pool::Default, &rt), S_OK);
  std::shared_ptr<Surface> s;
  ASSERT_EQ(rt->GetSurfaceLevel(0, &s), S_OK);
  EXPECT_EQ(s->GetContainer(), rt);
  ASSERT_EQ(dev->SetRenderTarget(1, s), S_OK);
  std::shared_ptr<Surface> got;
  ASSERT_EQ(dev->GetRenderTarget(1, &got), S_OK);
  EXPECT_EQ(got, s);
  EXPECT_TRUE(Failed(dev->SetRenderTarget(0, nullptr)));
  EXPECT_EQ(dev->SetRenderTarget(1, nullptr), S_OK);
  // A render target cannot be locked; a surface keeps its texture alive.
  LockedRect lr;
  EXPECT_TRUE(Failed(rt->LockRect(0, &lr, 0)));
  std::weak_ptr<Texture> weak = rt;
  rt.reset();
  EXPECT_FALSE(weak.expired());
  s.reset();
  got.reset();
  EXPECT_TRUE(weak.expired());

  dev->GetSettings().floatRenderTargets = false;
  EXPECT_FALSE(dev->CheckRenderTargetFormat(Format::A16B16G16R16F, ResourceType::Texture));
  EXPECT_TRUE(dev->CheckRenderTargetFormat(Format::A8R8G8B8, ResourceType::Texture));
  dev->GetSettings().caps.numSimultaneousRTs = 2;
  EXPECT_EQ(dev->GetDeviceCaps().numSimultaneousRTs, 2);
  dev->GetSettings().failBeginScene = true;
  EXPECT_TRUE(Failed(dev->BeginScene()));
}

TEST(RecordingDevice, CountsLiveDefaultPoolResourcesForReset) {
  auto dev = CreateRecordingDevice(64, 32);
  dev->GetSettings().strictReset = true;
  std::shared_ptr<Texture> rt, managed;
  std::shared_ptr<VertexBuffer> vb;
  ASSERT_EQ(dev->CreateTexture(64, 32, 1, USAGE_RENDERTARGET, Format::A8R8G8B8, Pool::Default, &rt), S_OK);
  ASSERT_EQ(dev->CreateVertexBuffer(176, USAGE_DYNAMIC, Pool::Default, &vb), S_OK);
  ASSERT_EQ(dev->CreateTexture(4, 4, 1, 0, Format::A8R8G8B8, Pool::Managed, &managed), S_OK);
  EXPECT_EQ(dev->LiveDefaultPoolResources(), 2);
  EXPECT_EQ(dev->Reset(128, 64), ERR_INVALIDCALL);
  rt.reset();
  vb.reset();
  EXPECT_EQ(dev->LiveDefaultPoolResources(), 0);
  EXPECT_EQ(dev->Reset(128, 64), S_OK);  // managed resources may stay
  EXPECT_EQ(dev->GetBackBufferDesc().width, 128);
}

TEST(RecordingDevice, ManagedTextureLockAndRGBA) {
  auto dev = CreateRecordingDevice(8, 8);
  const std::uint8_t rgba[8] = {10, 20, 30, 40, 50, 60, 70, 80};
  std::shared_ptr<Texture> t;
  ASSERT_EQ(dev->CreateTextureFromRGBA(2, 1, rgba, &t), S_OK);
  LockedRect lr;
  ASSERT_EQ(t->LockRect(0, &lr, LOCK_READONLY), S_OK);
  std::uint32_t w0;
  std::memcpy(&w0, lr.bits, 4);
  EXPECT_EQ(w0, 0x280A141Eu);  // 0xAARRGGBB
  EXPECT_TRUE(Failed(t->LockRect(0, &lr, 0)));  // already locked
  ASSERT_EQ(t->UnlockRect(0), S_OK);
  std::shared_ptr<Texture> mips;
  ASSERT_EQ(dev->CreateTexture(16, 4, 0, 0, Format::A8R8G8B8, Pool::Managed, &mips), S_OK);
  EXPECT_EQ(mips->GetLevelCount(), 5);
  EXPECT_EQ(mips->GetLevelDesc(4).width, 1);
  EXPECT_EQ(mips->GetLevelDesc(4).height, 1);
  std::shared_ptr<Texture> bad;
  EXPECT_TRUE(Failed(dev->CreateTexture(0, 4, 1, 0, Format::A8R8G8B8, Pool::Managed, &bad)));
  EXPECT_TRUE(Failed(dev->CreateTexture(4, 4, 1, USAGE_RENDERTARGET, Format::A8R8G8B8, Pool::Managed, &bad)));
  EXPECT_FALSE(bad);
}

TEST(RecordingDevice, VertexBufferLockBounds) {
  auto dev = CreateRecordingDevice(8, 8);
  std::shared_ptr<VertexBuffer> vb;
  ASSERT_EQ(dev->CreateVertexBuffer(176, USAGE_DYNAMIC | USAGE_WRITEONLY, Pool::Default, &vb), S_OK);
  void* p = nullptr;
  EXPECT_TRUE(Failed(vb->Lock(100, 100, &p, 0)));
  EXPECT_EQ(p, nullptr);
  ASSERT_EQ(vb->Lock(0, 0, &p, LOCK_DISCARD), S_OK);
  EXPECT_TRUE(Failed(vb->Lock(0, 0, &p, 0)));
  EXPECT_EQ(vb->Unlock(), S_OK);
  EXPECT_TRUE(Failed(vb->Unlock()));
}

TEST(Mesh, NormalsBoundsAndSubsets) {
  auto dev = CreateRecordingDevice(8, 8);
  const auto& el = Mesh::PositionNormalTexElements();
  std::shared_ptr<Mesh> mesh;
  ASSERT_EQ(Mesh::Create(*dev, 2, 4, 0, el.data(), el.size(), &mesh), S_OK);
  struct V {
    float p[3], n[3], t[2];
  };
  V* v = nullptr;
  ASSERT_EQ(mesh->LockVertexBuffer(0, reinterpret_cast<void**>(&v)), S_OK);
  const float pos[4][3] = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}};
  for (int i = 0; i < 4; ++i) v[i] = V{{pos[i][0], pos[i][1], pos[i][2]}, {0, 0, 0}, {0, 0}};
  mesh->UnlockVertexBuffer();
  std::uint16_t* idx = nullptr;
  ASSERT_EQ(mesh->LockIndexBuffer(0, reinterpret_cast<void**>(&idx)), S_OK);
  const std::uint16_t ind[6] = {0, 1, 2, 2, 1, 3};  // clockwise seen from -z
  std::copy(ind, ind + 6, idx);
  mesh->UnlockIndexBuffer();
  std::uint32_t* attr = nullptr;
  ASSERT_EQ(mesh->LockAttributeBuffer(&attr), S_OK);
  attr[0] = 0;
  attr[1] = 3;
  ASSERT_EQ(mesh->UnlockAttributeBuffer(), S_OK);
  ASSERT_EQ(mesh->GetAttributeTable().size(), 2u);
  EXPECT_EQ(mesh->GetAttributeTable()[1].attribId, 3u);
  EXPECT_EQ(mesh->GetAttributeTable()[1].faceStart, 1u);
  EXPECT_EQ(mesh->GetAttributeTable()[1].vertexStart, 1u);
  EXPECT_EQ(mesh->GetAttributeTable()[1].vertexCount, 3u);

  ASSERT_EQ(mesh->ComputeNormals(), S_OK);
  ASSERT_EQ(mesh->LockVertexBuffer(LOCK_READONLY, reinterpret_cast<void**>(&v)), S_OK);
  for (int i = 0; i < 4; ++i) {
    EXPECT_FLOAT_EQ(v[i].n[2], -1.0f) << i;  // towards the viewer at -z
  }
  mesh->UnlockVertexBuffer();
  glm::vec3 c;
  float r = 0;
  ASSERT_EQ(mesh->ComputeBoundingSphere(&c, &r), S_OK);
  EXPECT_EQ(c, glm::vec3(0.5f, 0.5f, 0.0f));
  EXPECT_FLOAT_EQ(r, std::sqrt(0.5f));
  glm::vec3 lo, hi;
  ASSERT_EQ(mesh->ComputeBoundingBox(&lo, &hi), S_OK);
  EXPECT_EQ(lo, glm::vec3(0, 0, 0));
  EXPECT_EQ(hi, glm::vec3(1, 1, 0));

  std::shared_ptr<Effect> fx;
  ASSERT_EQ(dev->CreateEffectFromMemory("[[technique]]\nname=\"T\"\n[[technique.pass]]\nvertex=\"@quad\"\nfragment=\"@copy\"\n",
                                        "m.fxo", &fx, nullptr),
            S_OK);
  unsigned n = 0;
  fx->Begin(&n, 0);
  fx->BeginPass(0);
  EXPECT_EQ(mesh->DrawSubset(3), S_OK);
  EXPECT_EQ(mesh->DrawSubset(7), S_OK);  // no such subset: nothing drawn
  fx->EndPass();
  fx->End();
  auto draws = dev->Find(RecordedEvent::Kind::Draw);
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_TRUE(draws[0]->indexed);
  EXPECT_EQ(draws[0]->value, 1u);
}

}  // namespace
}  // namespace gfx
