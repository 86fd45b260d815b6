#include "animation/AnimationManager.h"

// The dialog's controls follow the state kept by the manager.
void AnimationManager::SyncPanelControls() {}
