#pragma once
// The values manager: the table of value scripts, the script file
// "value.dat", the three derived sources and the "Values Manager" panel.
// Its slide section holds only the panel preferences.
#include <cstdint>
#include <string_view>

#include "core/MVObject.h"
#include "values/Sources.h"
#include "values/ValueScript.h"

class ValuesManager : public MVObject {
 public:
  // Installs this manager's evaluator as the one the timelines use; the
  // destructor gives the previous one back.
  ValuesManager();
  ~ValuesManager() override;
  ValuesManager(const ValuesManager&) = delete;
  ValuesManager& operator=(const ValuesManager&) = delete;

  std::int32_t GetType() const override { return MV_TYPE_VALUES; }

  // Reads the script file into slots 1 to 9 (slot 0's group is skipped).
  // A file that cannot be opened leaves the table unchanged; returns false
  // then.
  bool LoadScripts(std::string_view windowsPath);

  // The per-frame step: the derived sources, then the preview.
  void UpdateValues(float elapsedSeconds);

  // Number of lines of the panel's script list, end marker included: the
  // number of codes read per slot from the script file.
  int ScriptListLineCount() const;

  const ValueScript& GetScript(int slot) const { return m_Scripts.slots[slot]; }
  ScriptTable& Scripts() { return m_Scripts; }
  ValueScriptEvaluator& Evaluator() { return m_Evaluator; }
  std::int32_t GetCurrentScript() const { return m_CurrentScript; }

 private:
  ScriptTable m_Scripts;
  std::int32_t m_CurrentScript = 0;
  ValueScriptEvaluator m_Evaluator{m_Scripts, g_ValueSources};
  ValueScriptEvaluator* m_pPreviousEvaluator = nullptr;
};
