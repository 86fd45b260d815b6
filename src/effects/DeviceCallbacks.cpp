#include "core/Globals.h"
#include "effects/DeviceManager.h"
#include "gfx/Device.h"

bool DeviceManager::IsDeviceAcceptable(const fw::DeviceCaps&, const char*, const char*, bool, void*) {
  return true;
}

bool DeviceManager::ModifyDeviceSettings(fw::DeviceSettings*, const fw::DeviceCaps&, void*) { return true; }

fw::HRESULT DeviceManager::OnCreateDevice(gfx::Device* device, const gfx::BackBufferDesc&, void*) {
  if (device) g_DeviceManager.SetRenderTargetCount(device->GetDeviceCaps().numSimultaneousRTs);
  return 0;
}

fw::HRESULT DeviceManager::OnResetDevice(gfx::Device*, const gfx::BackBufferDesc&, void*) { return 0; }

void DeviceManager::OnLostDevice(void*) {}

void DeviceManager::OnDestroyDevice(void*) {}

void DeviceManager::DrawFinalImage(gfx::Device* device, int, int, int, int) {
  if (device) device->BeginScene();
}
