#include "framework/Framework.h"

#include <SDL2/SDL.h>
#include <epoxy/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "framework/FramePacer.h"
#include "framework/SdlAdapter.h"
#include "gfx/GLDevice.h"
#include "io/Utf16.h"

namespace fw {
namespace {

std::unique_ptr<gfx::Device> MakeDevice(unsigned fbo, int w, int h) {
  gfx::GLDeviceDesc desc;
  desc.width = w;
  desc.height = h;
  desc.backBufferFramebuffer = fbo;
  return gfx::CreateGLDevice(desc);
}

template <class F>
struct Slot {
  F fn = nullptr;
  void* ctx = nullptr;
};

struct EnvBackup {
  bool saved = false;
  bool had = false;
  std::string value;
  void Save(const char* name) {
    if (saved) return;
    const char* v = std::getenv(name);
    had = v != nullptr;
    value = v ? v : "";
    saved = true;
  }
  void Restore(const char* name) {
    if (!saved) return;
    if (had)
      setenv(name, value.c_str(), 1);
    else
      unsetenv(name);
    saved = false;
  }
};

struct State {
  Slot<IsDeviceAcceptableCallback> acceptable;
  Slot<ModifyDeviceSettingsCallback> modify;
  Slot<DeviceCreatedCallback> created;
  Slot<DeviceResetCallback> reset;
  Slot<DeviceLostCallback> lost;
  Slot<DeviceDestroyedCallback> destroyed;
  Slot<FrameMoveCallback> frameMove;
  Slot<FrameRenderCallback> frameRender;
  Slot<MsgProcCallback> msgProc;
  Slot<KeyboardCallback> keyboard;

  int multisampleTypes[8] = {MULTISAMPLE_NONE};
  int multisampleCount = 1;
  bool showCursorWhenFullScreen = true;
  bool clipCursorWhenFullScreen = false;
  bool altEnterToggles = true;
  bool escapeQuits = true;
  bool pauseToggles = true;

  bool headless = false;
  EnvBackup videoDriverEnv;
  EnvBackup softwareEnv;
  bool forcedSoftware = false;
  bool sdlVideo = false;

  std::string title;
  SDL_Window* window = nullptr;
  SDL_GLContext gl = nullptr;
  bool windowEverCreated = false;
  bool minimized = false;

  DeviceSettings settings;
  bool deviceRequested = false;
  DeviceCaps caps;
  char glVersion[128] = "";
  char glRenderer[256] = "";
  char glVendor[256] = "";
  bool isMesa = false;
  std::unique_ptr<gfx::Device> device;
  bool deviceObjectsCreated = false;
  bool deviceObjectsReset = false;
  GLuint fbo = 0;
  GLuint colorTex = 0;
  GLuint depthRb = 0;

  SdlAdapter adapter;
  bool closing = false;
  bool inLoop = false;
  int exitCode = 0;
  bool captured = false;
  bool keys[256] = {};
  std::vector<WindowMessage> posted;

  // Pacing: whether the driver synchronises the swap, and the loop's own
  // sleep where it does not.
  bool swapIntervalHonoured = false;
  int displayHz = 0;
  FramePacer pacer;

  // Clock.
  Uint64 lastCounter = 0;
  double time = 0.0;
  float elapsed = 0.0f;
  double fixedStep = 0.0;
  bool timePaused = false;
  int frameCount = 0;
  int loopCount = 0;
  int frameLimit = 0;
  int frameLimitExitCode = 0;

