// The scene's per-frame drawing: every visible object of the list through
// the scene effect, pass by pass into the device manager's render-target
// table, then the layer texts over the result.
#include "scene/SceneRender.h"

#include <cmath>
#include <cstring>

#include "core/Globals.h"
#include "gfx/Font.h"
#include "gfx/Sprite.h"
#include "io/Utf16.h"
#include "scene/AnimatedMesh.h"
#include "scene/MeshArcBall.h"
#include "scene/SceneManager.h"

namespace {

constexpr float kLayerTextLineHeight = 16.0f;

// Renderer index 0..5 → the device manager's technique slot.
constexpr int kRendererTechnique[6] = {
    DeviceManager::TECH_RENDER_SCENE,          DeviceManager::TECH_ENV_MAP,
    DeviceManager::TECH_ENV_MAP_TEXTURE_FRONT, DeviceManager::TECH_ENV_MAP_TRANS,
    DeviceManager::TECH_SCENE_FAST,            DeviceManager::TECH_SCENE_FAST_NO_TRANS,
};

bool DrawsWithSceneEffect(std::int32_t kind) {
  return kind == OBJ_MESH || kind == OBJ_TEXT || kind == OBJ_ANIM || kind == OBJ_GENERATED || kind == OBJ_METABALL;
}

gfx::Mat4 RotationOf(const float ypr[3]) { return gfx::MatrixRotationYawPitchRoll(ypr[0], ypr[1], ypr[2]); }

void SetBlendFactors(gfx::Device& device) {
  device.SetRenderState(gfx::RenderState::SrcBlend, gfx::BLEND_SRCALPHA);
  device.SetRenderState(gfx::RenderState::DestBlend, gfx::BLEND_INVSRCALPHA);
}

// The sky the frame reflects: the material blocks hold the one of their
// load, which is none when the mesh came before the sky box, or an older
// sky after a row change.
struct CurrentSky {
  gfx::ParameterHandle handle;
  std::shared_ptr<gfx::BaseTexture> map;
};

// Applies the object's block and the material's, then draws `subset` of
// `mesh` once per pass, each pass into its row of the render-target table.
void DrawSubsetPassByPass(gfx::Device& device, const DeviceManager& devices, gfx::Effect& effect,
                          gfx::BlockHandle objectBlock, const MeshMaterial& material, gfx::Mesh& mesh,
                          std::uint32_t subset, const CurrentSky& sky) {
  if (objectBlock) effect.ApplyParameterBlock(objectBlock);
  if (material.effect && material.parameterBlock) material.effect->ApplyParameterBlock(material.parameterBlock);
  if (sky.handle) effect.SetTexture(sky.handle, sky.map);
  unsigned passes = 0;
  if (gfx::Failed(effect.Begin(&passes))) return;
  for (unsigned p = 0; p < passes; ++p) {
    if (static_cast<int>(p) < devices.GetPassCount()) devices.BindPassTargets(device, static_cast<int>(p));
    if (gfx::Failed(effect.BeginPass(p))) continue;
    mesh.DrawSubset(subset);
    effect.EndPass();
  }
  effect.End();
}

// Draws the metaball surface batch by batch through the dynamic mesh.
class MetaballDraw final : public MetaballBatchSink {
 public:
  MetaballDraw(gfx::Device& device, const DeviceManager& devices, gfx::Effect& effect, gfx::BlockHandle objectBlock,
               const MeshMaterial& material, gfx::Mesh& mesh, const CurrentSky& sky)
      : device_(device), devices_(devices), effect_(effect), block_(objectBlock), material_(material), mesh_(mesh),
        sky_(sky) {}

