#pragma once
// The post-process chain: an ordered list of effect instances, each with a
// parameter slot in the post-process object's parameter block, saved in
// every slide as a count and a run of chain records. The manager holds the
// active list itself (the panel shows it); the records mirror it after
// every SyncRecords and are what the slide section stores.
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "core/MVObject.h"
#include "effects/QuadVertex.h"
#include "effects/SectionFormat.h"
#include "gfx/Device.h"
#include "gfx/Effect.h"
#include "gui/GuiTypes.h"

class RenderTargetChain;
class CDXUTDialog;

using Float4 = std::array<float, 4>;

struct PostProcessInstance {
  std::array<Float4, 2> parameters{};
  std::int32_t effectIndex = -1;
  std::int32_t parameterSlot = -1;
};

// What the chain needs of one loaded effect (filled from the effect file's
// annotations when the device is created).
struct PostProcessEffect {
  std::shared_ptr<gfx::Effect> effect;
  gfx::TechniqueHandle technique;
  std::int32_t renderTarget = 0;
  // "g_txSrcColor/Normal/Position/Velocity", then the scene's four.
  std::array<gfx::ParameterHandle, 4> sourceTextures{};
  std::array<gfx::ParameterHandle, 4> sceneTextures{};
  // "g_vSrcExtent", when the effect declares it: how much of its sources the
  // chain has drawn (the quad's extent before the pass).
  gfx::ParameterHandle sourceExtent;
  gfx::ParameterHandle time;
  // Each pass's "fScaleX" and "fScaleY" (1 when absent), read at load.
  std::vector<std::array<float, 2>> passScale;
  std::array<std::u16string, 2> parameterName;
  std::array<std::u16string, 2> parameterDesc;
  std::array<gfx::ParameterHandle, 2> parameterHandle{};
  std::array<std::int32_t, 2> parameterSize{};
  std::array<Float4, 2> parameterDefault{};
};

// What one frame of the chain reads and writes: the three scene-save
// textures (colour, normal, position), the three render-target chains, the
// post-process object's parameter block (20 slots x 2 float4) and the back
// buffer's size.
struct PostProcessFrame {
  std::array<std::shared_ptr<gfx::Texture>, 3> sceneTextures;
  RenderTargetChain* chains = nullptr;
  const float* parameterBlock = nullptr;
  int width = 0;
  int height = 0;
  float time = 0.0f;  // seconds, for effects that move by themselves ("g_fTime")
};

enum class PostProcessCombination { Blur, Bloom, DepthOfField, EdgeGlow };

class PostProcessManager : public MVObject {
 public:
  static constexpr int kEffectCount = 25;
  static constexpr int kRecordCount = 22;
  static constexpr int kSlotCount = 20;

  PostProcessManager();

  std::int32_t GetType() const override { return MV_TYPE_POSTPROCESS; }
  // No panel preferences: the count, then the records when it is 1..20.
  std::ostream& Write(std::ostream& out) override;
  std::istream& Read(std::istream& in) override;

  static const char16_t* EffectFile(int index);
  static const char16_t* DisplayName(int index);
  static bool IsEffectIndex(std::int32_t index) { return index >= 0 && index < kEffectCount; }
  // The rows of a predefined combination, in order.
  static std::vector<int> CombinationRows(PostProcessCombination c);

  PostProcessEffect& GetEffect(int index) { return m_effects[static_cast<std::size_t>(index)]; }
  // Device created: the quad declaration and the 25 effects through the
  // media search, their handles and annotations; the records emptied. The
  // first effect that does not load ends it with its error.
  gfx::HRESULT OnCreateDevice(gfx::Device& device);
  // Device reset: each effect's pixel kernels converted to texels for the
  // back buffer's size.
  gfx::HRESULT OnResetDevice(int width, int height);
  gfx::HRESULT ResetEffect(int index, int width, int height);
  void OnLostDevice();
  // Shut-down and device destruction: every effect back to its unloaded
  // defaults. The chain itself stays.
  void ReleaseEffects();

  // Runs the active chain; `performed` says whether any effect ran (the
  // final image is otherwise scene-save texture 0).
  gfx::HRESULT PerformPostProcess(gfx::Device& device, const PostProcessFrame& frame, bool* performed);

  // The active list: the effects in order, then the end marker (no
  // instance). Selection -1 means none.
  int GetListCount() const { return static_cast<int>(m_list.size()); }
  const PostProcessInstance* GetListInstance(int item) const;
  int GetSelected() const { return m_selected; }
  void SetSelected(int item);

