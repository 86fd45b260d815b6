#pragma once
// The device manager: answers the framework's device callbacks, owns the
// device-wide resources the renderers share (scene effect, scene-save
// textures, render-target table, fonts, sprite, white and black textures),
// composes the finished frame and owns the "Device Manager" panel. Its
// slide section is the base's panel preferences only.
#include <cstdint>
#include <memory>

#include "core/MVObject.h"
#include "effects/DeviceClients.h"
#include "framework/Framework.h"
#include "framework/SettingsDialog.h"
#include "gfx/Effect.h"
#include "gui/Dialog.h"

namespace fw {
class PanelPainter;
}  // namespace fw
namespace gfx {
class Device;
class Font;
class Sprite;
}  // namespace gfx

// Toggled by the panel's "View Selected" button; read by the scene renderer.
extern bool g_bViewSelected;

class DeviceManager : public MVObject {
 public:
  enum PanelControl {
    IDC_VIEW_THIRD = 1,
    IDC_TOGGLE_REF = 3,
    IDC_CHANGE_DEVICE = 4,
    IDC_FULL_SHOW = 401,
    IDC_VIEW_HALF = 402,
    IDC_VIEW_FULL = 403,
    IDC_FULL_SCREEN = 404,
    IDC_VIEW_SELECTED = 405,
  };
  enum Technique {
    TECH_RENDER_SCENE,
    TECH_ENV_MAP,
    TECH_ENV_MAP_TRANS,
    TECH_ENV_MAP_TEXTURE_FRONT,
    TECH_NO_LIGHT,
    TECH_SCENE_FAST,
    TECH_SCENE_FAST_NO_TRANS,
    TECH_COUNT
  };
  static const char* TechniqueName(int t);

  DeviceManager();
  // The program's manager: its clients bound, the scene effect optional or
  // required (see SetSceneEffectRequired). The effect is loaded with the
  // defines SCENE_PASSES and SCENE_TARGETS: the pass count and targets per
  // pass, so that its techniques have one pass per row of the table.
  DeviceManager(DeviceClients& clients, bool sceneEffectRequired);
  ~DeviceManager() override;

  std::int32_t GetType() const override { return MV_TYPE_DEVICE; }
  // Write and Read are the base's: panel preferences only.

  void SetClients(DeviceClients* clients) { m_pClients = clients; }

  std::int32_t GetViewWidth() const { return m_viewWidth; }
  std::int32_t GetViewHeight() const { return m_viewHeight; }
  void SetViewSize(std::int32_t w, std::int32_t h) { m_viewWidth = w, m_viewHeight = h; }

  // Passes of the scene and targets per pass for a device that draws into
  // `simultaneous` render targets at once.
  void SetRenderTargetCount(int simultaneous);
  int GetPassCount() const { return m_passCount; }
  int GetTargetsPerPass() const { return m_targetsPerPass; }

  // (Re)creates the panel's controls: a view width of 0 becomes half the
  // back buffer, the panel stands at (100, 200) with the view size and from
  // now on is the base's panel reference.
  void BuildPanel(CDXUTDialogResourceManager* resources, std::int32_t backBufferWidth,
                  std::int32_t backBufferHeight);
  void BuildPanel(std::int32_t backBufferWidth, std::int32_t backBufferHeight) {
    BuildPanel(m_pResources, backBufferWidth, backBufferHeight);
  }

  CDXUTDialog& GetDialog() { return m_Panel; }
  // Shown by "Change device (F2)"; while active it takes every message.
  fw::CD3DSettingsDlg& GetSettingsDialog() { return m_SettingsDialog; }

  // The framework's device callbacks; the user context is the manager.
  static bool IsDeviceAcceptable(const fw::DeviceCaps& caps, const char* adapterFormat,
                                 const char* backBufferFormat, bool windowed, void* userContext);
  static bool ModifyDeviceSettings(fw::DeviceSettings* settings, const fw::DeviceCaps& caps, void* userContext);
  static fw::HRESULT OnCreateDevice(gfx::Device* device, const gfx::BackBufferDesc& backBuffer, void* userContext);
  static fw::HRESULT OnResetDevice(gfx::Device* device, const gfx::BackBufferDesc& backBuffer, void* userContext);
  static void OnLostDevice(void* userContext);
  static void OnDestroyDevice(void* userContext);

  // Required (the program's case): a missing "fx\reflectori.fxo" fails
  // device creation with the media-search error, one that does not load or
  // lacks a working technique with E_FAIL, reported on stderr. Optional:
  // a missing file is logged and the device goes on without it.
  void SetSceneEffectRequired(bool required) { m_bSceneEffectRequired = required; }

