// The scene manager's peers in the program: the global managers.
#include "animation/AnimationManager.h"
#include "core/Globals.h"
#include "effects/MetaballField.h"
#include "effects/ParticleManager.h"
#include "effects/SkyBoxManager.h"
#include "scene/SceneManager.h"

namespace {

class GlobalPeers final : public ScenePeers {
 public:
  void SetSkyBoxSize(const float size[3]) override { g_SkyBoxManager.SetScale(glm::vec3(size[0], size[1], size[2])); }
  void RefreshAnimationPanel() override { g_AnimationManager.UpdatePanel(); }
  void PrepareMetaballs(CMesh& object) override {
    g_MetaballField = MetaballField();
    g_MetaballField.SetGridSize(64);
  }
  void CreateParticleSystem(CMesh& object) override {}
};

}  // namespace

ScenePeers& GlobalScenePeers() {
  static GlobalPeers peers;
  return peers;
}