  void DrawBatch(const MetaballVertex* vertices, int vertexCount, const std::uint32_t* indices,
                 int indexCount) override {
    // The field keeps a batch within the mesh; refuse anything else rather
    // than write past the buffers.
    if (vertexCount <= 0 || indexCount < 3 || vertexCount > static_cast<int>(mesh_.GetNumVertices()) ||
        indexCount > 3 * static_cast<int>(mesh_.GetNumFaces()))
      return;
    void* v = nullptr;
    if (gfx::Failed(mesh_.LockVertexBuffer(gfx::LOCK_NONE, &v))) return;
    std::memcpy(v, vertices, static_cast<std::size_t>(vertexCount) * sizeof(MetaballVertex));
    mesh_.UnlockVertexBuffer();
    void* i = nullptr;
    if (gfx::Failed(mesh_.LockIndexBuffer(gfx::LOCK_NONE, &i))) return;
    std::memcpy(i, indices, static_cast<std::size_t>(indexCount) * sizeof(std::uint32_t));
    mesh_.UnlockIndexBuffer();
    const gfx::AttributeRange batch{0, 0, static_cast<std::uint32_t>(indexCount / 3), 0,
                                    static_cast<std::uint32_t>(vertexCount)};
    mesh_.SetAttributeTable(&batch, 1);

    effect_.SetTechnique(devices_.GetTechnique(DeviceManager::TECH_RENDER_SCENE));
    device_.SetRenderState(gfx::RenderState::ZWriteEnable, 1);
    device_.SetRenderState(gfx::RenderState::CullMode, gfx::CULL_CCW);
    device_.SetRenderState(gfx::RenderState::FillMode, gfx::FILL_SOLID);
    device_.SetRenderState(gfx::RenderState::AlphaBlendEnable, 1);
    SetBlendFactors(device_);
    DrawSubsetPassByPass(device_, devices_, effect_, block_, material_, mesh_, 0, sky_);
  }

 private:
  gfx::Device& device_;
  const DeviceManager& devices_;
  gfx::Effect& effect_;
  gfx::BlockHandle block_;
  const MeshMaterial& material_;
  gfx::Mesh& mesh_;
  const CurrentSky& sky_;
};

}  // namespace

// ---- the renderer's own state ----------------------------------------------

int SceneRenderer::TechniqueForRenderer(std::int32_t renderer) {
  return renderer >= 0 && renderer <= 5 ? kRendererTechnique[renderer] : -1;
}

const SceneRenderer::Handles& SceneRenderer::HandlesFor(const std::shared_ptr<gfx::Effect>& effect) {
  if (m_handlesEffect.lock() == effect) return m_handles;
  m_handlesEffect = effect;
  const gfx::Effect& fx = *effect;
  Handles& h = m_handles;
  h.world = fx.GetParameterByName("g_mWorld");
  h.view = fx.GetParameterByName("g_mView");
  h.proj = fx.GetParameterByName("g_mProj");
  h.worldView = fx.GetParameterByName("g_mWorldView");
  h.envMap = fx.GetParameterByName("g_txEnvMap");
  h.diffuse = fx.GetParameterByName("Diffuse");
  h.specular = fx.GetParameterByName("Specular");
  h.reflectivity = fx.GetParameterByName("Reflectivity");
  h.power2 = fx.GetParameterByName("Power2");
  h.deformA = fx.GetParameterByName("DeformA");
  h.deformB = fx.GetParameterByName("DeformB");
  h.deformC = fx.GetParameterByName("DeformC");
  h.deltaA = fx.GetParameterByName("DeltaA");
  h.deltaB = fx.GetParameterByName("DeltaB");
  h.deltaC = fx.GetParameterByName("DeltaC");
  h.time = fx.GetParameterByName("g_fTime");
  h.light = fx.GetParameterByName("g_vLight");
  h.revView = fx.GetParameterByName("g_mRevView");
  return h;
}

bool SceneRenderer::PrepareMetaballMesh(gfx::Device& device, const DeviceManager& devices,
                                        const std::shared_ptr<gfx::BaseTexture>& environmentMap) {
  // A mesh of another device (one destroyed since) is made again.
  if (m_metaballMesh && device.Owns(*m_metaballMesh->GetVertexBuffer())) return true;
  ReleaseDeviceObjects();
  const std::vector<gfx::VertexElement>& layout = gfx::Mesh::PositionNormalTexElements();
  if (gfx::Failed(gfx::Mesh::Create(device, MetaballField::kMeshFaces, MetaballField::kMeshVertices, gfx::MESH_32BIT,
                                    layout.data(), layout.size(), &m_metaballMesh)))
    return false;
  MeshMaterial& m = m_metaballMaterial;
  m.texture = devices.GetWhiteTexture();
  if (gfx::Effect* fx = devices.GetSceneEffect()) {
    m.effect = devices.SceneEffect();
    m.technique = devices.GetTechnique(DeviceManager::TECH_RENDER_SCENE);
    if (gfx::Succeeded(fx->BeginParameterBlock())) {
      if (auto h = fx->GetParameterByName("g_txScene")) fx->SetTexture(h, m.texture);
      if (auto h = fx->GetParameterByName("g_txEnvMap")) fx->SetTexture(h, environmentMap);
      m.parameterBlock = fx->EndParameterBlock();
    }
  }
  return true;
}

