#pragma once
// The dialog toolkit: dialogs, the standard controls, the timeline,
// spectrum and level controls, and the shared resource manager.
#include "gui/Controls.h"
#include "gui/CustomControls.h"
#include "gui/Dialog.h"
#include "gui/DialogResourceManager.h"
#include "gui/GuiTypes.h"
