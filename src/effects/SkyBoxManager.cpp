#include "effects/SkyBoxManager.h"

#include <cstdint>
#include <cstdio>

#include "core/ReadNumbers.h"
#include "effects/DeviceManager.h"
#include "effects/SkyBoxMesh.h"
#include "framework/Camera.h"
#include "framework/MediaSearch.h"
#include "gfx/Math.h"
#include "gui/Controls.h"
#include "gui/Dialog.h"
#include "io/BinaryIO.h"
#include "io/Log.h"
#include "io/ReadNotes.h"
#include "io/Utf16.h"
#include "model/SceneObjects.h"

namespace {

struct Row {
  const char* panelText;
  const char16_t* mesh;
  const char16_t* cubeMap;
  const char* technique;
};

constexpr Row kRows[SkyBoxManager::kSkyBoxCount] = {
    {"(C)urrent skybox: Sky 1", u"media\\skybox\\skybox.x", u"media\\skybox\\Light Probes\\stpeters_cross.dds", "RenderSkyBox"},
    {"(C)urrent skybox: Sky 2", u"media\\skybox\\skybox1.x", u"media\\skybox\\Light Probes\\galileo_cross.dds", "RenderSkyBox"},
    {"(C)urrent skybox: Sky 3", u"media\\skybox\\skybox2.x", u"media\\skybox\\Light Probes\\grace_cross.dds", "RenderSkyBox"},
    {"(C)urrent skybox: Sky 4", u"media\\skybox\\cell.x", u"media\\skybox\\Light Probes\\rnl_cross.dds", "RenderSkyBox2D"},
    {"(C)urrent skybox: Sky 5", u"media\\skybox\\skybox2.x", u"media\\skybox\\Light Probes\\nuclear_cross.dds", "RenderSkyBox"},
    {"(C)urrent skybox: Sky 6", u"media\\skybox\\skybox3.x", u"media\\skybox\\Light Probes\\nuclear_cross.dds", "RenderSkyBox"},
    {"(C)urrent skybox: Sky 7", u"media\\skybox\\skybox4.x", u"media\\skybox\\Light Probes\\nuclear_cross.dds", "RenderSkyBox"},
    {"(C)urrent skybox: Sky 8", u"media\\skybox\\skybox5.x", u"media\\skybox\\Light Probes\\nuclear_cross.dds", "RenderSkyBox"},
    {"(C)urrent skybox: Sky 9", u"media\\skybox\\skybox6.x", u"media\\skybox\\Light Probes\\nuclear_cross.dds", "RenderSkyBox"},
};

constexpr gfx::HRESULT kInvalidArg = static_cast<gfx::HRESULT>(0x80070057u);

// The sky box declaration: position, then a three-part texture coordinate.
constexpr gfx::VertexElement kSkyBoxDeclaration[] = {
    {0, 0, gfx::VertexType::Float3, gfx::VertexUsage::Position, 0},
    {0, 12, gfx::VertexType::Float3, gfx::VertexUsage::TexCoord, 0},
};

// The manager whose controls stand in the scene panel: the panel's event
// callback carries the panel's own context, not ours.
SkyBoxManager* g_pControlsOwner = nullptr;

// A "?" button's triple and component: 1131..1133 size, 1135..1137
// rotation, 1139..1141 rotation speed.
std::int32_t* LinkOf(CSkyBoxObject& sky, int id) {
  if (id >= SkyBoxManager::IDC_SKYBOX_SCALE_LINK_X && id <= SkyBoxManager::IDC_SKYBOX_SCALE_LINK_Z)
    return &sky.links3[id - SkyBoxManager::IDC_SKYBOX_SCALE_LINK_X];
  if (id >= SkyBoxManager::IDC_SKYBOX_ROTATION_LINK_X && id <= SkyBoxManager::IDC_SKYBOX_ROTATION_LINK_Z)
    return &sky.links1[id - SkyBoxManager::IDC_SKYBOX_ROTATION_LINK_X];
  if (id >= SkyBoxManager::IDC_SKYBOX_SPEED_LINK_X && id <= SkyBoxManager::IDC_SKYBOX_SPEED_LINK_Z)
    return &sky.links2[id - SkyBoxManager::IDC_SKYBOX_SPEED_LINK_X];
  return nullptr;
}

void SetVectorText(CDXUTDialog& dialog, int id, const float v[3]) {
  CDXUTEditBox* edit = dialog.GetEditBox(id);
  // The box being typed into keeps the user's text.
  if (!edit || CDXUTDialog::GetFocusedControl() == edit) return;
  char text[128];
  int n = std::snprintf(text, sizeof text, "%3.3f %3.3f %3.3f", double(v[0]), double(v[1]), double(v[2]));
  if (n < 0) n = 0;
  if (n >= int(sizeof text)) n = int(sizeof text) - 1;
  char16_t wide[128];
  for (int i = 0; i < n; ++i) wide[i] = static_cast<unsigned char>(text[i]);
  edit->SetText(std::u16string_view(wide, static_cast<std::size_t>(n)));
}

}  // namespace

