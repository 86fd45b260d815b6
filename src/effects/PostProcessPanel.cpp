// The post-process controls inside the scene panel: the two effect lists,
// reordering, the four combinations, the enable switch and the two
// parameter boxes of the selected effect.
#include <algorithm>
#include <cstdio>

#include "core/Globals.h"
#include "core/ReadNumbers.h"
#include "effects/PostProcessManager.h"
#include "gui/Gui.h"

namespace {

constexpr char16_t kEndMarker[] = u"----";
constexpr char16_t kSelectPrompt[] = u"Select an active effect to set its parameter.";
constexpr char16_t kNoParameters[] = u"Selected effect has no parameters.";

CDXUTEditBox* AddParameterBox(CDXUTDialog& d, int id, int y) {
  CDXUTEditBox* edit = nullptr;
  d.AddEditBox(id, u"", 5, y, 210, 20, false, &edit);
  if (edit) {
    edit->SetBorderWidth(1);
    edit->SetSpacing(2);
    edit->SetEnabled(false);
    edit->SetVisible(false);
  }
  return edit;
}

void ShowPair(CDXUTDialog& d, int i, bool shown) {
  if (CDXUTStatic* label = d.GetStatic(PostProcessManager::IDC_PP_PARAM0_LABEL + i)) {
    label->SetEnabled(shown);
    label->SetVisible(shown);
  }
  if (CDXUTEditBox* edit = d.GetEditBox(PostProcessManager::IDC_PP_PARAM0 + i)) {
    edit->SetEnabled(shown);
    edit->SetVisible(shown);
  }
}

int ClampSlot(std::int32_t slot) { return std::clamp<std::int32_t>(slot, 0, PostProcessManager::kSlotCount - 1); }

}  // namespace

void PostProcessManager::EditSelectedParameter(int i, std::u16string_view text, float* parameterBlock) {
  if (i < 0 || i > 1) return;
  if (m_selected < 0 || m_selected >= GetListCount()) return;
  PostProcessInstance* inst = m_list[static_cast<std::size_t>(m_selected)].get();
  if (!inst) return;
  float v[4] = {0, 0, 0, 0};
  ReadNumbers(text, v, 4);
  std::copy(v, v + 4, inst->parameters[static_cast<std::size_t>(i)].begin());
  // A slot read from a file may lie outside the pool; the block has 20.
  if (parameterBlock) std::copy(v, v + 4, parameterBlock + (2 * ClampSlot(inst->parameterSlot) + i) * 4);
}

void PostProcessManager::BuildControls(CDXUTDialog* dialog) {
  m_pControlsDialog = dialog;
  if (!dialog) return;
  CDXUTDialog& d = *dialog;
  // The box shows the switch as it stands (a rebuild after unticking it
  // must not show a chain that is off as on).
  d.AddCheckBox(IDC_PP_ENABLE, u"(E)nable post-processing", 5, 25, 200, 16, m_bEnabled, 'E');
  CDXUTStatic* label = nullptr;
  d.AddStatic(IDC_PP_AVAILABLE_LABEL, u"Available effects (Dbl click inserts effect):", 10, 50, 210, 16, false, &label);
  if (label && label->GetElement(0)) label->GetElement(0)->dwTextFormat = gui::DT_LEFT;
  CDXUTListBox* available = nullptr;
  d.AddListBox(IDC_PP_AVAILABLE, 10, 68, 200, 82, 0, &available);
  if (available)
    for (int row = 0; row < kEffectCount; ++row) available->AddItem(DisplayName(row), gui::ToData(row));
  label = nullptr;
  d.AddStatic(IDC_PP_ACTIVE_LABEL, u"Active effects (Dbl click removes effect):", 10, 155, 210, 16, false, &label);
  if (label && label->GetElement(0)) label->GetElement(0)->dwTextFormat = gui::DT_LEFT;
  d.AddListBox(IDC_PP_ACTIVE, 10, 173, 200, 82, 0);
  d.AddButton(IDC_PP_MOVE_UP, u"Move Up", 0, 265, 70, 22);
  d.AddButton(IDC_PP_MOVE_DOWN, u"Move Down", 72, 265, 75, 22);
  d.AddButton(IDC_PP_CLEAR, u"Clear All", 149, 265, 65, 22);
  label = nullptr;
  d.AddStatic(IDC_PP_PARAM0_LABEL, kSelectPrompt, 5, 289, 215, 15, false, &label);
  if (label && label->GetElement(0)) label->GetElement(0)->dwTextFormat = gui::DT_LEFT;
  AddParameterBox(d, IDC_PP_PARAM0, 304);
  label = nullptr;
  d.AddStatic(IDC_PP_PARAM1_LABEL, kSelectPrompt, 5, 324, 215, 15, false, &label);
  if (label) {
    label->SetEnabled(false);
    label->SetVisible(false);
  }
  AddParameterBox(d, IDC_PP_PARAM1, 339);
  label = nullptr;
  d.AddStatic(IDC_PP_COMBINATIONS_LABEL, u"Predefined post-process combinations:", 5, 367, 210, 22, false, &label);
  if (label && label->GetElement(0)) label->GetElement(0)->dwTextFormat = gui::DT_LEFT;
  d.AddButton(IDC_PP_BLUR, u"Blur", 5, 389, 100, 22);
  d.AddButton(IDC_PP_BLOOM, u"Bloom", 115, 389, 100, 22);
  d.AddButton(IDC_PP_DOF, u"Depth of Field", 5, 413, 100, 22);
  d.AddButton(IDC_PP_EDGE_GLOW, u"Edge Glow", 115, 413, 100, 22);

  // A new list starts without a selection; so does the chain's editing.
  m_selected = -1;
  FillActiveListBox();
}

