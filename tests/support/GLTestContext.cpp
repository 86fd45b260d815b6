#include "GLTestContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace mvtest {

std::unique_ptr<GLTestContext> GLTestContext::Create(std::string* why) {
  auto fail = [&](const char* w) -> std::unique_ptr<GLTestContext> {
    if (why) *why = w;
    return nullptr;
  };
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!getPlatformDisplay) return fail("no eglGetPlatformDisplayEXT");
  EGLDisplay dpy = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (dpy == EGL_NO_DISPLAY) return fail("no surfaceless EGL display");
  EGLint major = 0, minor = 0;
  if (!eglInitialize(dpy, &major, &minor)) return fail("eglInitialize failed");
  if (!eglBindAPI(EGL_OPENGL_API)) {
    eglTerminate(dpy);
    return fail("no desktop OpenGL through EGL");
  }
  const EGLint cfgAttr[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
  EGLConfig cfg = nullptr;
  EGLint n = 0;
  eglChooseConfig(dpy, cfgAttr, &cfg, 1, &n);
  const EGLint ctxAttr[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                            EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
  EGLContext ctx = eglCreateContext(dpy, n > 0 ? cfg : EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, ctxAttr);
  if (ctx == EGL_NO_CONTEXT) {
    eglTerminate(dpy);
    return fail("no GL 3.3 core context");
  }
  if (!eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, ctx)) {
    eglDestroyContext(dpy, ctx);
    eglTerminate(dpy);
    return fail("cannot make the context current");
  }
  std::unique_ptr<GLTestContext> c(new GLTestContext());
  c->display_ = dpy;
  c->context_ = ctx;
  return c;
}

GLTestContext::~GLTestContext() {
  eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  eglDestroyContext(display_, context_);
  eglTerminate(display_);
}

bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba) {
  if (rgba.size() < static_cast<std::size_t>(width) * height * 4) return false;
  return stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4) != 0;
}

bool ReadPng(const std::string& path, int* width, int* height, std::vector<std::uint8_t>* rgba) {
  int comp = 0;
  unsigned char* p = stbi_load(path.c_str(), width, height, &comp, 4);
  if (!p) return false;
  rgba->assign(p, p + static_cast<std::size_t>(*width) * *height * 4);
  stbi_image_free(p);
  return true;
}

std::string CompareWithGolden(const std::string& goldenDir, const std::string& name, int width, int height,
                              const std::vector<std::uint8_t>& rgba, int tolerance) {
  std::string expectedPath = goldenDir + "/" + name + ".png";
  const char* approve = std::getenv("MV_APPROVE");
  if (approve && std::strcmp(approve, "1") == 0) {
    std::filesystem::create_directories(goldenDir);
    return WritePng(expectedPath, width, height, rgba) ? std::string() : "cannot write " + expectedPath;
  }
  int ew = 0, eh = 0;
  std::vector<std::uint8_t> expected;
  std::string actualPath = name + ".actual.png";
  if (!ReadPng(expectedPath, &ew, &eh, &expected)) {
    WritePng(actualPath, width, height, rgba);
    return "no expected image " + expectedPath + " (run with MV_APPROVE=1 to make it; actual in " + actualPath + ")";
  }
  if (ew != width || eh != height) return "size differs from " + expectedPath;
  std::vector<std::uint8_t> diff(rgba.size(), 0);
  int bad = 0, worst = 0;
  for (std::size_t i = 0; i < rgba.size(); i += 4) {
    int d = 0;
    for (int c = 0; c < 4; ++c) d = std::max(d, std::abs(int(rgba[i + c]) - int(expected[i + c])));
    worst = std::max(worst, d);
    if (d > tolerance) {
      ++bad;
      diff[i] = 255;
    }
    diff[i + 3] = 255;
  }
  if (bad == 0) return {};
  WritePng(actualPath, width, height, rgba);
  WritePng(name + ".diff.png", width, height, diff);
  return std::to_string(bad) + " pixels differ from " + expectedPath + " by more than " + std::to_string(tolerance) +
         " (worst " + std::to_string(worst) + "); see " + actualPath + " and " + name + ".diff.png";
}

}  // namespace mvtest