  // Statistics.
  bool statsStarted = false;
  double statsLastTime = 0.0;
  int statsFrames = 0;
  float fps = 0.0f;
  char frameStats[256] = "";
  char deviceStats[640] = "";
};

State& S() {
  static State* s = new State();
  return *s;
}

bool IsSoftwareRenderer(const char* renderer) {
  return std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe") ||
         std::strstr(renderer, "swrast") || std::strstr(renderer, "Software Rasterizer");
}

// Drivers without a display accept a swap interval that means nothing.
bool PresentsToADisplay() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

const char* DeviceTypeName(DeviceType t) {
  switch (t) {
    case DeviceType::Reference:
      return "REFERENCE";
    case DeviceType::Software:
      return "SOFTWARE";
    default:
      return "HARDWARE";
  }
}

void CopyGlString(char* dst, std::size_t n, GLenum name) {
  const GLubyte* s = glGetString(name);
  std::snprintf(dst, n, "%s", s ? reinterpret_cast<const char*>(s) : "");
}

void UpdateCursor() {
  State& s = S();
  if (!s.window) return;
  const bool full = !s.settings.windowed;
  SDL_ShowCursor(full && !s.showCursorWhenFullScreen ? SDL_DISABLE : SDL_ENABLE);
  SDL_SetWindowGrab(s.window, full && s.clipCursorWhenFullScreen ? SDL_TRUE : SDL_FALSE);
}

void UpdateWindowSize() {
  State& s = S();
  int w = 0, h = 0;
  if (s.window) SDL_GetWindowSize(s.window, &w, &h);
  s.adapter.SetWindowSize(w, h);
}

SDL_Rect DisplayBounds(int display) {
  SDL_Rect b{0, 0, kBackBufferWidth, kBackBufferHeight};
  if (SDL_GetDisplayBounds(display, &b) != 0 || b.w <= 0 || b.h <= 0) b = {0, 0, kBackBufferWidth, kBackBufferHeight};
  return b;
}

int WindowDisplay(SDL_Window* w) {
  const int d = SDL_GetWindowDisplayIndex(w);
  return d < 0 ? 0 : d;
}

// Full screen is a borderless window over the whole display, not SDL's
// desktop full-screen mode: without a window manager (kiosk, bare X) that
// mode leaves the X window at its old size while SDL reports the display's.
// Windowed: the back buffer's size, shrunk (aspect kept) to fit the desktop.
void ApplyWindowMode() {
  State& s = S();
  if (!s.window) return;
  const int display = WindowDisplay(s.window);
  SDL_SetWindowFullscreen(s.window, 0);
  if (s.settings.windowed) {
    int w = s.settings.width > 0 ? s.settings.width : kBackBufferWidth;
    int h = s.settings.height > 0 ? s.settings.height : kBackBufferHeight;
    SDL_DisplayMode dm;
    if (SDL_GetDesktopDisplayMode(display, &dm) == 0 && dm.w > 0 && dm.h > 0 && (w > dm.w || h > dm.h)) {
      const ViewportRect r = LetterboxRect(w, h, dm.w * 9 / 10, dm.h * 9 / 10);
      w = r.w, h = r.h;
    }
    SDL_SetWindowBordered(s.window, SDL_TRUE);
    SDL_SetWindowSize(s.window, w, h);
    SDL_SetWindowPosition(s.window, SDL_WINDOWPOS_CENTERED_DISPLAY(display), SDL_WINDOWPOS_CENTERED_DISPLAY(display));
  } else {
    const SDL_Rect b = DisplayBounds(display);
    // Geometry first, while the window may still be unmapped: the first
    // map then already covers the display.
    SDL_SetWindowBordered(s.window, SDL_FALSE);
    SDL_SetWindowPosition(s.window, b.x, b.y);
    SDL_SetWindowSize(s.window, b.w, b.h);
  }
  SDL_ShowWindow(s.window);
  if (!s.settings.windowed) SDL_RaiseWindow(s.window);
  SDL_DisplayMode mode;
  s.displayHz = SDL_GetCurrentDisplayMode(WindowDisplay(s.window), &mode) == 0 ? mode.refresh_rate : 0;
  UpdateWindowSize();
  UpdateCursor();
}

void FillCaps() {
  State& s = S();
  CopyGlString(s.glVersion, sizeof s.glVersion, GL_VERSION);
  CopyGlString(s.glRenderer, sizeof s.glRenderer, GL_RENDERER);
  CopyGlString(s.glVendor, sizeof s.glVendor, GL_VENDOR);
  s.isMesa = std::strstr(s.glVersion, "Mesa") != nullptr;
  DeviceCaps c;
  GLint major = 0, minor = 0, drawBuffers = 1;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  glGetIntegerv(GL_MAX_DRAW_BUFFERS, &drawBuffers);
  c.glMajor = major;
  c.glMinor = minor;
  c.numSimultaneousRTs = drawBuffers < 1 ? 1 : drawBuffers;
  if (s.forcedSoftware)
    c.deviceType = DeviceType::Reference;
  else if (IsSoftwareRenderer(s.glRenderer))
    c.deviceType = DeviceType::Software;
  else
    c.deviceType = DeviceType::Hardware;
  c.hardwareTransformAndLight = c.deviceType == DeviceType::Hardware;
  c.renderer = s.glRenderer;
  c.vendor = s.glVendor;
  s.caps = c;
}

void BuildDeviceStats() {
  State& s = S();
  std::snprintf(s.deviceStats, sizeof s.deviceStats, "%s (%s vp): %s - %s", DeviceTypeName(s.settings.deviceType),
                s.settings.vertexProcessing == VertexProcessing::Software ? "sw" : "hw", s.glRenderer, s.glVendor);
}

bool CreateBackBuffer() {
  State& s = S();
  glGenFramebuffers(1, &s.fbo);
  glGenTextures(1, &s.colorTex);
  glGenRenderbuffers(1, &s.depthRb);
  GLint prevTex = 0, prevRb = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &prevTex);
  glGetIntegerv(GL_RENDERBUFFER_BINDING, &prevRb);
  glBindTexture(GL_TEXTURE_2D, s.colorTex);
  // Unsized, with BGRA data: Mesa then stores it in the window's own byte
  // order, and a present at the same size is a plain copy rather than a
  // full-screen shader pass (about 9 ms of CPU at 1080p on llvmpipe).
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kBackBufferWidth, kBackBufferHeight, 0, GL_BGRA, GL_UNSIGNED_BYTE,
               nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glBindRenderbuffer(GL_RENDERBUFFER, s.depthRb);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, kBackBufferWidth, kBackBufferHeight);
  glBindFramebuffer(GL_FRAMEBUFFER, s.fbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, s.colorTex, 0);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, s.depthRb);
  const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(prevTex));
  glBindRenderbuffer(GL_RENDERBUFFER, static_cast<GLuint>(prevRb));
  // Start from a defined picture.
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  return complete;
}