SkyBoxManager::SkyBoxManager() {
  for (int r = 0; r < kSkyBoxCount; ++r) {
    mv::io::CopyToFixed(m_table[r].meshFile, 260, kRows[r].mesh);
    mv::io::CopyToFixed(m_table[r].cubeMapFile, 260, kRows[r].cubeMap);
    mv::io::CopyToFixed(m_table[r].technique, 64, kRows[r].technique);
  }
}

SkyBoxManager::~SkyBoxManager() {
  if (g_pControlsOwner == this) g_pControlsOwner = nullptr;
}

const char* SkyBoxManager::PanelText(int row) {
  return row >= 0 && row < kSkyBoxCount ? kRows[row].panelText : "";
}

gfx::HRESULT SkyBoxManager::LoadSkyBox(int row) {
  // A stored row outside the table would index past it.
  if (row < 0 || row >= kSkyBoxCount) return kInvalidArg;
  ++m_loadCount;
  if (!m_pDevice) {
    m_currentIndex = row;
    return gfx::S_OK;
  }
  const SkyBoxEntry& entry = m_table[row];
  std::unique_ptr<mv::effects::SkyBoxMesh> mesh;
  std::string error;
  if (gfx::Failed(mv::effects::SkyBoxMesh::Load(*m_pDevice, mv::io::FixedView(entry.meshFile, 260), &mesh, &error))) {
    Log("Sky box mesh " + error + ": the previous sky box stays\n");
    return gfx::S_OK;
  }
  m_pMesh = std::move(mesh);
  m_currentIndex = row;
  gfx::Effect* const effect = m_pDeviceManager ? m_pDeviceManager->GetSceneEffect() : nullptr;
  m_hTechnique = effect ? effect->GetTechniqueByName(entry.technique) : gfx::TechniqueHandle{};

  m_pEnvMap.reset();
  std::filesystem::path path;
  const std::u16string_view cubeMap = mv::io::FixedView(entry.cubeMapFile, 260);
  const gfx::HRESULT found = fw::FindMediaFile(cubeMap, &path);
  if (gfx::Failed(found)) {
    Log("Sky box cube map not found: " + mv::io::Utf16ToUtf8(cubeMap) + "\n");
    return found;
  }
  if (gfx::Failed(m_pDevice->CreateCubeTextureFromFile(path.string(), &m_pEnvMap))) {
    Log("Sky box cube map could not be read: " + path.string() + "\n");
    m_pEnvMap.reset();
    return mv::ERR_MEDIANOTFOUND;
  }
  return gfx::S_OK;
}

gfx::HRESULT SkyBoxManager::OnCreateDevice(gfx::Device& device, int) {
  // The passes drawn are the technique's, each into its row of the device
  // manager's table, so the pass count itself is not kept.
  const gfx::HRESULT hr = device.CreateVertexDeclaration(kSkyBoxDeclaration, std::size(kSkyBoxDeclaration), &m_pDecl);
  if (gfx::Failed(hr)) return hr;
  gfx::Effect* const effect = m_pDeviceManager ? m_pDeviceManager->GetSceneEffect() : nullptr;
  m_hTechnique = effect ? effect->GetTechniqueByName(m_table[0].technique) : gfx::TechniqueHandle{};
  m_hWorld = effect ? effect->GetParameterByName("g_mWorld") : gfx::ParameterHandle{};
  m_hEnvMap = effect ? effect->GetParameterByName("g_txEnvMap") : gfx::ParameterHandle{};
  m_hScene = effect ? effect->GetParameterByName("g_txScene") : gfx::ParameterHandle{};
  m_pDevice = &device;
  LoadSkyBox(m_currentIndex);
  return gfx::S_OK;
}

