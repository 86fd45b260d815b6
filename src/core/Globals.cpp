#include "core/Globals.h"

bool g_bGuiHidden = true;
bool g_bPreferencesLoaded = false;
std::int32_t g_PointerX = 0;
std::int32_t g_PointerY = 0;