void DestroyBackBuffer() {
  State& s = S();
  if (!s.gl) return;
  if (s.fbo) glDeleteFramebuffers(1, &s.fbo);
  if (s.colorTex) glDeleteTextures(1, &s.colorTex);
  if (s.depthRb) glDeleteRenderbuffers(1, &s.depthRb);
  s.fbo = s.colorTex = s.depthRb = 0;
}

// Device lost and destroyed for what was created, then the device, the back
// buffer and the context.
void ReleaseDevice() {
  State& s = S();
  if (s.deviceObjectsReset) {
    s.deviceObjectsReset = false;
    if (s.lost.fn) s.lost.fn(s.lost.ctx);
  }
  if (s.deviceObjectsCreated) {
    s.deviceObjectsCreated = false;
    if (s.destroyed.fn) s.destroyed.fn(s.destroyed.ctx);
  }
  if (s.gl && s.window) SDL_GL_MakeCurrent(s.window, s.gl);
  s.device.reset();
  DestroyBackBuffer();
  if (s.gl) {
    SDL_GL_MakeCurrent(s.window, nullptr);
    SDL_GL_DeleteContext(s.gl);
    s.gl = nullptr;
  }
}

void DestroyWindowNow() {
  State& s = S();
  ReleaseDevice();
  if (s.captured) {
    SDL_CaptureMouse(SDL_FALSE);
    s.captured = false;
  }
  if (s.window) {
    SDL_DestroyWindow(s.window);
    s.window = nullptr;
  }
  s.adapter.SetCaptured(false);
}

HRESULT CreateWindowInternal() {
  State& s = S();
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  // The window only receives the scaled picture: no depth, no samples.
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);
  // Made in its full-screen shape (the device is full screen unless asked
  // otherwise), hidden until the device's mode is applied.
  const SDL_Rect b = DisplayBounds(0);
  s.window = SDL_CreateWindow(s.title.c_str(), b.x, b.y, b.w, b.h,
                              SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_RESIZABLE |
                                  SDL_WINDOW_ALLOW_HIGHDPI);
  if (!s.window) return ERR_NOWINDOW;
  s.windowEverCreated = true;
  s.closing = false;
  s.adapter.SetBackBufferSize(kBackBufferWidth, kBackBufferHeight);
  UpdateWindowSize();
  return gfx::S_OK;
}

