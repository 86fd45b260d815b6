#pragma once
// The sky box: a table of nine boxes, the current one, an enable switch and
// the box's scale, rotation and rotation speed. Its controls live in the
// scene panel, whose dialog is the panel reference of the base.
#include <cstdint>
#include <memory>

#include <glm/vec3.hpp>

#include "core/MVObject.h"
#include "effects/SectionFormat.h"
#include "gfx/Device.h"
#include "gfx/Effect.h"
#include "gui/GuiTypes.h"

namespace fw {
class CModelViewerCamera;
}
namespace mv::effects {
class SkyBoxMesh;
}
class CDXUTControl;
class CDXUTDialog;
class CSceneObject;
class CSkyBoxObject;
class DeviceManager;

// What the sky box reaches in the scene above it: the sky box object (list
// index 2), the selected object the panel edits, the value script selected
// in the values panel, and the scene panel's refresh. Bound by the program;
// tests bind their own.
class SkyBoxScene {
 public:
  virtual ~SkyBoxScene() = default;
  virtual CSkyBoxObject* SkyBoxObject() = 0;
  virtual CSceneObject* SelectedObject() = 0;
  virtual std::int32_t SelectedValueScript() = 0;
  virtual void RefreshScenePanel() = 0;
};

struct SkyBoxEntry {
  char16_t meshFile[260];
  char16_t cubeMapFile[260];
  char technique[64];
};

class SkyBoxManager : public MVObject {
 public:
  static constexpr int kSkyBoxCount = 9;

  enum PanelControl {
    IDC_SKYBOX_COMBO = 1123,
    IDC_SKYBOX_ENABLE = 1124,
    IDC_SKYBOX_SCALE = 1127,
    IDC_SKYBOX_ROTATION = 1128,
    IDC_SKYBOX_ROTATION_SPEED = 1129,
    IDC_SKYBOX_SCALE_LABEL = 1130,
    IDC_SKYBOX_SCALE_LINK_X = 1131,
    IDC_SKYBOX_SCALE_LINK_Y = 1132,
    IDC_SKYBOX_SCALE_LINK_Z = 1133,
    IDC_SKYBOX_ROTATION_LABEL = 1134,
    IDC_SKYBOX_ROTATION_LINK_X = 1135,
    IDC_SKYBOX_ROTATION_LINK_Y = 1136,
    IDC_SKYBOX_ROTATION_LINK_Z = 1137,
    IDC_SKYBOX_SPEED_LABEL = 1138,
    IDC_SKYBOX_SPEED_LINK_X = 1139,
    IDC_SKYBOX_SPEED_LINK_Y = 1140,
    IDC_SKYBOX_SPEED_LINK_Z = 1141,
  };

  SkyBoxManager();
  ~SkyBoxManager() override;

  // Where the scene effect, the render-target table and the black texture
  // come from, and the scene the panel and the drawing read.
  void SetDeviceManager(const DeviceManager* deviceManager) { m_pDeviceManager = deviceManager; }
  void SetScene(SkyBoxScene* scene) { m_pScene = scene; }

  // Device side. Create: the vertex declaration, row 0's technique and the
  // current sky box (its result ignored). Reset: nothing (the mesh and the
  // environment map are managed). Lost: nothing of ours lives in the default
  // pool. Destroy: mesh, declaration and environment map let go.
  gfx::HRESULT OnCreateDevice(gfx::Device& device, int passCount);
  gfx::HRESULT OnResetDevice(gfx::Device& device);
  void OnLostDevice();
  void OnDestroyDevice();

  // The first drawing of the frame, inside its scene: the box around the
  // viewer, pass by pass into the rows of the render-target table.
  void Render(gfx::Device* device);

  // The cube map of the current sky box (empty when it has none), which the
  // scene renderer reflects as "g_txEnvMap".
  const std::shared_ptr<gfx::CubeTexture>& GetEnvironmentMap() const { return m_pEnvMap; }
  const mv::effects::SkyBoxMesh* GetMesh() const { return m_pMesh.get(); }
  gfx::TechniqueHandle GetTechnique() const { return m_hTechnique; }
  const std::shared_ptr<gfx::VertexDeclaration>& GetVertexDeclaration() const { return m_pDecl; }

