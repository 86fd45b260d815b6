// The "Scene Manager" panel: rows that depend on the selected object's
// kind, their refresh from the object, and the events that edit it.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>

#include "core/Globals.h"
#include "core/ReadNumbers.h"
#include "effects/PostProcessManager.h"
#include "gui/Gui.h"
#include "scene/Catalog.h"
#include "scene/SceneManager.h"
#include "scene/ScenePanel.h"
#include "values/ValuesManager.h"

namespace {

constexpr gui::Color kPanelColour = 0x64C8E6FF;  // alpha 100, red 200, green 230, blue 255
constexpr int kPanelWidth = 280;
constexpr int kPanelHeight = 470;
constexpr int kRowStep = 25;

bool HasParentRow(std::int32_t kind) {
  switch (kind) {
    case OBJ_MESH: case OBJ_LIGHT: case OBJ_CAMERA: case OBJ_TEXT: case OBJ_PARTICLE:
    case OBJ_ANIM: case OBJ_GENERATED: case OBJ_METABALL:
      return true;
    default:
      return false;
  }
}
// Kinds with the renderer, fill, shade, Power, Reflectivity and Flex rows.
bool HasLookRows(std::int32_t kind) {
  return kind == OBJ_MESH || kind == OBJ_TEXT || kind == OBJ_ANIM || kind == OBJ_GENERATED;
}
bool HasObjectCombo(std::int32_t kind) { return IsMeshKind(kind) || kind == OBJ_METABALL; }

struct ComboItem {
  const char16_t* text;
  int data;
};
constexpr ComboItem kRenderers[] = {{u"Complex renderer", 0},       {u"Env.Map renderer", 1},
                                    {u"Env.Map Front Textured", 2}, {u"Env.Map Transparence", 3},
                                    {u"Fast Rendere", 4},           {u"Fast Rendere No Trans", 5}};
constexpr ComboItem kFillModes[] = {{u"Render (M)ode : Point", FILL_POINT},
                                    {u"Render (M)ode : Wireframe", FILL_WIREFRAME},
                                    {u"Render (M)ode : Solid", FILL_SOLID}};
constexpr ComboItem kShadeModes[] = {{u"(S)hade Mode : FLAT", SHADE_FLAT},
                                     {u"(S)hade Mode : GOURAUD", SHADE_GOURAUD},
                                     {u"(S)hade Mode : PHONG", SHADE_PHONG}};
constexpr ComboItem kAnimationTypes[] = {{u"Stop", ANIM_STOP},
                                         {u"Single", ANIM_SINGLE},
                                         {u"Loop Forward", ANIM_LOOP_FORWARD},
                                         {u"Loop Backward", ANIM_LOOP_BACKWARD},
                                         {u"Ping-Pong", ANIM_PING_PONG}};

// Places the rows of one build top-down.
struct RowBuilder {
  CDXUTDialog& d;
  int y;

  void Next() { y += kRowStep; }
  void Label(int id, const char16_t* text, int x, int width) { d.AddStatic(id, text, x, y, width, 16); }
  void Edit(int id, int x, int width, const char16_t* text = u"") {
    CDXUTEditBox* edit = nullptr;
    d.AddEditBox(id, text, x, y, width, 20, false, &edit);
    if (edit) {
      edit->SetBorderWidth(1);
      edit->SetSpacing(2);
    }
  }
  // Value-link buttons, 20 pixels apart.
  void Links(int firstId, int count, int x = 180) {
    for (int i = 0; i < count; ++i) d.AddButton(firstId + i, u"?", x + 20 * i, y + 2, 16, 14);
  }
  CDXUTComboBox* Combo(int id, int x, int width, UINT hotkey) {
    CDXUTComboBox* combo = nullptr;
    d.AddComboBox(id, x, y, width, 16, hotkey, false, &combo);
    return combo;
  }
  template <std::size_t N>
  void Combo(int id, UINT hotkey, const ComboItem (&items)[N], int x = 5, int width = 210) {
    if (CDXUTComboBox* combo = Combo(id, x, width, hotkey))
      for (const ComboItem& item : items) combo->AddItem(item.text, gui::ToData(item.data));
  }
  // Label, edit box and link buttons: the columns of the vector rows.
  void VectorRow(int labelId, const char16_t* label, int editId, int firstLink, int links) {
    Label(labelId, label, 0, 50);
    Edit(editId, 55, 120);
    Links(firstLink, links);
    Next();
  }
};

// Formats printf-style into a fixed buffer of UTF-16 units (the formats
// here produce ASCII only).
template <std::size_t N>
const char16_t* Format(char16_t (&out)[N], const char* format, ...) {
  char narrow[N];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(narrow, N, format, args);
  va_end(args);
  std::size_t i = 0;
  for (; n > 0 && i < static_cast<std::size_t>(n) && i + 1 < N; ++i)
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(narrow[i]));
  out[i] = 0;
  return out;
}

