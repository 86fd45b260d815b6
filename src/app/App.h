#pragma once
// The application shell: start-up, shut-down and the framework callbacks.
#include <cstddef>
#include <cstdint>

#include "io/WindowMessages.h"

namespace gfx {
class Device;
}

bool InitApp();
bool CloseApp();

void OnFrameMove(double time, float elapsed, void* userContext);
void OnFrameRender(gfx::Device* device, double time, float elapsed, void* userContext);
LRESULT OnMsgProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, bool* pbNoFurtherProcessing,
                  void* userContext);
void OnKeyboard(UINT key, bool keyDown, bool altDown, void* userContext);

// The program entry's steps, shared by main() and the headless runner.
int RunPlayer();

namespace mv::app {

// Names of the frame's steps in the order they ran, for tests of the frame
// order. Recording is off unless a test turns it on; it never allocates.
struct StepTrace {
  static constexpr std::size_t kCapacity = 64;
  const char* steps[kCapacity] = {};
  std::size_t count = 0;
  bool enabled = false;
  void Add(const char* s) {
    if (enabled && count < kCapacity) steps[count++] = s;
  }
  void Clear() { count = 0; }
};
StepTrace& Trace();

// The three overlay lines as last drawn (for tests).
const char* OverlayLine(int i);

}  // namespace mv::app
