#include "scene/SceneManager.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "model/TimeLine.h"
#include "core/Globals.h"
#include "gfx/Font.h"
#include "io/BinaryIO.h"
#include "io/Log.h"
#include "io/Utf16.h"
#include "scene/Catalog.h"
#include "framework/Framework.h"
#include "gui/GuiTypes.h"
#include "scene/MeshArcBall.h"
#include "scene/MeshContent.h"
#include "scene/SceneFormat.h"
#include "scene/SceneRender.h"

using mv::scene::FixedRoleKind;
using mv::scene::kFixedRoleCount;

namespace {

bool LoadsFromCatalog(std::int32_t kind) {
  return kind == OBJ_MESH || kind == OBJ_TEXT || kind == OBJ_ANIM || kind == OBJ_GENERATED;
}

std::string CatalogName(const Catalog* catalog, std::int32_t index) {
  const CatalogEntry* e = catalog ? catalog->Get(index) : nullptr;
  if (!e) return "none";
  return mv::io::Utf16ToUtf8(mv::io::FixedView(e->name, kFontLength - 1));
}

void TraceObject(const char* verb, int index, std::int32_t catalogIndex, std::int32_t kind, const Catalog* catalog) {
  char line[96];
  std::snprintf(line, sizeof line, "\n%s Object #%d - Mesh %d - Type %d - ", verb, index, static_cast<int>(catalogIndex),
                static_cast<int>(kind));
  Log(std::string(line) + CatalogName(catalog, catalogIndex));
}

// Translation by -centre, then uniform scaling by 1/radius; identity when
// the sphere is unusable.
gfx::Mat4 NormaliseMatrix(const MeshBounds& b) {
  if (!b.valid || !(b.radius > 0.0f) || !std::isfinite(b.radius) || !std::isfinite(b.centre.x) ||
      !std::isfinite(b.centre.y) || !std::isfinite(b.centre.z))
    return gfx::MatrixIdentity();
  const float s = 1.0f / b.radius;
  return gfx::MatrixMultiply(gfx::MatrixTranslation(-b.centre), gfx::MatrixScaling(s, s, s));
}

}  // namespace

// ---- font list ----------------------------------------------------------

std::vector<SceneManager::FontName> EnumerateFontFamilies() {
  std::vector<SceneManager::FontName> names;
  for (const std::u16string& family : gfx::EnumerateFontFamilies()) {
    if (static_cast<int>(names.size()) >= SceneManager::kMaxFonts) break;
    if (family.empty()) continue;
    SceneManager::FontName name{};
    mv::io::CopyToFixed(name.data(), name.size(), family);
    // Cutting to 59 units keeps the order but may join two names.
    if (!names.empty() && names.back() == name) continue;
    names.push_back(name);
  }
  return names;
}

namespace {
// The families do not change while the program runs; enumerate them once.
const std::vector<SceneManager::FontName>& SystemFonts() {
  static const std::vector<SceneManager::FontName> fonts = EnumerateFontFamilies();
  return fonts;
}
}  // namespace

// ---- construction ---------------------------------------------------------

SceneManager::SceneManager(ScenePeers& peers)
    : m_peers(peers), m_pCatalog(&ObjectCatalog()), m_renderer(std::make_unique<SceneRenderer>()) {
  m_fonts = SystemFonts();
  InsertObject(OBJ_LIGHT, 0, -1, nullptr, nullptr, -1);
  InsertObject(OBJ_CAMERA, 1, -1, nullptr, nullptr, -1);
  InsertObject(OBJ_SKYBOX, 2, -1, nullptr, nullptr, -1);
  InsertObject(OBJ_POSTPROCESS, 3, -1, nullptr, nullptr, -1);
}

SceneManager::~SceneManager() {
  RemoveAllObjects();
  m_objects.RemoveAll();
}

CLightObject* SceneManager::GetLight() const { return dynamic_cast<CLightObject*>(GetObject(0)); }
CCameraObject* SceneManager::GetCameraObject() const { return dynamic_cast<CCameraObject*>(GetObject(1)); }
CSkyBoxObject* SceneManager::GetSkyBoxObject() const { return dynamic_cast<CSkyBoxObject*>(GetObject(2)); }

// ---- insertion and removal -------------------------------------------------

CSceneObject* SceneManager::InsertObject(std::int32_t kind, int position, std::int32_t catalogIndex,
                                         const char16_t* text, const char16_t* font, std::int32_t parent) {
  return InsertObjectImpl(kind, position, catalogIndex, text, font, parent, true);
}