// The active list box mirrors the chain: one item per effect (its instance
// as data), then the end marker without data; the selection follows the
// chain's.
void PostProcessManager::FillActiveListBox() {
  CDXUTListBox* list = m_pControlsDialog ? m_pControlsDialog->GetListBox(IDC_PP_ACTIVE) : nullptr;
  if (!list) return;
  list->RemoveAllItems();
  for (int k = 0; k + 1 < GetListCount(); ++k) {
    PostProcessInstance* inst = m_list[static_cast<std::size_t>(k)].get();
    list->AddItem(inst ? DisplayName(inst->effectIndex) : u"", inst);
  }
  list->AddItem(kEndMarker, nullptr);
  const int selected = m_selected;
  if (selected >= 0) {
    list->SelectItem(selected);  // reports the selection like a click
    m_selected = selected;
  }
}

// A refresh shows "%3.3f " and leaves the labels alone when nothing is
// selected; a selection change shows "%.5f ".
void PostProcessManager::ShowSelectedParameters(bool refresh) {
  if (!m_pControlsDialog) return;
  CDXUTDialog& d = *m_pControlsDialog;
  const char* const format = refresh ? "%3.3f " : "%.5f ";
  if (m_selected < 0 || m_selected >= GetListCount() - 1) {
    if (refresh) return;
    d.SetControlText(IDC_PP_PARAM0_LABEL, kSelectPrompt);
    ShowPair(d, 1, false);
    if (CDXUTEditBox* edit = d.GetEditBox(IDC_PP_PARAM0)) {
      edit->SetEnabled(false);
      edit->SetVisible(false);
    }
    return;
  }
  const PostProcessInstance* inst = m_list[static_cast<std::size_t>(m_selected)].get();
  if (!inst || !IsEffectIndex(inst->effectIndex)) return;
  const PostProcessEffect& e = m_effects[static_cast<std::size_t>(inst->effectIndex)];
  if (e.parameterName[0].empty()) {
    d.SetControlText(IDC_PP_PARAM0_LABEL, kNoParameters);
    ShowPair(d, 1, false);
    if (CDXUTEditBox* edit = d.GetEditBox(IDC_PP_PARAM0)) {
      edit->SetEnabled(false);
      edit->SetVisible(false);
    }
    return;
  }
  for (int i = 0; i < 2; ++i) {
    const std::size_t pi = static_cast<std::size_t>(i);
    if (e.parameterName[pi].empty()) {
      ShowPair(d, i, false);
      continue;
    }
    d.SetControlText(IDC_PP_PARAM0_LABEL + i, e.parameterName[pi].c_str());
    ShowPair(d, i, true);
    CDXUTEditBox* edit = d.GetEditBox(IDC_PP_PARAM0 + i);
    // The box being typed into keeps the user's text.
    if (!edit || edit->HasFocus()) continue;
    char16_t text[512];
    std::size_t length = 0;
    const int size = std::clamp<std::int32_t>(e.parameterSize[pi], 0, 4);
    for (int c = 0; c < size; ++c) {
      char number[64];
      const int n = std::snprintf(number, sizeof number, format,
                                  static_cast<double>(inst->parameters[pi][static_cast<std::size_t>(c)]));
      for (int k = 0; k < n && length + 1 < std::size(text); ++k) text[length++] = static_cast<char16_t>(number[k]);
    }
    if (length > 0 && text[length - 1] == u' ') --length;
    text[length] = 0;
    if (edit->GetTextString() != std::u16string_view(text, length)) edit->SetText(text);
  }
}