void SetStaticText(CDXUTDialog& d, int id, const char16_t* text) {
  CDXUTControl* c = d.GetControl(id);
  auto* s = dynamic_cast<CDXUTStatic*>(c);
  if (s && s->GetTextString() != text) s->SetText(text);
}

// The box the user is typing into keeps its text: writing the formatted
// value back after every keystroke would undo the typing.
void SetEditText(CDXUTDialog& d, int id, const char16_t* text) {
  CDXUTEditBox* edit = d.GetEditBox(id);
  if (!edit || edit->HasFocus() || edit->GetTextString() == text) return;
  edit->SetText(text);
}

void ShowLinks(CDXUTDialog& d, int firstId, const std::int32_t* links, int count) {
  for (int i = 0; i < count; ++i) SetStaticText(d, firstId + i, ValueLinkText(links[i]));
}

void SelectByData(CDXUTDialog& d, int id, std::intptr_t data) {
  if (CDXUTComboBox* combo = d.GetComboBox(id)) combo->SetSelectedByData(gui::ToData(data));
}

// A number typed for a whole field, truncated toward zero and kept inside
// the field's range.
std::int32_t Truncated(float v) {
  if (!std::isfinite(v)) return 0;
  const double t = std::trunc(static_cast<double>(v));
  if (t <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) return std::numeric_limits<std::int32_t>::min();
  if (t >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(t);
}

}  // namespace

// ---- building ---------------------------------------------------------------------

void SceneManager::SetPanelHosts(PostProcessManager* postProcess, SceneSkyBoxControls* skyBox,
                                 const ValuesManager* values) {
  m_pPostProcess = postProcess;
  m_pSkyBoxControls = skyBox;
  m_pValues = values;
}

void SceneManager::CreatePanel(CDXUTDialogResourceManager* resources) {
  m_panel.Init(resources, resources != nullptr);
  m_panel.SetCallback(&SceneManager::OnGuiEvent, this);
  BuildPanel(0, true);
  SetPanel(&m_panel);
}

void SceneManager::BuildPanel(std::int32_t kind, bool firstTime) {
  CDXUTDialog& d = m_panel;
  d.RemoveAllControls();
  d.SetTexture(1, u"media\\GUI\\Widget2.dds");
  d.EnableCaption(true);
  d.SetCaptionText(u"Scene Manager");
  d.SetBackgroundColors(kPanelColour);
  d.SetSize(kPanelWidth, kPanelHeight);
  if (firstTime) d.SetLocation(1060, 10);

  d.AddButton(IDC_SCENE_PREVIOUS, u"<", 10, 5, 30, 20);
  d.AddStatic(IDC_SCENE_COUNTER, u"---", 40, 5, 30, 20);
  d.AddButton(IDC_SCENE_NEXT, u">", 70, 5, 30, 20);
  d.AddButton(IDC_SCENE_INSERT, u"Insert", 100, 5, 50, 20);
  d.AddButton(IDC_SCENE_REMOVE, u"Remove", 150, 5, 50, 20);
  BuildObjectRows(kind);

  m_panelKind = kind;
  m_bLightWidgetActive = kind == OBJ_LIGHT;
  // A fresh build shows no values until the next refresh.
  m_bPanelDirty = true;
}