CSceneObject* SceneManager::InsertObjectImpl(std::int32_t kind, int position, std::int32_t catalogIndex,
                                             const char16_t* text, const char16_t* font, std::int32_t parent,
                                             bool alignTimeline) {
  std::unique_ptr<CSceneObject> created = CreateSceneObject(kind);
  if (!created) return nullptr;

  int at = position == -1 ? m_selectedIndex + 1 : position;
  const int count = m_objects.GetSize();
  // The light, camera, sky box and post-process object keep their indices:
  // an insertion that would push one of them up lands right after them.
  if (at >= 0 && at < kFixedRoleCount && at < count) at = std::min(kFixedRoleCount, count);
  if (at < 0 || at > count) return nullptr;
  if (mv::Failed(m_objects.Insert(at, created.get()))) return nullptr;
  CSceneObject* object = created.release();
  m_selectedIndex = at;

  object->kind = kind;
  object->slot = position;
  object->parent = parent;
  object->timeLine = nullptr;
  if (UsesMeshClass(kind)) {
    auto ball = std::make_shared<CD3DArcBall>();
    ball->SetWindow(fw::kBackBufferWidth, fw::kBackBufferHeight, 0.9f);
    static_cast<CMesh*>(object)->arcball = std::move(ball);
  }

  if (LoadsFromCatalog(kind)) {
    auto* mesh = static_cast<CMesh*>(object);
    mesh->catalogIndex = catalogIndex;
    mv::io::CopyToFixed(mesh->font, kFontLength,
                        font ? mv::io::FixedView(font, kFontLength - 1) : std::u16string_view(kDefaultFont));
    mv::io::CopyToFixed(mesh->text, kNameLength,
                        text ? mv::io::FixedView(text, kNameLength - 1) : std::u16string_view(kDefaultText));
    LoadCatalogEntry(catalogIndex);
  }
  if (alignTimeline) AlignTimeLine(*object);
  return object;
}

// A new object joins the keyframes the scene already has: one key per key
// of the object with the most keys, and the first object's cursor.
void SceneManager::AlignTimeLine(CSceneObject& object) {
  const TimeLine* longest = nullptr;
  for (CSceneObject* o : m_objects) {
    if (o == &object || !o->timeLine) continue;
    if (!longest || o->timeLine->GetKeyCount() > longest->GetKeyCount()) longest = o->timeLine;
  }
  if (!longest) return;
  TimeLine* t = object.timeLine ? object.timeLine : object.CreateTimeLine();
  if (!t) return;
  const int keys = longest->GetKeyCount();
  for (int k = 0; k < keys; ++k) t->InsertKey(k, longest->GetKeyTime(k));
  const CSceneObject* first = GetObject(0);
  if (first && first != &object && first->timeLine) {
    t->currentKey = first->timeLine->currentKey;
    t->segmentOffset = first->timeLine->segmentOffset;
    t->segmentTime = first->timeLine->segmentTime;
  } else {
    t->currentKey = 0;
  }
  t->ClampCurrentKey();
}

void SceneManager::DeleteObject(CSceneObject* object) {
  // The destructor releases a mesh's resources and any timeline.
  delete object;
}

void SceneManager::RemoveAllObjects() {
  for (CSceneObject* o : m_objects) DeleteObject(o);
  m_objects.Clear();
}

void SceneManager::RemoveSelectedObject() {
  if (m_objects.IsEmpty()) return;
  CSceneObject* o = GetSelectedObject();
  if (o && IsMeshKind(o->kind) && m_selectedIndex >= kFixedRoleCount) {
    m_objects.Remove(m_selectedIndex);
    DeleteObject(o);
  }
  m_selectedIndex = 0;
  m_bPanelDirty = true;
}

void SceneManager::SelectPrevious() {
  const int count = m_objects.GetSize();
  if (count > 0) m_selectedIndex = (m_selectedIndex <= 0 || m_selectedIndex > count) ? count - 1 : m_selectedIndex - 1;
  m_bPanelDirty = true;
  m_peers.RefreshAnimationPanel();
}

void SceneManager::SelectNext() {
  const int count = m_objects.GetSize();
  m_selectedIndex = (count == 0 || m_selectedIndex < 0 || m_selectedIndex >= count - 1) ? 0 : m_selectedIndex + 1;
  m_bPanelDirty = true;
  m_peers.RefreshAnimationPanel();
}

