#include "values/ValuesManager.h"

#include <filesystem>
#include <fstream>

#include "io/BinaryIO.h"
#include "io/Paths.h"

namespace {
// The script list's lines before the user edits it.
constexpr int kInitialScriptListLines = 4;
}  // namespace

ValuesManager::ValuesManager() : m_pPreviousEvaluator(ActiveValueScripts()) {
  SetActiveValueScripts(&m_Evaluator);
}

ValuesManager::~ValuesManager() {
  if (ActiveValueScripts() == &m_Evaluator) SetActiveValueScripts(m_pPreviousEvaluator);
}

int ValuesManager::ScriptListLineCount() const { return kInitialScriptListLines; }

bool ValuesManager::LoadScripts(std::string_view windowsPath) {
  const auto path = mv::io::NativePath(windowsPath);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) return false;
  const int k = ScriptListLineCount();
  // Past the end of a short file each further code repeats the last value
  // read, as a failed read leaves the buffer as it was.
  std::int32_t buffer = 0;
  auto next = [&] {
    std::int32_t v;
    if (mv::io::ReadI32(in, v)) buffer = v;
  };
  next();  // leading value, not used
  for (int s = 0; s < 10; ++s) {
    m_Scripts.slots[s].Clear();
    for (int i = 0; i < k; ++i) {
      next();
      if (s != 0) m_Scripts.slots[s].Add(buffer);
    }
  }
  return true;
}

void ValuesManager::UpdateValues(float elapsedSeconds) {
  UpdateDerivedValues(g_ValueSources, elapsedSeconds);
}
