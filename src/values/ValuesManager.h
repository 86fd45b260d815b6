#pragma once
// The values manager: the table of value scripts, the script file
// "value.dat", the three derived sources and the "Values Manager" panel.
// Its slide section holds only the panel preferences.
#include <cstdint>
#include <string_view>

#include "core/MVObject.h"
#include "gui/Gui.h"
#include "values/Sources.h"
#include "values/ValueScript.h"

// Panel control IDs.
enum ValuesPanelId : int {
  IDC_VALUES_OPERATIONS = 1600,
  IDC_VALUES_SCRIPT = 1601,
  IDC_VALUES_CLEAR = 1602,
  IDC_VALUES_UP = 1603,
  IDC_VALUES_DOWN = 1604,
  IDC_VALUES_SAVE = 1605,
  IDC_VALUES_PREVIEW = 1606,
  IDC_VALUES_SELECTOR = 1610,
};

// One entry of the operation catalog: the label shown in the panel and the
// code stored in the script.
struct ValueOperation {
  const char16_t* label;
  std::int32_t code;
};
inline constexpr int kValueOperationCount = 15;
extern const ValueOperation kValueOperations[kValueOperationCount];
inline constexpr char16_t kScriptEndMarker[] = u"-------";
// The label of a code, or null for codes without a catalog entry.
const char16_t* ValueOperationLabel(std::int32_t code);

class ValuesManager : public MVObject {
 public:
  // Installs this manager's evaluator as the one the timelines use; the
  // destructor gives the previous one back.
  ValuesManager();
  ~ValuesManager() override;
  ValuesManager(const ValuesManager&) = delete;
  ValuesManager& operator=(const ValuesManager&) = delete;

  std::int32_t GetType() const override { return MV_TYPE_VALUES; }

  // Builds the panel, registers it with the resource manager and sets the
  // base's panel reference.
  void BuildPanel(CDXUTDialogResourceManager* pManager);
  CDXUTDialog& GetDialog() { return m_Panel; }
  const CDXUTDialog& GetDialog() const { return m_Panel; }

  // Reads the script file into slots 1 to 9 (slot 0's group is skipped),
  // ScriptListLineCount() codes per slot. A file that cannot be opened
  // leaves the table unchanged and returns false.
  bool LoadScripts(std::string_view windowsPath);

  // The per-frame step: the derived sources, then the preview.
  void UpdateValues(float elapsedSeconds);
  // Runs the selected script on 100 into the preview text (not while the
  // GUI is hidden). Shares the evaluator's factor and source.
  void RefreshPreview();

  // Lines of the panel's script list, end marker included (4 until the
  // panel is built and edited).
  int ScriptListLineCount() const;

  const ValueScript& GetScript(int slot) const { return m_Scripts.slots[slot]; }
  ScriptTable& Scripts() { return m_Scripts; }
  ValueScriptEvaluator& Evaluator() { return m_Evaluator; }
  std::int32_t GetCurrentScript() const { return m_CurrentScript; }
  // The script chosen in the panel's selector (0 before the panel exists).
  std::int32_t GetSelectedScript() const { return SelectedSlot(); }
  int GetSelectedScriptLine() const { return m_SelectedLine; }

  // The panel's event callback.
  static void CALLBACK OnGuiEvent(UINT nEvent, int nControlID, CDXUTControl* pControl, void* pUserContext);
  void OnPanelEvent(UINT nEvent, int nControlID);

 private:
  void ShowScript(std::int32_t slot);
  void SwapLines(CDXUTListBox& list, int a, int b);
  std::int32_t SelectedSlot() const;

  ScriptTable m_Scripts;
  CDXUTDialog m_Panel;
  std::int32_t m_CurrentScript = 0;
  ValueScriptEvaluator m_Evaluator{m_Scripts, g_ValueSources};
  ValueScriptEvaluator* m_pPreviousEvaluator = nullptr;
  // Panel editing state.
  int m_RememberedOperation = -1;  // catalog index, -1 for none
  int m_SelectedLine = -1;
  char16_t m_PreviewText[32] = {};
};

extern ValuesManager g_ValuesManager;