void SceneManager::BuildObjectRows(std::int32_t kind) {
  CDXUTDialog& d = m_panel;
  RowBuilder r{d, 30};

  // Second row: what the object is.
  if (HasObjectCombo(kind)) {
    if (CDXUTComboBox* combo = r.Combo(IDC_SCENE_OBJECT, 5, 210, 'M')) {
      combo->SetDropHeight(20);
      const int entries = m_pCatalog ? static_cast<int>(m_pCatalog->Count()) : 0;
      for (int i = 0; i < entries; ++i) combo->AddItem(m_pCatalog->Get(i)->name, gui::ToData(i));
    }
  } else if (kind == OBJ_LAYERTEXT) {
    r.Label(IDC_SCENE_KIND_LABEL, u"Layer Text", 5, 210);
  } else if (kind == OBJ_CAMERA) {
    r.Label(IDC_SCENE_KIND_LABEL, u"Camera", 5, 210);
  } else if (kind == OBJ_LIGHT) {
    r.Label(IDC_SCENE_KIND_LABEL, u"Light", 5, 210);
  } else if (kind == OBJ_SKYBOX) {
    if (m_pSkyBoxControls) m_pSkyBoxControls->BuildControls(&d);
    return;
  } else if (kind == OBJ_POSTPROCESS) {
    if (m_pPostProcess) m_pPostProcess->BuildControls(&d);
    return;
  }
  r.y = 55;

  if (HasParentRow(kind)) {
    if (CDXUTComboBox* combo = r.Combo(IDC_SCENE_PARENT, 5, 210, 'P')) {
      combo->AddItem(u"Parent Object : None", gui::ToData(-1));
      char16_t text[32];
      for (int i = 0; i < GetObjectCount(); ++i) combo->AddItem(Format(text, "Parent Object : %2.2d", i), gui::ToData(i));
    }
    r.Next();
  }
  if (kind == OBJ_TEXT) {
    r.Edit(IDC_SCENE_TEXT, 10, 200, u"Insert Text");
    r.Next();
    if (CDXUTComboBox* combo = r.Combo(IDC_SCENE_FONT, 5, 210, 'F'))
      for (const FontName& name : m_fonts) combo->AddItem(name.data(), const_cast<char16_t*>(name.data()));
    r.Next();
  }
  if (HasLookRows(kind)) {
    r.Combo(IDC_SCENE_RENDERER, 'S', kRenderers);
    r.Next();
    r.Combo(IDC_SCENE_FILL, 'M', kFillModes);
    r.Next();
    r.Combo(IDC_SCENE_SHADE, 'M', kShadeModes);
    r.Next();
    r.Label(IDC_SCENE_POWER_LABEL, u"Power:", 0, 110);
    r.Edit(IDC_SCENE_POWER, 110, 100);
    r.Links(IDC_SCENE_LINK_POWER, 1, 220);
    r.Next();
    r.Label(IDC_SCENE_REFLECTIVITY_LABEL, u"Reflectivity:", 0, 110);
    r.Edit(IDC_SCENE_REFLECTIVITY, 110, 100);
    r.Links(IDC_SCENE_LINK_REFLECTIVITY, 1, 220);
    r.Next();
    r.Label(IDC_SCENE_FLEX_LABEL, u"Flex", 0, 30);
    r.Edit(IDC_SCENE_FLEX, 35, 170);
    r.Links(IDC_SCENE_LINK_FLEX, 3, 210);
    r.Next();
  }
  if (kind == OBJ_CAMERA) {
    r.VectorRow(IDC_SCENE_EYE_LABEL, u"Eye:", IDC_SCENE_EYE, IDC_SCENE_LINK_EYE, 3);
    r.VectorRow(IDC_SCENE_LOOKAT_LABEL, u"LookAt:", IDC_SCENE_LOOKAT, IDC_SCENE_LINK_LOOKAT, 3);
  }
  if (kind == OBJ_METABALL) r.VectorRow(IDC_SCENE_POS_LABEL, u"Pos:", IDC_SCENE_POS, 0, 0);
  if (kind == OBJ_LAYERTEXT) r.VectorRow(IDC_SCENE_POS_LABEL, u"Pos:", IDC_SCENE_POS, IDC_SCENE_LINK_POS, 3);
  if (kind == OBJ_LIGHT) {
    r.VectorRow(IDC_SCENE_LIGHT_POS_LABEL, u"iPos:", IDC_SCENE_LIGHT_POS, IDC_SCENE_LINK_LIGHT_POS, 3);
    r.VectorRow(IDC_SCENE_LIGHT_RADIUS_LABEL, u"iRadius:", IDC_SCENE_LIGHT_RADIUS, IDC_SCENE_LINK_LIGHT_RADIUS, 1);
  }
  if (IsMeshKind(kind)) {
    r.VectorRow(IDC_SCENE_IPOS_LABEL, u"iPos:", IDC_SCENE_IPOS, IDC_SCENE_LINK_IPOS, 3);
    r.VectorRow(IDC_SCENE_IROT_LABEL, u"iRot:", IDC_SCENE_IROT, IDC_SCENE_LINK_IROT, 3);
    r.VectorRow(IDC_SCENE_ISCALE_LABEL, u"iScale:", IDC_SCENE_ISCALE, IDC_SCENE_LINK_ISCALE, 3);
    r.VectorRow(IDC_SCENE_VSPEC_LABEL, u"vSpec:", IDC_SCENE_VSPEC, IDC_SCENE_LINK_VSPEC, 3);
    r.VectorRow(IDC_SCENE_VDIFF_LABEL, u"vDiff:", IDC_SCENE_VDIFF, IDC_SCENE_LINK_VDIFF, 4);
    const bool sections = kind == OBJ_GENERATED;
    r.Label(IDC_SCENE_START_LABEL, sections ? u"start sect:" : u"start face:", 0, 80);
    r.Edit(IDC_SCENE_START, 85, 80);
    r.Links(IDC_SCENE_LINK_START, 1);
    r.Next();
    r.Label(IDC_SCENE_END_LABEL, sections ? u"end sect:" : u"end face:", 0, 80);
    r.Edit(IDC_SCENE_END, 85, 80);
    r.Links(IDC_SCENE_LINK_END, 1);
    r.Next();
  }
  if (kind == OBJ_ANIM) {
    r.Label(IDC_SCENE_ANIM_SET_LABEL, u"Animation Set:", 0, 90);
    r.Edit(IDC_SCENE_ANIM_SET, 95, 50);
    r.Next();
    r.Label(IDC_SCENE_ANIM_SPEED_LABEL, u"Animation Speed:", 0, 90);
    r.Edit(IDC_SCENE_ANIM_SPEED, 95, 50);
    r.Next();
    r.Label(IDC_SCENE_ANIM_TYPE_LABEL, u"Animation Type:", 0, 90);
    r.Combo(IDC_SCENE_ANIM_TYPE, 'M', kAnimationTypes, 95, 120);
    r.Next();
  }
}