// ---- catalog entries ---------------------------------------------------------

bool SceneManager::LoadCatalogEntry(std::int32_t catalogIndex) {
  const CatalogEntry* e = m_pCatalog ? m_pCatalog->Get(catalogIndex) : nullptr;
  if (!e) return false;  // no such entry: the object stays without content
  if (!LoadsFromCatalog(e->kind)) return false;
  auto* mesh = dynamic_cast<CMesh*>(GetSelectedObject());
  if (!mesh) return false;
  return LoadEntryInto(*mesh, catalogIndex, *e, e->kind, m_selectedIndex);
}

bool SceneManager::LoadEntryInto(CMesh& object, std::int32_t catalogIndex, const CatalogEntry& entry,
                                 std::int32_t kind, int ownIndex) {
  MeshBounds bounds;
  if (mv::Failed(LoadMeshContent(object, entry, kind, &bounds))) return false;
  object.kind = kind;
  object.slot = catalogIndex;
  if (!object.arcball) object.arcball = std::make_shared<CD3DArcBall>();
  object.arcball->SetTranslationRadius(2.0f);
  object.normaliseMatrix = NormaliseMatrix(bounds);
  // The back buffer is always 1920 x 1080.
  object.arcball->SetWindow(fw::kBackBufferWidth, fw::kBackBufferHeight, 0.9f);
  object.catalogIndex = catalogIndex;
  object.params = kDefaultMeshParams;
  object.params.ownIndex = ownIndex;
  object.params.start = 0;
  object.params.end = kind == OBJ_GENERATED ? 100 : static_cast<std::int32_t>(object.partCount);
  m_bPanelDirty = true;
  return true;
}

std::int32_t SceneManager::ChangeCatalogEntry(std::int32_t catalogIndex, int objectIndex, const char16_t* panelText,
                                              const char16_t* panelFont) {
  const CatalogEntry* e = m_pCatalog ? m_pCatalog->Get(catalogIndex) : nullptr;
  CSceneObject* target = GetObject(objectIndex);
  if (!e || !target || objectIndex < kFixedRoleCount) return 0;

  if (e->kind == OBJ_LAYERTEXT) {
    std::unique_ptr<CSceneObject> text = CreateSceneObject(OBJ_LAYERTEXT);
    if (!text) return 0;
    text->kind = OBJ_LAYERTEXT;
    text->slot = target->slot;
    text->parent = target->parent;
    m_objects[objectIndex] = text.get();
    DeleteObject(target);
    CSceneObject* placed = text.release();
    AlignTimeLine(*placed);
    m_selectedKind = OBJ_LAYERTEXT;
    m_bPanelDirty = true;
    return OBJ_LAYERTEXT;
  }

  auto* mesh = dynamic_cast<CMesh*>(target);
  if (!mesh) return 0;
  mesh->ReleaseMeshResources();  // the timeline stays

  // Kinds that no mesh loads (unknown, light, camera, ...) load as a mesh
  // from a file: a mesh object never takes a kind of another class.
  std::int32_t kind = e->kind;
  switch (kind) {
    case OBJ_METABALL:
      mesh->kind = OBJ_METABALL;
      mesh->catalogIndex = catalogIndex;
      m_peers.PrepareMetaballs(*mesh);
      break;
    case OBJ_PARTICLE:
      mesh->kind = OBJ_PARTICLE;
      mesh->catalogIndex = catalogIndex;
      m_peers.CreateParticleSystem(*mesh);
      break;
    case OBJ_TEXT:
      if (mesh->kind == OBJ_TEXT) {
        if (panelText) mv::io::CopyToFixed(mesh->text, kNameLength, mv::io::FixedView(panelText, kNameLength - 1));
        if (panelFont && panelFont[0])
          mv::io::CopyToFixed(mesh->font, kFontLength, mv::io::FixedView(panelFont, kFontLength - 1));
      } else {
        mv::io::CopyToFixed(mesh->text, kNameLength, kDefaultText);
      }
      LoadEntryInto(*mesh, catalogIndex, *e, kind, objectIndex);
      break;
    case OBJ_GENERATED:
    case OBJ_MESH:
    case OBJ_ANIM:
      LoadEntryInto(*mesh, catalogIndex, *e, kind, objectIndex);
      break;
    default:
      kind = OBJ_MESH;
      LoadEntryInto(*mesh, catalogIndex, *e, kind, objectIndex);
      break;
  }
  // What the panel asks for after the change, whether or not the load
  // succeeded: the object shows the chosen entry.
  mesh->catalogIndex = catalogIndex;
  mesh->params.ownIndex = objectIndex;
  mesh->kind = kind;
  m_selectedKind = kind;
  m_bPanelDirty = true;
  return kind;
}

