#include "framework/PanelTexture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "gui/Skin.h"

namespace fw {
namespace {

namespace skin = gui::skin;

struct Canvas {
  gfx::Image& img;
  void Set(int x, int y, float r, float g, float b, float a) {
    std::uint8_t* p = &img.levels[0].data[(static_cast<std::size_t>(y) * img.width + x) * 4];
    auto byte = [](float v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
    p[0] = byte(r), p[1] = byte(g), p[2] = byte(b), p[3] = byte(a);
  }
};

// Per-variant colour of the grey ramps: warm for the message dialog.
struct Tone {
  float r, g, b;
};

// A vertical ramp from `top` to `bottom` brightness, with an edge line of
// `topEdge` and `bottomEdge` at the first and last rows.
void Ramp(Canvas& c, const gui::Rect& rc, Tone tone, float top, float bottom, float topEdge, float bottomEdge) {
  const int h = rc.Height();
  for (int y = 0; y < h; ++y) {
    float v = top + (bottom - top) * static_cast<float>(y) / static_cast<float>(std::max(1, h - 1));
    if (y == 0) v = topEdge;
    if (y == h - 1) v = bottomEdge;
    for (int x = rc.left; x < rc.right; ++x) c.Set(x, rc.top + y, v * tone.r, v * tone.g, v * tone.b, 1.0f);
  }
}

// A white shape whose coverage comes from a signed distance (negative
// inside), antialiased over one pixel.
template <class Distance>
void Shape(Canvas& c, const gui::Rect& rc, Distance distance, float shade = 0.0f) {
  for (int y = rc.top; y < rc.bottom; ++y)
    for (int x = rc.left; x < rc.right; ++x) {
      const float px = static_cast<float>(x - rc.left) + 0.5f, py = static_cast<float>(y - rc.top) + 0.5f;
      const float a = std::clamp(0.5f - distance(px, py), 0.0f, 1.0f);
      const float v = 1.0f - shade * py / static_cast<float>(rc.Height());
      c.Set(x, y, v, v, v, a);
    }
}

float SegmentDistance(float px, float py, float ax, float ay, float bx, float by) {
  const float dx = bx - ax, dy = by - ay;
  const float t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
  return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

// Inside a triangle pointing down (or up): distance to its three edges.
float TriangleDistance(float px, float py, bool down) {
  if (!down) py = 32.0f - py;
  const float ax = 5, ay = 9, bx = 27, by = 9, cx = 16, cy = 24;
  auto edge = [&](float x0, float y0, float x1, float y1) {
    const float nx = y1 - y0, ny = x0 - x1, len = std::hypot(nx, ny);
    return ((px - x0) * nx + (py - y0) * ny) / len;
  };
  return std::max({edge(ax, ay, bx, by), edge(bx, by, cx, cy), edge(cx, cy, ax, ay)});
}

}  // namespace

gfx::Image MakePanelTexture(PanelTexture which) {
  gfx::Image img;
  img.format = gfx::ImageFormat::RGBA8;
  img.width = img.height = skin::kTextureSize;
  img.levels.resize(1);
  img.levels[0].width = img.levels[0].height = skin::kTextureSize;
  img.levels[0].data.assign(static_cast<std::size_t>(skin::kTextureSize) * skin::kTextureSize * 4, 0);
  Canvas c{img};
  const Tone tone = which == PanelTexture::Widget3 ? Tone{1.0f, 0.93f, 0.86f} : Tone{0.96f, 0.98f, 1.0f};

  Ramp(c, skin::kFace, tone, 1.0f, 0.78f, 1.0f, 0.62f);
  Ramp(c, skin::kFacePressed, tone, 0.70f, 0.92f, 0.55f, 0.95f);
  Ramp(c, skin::kCaption, tone, 1.0f, 0.62f, 1.0f, 0.35f);
  Shape(c, skin::kCheckMark, [](float x, float y) {
    return std::min(SegmentDistance(x, y, 7, 16, 13, 24), SegmentDistance(x, y, 13, 24, 26, 8)) - 3.0f;
  });
  Shape(c, skin::kRadioRing, [](float x, float y) { return std::abs(std::hypot(x - 16, y - 16) - 14.0f) - 1.5f; });
  Shape(c, skin::kRadioDot, [](float x, float y) { return std::hypot(x - 16, y - 16) - 7.0f; });
  Shape(c, skin::kArrowDown, [](float x, float y) { return TriangleDistance(x, y, true); });
  Shape(c, skin::kArrowUp, [](float x, float y) { return TriangleDistance(x, y, false); });
  Shape(c, skin::kKnob, [](float x, float y) { return std::hypot(x - 16, y - 16) - 15.0f; }, 0.3f);
  for (int y = skin::kWhite.top; y < skin::kWhite.bottom; ++y)
    for (int x = skin::kWhite.left; x < skin::kWhite.right; ++x) c.Set(x, y, 1, 1, 1, 1);
  return img;
}

PanelTexture PanelTextureFor(std::u16string_view fileName) {
  return fileName.find(u"Widget3") != std::u16string_view::npos ? PanelTexture::Widget3 : PanelTexture::Widget2;
}

}  // namespace fw