gfx::HRESULT SkyBoxManager::OnResetDevice(gfx::Device&) { return gfx::S_OK; }

// The mesh, its textures and the environment map are managed: they live
// through a reset, and nothing of the sky box is in the default pool.
void SkyBoxManager::OnLostDevice() {}

void SkyBoxManager::OnDestroyDevice() {
  m_pMesh.reset();
  m_pDecl.reset();
  m_pEnvMap.reset();
  m_hTechnique = {};
  m_hWorld = {}, m_hEnvMap = {}, m_hScene = {};
  m_pDevice = nullptr;
}

void SkyBoxManager::Render(gfx::Device* device) {
  gfx::Effect* const fx = m_pDeviceManager ? m_pDeviceManager->GetSceneEffect() : nullptr;
  if (!device || !fx) return;
  fx->SetTechnique(m_hTechnique);
  device->SetVertexDeclaration(m_pDecl);

  // The box is what covers the scene targets from frame to frame; with
  // nothing to draw they are cleared instead, so no earlier frame shows
  // through (a show without sky box media would smear otherwise).
  if (!m_pMesh || (m_bEnabled && !m_pCamera)) {
    m_pDeviceManager->ClearSceneTargets(*device);
    return;
  }
  gfx::Mat4 world;
  if (m_bEnabled) {
    if (CSkyBoxObject* sky = m_pScene ? m_pScene->SkyBoxObject() : nullptr) {
      m_vScale = glm::vec3(sky->size[0], sky->size[1], sky->size[2]);
      m_vCurrentRotation = glm::vec3(sky->vectorC[0], sky->vectorC[1], sky->vectorC[2]);
    }
    // The box turns with the camera but never moves away from it.
    gfx::Mat4 view = m_pCamera->GetViewMatrix();
    gfx::MatrixElement(view, 4, 1) = 0.0f;
    gfx::MatrixElement(view, 4, 2) = 0.0f;
    gfx::MatrixElement(view, 4, 3) = 0.0f;
    const gfx::Mat4 rotation =
        gfx::MatrixRotationYawPitchRoll(m_vCurrentRotation.x, m_vCurrentRotation.y, m_vCurrentRotation.z);
    world = gfx::MatrixMultiply(gfx::MatrixMultiply(gfx::MatrixScaling(m_vScale), rotation), view);
  } else {
    world = gfx::MatrixScaling(m_vScale);
  }
  fx->SetMatrix(m_hWorld, world);
  fx->SetTexture(m_hEnvMap, m_pEnvMap);

  unsigned passes = 0;
  if (gfx::Failed(fx->Begin(&passes, 0))) return;
  for (unsigned p = 0; p < passes; ++p) {
    // A pass without a row of the table has nowhere to draw.
    if (gfx::Failed(m_pDeviceManager->BindPassTargets(*device, static_cast<int>(p)))) continue;
    fx->BeginPass(p);
    for (std::uint32_t m = 0; m < m_pMesh->GetNumMaterials(); ++m) {
      // A material without a texture shows the cube map alone, as a mesh's
      // does; no texture would sample as black.
      if (m_bEnabled) {
        const auto& texture = m_pMesh->GetTexture(m);
        fx->SetTexture(m_hScene, texture ? texture : m_pDeviceManager->GetWhiteTexture());
      } else
        fx->SetTexture(m_hScene, m_pDeviceManager->GetBlackTexture());
      fx->CommitChanges();
      m_pMesh->DrawSubset(m);
    }
    fx->EndPass();
  }
  fx->End();
}