// ---- views -------------------------------------------------------------------

void SceneManager::ApplySceneToViews() {
  if (const CCameraObject* cam = GetCameraObject())
    m_camera.SetViewParams(gfx::Vec3(cam->Eye[0], cam->Eye[1], cam->Eye[2]),
                           gfx::Vec3(cam->LookAt[0], cam->LookAt[1], cam->LookAt[2]));
  if (CSkyBoxObject* sky = GetSkyBoxObject()) m_peers.SetSkyBoxSize(sky->size);
  if (const CLightObject* light = GetLight()) {
    const gfx::Vec3 dir(light->position[0], light->position[1], light->position[2]);
    m_lightWidget.SetDefaultDirection(dir);
    m_lightWidget.SetLightDirection(dir);
    m_lightWidget.SetRadius(light->radius);
  }
  for (CSceneObject* o : m_objects)
    if (o->kind == OBJ_GENERATED) RebuildGeneratedMesh(static_cast<CMesh&>(*o));
}

void SceneManager::OnCreateDevice() { m_camera.SetEnablePositionMovement(true); }

void SceneManager::OnDestroyDevice() {
  RemoveAllObjects();
  m_renderer->ReleaseDeviceObjects();
}

namespace {
// The mesh kinds the user turns with the left button.
CMesh* RotatableMesh(CSceneObject* o) {
  if (!o || !LoadsFromCatalog(o->kind)) return nullptr;
  auto* mesh = dynamic_cast<CMesh*>(o);
  return mesh && mesh->arcball ? mesh : nullptr;
}
}  // namespace

void SceneManager::FrameMove(float elapsed) {
  m_camera.FrameMove(elapsed);
  if (m_lightWidget.IsBeingDragged() && m_bLightWidgetActive) {
    if (CLightObject* light = GetLight()) {
      const gfx::Vec3& dir = m_lightWidget.GetLightDirection();
      light->position[0] = dir.x;
      light->position[1] = dir.y;
      light->position[2] = dir.z;
      light->radius = m_lightWidget.GetRadius();
      m_bPanelDirty = true;
    }
  }
  if (m_camera.IsMouseRButtonDown() || m_camera.HasZoomedThisFrame()) {
    if (CCameraObject* cam = GetCameraObject()) {
      const gfx::Vec3& eye = m_camera.GetEyePt();
      const gfx::Vec3& at = m_camera.GetLookAtPt();
      cam->Eye[0] = eye.x, cam->Eye[1] = eye.y, cam->Eye[2] = eye.z;
      cam->LookAt[0] = at.x, cam->LookAt[1] = at.y, cam->LookAt[2] = at.z;
      m_bPanelDirty = true;
    }
  }
  if (m_camera.IsMouseLButtonDown()) {
    if (CMesh* mesh = RotatableMesh(GetSelectedObject())) {
      const gfx::Vec3 ypr = gfx::MatrixToYawPitchRoll(gfx::MatrixRotationQuaternion(mesh->arcball->GetQuatNow()));
      mesh->params.iRot[0] = ypr.x;
      mesh->params.iRot[1] = ypr.y;
      mesh->params.iRot[2] = ypr.z;
      m_bPanelDirty = true;
    }
  }
}

LRESULT SceneManager::MsgProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  m_camera.HandleMessages(hWnd, uMsg, wParam, lParam);
  // The view rotation's inverse: a drag turns the mesh as the pointer moves
  // on screen.
  gfx::Mat4 viewRotation = gfx::MatrixInverse(m_camera.GetViewMatrix());
  gfx::MatrixElement(viewRotation, 4, 1) = 0.0f;
  gfx::MatrixElement(viewRotation, 4, 2) = 0.0f;
  gfx::MatrixElement(viewRotation, 4, 3) = 0.0f;
  CMesh* mesh = RotatableMesh(GetSelectedObject());
  if (!mesh) return 0;
  CD3DArcBall& ball = *mesh->arcball;
  ball.SetDragSpace(viewRotation);
  const int x = GetXLParam(lParam);
  const int y = GetYLParam(lParam);
  switch (uMsg) {
    case WM_MOUSEMOVE:
      if ((wParam & MK_LBUTTON) && ball.IsBeingDragged()) ball.OnMove(x, y);
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      gui::SetCapture();
      ball.OnBegin(x, y);
      break;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (uMsg == WM_LBUTTONUP) gui::ReleaseCapture();
      ball.OnEnd();
      break;
    default:
      break;
  }
  return 0;
}