HRESULT CreateDeviceInternal() {
  State& s = S();
  if (!s.window) return ERR_NOWINDOW;
  ApplyWindowMode();
  s.gl = SDL_GL_CreateContext(s.window);
  if (!s.gl) return ERR_CREATINGDEVICE;
  SDL_GL_MakeCurrent(s.window, s.gl);
  FillCaps();
  if (s.caps.glMajor < 3 || (s.caps.glMajor == 3 && s.caps.glMinor < 3)) {
    ReleaseDevice();
    return ERR_NOCOMPATIBLEDEVICES;
  }
  if (s.acceptable.fn &&
      !s.acceptable.fn(s.caps, s.settings.adapterFormat, s.settings.backBufferFormat, s.settings.windowed,
                       s.acceptable.ctx)) {
    ReleaseDevice();
    return ERR_NOCOMPATIBLEDEVICES;
  }
  s.settings.width = s.settings.width > 0 ? s.settings.width : kBackBufferWidth;
  s.settings.height = s.settings.height > 0 ? s.settings.height : kBackBufferHeight;
  s.settings.deviceType = s.caps.deviceType;
  s.settings.vertexProcessing =
      s.caps.hardwareTransformAndLight ? VertexProcessing::Hardware : VertexProcessing::Software;
  s.settings.multisampleType = s.multisampleCount > 0 ? s.multisampleTypes[0] : MULTISAMPLE_NONE;
  if (s.modify.fn && !s.modify.fn(&s.settings, s.caps, s.modify.ctx)) {
    ReleaseDevice();
    return ERR_NOCOMPATIBLEDEVICES;
  }
  // The back buffer is never multisampled, whatever was asked for.
  s.settings.multisampleType = MULTISAMPLE_NONE;
  // Not every driver lets the interval be set (GLX under Xvfb): the loop
  // then paces itself. The offscreen driver takes it and never waits.
  const bool wantsVsync = s.settings.presentInterval != PRESENT_INTERVAL_IMMEDIATE;
  const bool intervalSet = SDL_GL_SetSwapInterval(wantsVsync ? 1 : 0) == 0;
  s.swapIntervalHonoured = wantsVsync && intervalSet && PresentsToADisplay();

  if (!CreateBackBuffer()) {
    ReleaseDevice();
    return ERR_CREATINGDEVICE;
  }
  s.device = MakeDevice(s.fbo, kBackBufferWidth, kBackBufferHeight);
  if (!s.device) {
    ReleaseDevice();
    return ERR_CREATINGDEVICE;
  }
  BuildDeviceStats();
  const gfx::BackBufferDesc bb = GetBackBufferDesc();
  if (s.created.fn) {
    const HRESULT hr = s.created.fn(s.device.get(), bb, s.created.ctx);
    // What a failed creation managed to make is released through the
    // destroyed callback, so nothing leaks.
    s.deviceObjectsCreated = true;
    if (gfx::Failed(hr)) {
      ReleaseDevice();
      return hr;
    }
  }
  s.deviceObjectsCreated = true;
  if (s.reset.fn) {
    const HRESULT hr = s.reset.fn(s.device.get(), bb, s.reset.ctx);
    s.deviceObjectsReset = true;
    if (gfx::Failed(hr)) {
      ReleaseDevice();
      return hr;
    }
  }
  s.deviceObjectsReset = true;
  UpdateCursor();
  s.statsStarted = false;
  return gfx::S_OK;
}

PacingChoice CurrentPacing() {
  const State& s = S();
  return ChoosePacing(s.settings.presentInterval != PRESENT_INTERVAL_IMMEDIATE, s.device && s.swapIntervalHonoured,
                      s.fixedStep > 0.0, s.displayHz);
}

void RequestClose() {
  State& s = S();
  s.closing = true;
  if (!s.inLoop) DestroyWindowNow();
}

LRESULT Route(UINT msg, WPARAM wParam, LPARAM lParam) {
  State& s = S();
  const bool isKey = msg == WM_KEYDOWN || msg == WM_KEYUP || msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP;
  const bool keyDown = msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN;
  if (isKey && wParam < 256) s.keys[wParam] = keyDown;

  if (s.msgProc.fn) {
    bool stop = false;
    const LRESULT r = s.msgProc.fn(GetHWND(), msg, wParam, lParam, &stop, s.msgProc.ctx);
    if (stop) return r;
  }
  if (isKey && s.keyboard.fn) {
    const bool alt = msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP;
    s.keyboard.fn(static_cast<UINT>(wParam), keyDown, alt, s.keyboard.ctx);
  }
  switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (wParam == VK_ESCAPE && s.escapeQuits) {
        Route(WM_CLOSE, 0, lParam);
      } else if (wParam == VK_RETURN && msg == WM_SYSKEYDOWN && s.altEnterToggles) {
        ToggleFullScreen();
      } else if (wParam == VK_PAUSE && s.pauseToggles) {
        s.timePaused = !s.timePaused;
      }
      break;
    case WM_CLOSE:
      RequestClose();
      break;
    default:
      break;
  }
  return 0;
}

