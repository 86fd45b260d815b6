#pragma once
// A small scene effect of our own for tests: the techniques and parameters
// the device manager and its users look up, each technique one textured
// pass.
#include <string>

namespace mv::test {

inline std::string SceneEffectText() {
  std::string text = R"(
[[parameter]]
name = "g_mProj"
type = "float4x4"

[[parameter]]
name = "g_txScene"
type = "texture"

[[parameter]]
name = "g_txEnvMap"
type = "cube texture"

[shaders]
tex = '''
in vec2 vTex0;
void main() { mv_Target0 = texture(g_txScene, vTex0); }
'''
)";
  for (const char* t : {"RenderScene", "RenderEnvMapScene", "RenderEnvMapSceneTrans", "RenderEnvMapSceneTextureFront",
                        "RenderNoLight", "RenderSceneFast", "RenderSceneFastNoTrans", "RenderSkyBox",
                        "RenderSkyBox2D"}) {
    text += "\n[[technique]]\nname = \"" + std::string(t) +
            "\"\n\n[[technique.pass]]\nstates = { ZEnable = false }\nvertex = \"@quad\"\nfragment = \"@tex\"\n";
  }
  return text;
}

}  // namespace mv::test
