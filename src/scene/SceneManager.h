#pragma once
// The scene manager: the list of scene objects with its fixed roles (light,
// camera, sky box and post-process object at indices 0, 1, 2, 3),
// the selection, the scene camera and the light-direction widget, and the
// scene's section of every slide file.
#include <array>
#include <string_view>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/GrowableArray.h"
#include "core/MVObject.h"
#include "framework/Camera.h"
#include "io/WindowMessages.h"
#include "gui/Dialog.h"
#include "model/SceneObjects.h"

class Catalog;
struct CatalogEntry;
class CDXUTDialogResourceManager;
class PostProcessManager;
class SceneSkyBoxControls;
class ValuesManager;
class DeviceManager;
class MetaballField;
class SceneRenderer;
namespace gfx {
class BaseTexture;
class Device;
}  // namespace gfx

// What the scene manager asks of the managers above it or beside it. The
// program binds its single objects (app/Bindings.cpp); tests pass their own.
class ScenePeers {
 public:
  virtual ~ScenePeers() = default;
  // The sky box object's size after every timeline step.
  virtual void SetSkyBoxSize(const float size[3]) = 0;
  // The selection changed: the animation panel shows the new object's keys.
  virtual void RefreshAnimationPanel() = 0;
  // A panel change made the object a metaball surface: fresh field, a
  // 64-cell grid, its mesh and material.
  virtual void PrepareMetaballs(CMesh& object) = 0;
  // A panel change made the object a particle fountain.
  virtual void CreateParticleSystem(CMesh& object) = 0;

  // What drawing reaches; the defaults draw without them.
  // The fountain of a particle object, advanced by elapsed and drawn at
  // its place in the list.
  virtual void RenderParticles(gfx::Device& /*device*/, CMesh& /*object*/, const gfx::Mat4& /*world*/,
                               const gfx::Mat4& /*view*/, const gfx::Mat4& /*proj*/, float /*elapsed*/) {}
  // The sky box's cube map, sent to every object as "g_txEnvMap".
  virtual std::shared_ptr<gfx::BaseTexture> EnvironmentMap() { return nullptr; }
  // The one metaball field; without it metaball objects draw nothing.
  virtual MetaballField* Metaballs() { return nullptr; }
};

class SceneManager : public MVObject {
 public:
  using FontName = std::array<char16_t, kFontLength>;
  static constexpr int kMaxFonts = 1024;

  // Builds the font list and the four fixed objects.
  explicit SceneManager(ScenePeers& peers);
  ~SceneManager() override;
  SceneManager(const SceneManager&) = delete;
  SceneManager& operator=(const SceneManager&) = delete;

  std::int32_t GetType() const override { return MV_TYPE_SCENE; }
  std::ostream& Write(std::ostream& out) override;
  // A damaged section (unknown kind, broken fixed roles, short data) stops
  // at the object where it went wrong and leaves the stream failed; when
  // the objects read so far do not hold the fixed roles, the scene falls
  // back to the four objects of a fresh scene.
  std::istream& Read(std::istream& in) override;

  // ---- the object list ----
  int GetObjectCount() const { return m_objects.GetSize(); }
  CSceneObject* GetObject(int index) const { return m_objects.IsValidIndex(index) ? m_objects[index] : nullptr; }
  int GetSelectedIndex() const { return m_selectedIndex; }
  void SetSelectedIndex(int index) { m_selectedIndex = index; }
  CSceneObject* GetSelectedObject() const { return GetObject(m_selectedIndex); }
  // The fixed roles, null when the list does not hold them.
  CLightObject* GetLight() const;
  CCameraObject* GetCameraObject() const;
  CSkyBoxObject* GetSkyBoxObject() const;

  // Creates an object of `kind` at `position` (-1: after the selection) and
  // selects it. Text and font (kind 4) may be null. Returns the object, or
  // null when the kind has no class or the position is refused. Positions
  // before index 4 that would displace the light, camera, sky box or
  // post-process object go to index 4 instead.
  CSceneObject* InsertObject(std::int32_t kind, int position, std::int32_t catalogIndex, const char16_t* text,
                             const char16_t* font, std::int32_t parent);
  void RemoveAllObjects();
  void RemoveSelectedObject();
  void SelectPrevious();
  void SelectNext();
  // Loads catalog entry `catalogIndex` into the selected mesh object.
  // False when nothing was loaded (an index outside the catalog, a kind that
  // is not loaded, a failed load).
  bool LoadCatalogEntry(std::int32_t catalogIndex);
  // Gives object `objectIndex` catalog entry `catalogIndex` (the panel's
  // object and font choices), then sets its catalog index, word 0 and kind
  // and the selected kind. `panelText` and `panelFont` are the text edit
  // box and the chosen font (null when absent). Returns the kind the
  // object has afterwards, 0 when nothing changed.
  std::int32_t ChangeCatalogEntry(std::int32_t catalogIndex, int objectIndex, const char16_t* panelText = nullptr,
                                  const char16_t* panelFont = nullptr);
  void ApplySceneToViews();