// ---- refresh ----------------------------------------------------------------------

float* SceneManager::PostProcessParameters() const {
  auto* post = dynamic_cast<CPostProcessObject*>(GetObject(3));
  return post ? post->params : nullptr;
}

void SceneManager::RefreshPanel() {
  if (g_bGuiHidden) return;
  CDXUTDialog& d = m_panel;
  char16_t text[128];
  if (m_objects.IsEmpty()) {
    SetStaticText(d, IDC_SCENE_COUNTER, u"---");
    return;
  }
  SetStaticText(d, IDC_SCENE_COUNTER, Format(text, "%3d/%3d", m_selectedIndex, GetObjectCount()));
  CSceneObject* o = GetSelectedObject();
  if (!o) return;
  m_selectedKind = o->kind;
  // The next Render rebuilds the panel for the new kind first.
  if (m_selectedKind != m_panelKind) return;
  const std::int32_t kind = m_selectedKind;

  if (kind == OBJ_POSTPROCESS && m_pPostProcess) m_pPostProcess->RefreshParameters(PostProcessParameters());
  if (kind == OBJ_SKYBOX && m_pSkyBoxControls) m_pSkyBoxControls->RefreshControls();
  if (HasParentRow(kind)) SelectByData(d, IDC_SCENE_PARENT, o->parent);

  if (auto* mesh = dynamic_cast<CMesh*>(o)) {
    MeshParams& p = mesh->params;
    if (HasObjectCombo(kind)) SelectByData(d, IDC_SCENE_OBJECT, mesh->catalogIndex);
    if (HasLookRows(kind)) {
      if (kind == OBJ_TEXT) {
        SetEditText(d, IDC_SCENE_TEXT, mesh->text);
        if (CDXUTComboBox* fonts = d.GetComboBox(IDC_SCENE_FONT)) fonts->SetSelectedByText(mesh->font);
      }
      SetStaticText(d, IDC_SCENE_POWER_LABEL, u"Power : ");
      SetStaticText(d, IDC_SCENE_REFLECTIVITY_LABEL, u"Reflectivity : ");
      SetEditText(d, IDC_SCENE_POWER, Format(text, "%3.3f", static_cast<double>(p.Power)));
      SetEditText(d, IDC_SCENE_REFLECTIVITY, Format(text, "%3.3f", static_cast<double>(p.Reflectivity)));
      ShowLinks(d, IDC_SCENE_LINK_POWER, &p.PowerLink, 1);
      ShowLinks(d, IDC_SCENE_LINK_REFLECTIVITY, &p.ReflectivityLink, 1);
      SetEditText(d, IDC_SCENE_FLEX,
                  Format(text, "%3.2f %3.2f %3.2f %2.2f %2.2f %2.2f", static_cast<double>(p.DeformA),
                         static_cast<double>(p.DeformB), static_cast<double>(p.DeformC),
                         static_cast<double>(p.Delta[0]), static_cast<double>(p.Delta[1]),
                         static_cast<double>(p.Delta[2])));
      ShowLinks(d, IDC_SCENE_LINK_FLEX, p.flexLinks, 3);
      SelectByData(d, IDC_SCENE_FILL, p.fillMode);
      SelectByData(d, IDC_SCENE_SHADE, p.shadeMode);
      SelectByData(d, IDC_SCENE_RENDERER, p.renderer);
    }
    if (IsMeshKind(kind)) {
      SetEditText(d, IDC_SCENE_IPOS, Format(text, "%3.2f %3.2f %3.2f", static_cast<double>(p.iPos[0]),
                                            static_cast<double>(p.iPos[1]), static_cast<double>(p.iPos[2])));
      SetEditText(d, IDC_SCENE_IROT, Format(text, "%3.2f %3.2f %3.2f", static_cast<double>(p.iRot[0]),
                                            static_cast<double>(p.iRot[1]), static_cast<double>(p.iRot[2])));
      SetEditText(d, IDC_SCENE_VSPEC, Format(text, "%1.2f %1.2f %1.2f", static_cast<double>(p.vSpec[0]),
                                             static_cast<double>(p.vSpec[1]), static_cast<double>(p.vSpec[2])));
      SetEditText(d, IDC_SCENE_VDIFF,
                  Format(text, "%1.2f %1.2f %1.2f %1.2f", static_cast<double>(p.vDiff[0]),
                         static_cast<double>(p.vDiff[1]), static_cast<double>(p.vDiff[2]),
                         static_cast<double>(p.vDiff[3])));
      SetEditText(d, IDC_SCENE_ISCALE, Format(text, "%3.3f %3.3f %3.3f", static_cast<double>(p.iScale[0]),
                                              static_cast<double>(p.iScale[1]), static_cast<double>(p.iScale[2])));
      SetEditText(d, IDC_SCENE_START, Format(text, "%8d", static_cast<int>(p.start)));
      SetEditText(d, IDC_SCENE_END, Format(text, "%8d", static_cast<int>(p.end)));
      ShowLinks(d, IDC_SCENE_LINK_IPOS, p.iPosLinks, 3);
      ShowLinks(d, IDC_SCENE_LINK_IROT, p.iRotLinks, 3);
      ShowLinks(d, IDC_SCENE_LINK_VSPEC, p.vSpecLinks, 3);
      ShowLinks(d, IDC_SCENE_LINK_VDIFF, p.vDiffLinks, 4);
      ShowLinks(d, IDC_SCENE_LINK_ISCALE, p.iScaleLinks, 3);
      ShowLinks(d, IDC_SCENE_LINK_START, &p.startLink, 1);
      ShowLinks(d, IDC_SCENE_LINK_END, &p.endLink, 1);
    }
    if (kind == OBJ_METABALL)
      SetEditText(d, IDC_SCENE_POS, Format(text, "%3.3f %3.3f %3.3f", static_cast<double>(p.iPos[0]),
                                           static_cast<double>(p.iPos[1]), static_cast<double>(p.iPos[2])));
    if (kind == OBJ_ANIM) {
      SetEditText(d, IDC_SCENE_ANIM_SET, Format(text, "%d", static_cast<int>(p.animationSet)));
      SetEditText(d, IDC_SCENE_ANIM_SPEED, Format(text, "%2.2f", static_cast<double>(p.animationSpeed)));
      SelectByData(d, IDC_SCENE_ANIM_TYPE, p.animationType);
    }
  } else if (auto* cam = dynamic_cast<CCameraObject*>(o)) {
    SetEditText(d, IDC_SCENE_EYE, Format(text, "%3.3f %3.3f %3.3f", static_cast<double>(cam->Eye[0]),
                                         static_cast<double>(cam->Eye[1]), static_cast<double>(cam->Eye[2])));
    SetEditText(d, IDC_SCENE_LOOKAT,
                Format(text, "%3.3f %3.3f %3.3f", static_cast<double>(cam->LookAt[0]),
                       static_cast<double>(cam->LookAt[1]), static_cast<double>(cam->LookAt[2])));
    ShowLinks(d, IDC_SCENE_LINK_EYE, cam->eyeLinks, 3);
    ShowLinks(d, IDC_SCENE_LINK_LOOKAT, cam->lookAtLinks, 3);
  } else if (auto* layer = dynamic_cast<CLayerTextObject*>(o)) {
    SetEditText(d, IDC_SCENE_POS, Format(text, "%3.3f %3.3f %3.3f", static_cast<double>(layer->Pos[0]),
                                         static_cast<double>(layer->Pos[1]), static_cast<double>(layer->Pos[2])));
    ShowLinks(d, IDC_SCENE_LINK_POS, layer->posLinks, 3);
  } else if (auto* light = dynamic_cast<CLightObject*>(o)) {
    const gfx::Vec3& dir = m_lightWidget.GetLightDirection();
    SetEditText(d, IDC_SCENE_LIGHT_POS, Format(text, "%3.2f %3.2f %3.2f", static_cast<double>(dir.x),
                                               static_cast<double>(dir.y), static_cast<double>(dir.z)));
    SetEditText(d, IDC_SCENE_LIGHT_RADIUS, Format(text, "%4.2f", static_cast<double>(m_lightWidget.GetRadius())));
    ShowLinks(d, IDC_SCENE_LINK_LIGHT_POS, light->positionLinks, 3);
    ShowLinks(d, IDC_SCENE_LINK_LIGHT_RADIUS, &light->radiusLink, 1);
  }
  m_bLightWidgetActive = kind == OBJ_LIGHT;
}