void SceneRenderer::ReleaseDeviceObjects() {
  m_metaballMesh.reset();
  m_metaballMaterial = MeshMaterial{};
  objectBlock = gfx::BlockHandle{};
}

// ---- the scene manager's drawing --------------------------------------------

const gfx::Mat4& SceneManager::GetLastWorldView() const { return m_renderer->lastWorldView; }

void SceneManager::Render(gfx::Device* device, double time, float elapsed) {
  // 1. The panel follows the selection.
  if (m_selectedKind != m_panelKind) {
    BuildPanel(m_selectedKind);  // remembers the kind and marks the panel dirty
    m_bPanelDirty = true;
  }
  if (m_bPanelDirty) {
    RefreshPanel();
    m_bPanelDirty = false;
  }

  gfx::Effect* effect = m_pDevices ? m_pDevices->GetSceneEffect() : nullptr;
  const gfx::Mat4& view = m_camera.GetViewMatrix();
  const gfx::Mat4& proj = m_camera.GetProjMatrix();
  if (device && effect) {
    const SceneRenderer::Handles& h = m_renderer->HandlesFor(m_pDevices->SceneEffect());
    // 2. The light vector, in clip space.
    if (const CLightObject* light = GetLight()) {
      const gfx::Vec4 l(light->position[0] * light->radius, light->position[1] * light->radius,
                        light->position[2] * light->radius, 1.0f);
      effect->SetVector(h.light, gfx::Vec4Transform(gfx::Vec4Transform(l, view), proj));
    }
    // 3. The view's rotation undone, without its translation.
    gfx::Mat4 revView = gfx::MatrixInverse(view);
    gfx::MatrixElement(revView, 4, 1) = 0.0f;
    gfx::MatrixElement(revView, 4, 2) = 0.0f;
    gfx::MatrixElement(revView, 4, 3) = 0.0f;
    effect->SetMatrix(h.revView, revView);
  }

  // 4. The balls move every frame, drawn or not.
  if (MetaballField* field = m_peers.Metaballs()) field->Advance(elapsed);

  if (!device) return;
  // 5. The objects, in list order.
  for (int i = 0; i < m_objects.GetSize(); ++i) {
    CSceneObject* o = m_objects[i];
    if (!DrawsWithSceneEffect(o->kind) && o->kind != OBJ_PARTICLE) continue;
    auto* mesh = dynamic_cast<CMesh*>(o);
    if (!mesh) continue;
    RenderMeshObject(*device, *mesh, i, time, elapsed);
  }

  // 6. The layer texts over the scene.
  gfx::Font* font = m_pDevices ? m_pDevices->GetFont(1) : nullptr;
  gfx::Sprite* sprite = m_pDevices ? m_pDevices->GetSprite() : nullptr;
  if (!font || !sprite) return;
  for (CSceneObject* o : m_objects) {
    if (o->kind != OBJ_LAYERTEXT) continue;
    const auto* text = dynamic_cast<const CLayerTextObject*>(o);
    if (!text || !std::isfinite(text->Pos[0]) || !std::isfinite(text->Pos[1])) continue;
    const gfx::Color colour(text->colour[0], text->colour[1], text->colour[2], text->colour[3]);
    sprite->DrawText(*font, mv::io::FixedView(text->text, kLayerTextLength), std::trunc(text->Pos[0]),
                     std::trunc(text->Pos[1]), colour, kLayerTextLineHeight);
  }
}