  // The scene camera (its view and projection are what the renderer uses)
  // and the light-direction widget.
  fw::CModelViewerCamera* GetCamera() { return &m_camera; }
  fw::CDirectionWidget& GetLightWidget() { return m_lightWidget; }
  bool IsLightWidgetActive() const { return m_bLightWidgetActive; }
  void SetLightWidgetActive(bool active) { m_bLightWidgetActive = active; }

  void OnCreateDevice();
  // Empties the list and drops the renderer's device objects.
  void OnDestroyDevice();
  void FrameMove(float elapsed);
  LRESULT MsgProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

  // ---- the "Scene Manager" panel (scene/ScenePanel.cpp) ----
  // What the panel hosts and reads: the post-process manager's controls
  // and the sky box manager's (for the post-process and sky box objects),
  // and the values panel's selected script (for the "?" buttons). Any may
  // be null.
  void SetPanelHosts(PostProcessManager* postProcess, SceneSkyBoxControls* skyBox, const ValuesManager* values);
  // Start-up: initialises the dialog, builds it for kind 0 at (1060, 10)
  // and makes it the panel whose preferences the slides keep.
  void CreatePanel(CDXUTDialogResourceManager* resources);
  // Removes every control and builds the rows of `kind`; the first build
  // also places the dialog.
  void BuildPanel(std::int32_t kind, bool firstTime = false);
  // The kind the panel was last built for.
  std::int32_t GetPanelKind() const { return m_panelKind; }
  // The panel's values follow the selected object (not while the GUI is
  // hidden).
  // Draws the scene inside the device's scene (SceneRender.cpp): panel
  // rebuild and refresh, the per-frame parameters, every visible object
  // with the scene effect pass by pass into the render-target table, then
  // the layer texts. Without the device manager's resources only the
  // panel and the metaballs' motion move on.
  void Render(gfx::Device* device, double time, float elapsed);
  // The device-wide resources drawing uses (scene effect, techniques,
  // render-target table, font B, sprite, white texture); null: none.
  void SetRenderResources(const DeviceManager* devices) { m_pDevices = devices; }
  // World × view of the last object positioned by Render.
  const gfx::Mat4& GetLastWorldView() const;
  void RefreshPanel();
  static void CALLBACK OnGuiEvent(UINT event, int controlId, CDXUTControl* control, void* userContext);
  void OnPanelEvent(UINT event, int controlId, CDXUTControl* control);
  // The post-process object's parameter block (index 3), null without one.
  float* PostProcessParameters() const;
  bool IsPanelDirty() const { return m_bPanelDirty; }
  void SetPanelDirty(bool dirty = true) { m_bPanelDirty = dirty; }
  std::int32_t GetSelectedKind() const { return m_selectedKind; }
  void SetSelectedKind(std::int32_t kind) { m_selectedKind = kind; }
  std::int32_t GetLastCatalogChoice() const { return m_lastCatalogChoice; }
  void SetLastCatalogChoice(std::int32_t index) { m_lastCatalogChoice = index; }
  CDXUTDialog& Panel() { return m_panel; }

  const std::vector<FontName>& GetFontList() const { return m_fonts; }
  // The catalog that indices refer to (the program's by default).
  void SetCatalog(const Catalog* catalog) { m_pCatalog = catalog; }
  const Catalog* GetCatalog() const { return m_pCatalog; }

 private:
  CSceneObject* InsertObjectImpl(std::int32_t kind, int position, std::int32_t catalogIndex, const char16_t* text,
                                 const char16_t* font, std::int32_t parent, bool alignTimeline);
  void AlignTimeLine(CSceneObject& object);
  bool LoadEntryInto(CMesh& object, std::int32_t catalogIndex, const CatalogEntry& entry, std::int32_t kind,
                     int ownIndex);
  bool HoldsFixedRoles() const;
  void RenderMeshObject(gfx::Device& device, CMesh& object, int index, double time, float elapsed);
  void ResetToFreshScene();
  void DeleteObject(CSceneObject* object);
  void BuildObjectRows(std::int32_t kind);
  std::int32_t* LinkOfButton(int controlId) const;
  void ApplyEditBox(int controlId, std::u16string_view text);

  ScenePeers& m_peers;
  const Catalog* m_pCatalog;
  CDXUTDialog m_panel;
  mv::GrowableArray<CSceneObject*> m_objects;
  std::int32_t m_lastCatalogChoice = 0;
  int m_selectedIndex = 0;
  bool m_bPanelDirty = false;
  fw::CDirectionWidget m_lightWidget;
  bool m_bLightWidgetActive = false;
  fw::CModelViewerCamera m_camera;
  std::int32_t m_selectedKind = 0;
  std::vector<FontName> m_fonts;
  // The panel: the kind it was built for and what it hosts.
  std::int32_t m_panelKind = 0;
  PostProcessManager* m_pPostProcess = nullptr;
  SceneSkyBoxControls* m_pSkyBoxControls = nullptr;
  const ValuesManager* m_pValues = nullptr;
  const DeviceManager* m_pDevices = nullptr;
  std::unique_ptr<SceneRenderer> m_renderer;
};

// The font families of the system, as the font list holds them: at most
// 1024 names of at most 59 units, sorted by UTF-16 code units.
std::vector<SceneManager::FontName> EnumerateFontFamilies();

extern SceneManager g_SceneManager;
