// While a show plays with the GUI shown the timelines move the selected
// object every frame and the scene panel is refreshed every frame: once
// warmed up, the refresh allocates nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <sstream>

#include "core/Globals.h"
#include "effects/PostProcessManager.h"
#include "gui/GuiTestUtil.h"
#include "scene/Catalog.h"
#include "scene/SceneManager.h"

namespace {
bool g_counting = false;
long g_allocations = 0;
}  // namespace

void* operator new(std::size_t n) {
  if (g_counting) ++g_allocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
// GCC cannot see that this free pairs with the malloc above.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

struct NullPeers : ScenePeers {
  void SetSkyBoxSize(const float[3]) override {}
  void RefreshAnimationPanel() override {}
  void PrepareMetaballs(CMesh&) override {}
  void CreateParticleSystem(CMesh&) override {}
};

class ScenePanelSteadyState : public guitest::GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    wasHidden = g_bGuiHidden;
    g_bGuiHidden = false;
    std::istringstream in("0,Tore,media\\mesh\\tore.x,MESHOBJ,,0,\n#,");
    catalog.Load(in);
    scene.SetCatalog(&catalog);
    post.GetEffect(0).parameterName = {u"Level", u"Gain"};
    post.GetEffect(0).parameterSize = {4, 2};
    scene.SetPanelHosts(&post, nullptr, nullptr);
    scene.CreatePanel(&manager);
  }
  void TearDown() override {
    g_counting = false;
    g_bGuiHidden = wasHidden;
    GuiTest::TearDown();
  }
  // Frame f of a playing show: values move, then the panel follows.
  long Frames(void (*move)(SceneManager&, int)) {
    for (int f = 0; f < 40; ++f) {
      g_counting = f >= 10;
      move(scene, f);
      scene.RefreshPanel();
    }
    g_counting = false;
    return g_allocations;
  }

  bool wasHidden = true;
  Catalog catalog;
  NullPeers peers;
  SceneManager scene{peers};
  PostProcessManager post;
};

TEST_F(ScenePanelSteadyState, AMovingMeshIsShownWithoutAllocating) {
  scene.InsertObject(OBJ_MESH, -1, 0, nullptr, nullptr, -1);
  scene.RefreshPanel();
  scene.BuildPanel(scene.GetSelectedKind());
  g_allocations = 0;
  const long n = Frames([](SceneManager& s, int f) {
    auto* mesh = dynamic_cast<CMesh*>(s.GetSelectedObject());
    const float t = static_cast<float>(f % 9) * 0.11f;
    mesh->params.iPos[0] = 1.0f + t;
    mesh->params.iRot[1] = t;
    mesh->params.vDiff[2] = t;
    mesh->params.Power = 10.0f + t;
    mesh->params.iPosLinks[0] = f % 12;
  });
  EXPECT_EQ(n, 0);
  EXPECT_NE(scene.Panel().GetEditBox(439)->GetTextString(), u"");
}

TEST_F(ScenePanelSteadyState, AnAnimatedChainIsShownWithoutAllocating) {
  scene.SetSelectedIndex(3);
  scene.RefreshPanel();
  scene.BuildPanel(scene.GetSelectedKind());
  post.InsertEffect(0);
  post.InsertEffect(0);
  post.SyncRecords();
  post.SetSelected(1);
  g_allocations = 0;
  const long n = Frames([](SceneManager& s, int f) {
    float* block = s.PostProcessParameters();
    for (int i = 0; i < 16; ++i) block[i] = static_cast<float>((f + i) % 7) * 0.5f;
  });
  EXPECT_EQ(n, 0);
  EXPECT_NE(scene.Panel().GetEditBox(PostProcessManager::IDC_PP_PARAM0)->GetTextString(), u"");
}

}  // namespace
