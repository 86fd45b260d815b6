#include "effects/DeviceManager.h"
#include "gfx/Device.h"
#include "gfx/Font.h"
#include "gfx/Sprite.h"
#include "io/Log.h"

DeviceManager::DeviceManager() = default;
DeviceManager::~DeviceManager() = default;

bool DeviceManager::IsDeviceAcceptable(const fw::DeviceCaps&, const char*, const char*, bool, void*) {
  return true;
}

bool DeviceManager::ModifyDeviceSettings(fw::DeviceSettings*, const fw::DeviceCaps&, void*) { return true; }

// The framework hands every callback the user context it was registered
// with: the device manager it serves.
fw::HRESULT DeviceManager::OnCreateDevice(gfx::Device* device, const gfx::BackBufferDesc&, void* userContext) {
  auto* self = static_cast<DeviceManager*>(userContext);
  if (!self) return gfx::E_INVALIDARG;
  if (device) self->SetRenderTargetCount(device->GetDeviceCaps().numSimultaneousRTs);
  std::string error;
  self->m_fontA = gfx::Font::Create("Arial", 15, 700, false, &error);
  self->m_fontB = gfx::Font::Create("Arial", 15, 700, true, &error);
  if (!self->m_fontA || !self->m_fontB) Log("No font for the overlay: " + error + "\n");
  return 0;
}

fw::HRESULT DeviceManager::OnResetDevice(gfx::Device* device, const gfx::BackBufferDesc&, void* userContext) {
  auto* self = static_cast<DeviceManager*>(userContext);
  if (!self) return gfx::E_INVALIDARG;
  if (!device) return 0;
  std::string error;
  self->m_sprite = gfx::Sprite::Create(*device, &error);
  if (!self->m_sprite) Log("No sprite: " + error + "\n");
  return 0;
}

void DeviceManager::OnLostDevice(void* userContext) {
  if (auto* self = static_cast<DeviceManager*>(userContext)) self->m_sprite.reset();
}

void DeviceManager::OnDestroyDevice(void* userContext) {
  auto* self = static_cast<DeviceManager*>(userContext);
  if (!self) return;
  self->m_sprite.reset();
  self->m_fontA.reset();
  self->m_fontB.reset();
}

void DeviceManager::DrawFinalImage(gfx::Device* device, int, int, int, int) {
  if (device) device->BeginScene();
}