void HandleEvent(const SDL_Event& e) {
  State& s = S();
  if (e.type == SDL_WINDOWEVENT) {
    switch (e.window.event) {
      case SDL_WINDOWEVENT_MINIMIZED:
        s.minimized = true;
        break;
      case SDL_WINDOWEVENT_RESTORED:
      case SDL_WINDOWEVENT_MAXIMIZED:
      case SDL_WINDOWEVENT_SHOWN:
        s.minimized = false;
        break;
      default:
        break;
    }
  }
  WindowMessage msgs[SdlAdapter::kMaxMessages];
  const int n = s.adapter.Translate(e, msgs, SdlAdapter::kMaxMessages);
  if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_FOCUS_LOST && !s.adapter.IsCaptured() &&
      s.captured) {
    SDL_CaptureMouse(SDL_FALSE);
    s.captured = false;
  }
  for (int i = 0; i < n && !s.closing; ++i) Route(msgs[i].msg, msgs[i].wParam, msgs[i].lParam);
}

void AdvanceClock() {
  State& s = S();
  const Uint64 now = SDL_GetPerformanceCounter();
  double delta;
  if (s.fixedStep > 0.0) {
    delta = s.fixedStep;
  } else {
    delta = s.lastCounter ? static_cast<double>(now - s.lastCounter) / static_cast<double>(SDL_GetPerformanceFrequency())
                          : 0.0;
    if (delta < 0.0) delta = 0.0;
  }
  s.lastCounter = now;
  if (s.timePaused) delta = 0.0;
  s.time += delta;
  s.elapsed = static_cast<float>(delta);
}

void UpdateStats() {
  State& s = S();
  const double now = s.fixedStep > 0.0 ? s.time
                                       : static_cast<double>(SDL_GetPerformanceCounter()) /
                                             static_cast<double>(SDL_GetPerformanceFrequency());
  if (!s.statsStarted) {
    // The first frame opens the interval; it is not counted in it.
    s.statsStarted = true;
    s.statsLastTime = now;
    s.statsFrames = 0;
    return;
  }
  ++s.statsFrames;
  const double passed = now - s.statsLastTime;
  if (passed > 1.0) {
    s.fps = static_cast<float>(s.statsFrames / passed);
    s.statsLastTime = now;
    s.statsFrames = 0;
  }
}

void Present() {
  State& s = S();
  if (!s.window || !s.gl || !s.fbo) return;
  // Leave the device's view of the GL state as it was.
  GLint prevRead = 0, prevDraw = 0;
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &prevRead);
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &prevDraw);
  const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
  GLboolean mask[4];
  glGetBooleanv(GL_COLOR_WRITEMASK, mask);
  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  const GLboolean srgb = glIsEnabled(GL_FRAMEBUFFER_SRGB);

  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_FRAMEBUFFER_SRGB);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(s.window, &dw, &dh);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  const ViewportRect r = LetterboxRect(kBackBufferWidth, kBackBufferHeight, dw, dh);
  // Only bars need clearing: the picture covers the rest.
  if (r.w != dw || r.h != dh) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  if (r.w > 0 && r.h > 0) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, s.fbo);
    // Row 0 of the back buffer is the top of the picture; the window's
    // row 0 is its bottom. Unscaled, nearest is the same picture and lets
    // the driver copy.
    const bool unscaled = r.w == kBackBufferWidth && r.h == kBackBufferHeight;
    glBlitFramebuffer(0, 0, kBackBufferWidth, kBackBufferHeight, r.x, dh - r.y, r.x + r.w, dh - r.y - r.h,
                      GL_COLOR_BUFFER_BIT, unscaled ? GL_NEAREST : GL_LINEAR);
  }
  SDL_GL_SwapWindow(s.window);

  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(prevRead));
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(prevDraw));
  if (scissor) glEnable(GL_SCISSOR_TEST);
  if (srgb) glEnable(GL_FRAMEBUFFER_SRGB);
  glColorMask(mask[0], mask[1], mask[2], mask[3]);
  glClearColor(clear[0], clear[1], clear[2], clear[3]);
}