  // Editing, each as the panel drives it (the panel follows with SyncRecords).
  bool InsertEffect(int effectIndex);
  void RemoveSelected();
  void MoveUp();
  void MoveDown();
  void ClearActiveList();
  void ApplyCombination(PostProcessCombination c);
  void SyncRecords();

  std::int32_t GetEntryCount() const { return m_entryCount; }
  const mv::effects::ChainRecord& GetRecord(int k) const { return m_records[static_cast<std::size_t>(k)]; }
  const PostProcessInstance* GetRecordInstance(int k) const { return m_recordInstances[static_cast<std::size_t>(k)]; }

  bool IsEnabled() const { return m_bEnabled; }
  void SetEnabled(bool enabled) { m_bEnabled = enabled; }

  // Parameter i (0 or 1) of the selected instance from up to four numbers
  // of the text (missing ones 0), also stored in the instance's slot of the
  // post-process object's block (null when there is none).
  void EditSelectedParameter(int i, std::u16string_view text, float* parameterBlock);

  // ---- the panel's controls (effects/PostProcessPanel.cpp), hosted by the
  // scene panel's dialog while the post-process object is selected ----
  enum PanelId : int {
    IDC_PP_AVAILABLE = 6,
    IDC_PP_ACTIVE = 7,
    IDC_PP_AVAILABLE_LABEL = 8,
    IDC_PP_ACTIVE_LABEL = 9,
    IDC_PP_PARAM0_LABEL = 10,
    IDC_PP_PARAM1_LABEL = 11,
    IDC_PP_PARAM0 = 12,
    IDC_PP_PARAM1 = 13,
    IDC_PP_MOVE_UP = 14,
    IDC_PP_MOVE_DOWN = 15,
    IDC_PP_CLEAR = 16,
    IDC_PP_ENABLE = 17,
    IDC_PP_COMBINATIONS_LABEL = 18,
    IDC_PP_BLUR = 19,
    IDC_PP_BLOOM = 20,
    IDC_PP_DOF = 21,
    IDC_PP_EDGE_GLOW = 22,
  };
  static bool IsPanelControl(int controlId) { return controlId >= IDC_PP_AVAILABLE && controlId <= IDC_PP_EDGE_GLOW; }
  // Adds the controls to the dialog, which the manager keeps, and shows the
  // chain above the end marker "----".
  void BuildControls(CDXUTDialog* dialog);
  CDXUTDialog* GetControlsDialog() const { return m_pControlsDialog; }
  // Events of the controls; the block is the post-process object's (null
  // when there is none).
  void OnControlEvent(UINT event, int controlId, CDXUTControl* control, float* parameterBlock);
  // The instances take their values from the block (slots clamped to
  // 0..19) and the selected one is shown again. Nothing while the GUI is
  // hidden.
  void RefreshParameters(const float* parameterBlock);
  // The other way: every instance's two parameters into its slot of the
  // block (instances whose slot lies outside 0..19 write nothing).
  void StoreParameters(float* parameterBlock) const;
  bool IsSlotFree(int slot) const;
  int CountFreeSlots() const;

 private:
  int TakeSlot();
  gfx::HRESULT LoadEffect(gfx::Device& device, int index);
  gfx::HRESULT PerformSinglePostProcess(gfx::Device& device, const PostProcessFrame& frame, PostProcessEffect& e,
                                        const PostProcessInstance& instance);
  void MarkSlot(std::int32_t slot, bool free);
  void EmptyRecords();
  void FillActiveListBox();
  void ShowSelectedParameters(bool refresh);

  std::int32_t m_entryCount = 0;
  std::array<mv::effects::ChainRecord, kRecordCount> m_records{};
  std::array<PostProcessInstance*, kRecordCount> m_recordInstances{};
  std::array<PostProcessEffect, kEffectCount> m_effects{};
  // Items of the active list; the last one, the end marker, holds none.
  std::vector<std::unique_ptr<PostProcessInstance>> m_list;
  int m_selected = -1;
  bool m_bEnabled = true;
  std::array<bool, kSlotCount> m_slotFree{};
  std::shared_ptr<gfx::VertexDeclaration> m_quadDeclaration;
  // The quad of the frame being drawn and how far its extent has scaled.
  std::array<QuadVertex, 4> m_quad{};
  std::shared_ptr<gfx::VertexBuffer> m_quadBuffer;
  float m_extentX = 1.0f, m_extentY = 1.0f;
  CDXUTDialog* m_pControlsDialog = nullptr;
};

extern PostProcessManager g_PostProcessManager;