// ---- events -----------------------------------------------------------------------

void SceneManager::OnGuiEvent(UINT event, int controlId, CDXUTControl* control, void* userContext) {
  if (userContext) static_cast<SceneManager*>(userContext)->OnPanelEvent(event, controlId, control);
}

std::int32_t* SceneManager::LinkOfButton(int id) const {
  CSceneObject* o = GetSelectedObject();
  auto in = [id](int first, int count) { return id >= first && id < first + count; };
  if (auto* mesh = dynamic_cast<CMesh*>(o)) {
    MeshParams& p = mesh->params;
    if (id == IDC_SCENE_LINK_POWER) return &p.PowerLink;
    if (id == IDC_SCENE_LINK_REFLECTIVITY) return &p.ReflectivityLink;
    if (in(IDC_SCENE_LINK_IPOS, 3)) return &p.iPosLinks[id - IDC_SCENE_LINK_IPOS];
    if (in(IDC_SCENE_LINK_IROT, 3)) return &p.iRotLinks[id - IDC_SCENE_LINK_IROT];
    if (in(IDC_SCENE_LINK_ISCALE, 3)) return &p.iScaleLinks[id - IDC_SCENE_LINK_ISCALE];
    if (in(IDC_SCENE_LINK_VSPEC, 3)) return &p.vSpecLinks[id - IDC_SCENE_LINK_VSPEC];
    if (in(IDC_SCENE_LINK_VDIFF, 4)) return &p.vDiffLinks[id - IDC_SCENE_LINK_VDIFF];
    if (id == IDC_SCENE_LINK_START) return &p.startLink;
    if (id == IDC_SCENE_LINK_END) return &p.endLink;
    if (in(IDC_SCENE_LINK_FLEX, 3)) return &p.flexLinks[id - IDC_SCENE_LINK_FLEX];
  } else if (auto* light = dynamic_cast<CLightObject*>(o)) {
    if (in(IDC_SCENE_LINK_LIGHT_POS, 3)) return &light->positionLinks[id - IDC_SCENE_LINK_LIGHT_POS];
    if (id == IDC_SCENE_LINK_LIGHT_RADIUS) return &light->radiusLink;
  } else if (auto* cam = dynamic_cast<CCameraObject*>(o)) {
    if (in(IDC_SCENE_LINK_EYE, 3)) return &cam->eyeLinks[id - IDC_SCENE_LINK_EYE];
    if (in(IDC_SCENE_LINK_LOOKAT, 3)) return &cam->lookAtLinks[id - IDC_SCENE_LINK_LOOKAT];
  } else if (auto* layer = dynamic_cast<CLayerTextObject*>(o)) {
    if (in(IDC_SCENE_LINK_POS, 3)) return &layer->posLinks[id - IDC_SCENE_LINK_POS];
  }
  return nullptr;
}

