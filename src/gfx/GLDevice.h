#pragma once
// The OpenGL 3.3 core backend of the device (through libepoxy).
//
// Contract with the window layer: a GL context is current on the calling
// thread for the device's whole life. The window layer owns the back-buffer
// framebuffer object (colour RGBA8 + depth24/stencil8 of width x height) and
// names it in the description; the device draws into it as render target 0,
// and its depth buffer serves every render target (as Direct3D's one depth
// buffer did). Name 0 makes the device create and own such a framebuffer
// itself (tests, offline rendering).
//
// The back buffer holds the picture top row first (row 0 of the framebuffer
// is the top of the image). PresentGLBackBuffer shows it upright.
#include <memory>

#include "gfx/Device.h"

namespace gfx {

struct GLDeviceDesc {
  int width = 0;
  int height = 0;
  unsigned backBufferFramebuffer = 0;  // GL name; 0 = the device makes its own
};

// Null when no usable context is current (below GL 3.3) or the size is bad.
std::unique_ptr<Device> CreateGLDevice(const GLDeviceDesc& desc);

// The GL name of the device's back-buffer framebuffer.
unsigned GLBackBufferFramebuffer(Device& device);

// Copies a back buffer (top row first) upright into the destination
// framebuffer (0 = the window), scaled to fit with its aspect kept and the
// rest cleared black (letterbox).
void PresentGLBackBuffer(unsigned sourceFramebuffer, int sourceWidth, int sourceHeight,
                         unsigned destinationFramebuffer, int destinationWidth, int destinationHeight);

}  // namespace gfx
