// Built-in GLSL shared by the effect files, so each file holds only what is
// its own. Names are those written after '@' (shaders) or in `include`.
#include <cstring>

#include "gfx/EffectFile.h"

namespace gfx {

namespace {

// The pre-transformed quad of the post-process chain and the final image:
// QuadVertex positions in pixels, two texture coordinate pairs.
const char* const kQuadVertex = R"(in vec4 inPosition;
in vec2 inTexCoord0;
in vec2 inTexCoord1;
out vec2 vTex0;
out vec2 vTex1;
void main() {
  gl_Position = mvPreTransformed(inPosition);
  vTex0 = inTexCoord0;
  vTex1 = inTexCoord1;
}
)";

// Copies g_txSrcColor at texture coordinate 0 of the quad (the effect
// declares the texture parameter g_txSrcColor).
const char* const kCopyFragment = R"(in vec2 vTex0;
void main() {
  mv_Target0 = texture(g_txSrcColor, vTex0);
}
)";

const char* const kLighting = R"(// Directional light terms; n, l and v normalised.
float mvDiffuse(vec3 n, vec3 l) { return max(dot(n, l), 0.0); }
float mvSpecular(vec3 n, vec3 l, vec3 v, float power) {
  if (!mv_SpecularEnable) return 0.0;
  vec3 h = normalize(l + v);
  return pow(max(dot(n, h), 0.0), max(power, 1.0));
}
#ifdef MV_FRAGMENT
// The normal to shade with: the interpolated one, or the face's own under
// flat shading (turned to the side of the interpolated one).
vec3 mvShadingNormal(vec3 n, vec3 viewPos) {
  vec3 nn = normalize(n);
  if (mv_ShadeMode != 1) return nn;
  vec3 f = normalize(cross(dFdx(viewPos), dFdy(viewPos)));
  return dot(f, nn) < 0.0 ? -f : f;
}
#endif
)";

// What the post-process effects share: luminance, the size of a texel of a
// source, sampling kept inside the source's drawn extent (g_vSrcExtent, set
// by the chain on every pass), a separable Gaussian and a 3 x 3 Sobel
// gradient.
const char* const kPost = R"(float mvLuminance(vec3 c) { return dot(c, vec3(0.299, 0.587, 0.114)); }
vec2 mvTexel(sampler2D s) { return 1.0 / vec2(textureSize(s, 0)); }
// A sample position kept inside the part of the source the chain has drawn
// (its extent, which shrinks after a down filter), so nothing from outside
// bleeds in at the edges.
vec2 mvInside(sampler2D s, vec2 uv, vec2 extent) {
  vec2 half_ = 0.5 * mvTexel(s);
  return clamp(uv, half_, max(extent - half_, half_));
}
// 2 * taps + 1 samples along `step` (in texture units) weighted by a
// Gaussian of deviation `sigma` samples.
vec4 mvGaussian(sampler2D s, vec2 uv, vec2 step, int taps, float sigma, vec2 extent) {
  vec4 sum = vec4(0.0);
  float total = 0.0;
  for (int i = -taps; i <= taps; ++i) {
    float w = exp(-float(i * i) / (2.0 * sigma * sigma));
    sum += texture(s, mvInside(s, uv + step * float(i), extent)) * w;
    total += w;
  }
  return sum / total;
}
// The gradient length of the luminance (colour) or of the vector (normals).
float mvSobel(sampler2D s, vec2 uv, bool asVector, vec2 extent) {
  vec2 t = mvTexel(s);
  float gx = 0.0, gy = 0.0;
  vec3 vx = vec3(0.0), vy = vec3(0.0);
  for (int j = -1; j <= 1; ++j)
    for (int i = -1; i <= 1; ++i) {
      vec3 c = texture(s, mvInside(s, uv + vec2(i, j) * t, extent)).rgb;
      float kx = float(i) * (j == 0 ? 2.0 : 1.0);
      float ky = float(j) * (i == 0 ? 2.0 : 1.0);
      if (asVector) {
        vx += c * kx;
        vy += c * ky;
      } else {
        gx += mvLuminance(c) * kx;
        gy += mvLuminance(c) * ky;
      }
    }
  return asVector ? sqrt(dot(vx, vx) + dot(vy, vy)) : sqrt(gx * gx + gy * gy);
}
)";

const EffectSnippet kSnippets[] = {
    {"quad", "vertex", kQuadVertex},
    {"copy", "fragment", kCopyFragment},
    {"lighting", "any", kLighting},
    {"post", "any", kPost},
};

}  // namespace

const EffectSnippet* FindEffectSnippet(std::string_view name) {
  for (const EffectSnippet& s : kSnippets)
    if (name == s.name) return &s;
  return nullptr;
}

}  // namespace gfx