void CountLoopForLimit() {
  State& s = S();
  ++s.loopCount;
  if (s.frameLimit > 0 && s.loopCount >= s.frameLimit) Shutdown(s.frameLimitExitCode);
}

}  // namespace

// ---- registration ------------------------------------------------------------

void SetCallbackDeviceAcceptable(IsDeviceAcceptableCallback cb, void* ctx) { S().acceptable = {cb, ctx}; }
void SetCallbackModifyDeviceSettings(ModifyDeviceSettingsCallback cb, void* ctx) { S().modify = {cb, ctx}; }
void SetCallbackDeviceCreated(DeviceCreatedCallback cb, void* ctx) { S().created = {cb, ctx}; }
void SetCallbackDeviceReset(DeviceResetCallback cb, void* ctx) { S().reset = {cb, ctx}; }
void SetCallbackDeviceLost(DeviceLostCallback cb, void* ctx) { S().lost = {cb, ctx}; }
void SetCallbackDeviceDestroyed(DeviceDestroyedCallback cb, void* ctx) { S().destroyed = {cb, ctx}; }
void SetCallbackFrameMove(FrameMoveCallback cb, void* ctx) { S().frameMove = {cb, ctx}; }
void SetCallbackFrameRender(FrameRenderCallback cb, void* ctx) { S().frameRender = {cb, ctx}; }
void SetCallbackMsgProc(MsgProcCallback cb, void* ctx) { S().msgProc = {cb, ctx}; }
void SetCallbackKeyboard(KeyboardCallback cb, void* ctx) { S().keyboard = {cb, ctx}; }

void ClearMultisampleTypes() { S().multisampleCount = 0; }

void AddMultisampleType(int type) {
  State& s = S();
  if (s.multisampleCount < static_cast<int>(sizeof s.multisampleTypes / sizeof s.multisampleTypes[0]))
    s.multisampleTypes[s.multisampleCount++] = type;
}

void SetCursorSettings(bool showCursorWhenFullScreen, bool clipCursorWhenFullScreen) {
  State& s = S();
  s.showCursorWhenFullScreen = showCursorWhenFullScreen;
  s.clipCursorWhenFullScreen = clipCursorWhenFullScreen;
  UpdateCursor();
}

HRESULT Init(bool, bool, const char*, bool) {
  State& s = S();
  if (s.sdlVideo) return gfx::S_OK;
  if (s.headless) {
    s.videoDriverEnv.Save("SDL_VIDEODRIVER");
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
  }
  // A full-screen show must not vanish when focus moves to another screen.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) return gfx::E_FAIL;
  s.sdlVideo = true;
  return gfx::S_OK;
}

void SetHotkeyHandling(bool altEnterToToggleFullscreen, bool escapeToQuit, bool pauseToToggleTimePause) {
  State& s = S();
  s.altEnterToggles = altEnterToToggleFullscreen;
  s.escapeQuits = escapeToQuit;
  s.pauseToggles = pauseToToggleTimePause;
}

HRESULT CreateWindow(const char* title) {
  State& s = S();
  if (!s.sdlVideo) {
    const HRESULT hr = Init();
    if (gfx::Failed(hr)) return hr;
  }
  if (s.window) return gfx::S_OK;
  s.title = title ? title : "";
  return CreateWindowInternal();
}

HRESULT CreateDevice(bool windowed, int width, int height) {
  State& s = S();
  if (!s.window) {
    const HRESULT hr = CreateWindow(s.title.c_str());
    if (gfx::Failed(hr)) return hr;
  }
  if (s.device) ReleaseDevice();
  s.settings.windowed = windowed;
  s.settings.width = width;
  s.settings.height = height;
  s.deviceRequested = true;
  return CreateDeviceInternal();
}