void SkyBoxManager::BuildControls(CDXUTDialog* dialog) {
  m_pPanelDialog = dialog;
  if (!dialog) return;
  SetPanel(dialog);
  g_pControlsOwner = this;
  dialog->AddCheckBox(IDC_SKYBOX_ENABLE, u"Enable sky(B)ox", 5, 25, 200, 16, true, 'B');
  CDXUTComboBox* combo = nullptr;
  dialog->AddComboBox(IDC_SKYBOX_COMBO, 5, 50, 210, 16, 'S', false, &combo);
  if (combo)
    for (int r = 0; r < kSkyBoxCount; ++r) {
      const std::u16string text = mv::io::Utf8ToUtf16(kRows[r].panelText);
      combo->AddItem(text.c_str(), reinterpret_cast<void*>(static_cast<std::intptr_t>(r)));
    }
  struct Row {
    int label;
    const char16_t* caption;
    int edit;
    int firstLink;
    int y;
  };
  static constexpr Row kVectorRows[] = {
      {IDC_SKYBOX_SCALE_LABEL, u"Pos:", IDC_SKYBOX_SCALE, IDC_SKYBOX_SCALE_LINK_X, 75},
      {IDC_SKYBOX_ROTATION_LABEL, u"Rot:", IDC_SKYBOX_ROTATION, IDC_SKYBOX_ROTATION_LINK_X, 100},
      {IDC_SKYBOX_SPEED_LABEL, u"vRot:", IDC_SKYBOX_ROTATION_SPEED, IDC_SKYBOX_SPEED_LINK_X, 125},
  };
  for (const Row& row : kVectorRows) {
    dialog->AddStatic(row.label, row.caption, 0, row.y, 50, 16);
    CDXUTEditBox* edit = nullptr;
    dialog->AddEditBox(row.edit, u"", 55, row.y, 120, 20, false, &edit);
    if (edit) {
      edit->SetBorderWidth(1);
      edit->SetSpacing(2);
    }
    for (int i = 0; i < 3; ++i) dialog->AddButton(row.firstLink + i, u"?", 180 + 20 * i, row.y + 2, 16, 14);
  }
}

void CALLBACK SkyBoxManager::OnGuiEvent(UINT nEvent, int nControlID, CDXUTControl* pControl, void*) {
  if (g_pControlsOwner) g_pControlsOwner->OnControlEvent(nEvent, nControlID, pControl);
}

void SkyBoxManager::OnControlEvent(UINT nEvent, int nControlID, CDXUTControl* pControl) {
  if (nControlID < IDC_SKYBOX_COMBO || nControlID > IDC_SKYBOX_SPEED_LINK_Z) return;
  CSkyBoxObject* const sky = m_pScene ? dynamic_cast<CSkyBoxObject*>(m_pScene->SelectedObject()) : nullptr;
  switch (nControlID) {
    case IDC_SKYBOX_ENABLE:
      if (auto* box = dynamic_cast<CDXUTCheckBox*>(pControl)) m_bEnabled = box->GetChecked();
      return;
    case IDC_SKYBOX_COMBO:
      if (auto* combo = dynamic_cast<CDXUTComboBox*>(pControl); combo && combo->GetSelectedItem())
        LoadSkyBox(static_cast<int>(reinterpret_cast<std::intptr_t>(combo->GetSelectedData())));
      return;
    case IDC_SKYBOX_SCALE:
    case IDC_SKYBOX_ROTATION:
    case IDC_SKYBOX_ROTATION_SPEED: {
      if (nEvent != EVENT_EDITBOX_CHANGE && nEvent != EVENT_EDITBOX_STRING) return;
      auto* edit = dynamic_cast<CDXUTEditBox*>(pControl);
      if (!edit) return;
      float v[3] = {0.0f, 0.0f, 0.0f};
      ReadNumbers(edit->GetTextString(), v, 3);
      const glm::vec3 value(v[0], v[1], v[2]);
      float* target = nullptr;
      if (nControlID == IDC_SKYBOX_SCALE) {
        m_vScale = value;
        if (sky) target = sky->size;
      } else if (nControlID == IDC_SKYBOX_ROTATION) {
        m_vRotation = value;
        if (sky) target = sky->vectorA;
      } else {
        m_vRotationSpeed = value;
        if (sky) target = sky->vectorB;
      }
      if (target) target[0] = v[0], target[1] = v[1], target[2] = v[2];
      return;
    }
    default:
      if (std::int32_t* link = sky ? LinkOf(*sky, nControlID) : nullptr) {
        *link = m_pScene->SelectedValueScript();
        m_pScene->RefreshScenePanel();
      }
      return;
  }
}

