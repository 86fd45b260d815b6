// The scene's slide section read by the scene manager: any bytes must read
// without crashing or allocating beyond the input, leave the light, camera
// and sky box in place, and a section that reads cleanly must write back to
// bytes that read back to the same section.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "io/BinaryIO.h"
#include "scene/Catalog.h"
#include "scene/SceneManager.h"

namespace {

struct QuietPeers : ScenePeers {
  void SetSkyBoxSize(const float[3]) override {}
  void RefreshAnimationPanel() override {}
  void PrepareMetaballs(CMesh&) override {}
  void CreateParticleSystem(CMesh&) override {}
};

std::string WriteSection(SceneManager& scene) {
  std::ostringstream out(std::ios::binary);
  scene.Write(out);
  return out.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static QuietPeers peers;
  static Catalog catalog = [] {
    Catalog c;
    std::istringstream in("0,Tore,tore.x,MESHOBJ,,0,\n1,Titre,,TEXTOBJ,Arial,24,\n#,");
    c.Load(in);
    return c;
  }();
  SceneManager scene(peers);
  scene.SetCatalog(&catalog);
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size), std::ios::binary);
  scene.Read(in);
  if (!scene.GetLight() || !scene.GetCameraObject() || !scene.GetSkyBoxObject()) std::abort();
  if (!mv::io::Good(in)) return 0;
  const std::string once = WriteSection(scene);
  SceneManager again(peers);
  again.SetCatalog(&catalog);
  std::istringstream back(once, std::ios::binary);
  again.Read(back);
  if (!mv::io::Good(back) || WriteSection(again) != once) std::abort();
  return 0;
}