HRESULT MainLoop() {
  State& s = S();
  if (!s.window) {
    // Nothing to run: a window that was never made is a failed start.
    if (!s.windowEverCreated) s.exitCode = 1;
    return s.windowEverCreated ? gfx::S_OK : ERR_NOWINDOW;
  }
  s.inLoop = true;
  s.lastCounter = 0;
  s.loopCount = 0;
  s.posted.reserve(64);
  while (!s.closing) {
    // Only what was posted before this iteration: a message procedure that
    // posts while handling cannot keep the loop here.
    const std::size_t pending = s.posted.size();
    for (std::size_t i = 0; i < pending && !s.closing; ++i) {
      const WindowMessage m = s.posted[i];
      Route(m.msg, m.wParam, m.lParam);
    }
    s.posted.erase(s.posted.begin(), s.posted.begin() + static_cast<std::ptrdiff_t>(pending));
    SDL_Event e;
    while (!s.closing && SDL_PollEvent(&e)) HandleEvent(e);
    if (s.closing) break;

    if (!s.device || !s.deviceObjectsReset || s.minimized) {
      CountLoopForLimit();
      // Idle without a device; a limited run just counts down.
      if (!s.closing && s.frameLimit <= 0) SDL_WaitEventTimeout(nullptr, 20);
      continue;
    }
    AdvanceClock();
    if (s.frameMove.fn) s.frameMove.fn(s.time, s.elapsed, s.frameMove.ctx);
    if (s.closing) break;
    if (s.frameRender.fn && s.device && s.deviceObjectsReset)
      s.frameRender.fn(s.device.get(), s.time, s.elapsed, s.frameRender.ctx);
    if (s.closing) break;
    Present();
    ++s.frameCount;
    UpdateStats();
    CountLoopForLimit();
    if (s.closing) break;
    s.pacer.SetRate(CurrentPacing().selfPacedHz);
    s.pacer.Wait();
  }
  DestroyWindowNow();
  s.inLoop = false;
  return gfx::S_OK;
}

int GetExitCode() { return S().exitCode; }

void Shutdown(int exitCode) {
  State& s = S();
  s.exitCode = exitCode;
  if (s.window && !s.closing) {
    // The close message goes through the routing like any other, but a
    // shut-down cannot be refused.
    Route(WM_CLOSE, 0, s.adapter.PointerLParam());
  }
  RequestClose();
}

// ---- queries -----------------------------------------------------------------

gfx::Device* GetDevice() { return S().device.get(); }

gfx::BackBufferDesc GetBackBufferDesc() {
  State& s = S();
  gfx::BackBufferDesc d;
  if (s.device) {
    d.width = kBackBufferWidth;
    d.height = kBackBufferHeight;
  }
  return d;
}

const DeviceSettings& GetDeviceSettings() { return S().settings; }

const char* GetFrameStats(bool showFps) {
  State& s = S();
  if (!s.device) {
    s.frameStats[0] = '\0';
    return s.frameStats;
  }
  char format[160];
  std::snprintf(format, sizeof format, "OpenGL %d.%d %%sVsync %s (%dx%d), %s%s%s", s.caps.glMajor, s.caps.glMinor,
                IsVsyncEnabled() ? "On" : "Off", kBackBufferWidth, kBackBufferHeight, s.settings.backBufferFormat,
                " (D24S8)", "");
  char rate[32] = "";
  if (showFps) std::snprintf(rate, sizeof rate, "%0.2f fps", static_cast<double>(s.fps));
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
  std::snprintf(s.frameStats, sizeof s.frameStats, format, rate);
#pragma GCC diagnostic pop
  return s.frameStats;
}

const char* GetDeviceStats() {
  State& s = S();
  if (!s.device) s.deviceStats[0] = '\0';
  return s.deviceStats;
}

bool IsVsyncEnabled() { return CurrentPacing().vsync; }
bool IsWindowed() { return S().settings.windowed; }
bool IsTimePaused() { return S().timePaused; }
bool IsCursorClipped() {
  const State& s = S();
  return s.window && !s.settings.windowed && s.clipCursorWhenFullScreen;
}
HWND GetHWND() { return static_cast<HWND>(S().window); }
double GetTime() { return S().time; }
float GetElapsedTime() { return S().elapsed; }
int GetFrameCount() { return S().frameCount; }
unsigned GetBackBufferFramebuffer() { return S().device ? S().fbo : 0; }
unsigned GetBackBufferColorTexture() { return S().device ? S().colorTex : 0; }

// ---- commands ------------------------------------------------------------------

