#include "DemoMedia.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>

#include <stb_image_write.h>

#include "audio/SoundSettings.h"
#include "framework/PanelTexture.h"
#include "gfx/Dds.h"

namespace mv::demo {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

XVec3 Sub(XVec3 a, XVec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
XVec3 Cross(XVec3 a, XVec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float Dot(XVec3 a, XVec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
XVec3 Normalised(XVec3 a) {
  const float l = std::sqrt(Dot(a, a));
  return l > 0 ? XVec3{a.x / l, a.y / l, a.z / l} : XVec3{0, 1, 0};
}

// Adds a triangle wound clockwise when seen from where its vertex normals
// point (a left-handed device keeps those).
void AddFace(XTextMesh& m, std::uint32_t a, std::uint32_t b, std::uint32_t c) {
  const XVec3 n{m.normals[a].x + m.normals[b].x + m.normals[c].x, m.normals[a].y + m.normals[b].y + m.normals[c].y,
                m.normals[a].z + m.normals[b].z + m.normals[c].z};
  const XVec3 f = Cross(Sub(m.positions[b], m.positions[a]), Sub(m.positions[c], m.positions[a]));
  if (Dot(f, f) < 1e-14f) return;  // a pole's sliver: nothing to draw
  if (Dot(f, n) < 0) std::swap(b, c);
  m.faces.push_back({a, b, c});
}

// A (rings + 1) × (segments + 1) vertex grid from a surface function.
template <class F>
void Grid(XTextMesh& m, int rings, int segments, F&& surface) {
  const auto base = static_cast<std::uint32_t>(m.positions.size());
  for (int i = 0; i <= rings; ++i)
    for (int j = 0; j <= segments; ++j) {
      const float u = float(j) / float(segments), v = float(i) / float(rings);
      XVec3 p, n;
      surface(u, v, p, n);
      m.positions.push_back(p);
      m.normals.push_back(Normalised(n));
      m.uvs.push_back({u, v});
    }
  const auto row = static_cast<std::uint32_t>(segments + 1);
  for (int i = 0; i < rings; ++i)
    for (int j = 0; j < segments; ++j) {
      const std::uint32_t a = base + std::uint32_t(i) * row + std::uint32_t(j), b = a + 1, c = a + row, d = c + 1;
      AddFace(m, a, b, d);
      AddFace(m, a, d, c);
    }
}

void Flip(XTextMesh& m) {
  for (auto& n : m.normals) n = {-n.x, -n.y, -n.z};
  for (auto& f : m.faces) std::swap(f[1], f[2]);
}

XTextMaterial Material(float r, float g, float b, const std::string& texture = {}) {
  XTextMaterial mat;
  mat.diffuse[0] = r;
  mat.diffuse[1] = g;
  mat.diffuse[2] = b;
  mat.texture = texture;
  return mat;
}

std::uint8_t Byte(float v) { return static_cast<std::uint8_t>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); }

// A small hash for repeatable speckles (stars, noise).
float Hash(int x, int y, int seed) {
  std::uint32_t h = std::uint32_t(x) * 374761393u + std::uint32_t(y) * 668265263u + std::uint32_t(seed) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return float((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}

struct Rgb {
  float r, g, b;
};
Rgb Mix(Rgb a, Rgb b, float t) {
  t = std::clamp(t, 0.0f, 1.0f);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// The colour of each cube map in a direction (y up).
Rgb Sky(const std::string& stem, XVec3 d, int fx, int fy, int face) {
  const float h = d.y;
  const float az = std::atan2(d.z, d.x);
  if (stem == "stpeters_cross") {  // warm evening: gradient, a sun, a dark floor
    Rgb c = h > 0 ? Mix({1.0f, 0.55f, 0.25f}, {0.12f, 0.18f, 0.45f}, std::pow(h, 0.6f)) : Mix({0.35f, 0.2f, 0.12f}, {0.05f, 0.04f, 0.04f}, -h * 3);
    const float sun = Dot(d, Normalised({0.6f, 0.25f, 0.75f}));
    if (sun > 0.97f) c = Mix(c, {1.0f, 0.95f, 0.8f}, (sun - 0.97f) / 0.03f);
    return c;
  }
  if (stem == "galileo_cross") {  // night: deep blue with stars and a band
    Rgb c = Mix({0.02f, 0.02f, 0.08f}, {0.1f, 0.05f, 0.25f}, 1.0f - std::abs(h));
    if (Hash(fx, fy, face) > 0.995f) c = {1, 1, 1};
    const float band = std::exp(-std::pow((h - 0.3f * std::sin(az * 2)) * 6, 2.0f));
    return Mix(c, {0.5f, 0.3f, 0.7f}, band * 0.6f);
  }
  if (stem == "grace_cross") {  // tall coloured windows in a dark hall
    const float stripes = 0.5f + 0.5f * std::cos(az * 12);
    Rgb c = Mix({0.08f, 0.05f, 0.03f}, {0.9f, 0.6f, 0.2f}, stripes * std::max(0.0f, 1 - std::abs(h - 0.2f) * 2.5f));
    return Mix(c, {0.2f, 0.5f, 0.9f}, std::max(0.0f, h - 0.6f) * 2.5f);
  }
  if (stem == "rnl_cross") {  // a green valley under a pale sky
    return h > 0.05f ? Mix({0.75f, 0.85f, 0.9f}, {0.3f, 0.5f, 0.85f}, h)
                     : Mix({0.2f, 0.45f, 0.15f}, {0.05f, 0.15f, 0.05f}, -h * 2 + 0.2f * std::sin(az * 7));
  }
  // nuclear_cross: glowing red and orange clouds
  const float n = 0.5f + 0.25f * std::sin(az * 5 + h * 7) + 0.25f * std::sin(az * 11 - h * 13);
  return Mix({0.25f, 0.02f, 0.02f}, {1.0f, 0.6f, 0.1f}, n * (1.2f - std::abs(h)));
}

XVec3 CubeDirection(int face, float u, float v) {
  switch (face) {
    case 0: return {1, -v, -u};
    case 1: return {-1, -v, u};
    case 2: return {u, 1, v};
    case 3: return {u, -1, -v};
    case 4: return {u, -v, 1};
    default: return {-u, -v, -1};
  }
}

}  // namespace

XTextMesh MakeSphere(const std::string& name, float radius, int rings, int segments, bool inward) {
  XTextMesh m;
  m.name = name;
  Grid(m, rings, segments, [&](float u, float v, XVec3& p, XVec3& n) {
    const float theta = v * kPi, phi = u * 2 * kPi;
    n = {std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
    p = {n.x * radius, n.y * radius, n.z * radius};
  });
  if (inward) Flip(m);
  return m;
}

XTextMesh MakeTorus(const std::string& name, float major, float minor, int rings, int segments) {
  XTextMesh m;
  m.name = name;
  Grid(m, rings, segments, [&](float u, float v, XVec3& p, XVec3& n) {
    const float a = u * 2 * kPi, b = v * 2 * kPi;
    n = {std::cos(b) * std::cos(a), std::sin(b), std::cos(b) * std::sin(a)};
    p = {(major + minor * std::cos(b)) * std::cos(a), minor * std::sin(b), (major + minor * std::cos(b)) * std::sin(a)};
  });
  return m;
}

XTextMesh MakeBox(const std::string& name, float size, int divisions, bool inward) {
  XTextMesh m;
  m.name = name;
  const float h = size * 0.5f;
  for (int face = 0; face < 6; ++face) {
    const int axis = face / 2;
    const float sign = face % 2 ? -1.0f : 1.0f;
    Grid(m, divisions, divisions, [&](float u, float v, XVec3& p, XVec3& n) {
      const float a = (u * 2 - 1) * h, b = (v * 2 - 1) * h;
      float c[3] = {0, 0, 0}, nn[3] = {0, 0, 0};
      c[axis] = sign * h;
      nn[axis] = sign;
      c[(axis + 1) % 3] = a;
      c[(axis + 2) % 3] = b;
      p = {c[0], c[1], c[2]};
      n = {nn[0], nn[1], nn[2]};
    });
  }
  if (inward) Flip(m);
  return m;
}

XTextMesh MakeCylinder(const std::string& name, float radius, float height, int rings, int segments, bool inward) {
  XTextMesh m;
  m.name = name;
  Grid(m, rings, segments, [&](float u, float v, XVec3& p, XVec3& n) {
    const float a = u * 2 * kPi;
    n = {std::cos(a), 0, std::sin(a)};
    p = {radius * n.x, (v - 0.5f) * height, radius * n.z};
  });
  for (int cap = 0; cap < 2; ++cap) {
    const float y = cap ? height * 0.5f : -height * 0.5f;
    const XVec3 up{0, cap ? 1.0f : -1.0f, 0};
    const auto centre = static_cast<std::uint32_t>(m.positions.size());
    m.positions.push_back({0, y, 0});
    m.normals.push_back(up);
    m.uvs.push_back({0.5f, 0.5f});
    for (int j = 0; j <= segments; ++j) {
      const float a = float(j) / float(segments) * 2 * kPi;
      m.positions.push_back({radius * std::cos(a), y, radius * std::sin(a)});
      m.normals.push_back(up);
      m.uvs.push_back({0.5f + 0.5f * std::cos(a), 0.5f + 0.5f * std::sin(a)});
    }
    for (int j = 0; j < segments; ++j) AddFace(m, centre, centre + 1 + std::uint32_t(j), centre + 2 + std::uint32_t(j));
  }
  if (inward) Flip(m);
  return m;
}

XTextFile MakeStaticFile(const XTextMesh& mesh, const std::string& texture) {
  XTextFile f;
  XTextFrame root;
  root.name = "Root";
  XTextMesh m = mesh;
  m.materials.push_back(Material(1, 1, 1, texture));
  root.meshes.push_back(std::move(m));
  f.frames.push_back(std::move(root));
  return f;
}

XTextFile MakeTowerFile() {
  XTextFile f;
  XTextFrame root;
  root.name = "Tower";
  XTextMesh base = MakeCylinder("BaseMesh", 0.8f, 0.4f, 1, 24);
  base.materials.push_back(Material(0.3f, 0.5f, 0.9f));
  root.meshes.push_back(std::move(base));

  XTextFrame column;
  column.name = "Column";
  column.transform = XTranslation(0, 1.0f, 0);
  XTextMesh shaft = MakeBox("ShaftMesh", 0.5f, 1);
  for (auto& p : shaft.positions) p.y *= 3.0f;
  shaft.materials.push_back(Material(0.9f, 0.9f, 0.95f, "checker.dds"));
  column.meshes.push_back(std::move(shaft));

  XTextFrame arm;
  arm.name = "Arm";
  arm.transform = XTranslation(0, 1.0f, 0);
  XTextMesh bar = MakeBox("ArmMesh", 0.25f, 1);
  for (auto& p : bar.positions) p.x *= 8.0f;
  bar.materials.push_back(Material(0.95f, 0.4f, 0.2f));
  arm.meshes.push_back(std::move(bar));

  for (int side = 0; side < 2; ++side) {
    XTextFrame lamp;
    lamp.name = side ? "LampRight" : "LampLeft";
    lamp.transform = XTranslation(side ? 1.0f : -1.0f, 0, 0);
    XTextMesh ball = MakeSphere(side ? "LampRightMesh" : "LampLeftMesh", 0.22f, 10, 16);
    XTextMaterial glow = Material(1.0f, 0.9f, 0.3f);
    glow.emissive[0] = 0.6f;
    glow.emissive[1] = 0.5f;
    ball.materials.push_back(glow);
    lamp.meshes.push_back(std::move(ball));
    arm.children.push_back(std::move(lamp));
  }
  column.children.push_back(std::move(arm));
  root.children.push_back(std::move(column));
  f.frames.push_back(std::move(root));

  // The arm turns once round the column in four seconds.
  XTextAnimationSet spin;
  spin.name = "Spin";
  XTextAnimation a;
  a.frame = "Arm";
  for (int k = 0; k <= 4; ++k)
    a.keys.push_back({std::uint32_t(k) * 4800u, XMultiply(XRotationY(float(k) * kPi * 0.5f), XTranslation(0, 1.0f, 0))});
  spin.animations.push_back(std::move(a));
  f.animationSets.push_back(std::move(spin));
  return f;
}

XTextFile MakeSnakeFile() {
  XTextFile f;
  XTextFrame root;
  root.name = "SnakeRoot";
  // A tube from y = 0 to y = 3 on three bones, each a unit long.
  XTextMesh tube = MakeCylinder("SnakeMesh", 0.3f, 3.0f, 24, 16);
  for (auto& p : tube.positions) p.y += 1.5f;
  XTextMaterial skin = Material(0.4f, 0.95f, 0.5f, "checker.dds");
  tube.materials.push_back(skin);
  const char* names[3] = {"Bone0", "Bone1", "Bone2"};
  for (int b = 0; b < 3; ++b) {
    XTextSkin s;
    s.bone = names[b];
    s.offset = XTranslation(0, -float(b), 0);
    tube.skins.push_back(std::move(s));
  }
  for (std::uint32_t i = 0; i < tube.positions.size(); ++i) {
    // Weights fall off linearly from each bone's middle.
    const float y = std::clamp(tube.positions[i].y, 0.0f, 3.0f);
    float w[3], total = 0;
    for (int b = 0; b < 3; ++b) total += (w[b] = std::max(0.0f, 1.0f - std::abs(y - (float(b) + 0.5f))));
    for (int b = 0; b < 3; ++b)
      if (w[b] > 0) {
        tube.skins[std::size_t(b)].vertices.push_back(i);
        tube.skins[std::size_t(b)].weights.push_back(w[b] / total);
      }
  }
  root.meshes.push_back(std::move(tube));

  XTextFrame bone0{"Bone0", XIdentity(), {}, {}};
  XTextFrame bone1{"Bone1", XTranslation(0, 1, 0), {}, {}};
  XTextFrame bone2{"Bone2", XTranslation(0, 1, 0), {}, {}};
  bone1.children.push_back(std::move(bone2));
  bone0.children.push_back(std::move(bone1));
  root.children.push_back(std::move(bone0));
  f.frames.push_back(std::move(root));

  // "Wave": the upper bones sway side to side; "Twist": they turn round
  // the tube's axis and bend forward.
  XTextAnimationSet wave{"Wave", {}}, twist{"Twist", {}};
  for (int b = 1; b < 3; ++b) {
    XTextAnimation w{names[b], {}}, t{names[b], {}};
    for (int k = 0; k <= 8; ++k) {
      const float phase = float(k) / 8.0f * 2 * kPi;
      w.keys.push_back({std::uint32_t(k) * 1200u, XMultiply(XRotationZ(0.6f * std::sin(phase + float(b))), XTranslation(0, 1, 0))});
      t.keys.push_back({std::uint32_t(k) * 1200u,
                        XMultiply(XMultiply(XRotationY(phase), XRotationZ(0.35f)), XTranslation(0, 1, 0))});
    }
    wave.animations.push_back(std::move(w));
    twist.animations.push_back(std::move(t));
  }
  f.animationSets.push_back(std::move(wave));
  f.animationSets.push_back(std::move(twist));
  return f;
}

gfx::Image MakeCheckerTexture(int size) {
  gfx::Image img = gfx::MakeSolidImage(size, size, 0);
  auto& d = img.levels[0].data;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const bool on = ((x * 8 / size) + (y * 8 / size)) % 2 == 0;
      std::uint8_t* p = &d[std::size_t(y * size + x) * 4];
      p[0] = on ? 240 : 40;
      p[1] = on ? 200 : 60;
      p[2] = on ? 90 : 140;
      p[3] = 255;
    }
  return img;
}

gfx::Image MakeCellTexture(int size) {
  gfx::Image img = gfx::MakeSolidImage(size, size, 0);
  auto& d = img.levels[0].data;
  constexpr int kCells = 24;
  float cx[kCells], cy[kCells];
  for (int i = 0; i < kCells; ++i) cx[i] = Hash(i, 1, 7) * float(size), cy[i] = Hash(i, 2, 7) * float(size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float best = 1e9f, second = 1e9f;
      int owner = 0;
      for (int i = 0; i < kCells; ++i)
        for (int oy = -1; oy <= 1; ++oy)
          for (int ox = -1; ox <= 1; ++ox) {  // tiles seamlessly
            const float dx = float(x) - cx[i] - float(ox * size), dy = float(y) - cy[i] - float(oy * size);
            const float dist = std::sqrt(dx * dx + dy * dy);
            if (dist < best) second = best, best = dist, owner = i;
            else if (dist < second) second = dist;
          }
      const float edge = std::clamp((second - best) / 6.0f, 0.0f, 1.0f);
      const float tint = Hash(owner, 3, 7);
      std::uint8_t* p = &d[std::size_t(y * size + x) * 4];
      p[0] = Byte((0.1f + 0.5f * tint) * edge);
      p[1] = Byte((0.3f + 0.4f * (1 - tint)) * edge);
      p[2] = Byte(0.6f * edge + (1 - edge) * 0.9f);
      p[3] = 255;
    }
  return img;
}

gfx::Image MakeCubeMap(const std::string& stem, int size) {
  gfx::Image img;
  img.width = img.height = size;
  img.faces = 6;
  img.mipLevels = 1;
  for (int face = 0; face < 6; ++face) {
    gfx::ImageLevel level{size, size, std::vector<std::uint8_t>(std::size_t(size * size * 4))};
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        const float u = (float(x) + 0.5f) / float(size) * 2 - 1, v = (float(y) + 0.5f) / float(size) * 2 - 1;
        const Rgb c = Sky(stem, Normalised(CubeDirection(face, u, v)), x, y, face);
        std::uint8_t* p = &level.data[std::size_t(y * size + x) * 4];
        p[0] = Byte(c.r);
        p[1] = Byte(c.g);
        p[2] = Byte(c.b);
        p[3] = 255;
      }
    img.levels.push_back(std::move(level));
  }
  return img;
}

gfx::Image MakeParticleSprite(int size) {
  gfx::Image img = gfx::MakeSolidImage(size, size, 0);
  auto& d = img.levels[0].data;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float dx = (float(x) + 0.5f) / float(size) * 2 - 1, dy = (float(y) + 0.5f) / float(size) * 2 - 1;
      const float a = std::pow(std::max(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy)), 1.5f);
      std::uint8_t* p = &d[std::size_t(y * size + x) * 4];
      p[0] = p[1] = p[2] = 255;
      p[3] = Byte(a);
    }
  return img;
}

std::vector<std::int32_t> DemoValueScripts() {
  // Codes: 1 V+=Nbr*F, 2 V-=Nbr*F, 4 sin, 5 V+=F, 8..12 F=0.01..100,
  // 13 Sequencer, 14 BassSequencer, 15 BassValue, 16 PeakValue, 0 nothing.
  const std::int32_t groups[10][4] = {
      {0, 0, 0, 0},      // slot 0: read and discarded
      {10, 15, 1, 0},    // 1 bass pulse: V + BassValue
      {10, 13, 1, 4},    // 2 slow sine sway: sin(V + time)
      {10, 14, 1, 0},    // 3 beat-driven rotation: V + BassSequencer
      {11, 15, 1, 0},    // 4 strong pulse: V + 10 x BassValue
      {9, 13, 1, 0},     // 5 slow drift: V + time / 10
      {10, 16, 1, 0},    // 6 peak follower: V + PeakValue
      {10, 13, 2, 0},    // 7 counter-turn: V - time
      {12, 15, 1, 0},    // 8 big pulse (percent values, pixels): V + 100 x BassValue
      {11, 16, 2, 0},    // 9 dim on peaks: V - 10 x PeakValue
  };
  std::vector<std::int32_t> words{0};
  for (const auto& g : groups) words.insert(words.end(), std::begin(g), std::end(g));
  return words;
}

std::vector<std::uint8_t> ValueFileBytes(const std::vector<std::int32_t>& words) {
  std::vector<std::uint8_t> bytes;
  for (std::int32_t w : words)
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(std::uint32_t(w) >> (8 * i)));
  return bytes;
}

std::vector<CatalogRow> DemoCatalog() {
  std::vector<CatalogRow> rows(kEntryCount);
  rows[kEntryCube] = {"Checker cube", "media\\mesh\\cube.x", "MESHOBJ", "", 0};
  rows[kEntryTorus] = {"Torus", "media\\mesh\\torus.x", "MESHOBJ", "", 0};
  rows[kEntrySphere] = {"Sphere", "media\\mesh\\sphere.x", "MESHOBJ", "", 0};
  rows[kEntryTower] = {"Tower (hierarchy)", "media\\mesh\\tower.x", "MESHOBJ", "", 0};
  rows[kEntrySnake] = {"Snake (skinned)", "media\\mesh\\snake.x", "ANIMOBJ", "", 0};
  rows[kEntryTitle] = {"Title text", "", "TEXTOBJ", "Arial", 24};
  rows[kEntryThanks] = {"Big text", "", "TEXTOBJ", "Arial", 36};
  rows[kEntryGenerated] = {"Generated mesh", "", "GENERATEDOBJ", "", 0};
  rows[kEntryMetaballs] = {"Metaballs", "", "METABALLOBJ", "", 0};
  rows[kEntryParticles] = {"Particles", "", "PARTICLEOBJ", "", 0};
  rows[kEntryLayerText] = {"Layer text", "", "LAYERTEXTOBJ", "", 0};
  return rows;
}

std::string CatalogText(const std::vector<CatalogRow>& rows) {
  std::string t;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto& r = rows[i];
    t += std::to_string(i) + "," + r.name + "," + r.file + "," + r.keyword + "," + r.text + "," +
         std::to_string(r.number) + ",\n";
  }
  return t + "#,\n";
}

