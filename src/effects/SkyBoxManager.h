#pragma once
// The sky box: a table of nine boxes, the current one, an enable switch and
// the box's scale, rotation and rotation speed. Its controls live in the
// scene panel, whose dialog is the panel reference of the base.
#include <cstdint>

#include <glm/vec3.hpp>

#include "core/MVObject.h"
#include "effects/SectionFormat.h"
#include "gfx/Device.h"

namespace fw {
class CModelViewerCamera;
}

struct SkyBoxEntry {
  char16_t meshFile[260];
  char16_t cubeMapFile[260];
  char technique[64];
};

class SkyBoxManager : public MVObject {
 public:
  static constexpr int kSkyBoxCount = 9;

  SkyBoxManager();

  std::int32_t GetType() const override { return MV_TYPE_SKYBOX; }
  std::ostream& Write(std::ostream& out) override;
  std::istream& Read(std::istream& in) override;

  // Makes row r the current sky box. A row outside the table is refused
  // (E_INVALIDARG) and changes nothing.
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
};

extern SkyBoxManager g_SkyBoxManager;