void SceneManager::ApplyEditBox(int id, std::u16string_view text) {
  CSceneObject* o = GetSelectedObject();
  // Missing numbers read as 0.
  float v[6] = {0, 0, 0, 0, 0, 0};
  auto read = [&](std::size_t n) { ReadNumbers(text, v, n); };
  if (auto* mesh = dynamic_cast<CMesh*>(o)) {
    MeshParams& p = mesh->params;
    switch (id) {
      case IDC_SCENE_POWER: read(1); p.Power = v[0]; break;
      case IDC_SCENE_REFLECTIVITY: read(1); p.Reflectivity = v[0]; break;
      case IDC_SCENE_IPOS: read(3); std::copy(v, v + 3, p.iPos); break;
      case IDC_SCENE_IROT: read(3); std::copy(v, v + 3, p.iRot); break;
      case IDC_SCENE_ISCALE: read(3); std::copy(v, v + 3, p.iScale); break;
      case IDC_SCENE_VDIFF: read(4); std::copy(v, v + 4, p.vDiff); break;
      case IDC_SCENE_VSPEC:
        // The box shows r, g, b: the alpha changes only when a fourth
        // number is typed.
        v[3] = p.vSpec[3];
        read(4);
        std::copy(v, v + 4, p.vSpec);
        break;
      case IDC_SCENE_START: read(1); p.start = Truncated(v[0]); break;
      case IDC_SCENE_END: read(1); p.end = Truncated(v[0]); break;
      case IDC_SCENE_ANIM_SET: read(1); p.animationSet = Truncated(v[0]); break;
      case IDC_SCENE_ANIM_SPEED: read(1); p.animationSpeed = v[0]; break;
      case IDC_SCENE_FLEX:
        read(6);
        p.DeformA = v[0], p.DeformB = v[1], p.DeformC = v[2];
        std::copy(v + 3, v + 6, p.Delta);
        break;
      // A metaball's "Pos:" places it like any mesh.
      case IDC_SCENE_POS: read(3); std::copy(v, v + 3, p.iPos); break;
      default: break;
    }
  } else if (auto* cam = dynamic_cast<CCameraObject*>(o)) {
    if (id != IDC_SCENE_EYE && id != IDC_SCENE_LOOKAT) return;
    read(3);
    std::copy(v, v + 3, id == IDC_SCENE_EYE ? cam->Eye : cam->LookAt);
    m_camera.SetViewParams(gfx::Vec3(cam->Eye[0], cam->Eye[1], cam->Eye[2]),
                           gfx::Vec3(cam->LookAt[0], cam->LookAt[1], cam->LookAt[2]));
  } else if (auto* light = dynamic_cast<CLightObject*>(o)) {
    if (id == IDC_SCENE_LIGHT_POS) {
      read(3);
      std::copy(v, v + 3, light->position);
      const gfx::Vec3 dir(v[0], v[1], v[2]);
      m_lightWidget.SetDefaultDirection(dir);
      m_lightWidget.SetLightDirection(dir);
    } else if (id == IDC_SCENE_LIGHT_RADIUS) {
      read(1);
      light->radius = v[0];
      m_lightWidget.SetRadius(v[0]);
    }
  } else if (auto* layer = dynamic_cast<CLayerTextObject*>(o)) {
    if (id == IDC_SCENE_POS) {
      read(3);
      std::copy(v, v + 3, layer->Pos);
    }
  }
}

