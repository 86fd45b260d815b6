#pragma once
// The framework layer: the process's window, the OpenGL context behind the
// graphics device, the main loop and the ten callbacks the application
// registers. One instance of state lives behind these functions; everything
// runs on the thread that calls MainLoop.
//
// The back buffer is always 1920 x 1080 (whatever the display): the
// framework owns a framebuffer object of that size (colour RGBA8, depth 24 /
// stencil 8), the device draws into it, and presenting scales it into the
// window with its aspect kept. Pointer positions in the window messages are
// back-buffer pixels.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "io/WindowMessages.h"
#include "gfx/Device.h"

namespace fw {

using gfx::HRESULT;

// Result codes of the framework itself.
using mv::ERR_CREATINGDEVICE;
using mv::ERR_CREATINGDEVICEOBJECTS;
using mv::ERR_MEDIANOTFOUND;
using mv::ERR_NOCOMPATIBLEDEVICES;
using mv::ERR_NOWINDOW;
using mv::ERR_RESETTINGDEVICEOBJECTS;

inline constexpr int kBackBufferWidth = 1920;
inline constexpr int kBackBufferHeight = 1080;

enum class DeviceType { Hardware, Reference, Software };
enum class VertexProcessing { Hardware, Software };
inline constexpr int MULTISAMPLE_NONE = 0;
inline constexpr int PRESENT_INTERVAL_IMMEDIATE = 0;
inline constexpr int PRESENT_INTERVAL_ONE = 1;

// What the device-acceptable callback can judge a configuration by.
struct DeviceCaps {
  DeviceType deviceType = DeviceType::Hardware;
  int numSimultaneousRTs = 1;
  int vertexShaderVersionMajor = 3;  // GLSL 3.30 counts as shader model 3
  int pixelShaderVersionMajor = 3;
  bool hardwareTransformAndLight = true;
  bool floatRenderTargets = true;          // 16-bit float render-target textures
  bool cubeRenderTargets = true;           // A8R8G8B8 cube textures as render targets
  bool postPixelShaderBlending = true;     // blending on the back-buffer format
  int glMajor = 0;
  int glMinor = 0;
  const char* renderer = "";
  const char* vendor = "";
};

// The settings a device is created with; the modify-settings callback may
// change the vertex processing and the presentation interval.
struct DeviceSettings {
  bool windowed = false;
  int width = kBackBufferWidth;
  int height = kBackBufferHeight;
  const char* adapterFormat = "X8R8G8B8";
  const char* backBufferFormat = "A8R8G8B8";
  DeviceType deviceType = DeviceType::Hardware;
  VertexProcessing vertexProcessing = VertexProcessing::Hardware;
  int multisampleType = MULTISAMPLE_NONE;
  int presentInterval = PRESENT_INTERVAL_ONE;
};

using IsDeviceAcceptableCallback = bool (*)(const DeviceCaps& caps, const char* adapterFormat,
                                            const char* backBufferFormat, bool windowed, void* userContext);
using ModifyDeviceSettingsCallback = bool (*)(DeviceSettings* settings, const DeviceCaps& caps, void* userContext);
using DeviceCreatedCallback = HRESULT (*)(gfx::Device* device, const gfx::BackBufferDesc& backBuffer,
                                          void* userContext);
using DeviceResetCallback = HRESULT (*)(gfx::Device* device, const gfx::BackBufferDesc& backBuffer,
                                        void* userContext);
using DeviceLostCallback = void (*)(void* userContext);
using DeviceDestroyedCallback = void (*)(void* userContext);
using FrameMoveCallback = void (*)(double time, float elapsedTime, void* userContext);
using FrameRenderCallback = void (*)(gfx::Device* device, double time, float elapsedTime, void* userContext);
using MsgProcCallback = LRESULT (*)(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                    bool* pbNoFurtherProcessing, void* userContext);
using KeyboardCallback = void (*)(UINT nChar, bool bKeyDown, bool bAltDown, void* userContext);

// ---- registration (before Init) --------------------------------------------

void SetCallbackDeviceAcceptable(IsDeviceAcceptableCallback callback, void* userContext = nullptr);
void SetCallbackModifyDeviceSettings(ModifyDeviceSettingsCallback callback, void* userContext = nullptr);
void SetCallbackDeviceCreated(DeviceCreatedCallback callback, void* userContext = nullptr);
void SetCallbackDeviceReset(DeviceResetCallback callback, void* userContext = nullptr);
void SetCallbackDeviceLost(DeviceLostCallback callback, void* userContext = nullptr);
void SetCallbackDeviceDestroyed(DeviceDestroyedCallback callback, void* userContext = nullptr);
void SetCallbackFrameMove(FrameMoveCallback callback, void* userContext = nullptr);
void SetCallbackFrameRender(FrameRenderCallback callback, void* userContext = nullptr);
void SetCallbackMsgProc(MsgProcCallback callback, void* userContext = nullptr);
void SetCallbackKeyboard(KeyboardCallback callback, void* userContext = nullptr);

// The acceptable multisample types. Devices are created with the first one
// in the list; an empty list means none. Only MULTISAMPLE_NONE is honoured:
// the back buffer is never multisampled.
void ClearMultisampleTypes();
void AddMultisampleType(int type);

void SetCursorSettings(bool showCursorWhenFullScreen, bool clipCursorWhenFullScreen);

// Starts the window system. The arguments are accepted and ignored: the
// player has no command line, shows no message boxes and runs on one thread.
HRESULT Init(bool parseCommandLine = true, bool showMsgBoxOnError = true,
             const char* extraCommandLineParams = nullptr, bool threadSafe = true);

// Escape closes the window when escapeToQuit is set; with the other two
// clear, Alt+Enter and Pause reach the callbacks like any other key.
void SetHotkeyHandling(bool altEnterToToggleFullscreen = true, bool escapeToQuit = true,
                       bool pauseToToggleTimePause = true);

HRESULT CreateWindow(const char* title);
HRESULT CreateDevice(bool windowed, int width, int height);
// Runs until the window has closed; releases the device and the window on
// the way out.
HRESULT MainLoop();
int GetExitCode();
// Closes the window (the message procedure sees WM_CLOSE), records the exit
// code and releases the device. Inside the main loop the release happens as
// soon as the running callback returns; the frame in progress is not
// rendered.
void Shutdown(int exitCode = 0);

// ---- queries ---------------------------------------------------------------

gfx::Device* GetDevice();
gfx::BackBufferDesc GetBackBufferDesc();
const DeviceSettings& GetDeviceSettings();
// One line each; the text stays valid until the next call.
const char* GetFrameStats(bool showFps);
const char* GetDeviceStats();
// Whether the swap waits for the display: the settings ask for it and the
// driver honours it. Where it asks and the driver does not (GLX under Xvfb,
// the offscreen driver), the loop sleeps to the display mode's rate itself
// (60 Hz when unknown), except on a fixed time step, which never sleeps.
bool IsVsyncEnabled();
bool IsWindowed();
bool IsTimePaused();
// Whether the cursor is confined to the window now (full screen with the
// clip setting); the video driver may not support confining.
bool IsCursorClipped();
HWND GetHWND();
double GetTime();
float GetElapsedTime();
int GetFrameCount();
// The back buffer's framebuffer object and colour texture (0 without a
// device). Row 0 of the framebuffer is the top of the picture.
unsigned GetBackBufferFramebuffer();
unsigned GetBackBufferColorTexture();

// ---- commands of the device panel -----------------------------------------

// Device lost, then the switch, then device reset.
HRESULT ToggleFullScreen();
// Switches between the driver's renderer and Mesa's software rasteriser by
// recreating the window, context and device; does nothing where the driver
// is not Mesa.
HRESULT ToggleREF();

// ---- window-system services ------------------------------------------------

void SetCapture();
void ReleaseCapture();
bool HasCapture();
std::u16string GetClipboardText();
void SetClipboardText(std::u16string_view text);
// Key state from the key messages the framework has routed.
bool IsKeyDown(UINT vk);
// Plugs capture, clipboard and key state into the dialog toolkit.
void InstallToolkitHooks();

// ---- headless runs, offline rendering and tests ----------------------------

// Uses SDL's offscreen video driver (an EGL context, no display). Call
// before Init.
void SetHeadless(bool headless);
// Every frame advances the clock by exactly `seconds`; 0 returns to the
// real clock.
void SetFixedTimeStep(double seconds);
// After `frames` rendered frames the loop shuts down with `exitCode`;
// frames <= 0 removes the limit.
void SetFrameLimit(int frames, int exitCode = 0);
// Delivered through the routing at the start of the next loop iteration.
void PostWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
// Delivered through the routing now (message procedure, keyboard callback,
// the framework's own handling).
LRESULT SendWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
// Copies the back buffer as RGBA8, top row first, into `rgba`
// (width × height × 4 bytes). False without a device or when too small.
bool ReadBackBuffer(std::uint8_t* rgba, std::size_t size);
// Releases the device and window, shuts the video subsystem and returns
// every setting and callback to its default.
void ResetState();

}  // namespace fw