void SkyBoxManager::RefreshControls() {
  CDXUTDialog* const dialog = m_pPanelDialog;
  CSkyBoxObject* const sky = m_pScene ? dynamic_cast<CSkyBoxObject*>(m_pScene->SelectedObject()) : nullptr;
  if (!dialog || !sky) return;
  if (CDXUTCheckBox* box = dialog->GetCheckBox(IDC_SKYBOX_ENABLE)) box->SetChecked(m_bEnabled);
  if (CDXUTComboBox* combo = dialog->GetComboBox(IDC_SKYBOX_COMBO))
    combo->SetSelectedByData(reinterpret_cast<void*>(static_cast<std::intptr_t>(m_currentIndex)));
  SetVectorText(*dialog, IDC_SKYBOX_SCALE, sky->size);
  SetVectorText(*dialog, IDC_SKYBOX_ROTATION, sky->vectorA);
  SetVectorText(*dialog, IDC_SKYBOX_ROTATION_SPEED, sky->vectorB);
  for (int id : {IDC_SKYBOX_SCALE_LINK_X, IDC_SKYBOX_SCALE_LINK_Y, IDC_SKYBOX_SCALE_LINK_Z,
                 IDC_SKYBOX_ROTATION_LINK_X, IDC_SKYBOX_ROTATION_LINK_Y, IDC_SKYBOX_ROTATION_LINK_Z,
                 IDC_SKYBOX_SPEED_LINK_X, IDC_SKYBOX_SPEED_LINK_Y, IDC_SKYBOX_SPEED_LINK_Z})
    if (CDXUTButton* button = dialog->GetButton(id)) button->SetText(ValueLinkText(*LinkOf(*sky, id)));
}

mv::effects::SkyBoxFields SkyBoxManager::GetFields() const {
  mv::effects::SkyBoxFields f;
  f.currentIndex = m_currentIndex;
  f.enabled = m_bEnabled ? 1 : 0;
  f.scale = {m_vScale.x, m_vScale.y, m_vScale.z};
  f.rotation = {m_vRotation.x, m_vRotation.y, m_vRotation.z};
  f.rotationSpeed = {m_vRotationSpeed.x, m_vRotationSpeed.y, m_vRotationSpeed.z};
  return f;
}

std::ostream& SkyBoxManager::Write(std::ostream& out) {
  MVObject::Write(out);
  mv::effects::WriteSkyBoxFields(out, GetFields());
  return out;
}

std::istream& SkyBoxManager::Read(std::istream& in) {
  // A stream that failed before this section must not move the panel either.
  if (!mv::io::Good(in)) return in;
  MVObject::Read(in);
  if (!mv::io::Good(in)) return in;
  mv::effects::SkyBoxFields f;
  // A section cut short leaves the sky box as it was rather than half
  // replaced; the caller sees the failed stream.
  if (!mv::effects::ReadSkyBoxFields(in, f)) return in;
  if (f.enabled > 1) mv::io::NoteRepair(in, mv::effects::kSkyBoxFieldBytes - 4, "sky box enabled byte %u read as true", unsigned(f.enabled));
  m_bEnabled = f.enabled != 0;
  m_vScale = {f.scale[0], f.scale[1], f.scale[2]};
  m_vRotation = {f.rotation[0], f.rotation[1], f.rotation[2]};
  m_vRotationSpeed = {f.rotationSpeed[0], f.rotationSpeed[1], f.rotationSpeed[2]};
  m_vCurrentRotation = m_vRotation;
  if (LoadSkyBox(f.currentIndex) != gfx::S_OK)
    mv::io::NoteRepair(in, mv::effects::kSkyBoxFieldBytes, "sky box row %d outside 0..%d: the previous sky box stays", f.currentIndex, kSkyBoxCount - 1);
  return in;
}