void SceneManager::OnPanelEvent(UINT event, int id, CDXUTControl* control) {
  // The hosted controls first.
  if (id >= kSkyBoxControlFirstId && id <= kSkyBoxControlLastId) {
    if (m_pSkyBoxControls) m_pSkyBoxControls->OnControlEvent(event, id, control);
    m_bPanelDirty = true;
    return;
  }
  if (PostProcessManager::IsPanelControl(id)) {
    if (m_pPostProcess) m_pPostProcess->OnControlEvent(event, id, control, PostProcessParameters());
    m_bPanelDirty = true;
    return;
  }

  switch (id) {
    case IDC_SCENE_PREVIOUS:
    case IDC_SCENE_NEXT:
    case IDC_SCENE_INSERT:
    case IDC_SCENE_REMOVE:
      if (event != EVENT_BUTTON_CLICKED) return;
      if (id == IDC_SCENE_PREVIOUS) SelectPrevious();
      else if (id == IDC_SCENE_NEXT) SelectNext();
      else if (id == IDC_SCENE_INSERT) InsertObject(OBJ_MESH, -1, m_lastCatalogChoice, nullptr, nullptr, -1);
      else RemoveSelectedObject();
      m_bPanelDirty = true;
      return;
    default:
      break;
  }

  CSceneObject* o = GetSelectedObject();
  if (!o) return;  // an empty list: no object control acts
  auto* mesh = dynamic_cast<CMesh*>(o);

  if (auto* combo = dynamic_cast<CDXUTComboBox*>(control)) {
    if (combo->GetSelectedIndex() < 0) return;
    const auto data = static_cast<std::int32_t>(gui::FromData(combo->GetSelectedData()));
    switch (id) {
      case IDC_SCENE_OBJECT: {
        m_lastCatalogChoice = data;
        const CDXUTEditBox* text = m_panel.GetEditBox(IDC_SCENE_TEXT);
        const CDXUTComboBox* fonts = m_panel.GetComboBox(IDC_SCENE_FONT);
        const DXUTComboBoxItem* font = fonts && fonts->GetSelectedIndex() >= 0 ? fonts->GetItem(fonts->GetSelectedIndex()) : nullptr;
        ChangeCatalogEntry(data, m_selectedIndex, text ? text->GetText() : nullptr, font ? font->strText.c_str() : nullptr);
        break;
      }
      case IDC_SCENE_FONT:
        // The object keeps its own entry: a font choice only rebuilds its
        // text, whatever entry was last chosen for another object.
        if (mesh && mesh->kind == OBJ_TEXT) {
          const CDXUTEditBox* text = m_panel.GetEditBox(IDC_SCENE_TEXT);
          ChangeCatalogEntry(mesh->catalogIndex, m_selectedIndex, text ? text->GetText() : nullptr,
                             combo->GetItem(static_cast<UINT>(combo->GetSelectedIndex()))->strText.c_str());
        }
        break;
      case IDC_SCENE_RENDERER: if (mesh) mesh->params.renderer = data; break;
      case IDC_SCENE_SHADE: if (mesh) mesh->params.shadeMode = data; break;
      case IDC_SCENE_FILL: if (mesh) mesh->params.fillMode = data; break;
      case IDC_SCENE_ANIM_TYPE: if (mesh) mesh->params.animationType = data; break;
      case IDC_SCENE_PARENT: o->parent = data; break;
      default: return;
    }
    m_bPanelDirty = true;
    return;
  }
  if (auto* edit = dynamic_cast<CDXUTEditBox*>(control)) {
    if (event != EVENT_EDITBOX_CHANGE && event != EVENT_EDITBOX_STRING) return;
    // The text box is read when a font or an entry is chosen.
    if (id == IDC_SCENE_TEXT) return;
    ApplyEditBox(id, edit->GetTextString());
    m_bPanelDirty = true;
    return;
  }
  if (event == EVENT_BUTTON_CLICKED) {
    if (std::int32_t* link = LinkOfButton(id)) {
      *link = m_pValues ? m_pValues->GetSelectedScript() : 0;
      m_bPanelDirty = true;
    }
  }
}
