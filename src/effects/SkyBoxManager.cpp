#include "effects/SkyBoxManager.h"

#include "io/ReadNotes.h"

#include "io/BinaryIO.h"
#include "io/Utf16.h"

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

}  // namespace

SkyBoxManager::SkyBoxManager() {
  for (int r = 0; r < kSkyBoxCount; ++r) {
    mv::io::CopyToFixed(m_table[r].meshFile, 260, kRows[r].mesh);
    mv::io::CopyToFixed(m_table[r].cubeMapFile, 260, kRows[r].cubeMap);
    mv::io::CopyToFixed(m_table[r].technique, 64, kRows[r].technique);
  }
}

const char* SkyBoxManager::PanelText(int row) {
  return row >= 0 && row < kSkyBoxCount ? kRows[row].panelText : "";
}

gfx::HRESULT SkyBoxManager::LoadSkyBox(int row) {
  // A stored row outside the table would index past it.
  if (row < 0 || row >= kSkyBoxCount) return kInvalidArg;
  m_currentIndex = row;
  ++m_loadCount;
  return gfx::S_OK;
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
