// Effect handles: typed by kind, so a call takes only the kinds it can use
// (checked when compiling), and tied to one effect by a serial never reused
// in a run, so no other effect takes them, however many there have been.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gfx/Effect.h"
#include "gfx/GLDevice.h"
#include "gfx/RecordingDevice.h"
#include "support/GLTestContext.h"

namespace gfx {
namespace {

// Which handle kinds each kind of call accepts.
template <class H>
constexpr bool kSets = requires(Effect& e, H h) { e.SetFloat(h, 1.0f); };
template <class H>
constexpr bool kReads = requires(const Effect& e, H h, float* f) { e.GetFloat(h, f); };
template <class H>
constexpr bool kDescribesParameter = requires(const Effect& e, H h, ParameterDesc* d) { e.GetParameterDesc(h, d); };
template <class H>
constexpr bool kChoosesTechnique = requires(Effect& e, H h) { e.SetTechnique(h); };
template <class H>
constexpr bool kHasPasses = requires(const Effect& e, H h) { e.GetPass(h, 0); };
template <class H>
constexpr bool kDescribesPass = requires(const Effect& e, H h, PassDesc* d) { e.GetPassDesc(h, d); };
template <class H>
constexpr bool kHasAnnotations = requires(const Effect& e, H h) { e.GetAnnotation(h, 0); };
template <class H>
constexpr bool kAppliesBlock = requires(Effect& e, H h) { e.ApplyParameterBlock(h); };

template <class H, bool Sets, bool Reads, bool Technique, bool Passes, bool Pass, bool Annotated, bool Block>
constexpr bool Row() {
  return kSets<H> == Sets && kReads<H> == Reads && kDescribesParameter<H> == Reads &&
         kChoosesTechnique<H> == Technique && kHasPasses<H> == Passes && kDescribesPass<H> == Pass &&
         kHasAnnotations<H> == Annotated && kAppliesBlock<H> == Block;
}
//                           sets   reads  tech   passes pass   annot  block
static_assert(Row<ParameterHandle, true, true, false, false, false, true, false>());
static_assert(Row<AnnotationHandle, false, true, false, false, false, false, false>());
static_assert(Row<TechniqueHandle, false, false, true, true, false, true, false>());
static_assert(Row<PassHandle, false, false, false, false, true, true, false>());
static_assert(Row<BlockHandle, false, false, false, false, false, false, true>());
template <class A, class B>
constexpr bool kComparable = requires(A a, B b) { a == b; };
// Handles of different kinds do not even compare.
static_assert(kComparable<TechniqueHandle, TechniqueHandle>);
static_assert(!kComparable<ParameterHandle, TechniqueHandle>);
static_assert(!kComparable<AnnotationHandle, ParameterHandle>);

// Every kind of handle, each with an annotation, in the same places in every
// copy of the file: handles of two effects differ only in the effect's serial.
// The pass has no fragment shader, so the GL backend compiles nothing.
const char* const kFx = R"(
[[parameter]]
name = "g_f"
type = "float"
default = 0.5
annotations = { n = 1 }

[[technique]]
name = "T"
annotations = { n = 2 }

[[technique.pass]]
annotations = { n = 3 }
vertex = "@quad"
)";

struct Handles {
  ParameterHandle parameter;
  TechniqueHandle technique;
  PassHandle pass;
  AnnotationHandle annotation;
};

Handles Take(const Effect& e) {
  const TechniqueHandle t = e.GetTechniqueByName("T");
  return {e.GetParameterByName("g_f"), t, e.GetPass(t, 0), e.GetAnnotationByName(t, "n")};
}

// How many of the four handles the effect takes.
int Taken(const Effect& e, const Handles& h) {
  float f = 0;
  TechniqueDesc td;
  PassDesc pd;
  int n = 0;
  return int{Succeeded(e.GetFloat(h.parameter, &f))} + int{Succeeded(e.GetTechniqueDesc(h.technique, &td))} +
         int{Succeeded(e.GetPassDesc(h.pass, &pd))} + int{Succeeded(e.GetInt(h.annotation, &n))};
}

// 10 000 effects at once: each takes its own handles and none of the
// others'. Then, all of them gone, a new effect takes none of theirs: a
// serial is not handed out again.
void EffectsRefuseEachOthersHandles(Device& dev) {
  constexpr int kEffects = 10000;
  std::vector<std::shared_ptr<Effect>> effects(kEffects);
  std::vector<Handles> handles(kEffects);
  for (int i = 0; i < kEffects; ++i) {
    ASSERT_EQ(dev.CreateEffectFromMemory(kFx, "h.fxo", &effects[i]), S_OK) << i;
    handles[i] = Take(*effects[i]);
    ASSERT_EQ(Taken(*effects[i], handles[i]), 4) << i;
  }
  long foreignTaken = 0;
  for (int i = 0; i < kEffects; ++i)
    for (int j = 0; j < kEffects; ++j)
      if (i != j) foreignTaken += Taken(*effects[i], handles[j]);
  EXPECT_EQ(foreignTaken, 0);

  effects.clear();
  std::shared_ptr<Effect> later;
  ASSERT_EQ(dev.CreateEffectFromMemory(kFx, "h.fxo", &later), S_OK);
  long staleTaken = 0;
  for (const Handles& h : handles) staleTaken += Taken(*later, h);
  EXPECT_EQ(staleTaken, 0);
  EXPECT_EQ(Taken(*later, Take(*later)), 4);
}

TEST(EffectHandles, TenThousandRecordingEffectsRefuseEachOthersHandles) {
  auto dev = CreateRecordingDevice(8, 8);
  dev->SetRecording(false);
  EffectsRefuseEachOthersHandles(*dev);
}

TEST(EffectHandles, TenThousandGLEffectsRefuseEachOthersHandles) {
  std::string why;
  auto ctx = mvtest::GLTestContext::Create(&why);
  if (!ctx) GTEST_SKIP() << "no headless GL: " << why;
  auto dev = CreateGLDevice(GLDeviceDesc{8, 8, 0});
  ASSERT_TRUE(dev);
  EffectsRefuseEachOthersHandles(*dev);
}

// A handle keeps its kind through the wider handle types: a parameter, a
// technique and a pass at the same index name their own annotations.
TEST(EffectHandles, AnnotationsFollowTheKindOfTheirObject) {
  auto dev = CreateRecordingDevice(8, 8);
  std::shared_ptr<Effect> fx;
  ASSERT_EQ(dev->CreateEffectFromMemory(kFx, "h.fxo", &fx), S_OK);
  const Handles h = Take(*fx);
  const struct {
    AnnotatedHandle object;
    int value;
  } cases[] = {{h.parameter, 1}, {h.technique, 2}, {h.pass, 3}};
  for (const auto& c : cases) {
    int n = 0;
    ASSERT_EQ(fx->GetInt(fx->GetAnnotation(c.object, 0), &n), S_OK) << c.value;
    EXPECT_EQ(n, c.value);
    EXPECT_FALSE(fx->GetAnnotation(c.object, 1)) << c.value;
  }
  // Value handles keep it too: the parameter's annotation and the parameter
  // both have index 0, and each describes itself.
  ParameterDesc d;
  ASSERT_EQ(fx->GetParameterDesc(fx->GetAnnotationByName(h.parameter, "n"), &d), S_OK);
  EXPECT_EQ(d.name, "n");
  ASSERT_EQ(fx->GetParameterDesc(h.parameter, &d), S_OK);
  EXPECT_EQ(d.name, "g_f");
}

// Refused handles change nothing: a foreign parameter handle does not set
// this effect's parameter of the same index, a foreign technique is not
// chosen.
TEST(EffectHandles, ForeignHandlesLeaveTheEffectAsItWas) {
  auto dev = CreateRecordingDevice(8, 8);
  std::shared_ptr<Effect> a, b;
  ASSERT_EQ(dev->CreateEffectFromMemory(kFx, "a.fxo", &a), S_OK);
  ASSERT_EQ(dev->CreateEffectFromMemory(kFx, "b.fxo", &b), S_OK);
  const Handles ha = Take(*a);
  EXPECT_EQ(b->SetFloat(ha.parameter, 9.0f), E_INVALIDARG);
  EXPECT_EQ(b->SetTechnique(ha.technique), E_INVALIDARG);
  float f = 0;
  ASSERT_EQ(b->GetFloat(b->GetParameterByName("g_f"), &f), S_OK);
  EXPECT_EQ(f, 0.5f);
  EXPECT_FALSE(b->GetCurrentTechnique());
  EXPECT_FALSE(b->GetPass(ha.technique, 0));
  EXPECT_FALSE(b->GetAnnotation(ha.parameter, 0));
}

}  // namespace
}  // namespace gfx