void SceneManager::RenderMeshObject(gfx::Device& device, CMesh& object, int index, double time, float elapsed) {
  MeshParams& p = object.params;
  // 5.1 A scale of exactly zero hides the object.
  if (p.iScale[0] == 0.0f && p.iScale[1] == 0.0f && p.iScale[2] == 0.0f) return;
  const bool particles = object.kind == OBJ_PARTICLE;
  gfx::Effect* effect = m_pDevices ? m_pDevices->GetSceneEffect() : nullptr;
  if (!effect && !particles) return;

  // 5.2 The renderer's technique; an index outside the table keeps the
  // technique in force.
  if (!particles) {
    const int t = SceneRenderer::TechniqueForRenderer(p.renderer);
    if (t >= 0) effect->SetTechnique(m_pDevices->GetTechnique(t));
  }

  // 5.3, 5.4 One level of parent: positions add, rotations compose, the
  // parent's scale stays its own.
  gfx::Mat4 T = gfx::MatrixTranslation(p.iPos[0], p.iPos[1], p.iPos[2]);
  const gfx::Mat4 S = gfx::MatrixScaling(p.iScale[0], p.iScale[1], p.iScale[2]);
  const gfx::Mat4 own = RotationOf(p.iRot);
  gfx::Mat4 R = own;
  if (object.parent > -1 && object.parent != index) {
    if (const auto* parent = dynamic_cast<const CMesh*>(GetObject(object.parent))) {
      const MeshParams& pp = parent->params;
      T = gfx::MatrixMultiply(gfx::MatrixTranslation(pp.iPos[0], pp.iPos[1], pp.iPos[2]), T);
      R = gfx::MatrixMultiply(RotationOf(pp.iRot), R);
    }
  }
  // 5.5 A drag of the mouse starts from the orientation drawn. The drag
  // writes its rotation back as the object's own, so a child's arcball
  // holds its own rotation: with the parent's in it, every frame of a drag
  // would add the parent's turn once more.
  if (object.arcball) object.arcball->SetQuatNow(gfx::QuaternionRotationMatrix(own));
  // 5.6
  const gfx::Mat4& view = m_camera.GetViewMatrix();
  const gfx::Mat4& proj = m_camera.GetProjMatrix();
  const gfx::Mat4 W = gfx::MatrixMultiply(gfx::MatrixMultiply(gfx::MatrixMultiply(object.normaliseMatrix, S), R), T);
  const gfx::Mat4 WV = gfx::MatrixMultiply(W, view);
  m_renderer->lastWorldView = WV;

  if (particles) {
    m_peers.RenderParticles(device, object, W, view, proj, elapsed);
    return;
  }

  // 5.7 The object's parameters as one block, live until it is drawn.
  const SceneRenderer::Handles& h = m_renderer->HandlesFor(m_pDevices->SceneEffect());
  const std::shared_ptr<gfx::BaseTexture> envMap = m_peers.EnvironmentMap();
  gfx::BlockHandle block;
  if (gfx::Succeeded(effect->BeginParameterBlock())) {
    effect->SetMatrix(h.world, W);
    effect->SetMatrix(h.view, view);
    effect->SetMatrix(h.proj, proj);
    effect->SetMatrix(h.worldView, WV);
    effect->SetTexture(h.envMap, envMap);
    effect->SetVector(h.diffuse, gfx::Vec4(p.vDiff[0], p.vDiff[1], p.vDiff[2], p.vDiff[3]));
    effect->SetVector(h.specular, gfx::Vec4(p.vSpec[0], p.vSpec[1], p.vSpec[2], p.vSpec[3]));
    effect->SetFloat(h.reflectivity, p.Reflectivity / 100.0f);
    effect->SetFloat(h.power2, (100.0f - p.Power) / 10.0f);
    effect->SetFloat(h.deformA, p.DeformA / 100.0f);
    effect->SetFloat(h.deformB, p.DeformB / 100.0f);
    effect->SetFloat(h.deformC, p.DeformC / 100.0f);
    effect->SetFloat(h.deltaA, p.Delta[0] / 100.0f);
    effect->SetFloat(h.deltaB, p.Delta[1] / 100.0f);
    effect->SetFloat(h.deltaC, p.Delta[2] / 100.0f);
    effect->SetFloat(h.time, static_cast<float>(time));
    block = effect->EndParameterBlock();
  }
  // Reaches a pass in progress only; outside one the next pass takes it all.
  effect->CommitChanges();
  m_renderer->objectBlock = block;

  // 5.8 What the hierarchy plays, as the parameters say.
  const bool hierarchy = (object.kind == OBJ_MESH || object.kind == OBJ_ANIM) && object.animatedMesh;
  if (hierarchy) object.animatedMesh->HandOver(p);

  // 5.9 Fill mode: the object's own when the show is full screen or it is
  // the selection; otherwise wireframe under "View Selected".
  if (g_bGuiHidden || index == m_selectedIndex)
    device.SetRenderState(gfx::RenderState::FillMode, static_cast<std::uint32_t>(p.fillMode));
  else if (g_bViewSelected)
    device.SetRenderState(gfx::RenderState::FillMode, gfx::FILL_WIREFRAME);
  device.SetRenderState(gfx::RenderState::ShadeMode, static_cast<std::uint32_t>(p.shadeMode));
  device.SetRenderState(gfx::RenderState::SpecularEnable, 1);
  // The device's lighting state is on or off; any non-zero word is on.
  device.SetRenderState(gfx::RenderState::Lighting, p.lighting != 0 ? 1u : 0u);

  // 5.10
  const DeviceManager& devices = *m_pDevices;
  const CurrentSky sky{h.envMap, envMap};
  if (object.kind == OBJ_METABALL) {
    MetaballField* field = m_peers.Metaballs();
    // A metaball object read from a slide finds the field without a grid.
    if (field && field->GetGridSize() <= 0) field->SetGridSize(64);
    if (field && m_renderer->PrepareMetaballMesh(device, devices, envMap)) {
      MetaballDraw sink(device, devices, *effect, block, m_renderer->MetaballMaterial(), *m_renderer->MetaballMesh(),
                        sky);
      field->Polygonise(sink);
    }
  } else if (hierarchy) {
    AnimatedMesh& am = *object.animatedMesh;
    am.Update(elapsed);
    std::uint32_t part = 0;
    for (const MeshContainer* c : am.Containers()) {
      gfx::Mesh* m = (c->skin && c->skinnedMesh) ? c->skinnedMesh.get() : c->mesh.get();
      const gfx::Mat4 frame = AnimatedMesh::DrawMatrix(*c);
      for (std::uint32_t k = 0; k < c->materials.size(); ++k, ++part) {
        if (!m || !am.IsPartDrawn(part)) continue;
        // The container sits at its frame inside the object.
        const gfx::Mat4 containerWorld = gfx::MatrixMultiply(frame, W);
        if (block) effect->ApplyParameterBlock(block);
        effect->SetMatrix(h.world, containerWorld);
        effect->SetMatrix(h.worldView, gfx::MatrixMultiply(containerWorld, view));
        device.SetRenderState(gfx::RenderState::AlphaBlendEnable, 1);
        SetBlendFactors(device);
        DrawSubsetPassByPass(device, devices, *effect, gfx::BlockHandle{}, c->materials[k], *m, k, sky);
      }
    }
    device.SetRenderState(gfx::RenderState::AlphaBlendEnable, 0);
  } else if (object.mesh) {
    device.SetRenderState(gfx::RenderState::ZWriteEnable, 1);
    device.SetRenderState(gfx::RenderState::CullMode, gfx::CULL_CCW);
    device.SetRenderState(gfx::RenderState::AlphaBlendEnable, 1);
    SetBlendFactors(device);
    for (std::uint32_t k = 0; k < object.materialCount && k < object.materials.size(); ++k)
      DrawSubsetPassByPass(device, devices, *effect, block, object.materials[k], *object.mesh, k, sky);
    device.SetRenderState(gfx::RenderState::AlphaBlendEnable, 0);
    SetBlendFactors(device);
    device.SetRenderState(gfx::RenderState::CullMode, gfx::CULL_CCW);
    device.SetRenderState(gfx::RenderState::ZWriteEnable, 1);
  }

  // The block lives until the object is drawn.
  if (block) effect->DeleteParameterBlock(block);
  m_renderer->objectBlock = gfx::BlockHandle{};
  // 5.11
  device.SetRenderState(gfx::RenderState::FillMode, gfx::FILL_SOLID);
}