  // Font A (overlay text) and font B (layer text), made with the device;
  // the sprite that draws them, made on every reset. Null until then.
  gfx::Font* GetFont(int index) const { return index == 0 ? m_fontA.get() : index == 1 ? m_fontB.get() : nullptr; }
  gfx::Sprite* GetSprite() const { return m_sprite.get(); }
  // Draws the panels through the sprite; made and dropped with it.
  fw::PanelPainter* GetPanelPainter() const { return m_panelPainter.get(); }

  gfx::Effect* GetSceneEffect() const { return m_sceneEffect.get(); }
  const std::shared_ptr<gfx::Effect>& SceneEffect() const { return m_sceneEffect; }
  gfx::TechniqueHandle GetTechnique(int t) const { return m_techniques[t]; }
  gfx::Format GetSceneTextureFormat() const { return m_sceneFormat; }
  // Scene-save texture 0 colour, 1 normal, 2 position.
  const std::shared_ptr<gfx::Texture>& GetSceneTexture(int i) const { return m_sceneTextures[i]; }
  // Row `pass`, column `target` of the render-target table (empty cells null).
  const std::shared_ptr<gfx::Surface>& GetPassTarget(int pass, int target) const { return m_table[pass][target]; }
  // What the scene's and sky box's pass `pass` draw into: render targets
  // 0 .. targets-per-pass - 1 bound to that row of the table.
  gfx::HRESULT BindPassTargets(gfx::Device& device, int pass) const;
  // Clears every scene target to the frame's clear colour with alpha 0
  // ("nothing drawn" to the effects reading normals and positions), then
  // puts render target 0 back. Nothing to do before the targets exist.
  gfx::HRESULT ClearSceneTargets(gfx::Device& device) const;
  const std::shared_ptr<gfx::Texture>& GetWhiteTexture() const { return m_white; }
  const std::shared_ptr<gfx::Texture>& GetBlackTexture() const { return m_black; }
  const std::shared_ptr<gfx::VertexDeclaration>& GetQuadDeclaration() const { return m_quadDecl; }

  // The view rectangle: the panel's own.
  int GetViewX() const { return m_Panel.GetX(); }
  int GetViewY() const { return m_Panel.GetY(); }

  // Composition of the finished frame into (x, y, width, height) of the
  // back buffer: chain 0's previous target when post-processed, else the
  // colour scene-save texture, framed by black bars a tenth of the height.
  // It begins the scene that the frame's last step ends.
  gfx::HRESULT DrawFinalImage(gfx::Device* device, bool postProcessed, float x, float y, float width, float height);

  // The panel's event handler.
  static void CALLBACK OnGuiEvent(UINT nEvent, int nControlID, CDXUTControl* pControl, void* pUserContext);

 private:
  gfx::HRESULT CreateDeviceObjects(gfx::Device& device, const gfx::BackBufferDesc& bb);
  gfx::HRESULT ResetDeviceObjects(gfx::Device& device, const gfx::BackBufferDesc& bb);
  void LoseDeviceObjects();
  void DestroyDeviceObjects();
  void SetViewFraction(int divisor);

  DeviceClients* m_pClients = nullptr;
  CDXUTDialogResourceManager* m_pResources = nullptr;
  std::int32_t m_viewWidth = 640;
  std::int32_t m_viewHeight = 400;
  std::int32_t m_backBufferWidth = fw::kBackBufferWidth;
  std::int32_t m_backBufferHeight = fw::kBackBufferHeight;
  CDXUTDialog m_Panel;
  fw::CD3DSettingsDlg m_SettingsDialog;
  std::unique_ptr<gfx::Font> m_fontA;
  std::unique_ptr<gfx::Font> m_fontB;
  std::unique_ptr<gfx::Sprite> m_sprite;
  std::unique_ptr<fw::PanelPainter> m_panelPainter;
  int m_passCount = 1;
  int m_targetsPerPass = 3;
  bool m_bSceneEffectRequired = true;
  std::shared_ptr<gfx::Effect> m_sceneEffect;
  gfx::TechniqueHandle m_techniques[TECH_COUNT];
  gfx::ParameterHandle m_txScene;
  gfx::Format m_sceneFormat = gfx::Format::A8R8G8B8;
  std::shared_ptr<gfx::Texture> m_sceneTextures[3];
  std::shared_ptr<gfx::Surface> m_table[3][3];
  std::shared_ptr<gfx::Texture> m_white;
  std::shared_ptr<gfx::Texture> m_black;
  std::shared_ptr<gfx::VertexDeclaration> m_quadDecl;
};

extern DeviceManager g_DeviceManager;
