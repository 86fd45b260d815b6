// Every manager is one static object, constructed in this order before the
// program entry runs (one translation unit keeps the order defined). The
// ones that reach other managers take their bindings (app/Bindings.cpp).
#include "animation/AnimationManager.h"
#include "audio/SoundManager.h"
#include "app/Bindings.h"
#include "effects/DeviceManager.h"
#include "effects/MetaballField.h"
#include "effects/ParticleManager.h"
#include "effects/PostProcessManager.h"
#include "effects/RenderTargetChain.h"
#include "effects/SkyBoxManager.h"
#include "gui/DialogResourceManager.h"
#include "scene/SceneManager.h"
#include "sequence/SequenceManager.h"
#include "values/ValuesManager.h"

MetaballField g_MetaballField;
ValuesManager g_ValuesManager;
PostProcessManager g_PostProcessManager;
SkyBoxManager g_SkyBoxManager;
// Without its scene effect (fx\reflectori.fxo) the device is not created.
DeviceManager g_DeviceManager(ProgramDeviceClients(), true);
SceneManager g_SceneManager(ProgramScenePeers());
SoundManager g_SoundManager;
SequenceManager g_SequenceManager(ProgramShowManagers());
AnimationManager g_AnimationManager(&g_SceneManager, &ProgramAnimationLinks());
ParticleManager g_ParticleManager;
CDXUTDialogResourceManager g_DialogResourceManager;
RenderTargetChain g_RenderTargetChain[3];
