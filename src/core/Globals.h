#pragma once
// The program's single global objects. Each manager is one static object,
// defined in src/app/Globals.cpp in the construction order the program relies
// on; other managers reach each other only through these names. Include the
// manager's own header to use one.
#include <cstdint>

class MetaballField;
class ValuesManager;
class PostProcessManager;
class SkyBoxManager;
class DeviceManager;
class SceneManager;
class SoundManager;
class SequenceManager;
class AnimationManager;
class ParticleManager;
class CDXUTDialogResourceManager;
class RenderTargetChain;

extern MetaballField g_MetaballField;
extern ValuesManager g_ValuesManager;
extern PostProcessManager g_PostProcessManager;
extern SkyBoxManager g_SkyBoxManager;
extern DeviceManager g_DeviceManager;
extern SceneManager g_SceneManager;
extern SoundManager g_SoundManager;
extern SequenceManager g_SequenceManager;
extern AnimationManager g_AnimationManager;
extern ParticleManager g_ParticleManager;
extern CDXUTDialogResourceManager g_DialogResourceManager;
extern RenderTargetChain g_RenderTargetChain[3];

// Flags owned by the application shell (defined in core, so that every
// library can read them without the app).
extern bool g_bGuiHidden;          // true at start: 3D output only, no overlay
extern bool g_bPreferencesLoaded;  // false when the sequence file was not read
extern std::int32_t g_PointerX;    // from the parameter of every window message
extern std::int32_t g_PointerY;