  // The sky box rows of the scene panel, added to `dialog` (remembered, and
  // the panel reference of the base); their events; their values from the
  // selected sky box object.
  void BuildControls(CDXUTDialog* dialog);
  static void CALLBACK OnGuiEvent(UINT nEvent, int nControlID, CDXUTControl* pControl, void* pUserContext);
  void OnControlEvent(UINT nEvent, int nControlID, CDXUTControl* pControl);
  void RefreshControls();

  std::int32_t GetType() const override { return MV_TYPE_SKYBOX; }
  std::ostream& Write(std::ostream& out) override;
  std::istream& Read(std::istream& in) override;

  // Makes row r the current sky box. A row outside the table is refused
  // (E_INVALIDARG) and changes nothing. Before the device exists the row
  // is only remembered: device creation loads it. With a device, a mesh
  // that cannot be read keeps the previous sky box whole and reports
  // success; then the cube map is loaded, and one that is missing or
  // unreadable leaves no environment map and is what is returned.
  gfx::HRESULT LoadSkyBox(int row);

  // The table row's caption in the panel's combo box.
  static const char* PanelText(int row);
  const SkyBoxEntry& GetEntry(int row) const { return m_table[row]; }

  std::int32_t GetCurrentIndex() const { return m_currentIndex; }
  bool IsEnabled() const { return m_bEnabled; }
  void SetEnabled(bool enabled) { m_bEnabled = enabled; }
  const glm::vec3& GetScale() const { return m_vScale; }
  void SetScale(const glm::vec3& v) { m_vScale = v; }
  const glm::vec3& GetRotation() const { return m_vRotation; }
  void SetRotation(const glm::vec3& v) { m_vRotation = v; }
  const glm::vec3& GetRotationSpeed() const { return m_vRotationSpeed; }
  void SetRotationSpeed(const glm::vec3& v) { m_vRotationSpeed = v; }
  const glm::vec3& GetCurrentRotation() const { return m_vCurrentRotation; }
  void SetCurrentRotation(const glm::vec3& v) { m_vCurrentRotation = v; }
  fw::CModelViewerCamera* GetCamera() const { return m_pCamera; }
  void SetCamera(fw::CModelViewerCamera* camera) { m_pCamera = camera; }
  // How many times a sky box was (re)loaded; the cube map and mesh loading
  // hang off LoadSkyBox.
  int GetLoadCount() const { return m_loadCount; }

  // The section fields as the manager holds them now.
  mv::effects::SkyBoxFields GetFields() const;

 private:
  SkyBoxEntry m_table[10]{};
  std::int32_t m_currentIndex = 0;
  bool m_bEnabled = true;
  glm::vec3 m_vScale{100.0f, 100.0f, 100.0f};
  glm::vec3 m_vRotation{0.0f};
  glm::vec3 m_vRotationSpeed{0.0f};
  glm::vec3 m_vCurrentRotation{0.0f};
  fw::CModelViewerCamera* m_pCamera = nullptr;
  int m_loadCount = 0;

  const DeviceManager* m_pDeviceManager = nullptr;
  SkyBoxScene* m_pScene = nullptr;
  gfx::Device* m_pDevice = nullptr;
  int m_passCount = 1;
  std::unique_ptr<mv::effects::SkyBoxMesh> m_pMesh;
  std::shared_ptr<gfx::VertexDeclaration> m_pDecl;
  std::shared_ptr<gfx::CubeTexture> m_pEnvMap;
  gfx::TechniqueHandle m_hTechnique;
  gfx::ParameterHandle m_hWorld, m_hEnvMap, m_hScene;
  CDXUTDialog* m_pPanelDialog = nullptr;
};

extern SkyBoxManager g_SkyBoxManager;
