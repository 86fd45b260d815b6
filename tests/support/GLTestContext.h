#pragma once
// A headless OpenGL context for library-level GL tests: EGL on Mesa's
// surfaceless platform, current on the calling thread. Tests skip when none
// can be made (no EGL, no Mesa, no GL 3.3 core).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mvtest {

class GLTestContext {
 public:
  // Null (and *why filled) when no context can be made.
  static std::unique_ptr<GLTestContext> Create(std::string* why = nullptr);
  ~GLTestContext();
  GLTestContext(const GLTestContext&) = delete;
  GLTestContext& operator=(const GLTestContext&) = delete;

 private:
  GLTestContext() = default;
  void* display_ = nullptr;
  void* context_ = nullptr;
};

// Writes RGBA8 pixels (top row first) as a PNG; false on failure.
bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba);
// Reads a PNG into RGBA8 (top row first); false when missing or unreadable.
bool ReadPng(const std::string& path, int* width, int* height, std::vector<std::uint8_t>* rgba);

// Compares an image with the expected PNG tests/<folder>/golden/<name>.png
// within `tolerance` per channel. With MV_APPROVE=1 in the environment it
// rewrites the expected image instead and passes. On a mismatch it writes
// <name>.actual.png and <name>.diff.png beside the build's working folder
// and returns a description; on success an empty string.
std::string CompareWithGolden(const std::string& goldenDir, const std::string& name, int width, int height,
                              const std::vector<std::uint8_t>& rgba, int tolerance);

}  // namespace mvtest