void PostProcessManager::RefreshParameters(const float* parameterBlock) {
  if (g_bGuiHidden) return;
  if (parameterBlock) {
    for (auto& inst : m_list) {
      if (!inst) continue;
      const float* src = parameterBlock + 2 * ClampSlot(inst->parameterSlot) * 4;
      std::copy(src, src + 4, inst->parameters[0].begin());
      std::copy(src + 4, src + 8, inst->parameters[1].begin());
    }
  }
  ShowSelectedParameters(true);
}

void PostProcessManager::StoreParameters(float* parameterBlock) const {
  if (!parameterBlock) return;
  for (const auto& inst : m_list) {
    if (!inst || inst->parameterSlot < 0 || inst->parameterSlot >= kSlotCount) continue;
    float* dst = parameterBlock + 2 * inst->parameterSlot * 4;
    std::copy(inst->parameters[0].begin(), inst->parameters[0].end(), dst);
    std::copy(inst->parameters[1].begin(), inst->parameters[1].end(), dst + 4);
  }
}

void PostProcessManager::OnControlEvent(UINT event, int controlId, CDXUTControl* control, float* parameterBlock) {
  if (!m_pControlsDialog) return;
  CDXUTDialog& d = *m_pControlsDialog;
  switch (controlId) {
    case IDC_PP_AVAILABLE:
      if (event == EVENT_LISTBOX_ITEM_DBLCLK) {
        CDXUTListBox* list = d.GetListBox(IDC_PP_AVAILABLE);
        const DXUTListBoxItem* item = list ? list->GetSelectedItem() : nullptr;
        if (item && InsertEffect(static_cast<int>(gui::FromData(item->pData)))) {
          SyncRecords();
          FillActiveListBox();
        }
      }
      break;
    case IDC_PP_ACTIVE:
      if (event == EVENT_LISTBOX_ITEM_DBLCLK) {
        if (CDXUTListBox* list = d.GetListBox(IDC_PP_ACTIVE)) SetSelected(list->GetSelectedIndex());
        RemoveSelected();
        SyncRecords();
        FillActiveListBox();
        ShowSelectedParameters(false);
      } else if (event == EVENT_LISTBOX_SELECTION) {
        if (CDXUTListBox* list = d.GetListBox(IDC_PP_ACTIVE)) SetSelected(list->GetSelectedIndex());
        ShowSelectedParameters(false);
      }
      break;
    case IDC_PP_PARAM0:
    case IDC_PP_PARAM1:
      if (event == EVENT_EDITBOX_CHANGE || event == EVENT_EDITBOX_STRING) {
        if (auto* edit = dynamic_cast<CDXUTEditBox*>(control)) {
          EditSelectedParameter(controlId - IDC_PP_PARAM0, edit->GetTextString(), parameterBlock);
          SyncRecords();
        }
      }
      break;
    case IDC_PP_MOVE_UP:
    case IDC_PP_MOVE_DOWN:
      if (event == EVENT_BUTTON_CLICKED) {
        if (controlId == IDC_PP_MOVE_UP) MoveUp(); else MoveDown();
        SyncRecords();
        FillActiveListBox();
      }
      break;
    case IDC_PP_CLEAR:
      if (event == EVENT_BUTTON_CLICKED) {
        ClearActiveList();
        SyncRecords();
        FillActiveListBox();
        ShowSelectedParameters(false);
      }
      break;
    case IDC_PP_ENABLE:
      if (auto* box = dynamic_cast<CDXUTCheckBox*>(control)) m_bEnabled = box->GetChecked();
      break;
    case IDC_PP_BLUR:
    case IDC_PP_BLOOM:
    case IDC_PP_DOF:
    case IDC_PP_EDGE_GLOW:
      if (event == EVENT_BUTTON_CLICKED) {
        static constexpr PostProcessCombination kButtons[] = {
            PostProcessCombination::Blur, PostProcessCombination::Bloom, PostProcessCombination::DepthOfField,
            PostProcessCombination::EdgeGlow};
        ApplyCombination(kButtons[controlId - IDC_PP_BLUR]);
        SyncRecords();
        FillActiveListBox();
        ShowSelectedParameters(false);
      }
      break;
    default:
      break;
  }
}
