#pragma once
// The graphics device: what Direct3D 9 was to the player. The OpenGL backend
// and the recording backend implement it. (Seed interface; the graphics
// layer grows it.)
#include <cstdint>

namespace gfx {

using HRESULT = std::int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
inline constexpr bool Failed(HRESULT hr) { return hr < 0; }

enum ClearFlags : std::uint32_t { CLEAR_TARGET = 1, CLEAR_ZBUFFER = 2, CLEAR_STENCIL = 4 };

struct BackBufferDesc {
  int width = 0;
  int height = 0;
  const char* format = "A8R8G8B8";
};

class Device {
 public:
  virtual ~Device() = default;
  // color is 0xAARRGGBB.
  virtual HRESULT Clear(std::uint32_t flags, std::uint32_t color, float z, std::uint32_t stencil) = 0;
  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual BackBufferDesc GetBackBufferDesc() const = 0;
};

}  // namespace gfx