bool WriteBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bool(out);
}

bool WriteText(const std::filesystem::path& file, const std::string& text) {
  return WriteBytes(file, std::vector<std::uint8_t>(text.begin(), text.end()));
}

bool WriteDemoMedia(const std::filesystem::path& root, std::string& error) {
  const auto media = root / "media";
  bool ok = true;
  auto check = [&](bool written, const std::filesystem::path& p) {
    if (!written && ok) error = "could not write " + p.string();
    ok = ok && written;
  };
  auto x = [&](const std::filesystem::path& p, const XTextFile& f) { check(WriteText(p, WriteXText(f)), p); };
  auto dds = [&](const std::filesystem::path& p, const gfx::Image& img) { check(WriteBytes(p, gfx::WriteDds(img)), p); };

  // Meshes and their texture.
  const auto mesh = media / "mesh";
  dds(mesh / "checker.dds", MakeCheckerTexture(64));
  x(mesh / "cube.x", MakeStaticFile(MakeBox("Cube", 1.0f, 2), "checker.dds"));
  x(mesh / "torus.x", MakeStaticFile(MakeTorus("Torus", 1.0f, 0.35f, 24, 48), ""));
  x(mesh / "sphere.x", MakeStaticFile(MakeSphere("Sphere", 1.0f, 24, 36), "checker.dds"));
  x(mesh / "tower.x", MakeTowerFile());
  x(mesh / "snake.x", MakeSnakeFile());
  check(WriteText(mesh / "objects.mesh", CatalogText(DemoCatalog())), mesh / "objects.mesh");

  // Sky boxes: nine rows over seven meshes and five cube maps.
  const auto sky = media / "skybox";
  const struct {
    const char* file;
    XTextMesh mesh;
  } boxes[] = {
      {"skybox.x", MakeBox("SkyBox", 2.0f, 1, true)},
      {"skybox1.x", MakeBox("SkyBox1", 2.0f, 4, true)},
      {"skybox2.x", MakeSphere("SkyBox2", 1.0f, 24, 36, true)},
      {"skybox3.x", MakeCylinder("SkyBox3", 1.0f, 2.0f, 8, 36, true)},
      {"skybox4.x", MakeSphere("SkyBox4", 1.0f, 6, 8, true)},
      {"skybox5.x", MakeBox("SkyBox5", 2.0f, 8, true)},
      {"skybox6.x", MakeSphere("SkyBox6", 1.0f, 48, 64, true)},
      {"cell.x", MakeBox("Cell", 2.0f, 2, true)},
  };
  for (const auto& b : boxes) {
    const bool cell = std::string(b.file) == "cell.x";
    x(sky / b.file, MakeStaticFile(b.mesh, cell ? "cell.dds" : ""));
  }
  dds(sky / "cell.dds", MakeCellTexture(256));
  for (const char* stem : {"stpeters_cross", "galileo_cross", "grace_cross", "rnl_cross", "nuclear_cross"})
    dds(sky / "Light Probes" / (std::string(stem) + ".dds"), MakeCubeMap(stem, 128));

  // The panel textures the dialogs name.
  dds(media / "GUI" / "Widget2.dds", fw::MakePanelTexture(fw::PanelTexture::Widget2));
  dds(media / "GUI" / "Widget3.dds", fw::MakePanelTexture(fw::PanelTexture::Widget3));

  // The particle sprite, where the fountain looks for it.
  {
    const gfx::Image spot = MakeParticleSprite(32);
    const auto p = media / "Particles" / "particle1.tga";
    std::error_code ec;
    std::filesystem::create_directories(p.parent_path(), ec);
    check(stbi_write_tga(p.string().c_str(), 32, 32, 4, spot.levels[0].data.data()) != 0, p);
  }

  check(WriteBytes(root / "value.dat", ValueFileBytes(DemoValueScripts())), root / "value.dat");

  // The bass bands, with a low threshold, so the visuals move from the first beat.
  mv::audio::SoundSettings s;
  for (int band = 1; band <= 4; ++band) s.selected[std::size_t(band)] = true;
  s.threshold = 30;
  check(mv::audio::WriteSoundSettings(media / "sound.toml", s), media / "sound.toml");
  std::error_code ec;
  std::filesystem::create_directories(media / "template", ec);
  return ok;
}

}  // namespace mv::demo
