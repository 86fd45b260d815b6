#include "values/ValuesManager.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <utility>

#include "core/Globals.h"
#include "io/BinaryIO.h"
#include "io/Paths.h"

const ValueOperation kValueOperations[kValueOperationCount] = {
    {u"V=V+(Nbr*Factor)", OP_ADD_NBR},
    {u"V=V-(Nbr*Factor)", OP_SUB_NBR},
    {u"V=SIN(V)", OP_SIN},
    {u"V=V+Factor", OP_ADD_FACTOR},
    {u"V=V*Factor", OP_MUL_FACTOR},
    {u"V=V/Factor", OP_DIV_FACTOR},
    {u"Factor(const)=1/100", OP_FACTOR_HUNDREDTH},
    {u"Factor(const)=1/10", OP_FACTOR_TENTH},
    {u"Factor(const)=1", OP_FACTOR_ONE},
    {u"Factor(const)=10", OP_FACTOR_TEN},
    {u"Factor(const)=100", OP_FACTOR_HUNDRED},
    {u"Nbr=(var)Sequencer", OP_NBR_SEQUENCER},
    {u"Nbr=(var)BassSequencer", OP_NBR_BASS_SEQUENCER},
    {u"Nbr=(var)BassValue", OP_NBR_BASS_VALUE},
    {u"Nbr=(var)PeakValue", OP_NBR_PEAK_VALUE},
};

const char16_t* ValueOperationLabel(std::int32_t code) {
  for (const auto& op : kValueOperations)
    if (op.code == code) return op.label;
  return nullptr;
}

namespace {

// The script list's lines before the user edits it.
constexpr int kInitialScriptListLines = 4;
constexpr std::uint32_t kListStyle = 71;  // multi-selection on
constexpr UINT kSelectorHotkey = 71;      // 'G'

void* CodeData(std::int32_t code) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(code)); }
std::int32_t DataCode(void* data) {
  return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(data));
}

}  // namespace

ValuesManager::ValuesManager() : m_pPreviousEvaluator(ActiveValueScripts()) {
  SetActiveValueScripts(&m_Evaluator);
}

ValuesManager::~ValuesManager() {
  if (ActiveValueScripts() == &m_Evaluator) SetActiveValueScripts(m_pPreviousEvaluator);
}

void ValuesManager::BuildPanel(CDXUTDialogResourceManager* pManager) {
  // A second build replaces the controls instead of adding a second set.
  m_Panel.RemoveAllControls();
  m_Panel.Init(pManager);
  m_Panel.SetCallback(&ValuesManager::OnGuiEvent, this);
  m_Panel.SetTexture(1, u"media\\GUI\\Widget2.dds");
  m_Panel.EnableCaption(true);
  m_Panel.SetCaptionText(u"Values Manager");
  m_Panel.SetBackgroundColors(0x64FFC8FF);
  m_Panel.SetLocation(800, 220);
  m_Panel.SetSize(235, 180);

  CDXUTComboBox* selector = nullptr;
  m_Panel.AddComboBox(IDC_VALUES_SELECTOR, 10, 20, 210, 16, kSelectorHotkey, false, &selector);
  if (selector) {
    static constexpr const char16_t* kSlotNames[] = {
        u"None",       u"Script-001", u"Script-002", u"Script-003", u"Script-004",
        u"Script-005", u"Script-006", u"Script-007", u"Script-008", u"Script-009"};
    for (int s = 0; s < 10; ++s) selector->AddItem(kSlotNames[s], CodeData(s));
  }

  CDXUTListBox* operations = nullptr;
  m_Panel.AddListBox(IDC_VALUES_OPERATIONS, 10, 40, 210, 80, kListStyle, &operations);
  if (operations)
    for (const auto& op : kValueOperations) operations->AddItem(op.label, CodeData(op.code));

  CDXUTListBox* script = nullptr;
  m_Panel.AddListBox(IDC_VALUES_SCRIPT, 10, 125, 210, 80, kListStyle, &script);
  if (script) {
    for (std::int32_t code : {OP_FACTOR_HUNDRED, OP_NBR_PEAK_VALUE, OP_ADD_NBR})
      script->AddItem(ValueOperationLabel(code), CodeData(code));
    script->AddItem(kScriptEndMarker, CodeData(OP_END));
  }

  m_Panel.AddStatic(IDC_VALUES_PREVIEW, u"Value = -------", 0, 210, 100, 16);
  m_Panel.AddButton(IDC_VALUES_CLEAR, u"Clear", 10, 230, 40, 16);
  m_Panel.AddButton(IDC_VALUES_UP, u"Up", 60, 230, 40, 16);
  m_Panel.AddButton(IDC_VALUES_DOWN, u"Down", 110, 230, 40, 16);
  m_Panel.AddButton(IDC_VALUES_SAVE, u"Save", 160, 230, 40, 16);
  SetPanel(&m_Panel);
}

int ValuesManager::ScriptListLineCount() const {
  if (const CDXUTListBox* list = m_Panel.GetListBox(IDC_VALUES_SCRIPT)) return list->GetSize();
  return kInitialScriptListLines;
}

bool ValuesManager::LoadScripts(std::string_view windowsPath) {
  const auto path = mv::io::NativePath(windowsPath);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) return false;
  ReadScriptFile(in, m_Scripts, ScriptListLineCount());
  return true;
}

void ValuesManager::UpdateValues(float elapsedSeconds) {
  UpdateDerivedValues(g_ValueSources, elapsedSeconds);
  RefreshPreview();
}

