#pragma once
// Flags owned by the application shell, defined here so that every manager
// can read them without the app. The managers' single objects are declared
// beside their classes and defined, in construction order, in
// app/Globals.cpp.
#include <cstdint>

extern bool g_bGuiHidden;          // true at start: 3D output only, no overlay
extern bool g_bPreferencesLoaded;  // false when the sequence file was not read
extern std::int32_t g_PointerX;    // from the parameter of every window message
extern std::int32_t g_PointerY;