// ---- the slide section ---------------------------------------------------------

std::ostream& SceneManager::Write(std::ostream& out) {
  MVObject::Write(out);
  mv::io::WriteI32(out, m_objects.GetSize());
  for (int i = 0; i < m_objects.GetSize(); ++i) {
    CSceneObject* o = m_objects[i];
    const mv::scene::SceneRecordHeader header = mv::scene::RecordHeaderOf(*o);
    mv::scene::WriteSceneRecordHeader(out, header);
    const auto* mesh = dynamic_cast<const CMesh*>(o);
    TraceObject("Writing", i, mesh ? mesh->catalogIndex : -1, o->kind, m_pCatalog);
    o->WriteTimeLine(out);
  }
  Log("\n");
  return out;
}

bool SceneManager::HoldsFixedRoles() const {
  for (int i = 0; i < kFixedRoleCount; ++i) {
    const CSceneObject* o = GetObject(i);
    if (!o || o->kind != FixedRoleKind(i)) return false;
  }
  return GetLight() && GetCameraObject() && GetSkyBoxObject() &&
         dynamic_cast<const CPostProcessObject*>(GetObject(3)) != nullptr;
}

void SceneManager::ResetToFreshScene() {
  RemoveAllObjects();
  InsertObjectImpl(OBJ_LIGHT, 0, -1, nullptr, nullptr, -1, false);
  InsertObjectImpl(OBJ_CAMERA, 1, -1, nullptr, nullptr, -1, false);
  InsertObjectImpl(OBJ_SKYBOX, 2, -1, nullptr, nullptr, -1, false);
  InsertObjectImpl(OBJ_POSTPROCESS, 3, -1, nullptr, nullptr, -1, false);
}

std::istream& SceneManager::Read(std::istream& in) {
  MVObject::Read(in);
  RemoveAllObjects();
  std::int32_t count = 0;
  bool ok = mv::io::Good(in) && mv::io::ReadI32(in, count) && count <= mv::scene::kMaxObjectsRead;
  for (std::int32_t i = 0; ok && i < count; ++i) {
    mv::scene::SceneRecordHeader record;
    const mv::scene::RecordStatus status = mv::scene::ReadSceneRecordHeader(in, record);
    if (status != mv::scene::RecordStatus::Ok) {
      if (status == mv::scene::RecordStatus::UnknownKind) Log("\nUnknown object kind: section abandoned\n");
      ok = false;
      break;
    }
    // The light, camera, sky box and post-process object must stand at 0 to 3.
    if (i < kFixedRoleCount && record.kind != FixedRoleKind(i)) {
      Log("\nFixed scene objects out of place: section abandoned\n");
      ok = false;
      break;
    }
    // Positions are always the end of the list here, so no fixed role
    // moves. The timeline that alignment would build is replaced by the
    // object's own section at once: skip it.
    CSceneObject* o = InsertObjectImpl(record.kind, i, record.catalogIndex,
                                       mv::scene::RecordHasText(record.kind) ? record.text : nullptr,
                                       mv::scene::RecordHasText(record.kind) ? record.font : nullptr,
                                       record.parent, false);
    if (!o) {
      ok = false;
      break;
    }
    TraceObject("Reading", i, record.catalogIndex, o->kind, m_pCatalog);
    if (!o->ReadTimeLine(in) || !mv::io::Good(in)) {
      ok = false;
      break;
    }
  }
  Log("\n");
  if (ok && !HoldsFixedRoles()) {
    Log("\nScene without its light, camera, sky box and post-process object: section abandoned\n");
    ok = false;
  }
  if (!ok) {
    in.setstate(std::ios::failbit);
    if (!HoldsFixedRoles()) ResetToFreshScene();
  }
  m_selectedKind = 0;
  RefreshPanel();
  return in;
}

// ---- the program's peers -----------------------------------------------------