std::int32_t ValuesManager::SelectedSlot() const {
  const CDXUTComboBox* selector = m_Panel.GetComboBox(IDC_VALUES_SELECTOR);
  return selector ? DataCode(selector->GetSelectedData()) : 0;
}

void ValuesManager::RefreshPreview() {
  if (g_bGuiHidden) return;
  CDXUTStatic* preview = m_Panel.GetStatic(IDC_VALUES_PREVIEW);
  if (!preview) return;
  const float v = m_Evaluator.ApplyValueScript(SelectedSlot(), 100.0f);
  char text[32];
  int n = std::snprintf(text, sizeof text, "Value %3.2f", static_cast<double>(v));
  if (n < 0) n = 0;
  if (n > 31) n = 31;
  for (int i = 0; i < n; ++i) m_PreviewText[i] = static_cast<unsigned char>(text[i]);
  m_PreviewText[n] = 0;
  preview->SetText(std::u16string_view(m_PreviewText, static_cast<std::size_t>(n)));
}

void CALLBACK ValuesManager::OnGuiEvent(UINT nEvent, int nControlID, CDXUTControl*, void* pUserContext) {
  if (pUserContext) static_cast<ValuesManager*>(pUserContext)->OnPanelEvent(nEvent, nControlID);
}

void ValuesManager::ShowScript(std::int32_t slot) {
  CDXUTListBox* list = m_Panel.GetListBox(IDC_VALUES_SCRIPT);
  if (!list) return;
  list->RemoveAllItems();
  if (slot >= 0 && slot < kScriptSlots) {
    for (std::int32_t code : m_Scripts.slots[slot])
      if (const char16_t* label = ValueOperationLabel(code)) list->AddItem(label, CodeData(code));
  }
  list->AddItem(kScriptEndMarker, CodeData(OP_END));
}

void ValuesManager::SwapLines(CDXUTListBox& list, int a, int b) {
  DXUTListBoxItem* x = list.GetItem(a);
  DXUTListBoxItem* y = list.GetItem(b);
  if (!x || !y) return;
  std::swap(x->strText, y->strText);
  std::swap(x->pData, y->pData);
  std::swap(x->bSelected, y->bSelected);
}

void ValuesManager::OnPanelEvent(UINT nEvent, int nControlID) {
  CDXUTListBox* script = m_Panel.GetListBox(IDC_VALUES_SCRIPT);
  CDXUTListBox* operations = m_Panel.GetListBox(IDC_VALUES_OPERATIONS);
  switch (nControlID) {
    case IDC_VALUES_SELECTOR: {
      const std::int32_t slot = SelectedSlot();
      ShowScript(slot);
      m_CurrentScript = slot;
      m_SelectedLine = -1;
      break;
    }
    case IDC_VALUES_OPERATIONS:
      if (!operations) break;
      if (nEvent == EVENT_LISTBOX_SELECTION) {
        const int i = operations->GetSelectedIndex(-1);
        m_RememberedOperation = i >= 0 && i < kValueOperationCount ? i : -1;
      } else if (nEvent == EVENT_LISTBOX_ITEM_DBLCLK && script && m_RememberedOperation >= 0) {
        const int count = script->GetSize();
        int p = m_SelectedLine;
        if (p == -1) p = count == 1 ? 0 : count;
        // A line remembered from before the list shrank would be refused.
        if (p > count) p = count;
        if (p < 0) p = 0;
        m_SelectedLine = p;
        const ValueOperation& op = kValueOperations[m_RememberedOperation];
        script->InsertItem(p, op.label, CodeData(op.code));
      }
      break;
    case IDC_VALUES_SCRIPT:
      if (!script) break;
      if (nEvent == EVENT_LISTBOX_SELECTION) {
        m_SelectedLine = script->GetSelectedIndex(-1);
      } else if (nEvent == EVENT_LISTBOX_ITEM_DBLCLK) {
        m_SelectedLine = script->GetSelectedIndex(-1);
        const DXUTListBoxItem* line = script->GetItem(m_SelectedLine);
        if (m_SelectedLine != -1 && line && DataCode(line->pData) != OP_END)
          script->RemoveItem(m_SelectedLine);
      }
      break;
    case IDC_VALUES_CLEAR:
      if (nEvent != EVENT_BUTTON_CLICKED || !script) break;
      script->RemoveAllItems();
      script->AddItem(kScriptEndMarker, CodeData(OP_END));
      break;
    case IDC_VALUES_UP: {
      if (nEvent != EVENT_BUTTON_CLICKED || !script) break;
      const int i = script->GetSelectedIndex(-1);
      if (i > 0 && i != script->GetSize() - 1) {
        SwapLines(*script, i - 1, i);
        script->SelectItem(i - 1);
      }
      break;
    }
    case IDC_VALUES_DOWN: {
      if (nEvent != EVENT_BUTTON_CLICKED || !script) break;
      const int i = script->GetSelectedIndex(-1);
      if (i >= 0 && i < script->GetSize() - 2) {
        SwapLines(*script, i, i + 1);
        script->SelectItem(i + 1);
      }
      break;
    }
    case IDC_VALUES_SAVE: {
      if (nEvent != EVENT_BUTTON_CLICKED || !script) break;
      if (m_CurrentScript < 0 || m_CurrentScript >= kScriptSlots) break;
      ValueScript& slot = m_Scripts.slots[m_CurrentScript];
      slot.Clear();
      for (int i = 0; i < script->GetSize(); ++i) slot.Add(DataCode(script->GetItem(i)->pData));
      break;
    }
    default:
      break;
  }
}