HRESULT ToggleFullScreen() {
  State& s = S();
  if (!s.window) return ERR_NOWINDOW;
  if (s.deviceObjectsReset) {
    s.deviceObjectsReset = false;
    if (s.lost.fn) s.lost.fn(s.lost.ctx);
  }
  s.settings.windowed = !s.settings.windowed;
  ApplyWindowMode();
  if (s.device && s.deviceObjectsCreated) {
    if (s.reset.fn) {
      const HRESULT hr = s.reset.fn(s.device.get(), GetBackBufferDesc(), s.reset.ctx);
      s.deviceObjectsReset = true;
      if (gfx::Failed(hr)) {
        // Release what the failed reset made; frames stay off until the
        // next successful reset.
        s.deviceObjectsReset = false;
        if (s.lost.fn) s.lost.fn(s.lost.ctx);
        return hr;
      }
    }
    s.deviceObjectsReset = true;
  }
  return gfx::S_OK;
}

HRESULT ToggleREF() {
  State& s = S();
  if (!s.window || !s.device || !s.isMesa) return gfx::S_OK;
  DestroyWindowNow();
  s.forcedSoftware = !s.forcedSoftware;
  if (s.forcedSoftware) {
    s.softwareEnv.Save("LIBGL_ALWAYS_SOFTWARE");
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  } else {
    s.softwareEnv.Restore("LIBGL_ALWAYS_SOFTWARE");
  }
  HRESULT hr = CreateWindowInternal();
  if (gfx::Failed(hr)) return hr;
  return CreateDeviceInternal();
}

// ---- window-system services ------------------------------------------------------

void SetCapture() {
  State& s = S();
  s.adapter.SetCaptured(true);
  if (s.window && !s.captured) {
    // Unsupported by some video drivers (offscreen): the state still holds.
    SDL_CaptureMouse(SDL_TRUE);
    s.captured = true;
  }
}

void ReleaseCapture() {
  State& s = S();
  s.adapter.SetCaptured(false);
  if (s.captured) {
    SDL_CaptureMouse(SDL_FALSE);
    s.captured = false;
  }
}

bool HasCapture() { return S().adapter.IsCaptured(); }

std::u16string GetClipboardText() {
  if (!S().sdlVideo) return {};
  char* text = SDL_GetClipboardText();
  if (!text) return {};
  std::u16string out = mv::io::Utf8ToUtf16(text);
  SDL_free(text);
  return out;
}

void SetClipboardText(std::u16string_view text) {
  if (!S().sdlVideo) return;
  const std::string utf8 = mv::io::Utf16ToUtf8(text);
  SDL_SetClipboardText(utf8.c_str());
}

bool IsKeyDown(UINT vk) { return vk < 256 && S().keys[vk]; }

// ---- headless runs and tests ---------------------------------------------------

void SetHeadless(bool headless) { S().headless = headless; }
void SetFixedTimeStep(double seconds) { S().fixedStep = seconds > 0.0 ? seconds : 0.0; }

void SetFrameLimit(int frames, int exitCode) {
  State& s = S();
  s.frameLimit = frames > 0 ? frames : 0;
  s.frameLimitExitCode = exitCode;
}

void PostWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  State& s = S();
  // Bounded: a flood of posts without a running loop is dropped.
  if (s.posted.size() < 4096) s.posted.push_back(WindowMessage{uMsg, wParam, lParam});
}

LRESULT SendWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) { return Route(uMsg, wParam, lParam); }

bool ReadBackBuffer(std::uint8_t* rgba, std::size_t size) {
  State& s = S();
  const std::size_t need = static_cast<std::size_t>(kBackBufferWidth) * kBackBufferHeight * 4;
  if (!s.device || !s.fbo || !rgba || size < need) return false;
  GLint prevRead = 0, prevPack = 0, prevAlign = 4;
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &prevRead);
  glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &prevPack);
  glGetIntegerv(GL_PACK_ALIGNMENT, &prevAlign);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, s.fbo);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, kBackBufferWidth, kBackBufferHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  glPixelStorei(GL_PACK_ALIGNMENT, prevAlign);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(prevPack));
  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(prevRead));
  return glGetError() == GL_NO_ERROR;
}

void ResetState() {
  State& s = S();
  DestroyWindowNow();
  if (s.sdlVideo) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER);
  s.softwareEnv.Restore("LIBGL_ALWAYS_SOFTWARE");
  s.videoDriverEnv.Restore("SDL_VIDEODRIVER");
  s.~State();
  new (&s) State();
}

}  // namespace fw
