#pragma once
// Where the program ties its managers together: the interfaces the lower
// libraries declare for reaching upward, bound to the single objects of
// app/Globals.cpp. Each accessor returns one object, made on first use, so
// the globals may take them in their constructors in any order.
class AnimationLinks;
class DeviceClients;
class ScenePeers;
class SceneSkyBoxControls;
struct ShowManagers;

ScenePeers& ProgramScenePeers();
SceneSkyBoxControls& ProgramSkyBoxControls();
AnimationLinks& ProgramAnimationLinks();
DeviceClients& ProgramDeviceClients();
const ShowManagers& ProgramShowManagers();

// Registers the framework callbacks, the device manager's with the device
// manager as their user context.
void BindFrameworkCallbacks();
